// The queue's rules over its fixed buffers: append and its limits, next,
// previous with the 3 s rule, clear.
#include "core/queue.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const LONGLONG SECOND = 10000000;

// n paths "p0" .. of length characters each (at least 2), from the first free number.
int AppendPaths(int n, int length, int* refused = nullptr)
{
    static int number;
    int added = 0;
    for (int i = 0; i < n; ++i) {
        std::wstring path = L"p" + std::to_wstring(number++);
        path.resize(size_t(length), L'x');
        QueueAppend(path.c_str()) ? ++added : refused ? ++*refused : 0;
    }
    return added;
}

} // namespace

TEST(Queue, AppendKeepsOrderAndWholePathsUpToItsLimits)
{
    QueueClear();
    EXPECT_EQ(0, g_queueCount);
    EXPECT_EQ(-1, g_queueIndex);
    EXPECT_FALSE(QueueHasNext());
    EXPECT_TRUE(QueueAppend(L""));  // nothing added, and no refusal
    EXPECT_EQ(0, g_queueCount);
    for (const WCHAR* path : { L"C:\\a.wav", L"b", L"C:\\\u97f3\\c.flac" }) EXPECT_TRUE(QueueAppend(path));
    ASSERT_EQ(3, g_queueCount);
    EXPECT_STREQ(L"C:\\a.wav", QueuePath(0));
    EXPECT_STREQ(L"b", QueuePath(1));
    EXPECT_STREQ(L"C:\\\u97f3\\c.flac", QueuePath(2));
    EXPECT_TRUE(QueueHasNext());  // none opened yet: the first waits

    // A path too long to open is kept one character over, so its open refuses it.
    std::wstring longest(2000, L'z');
    EXPECT_TRUE(QueueAppend(longest.c_str()));
    EXPECT_EQ(longest.substr(0, MEDIA_PATH_CAPACITY), QueuePath(3));

    // The limits: files, and characters of paths. What does not fit changes nothing.
    const struct { int length, fitting; bool shortFits; } limits[] = {
        { 2, QUEUE_FILE_CAPACITY, false },   // short paths: the file count holds
        { 1023, 64, true },                  // long ones: the text does, 64 Ki characters and a NUL each
        { 256, QUEUE_FILE_CAPACITY, false }, // 64 Ki characters exactly in 256 files
    };
    for (const auto& limit : limits) {
        SCOPED_TRACE(limit.length);
        QueueClear();
        int refused = 0;
        EXPECT_EQ(limit.fitting, AppendPaths(limit.fitting + 5, limit.length, &refused));
        EXPECT_EQ(5, refused);
        ASSERT_EQ(limit.fitting, g_queueCount);
        for (int i = 0; i < g_queueCount; ++i) ASSERT_EQ(size_t(limit.length), wcslen(QueuePath(i))) << i;
        // Whole paths only: where the text is full, a shorter one may still fit.
        EXPECT_EQ(limit.shortFits, bool(QueueAppend(L"s")));
    }
    QueueClear();
    EXPECT_EQ(0, g_queueCount);
    EXPECT_TRUE(QueueAppend(L"again"));
    EXPECT_STREQ(L"again", QueuePath(0));
    QueueClear();
}

// Previous goes to the file before within the first 3 s of one, else to the
// start of this one, and so at the first file too.
TEST(Queue, NextAndPreviousWithTheThreeSecondRule)
{
    QueueClear();
    AppendPaths(3, 4);
    const struct { int index; LONGLONG position; bool next; int previous; } cases[] = {
        { -1, 0, true, -1 },  // none opened: no file before
        { 0, 0, true, 0 },     { 0, 10 * SECOND, true, 0 },  // the first file: its start
        { 1, 0, true, 0 },     { 1, 3 * SECOND - 1, true, 0 },
        { 1, 3 * SECOND, true, 1 }, { 1, 90 * SECOND, true, 1 },
        { 2, SECOND, false, 1 },    { 2, 4 * SECOND, false, 2 },  // the last file: no next
    };
    for (const auto& c : cases) {
        g_queueIndex = c.index;
        EXPECT_EQ(c.next, bool(QueueHasNext())) << c.index;
        EXPECT_EQ(c.previous, QueuePreviousIndex(c.position)) << c.index << " at " << c.position;
    }
    QueueClear();
}

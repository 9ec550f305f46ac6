// The queue on a real strip: records of code 12 played in order, next and
// previous by records and app commands, a failed file skipped after 2 s,
// and where the strip is in it, as the status answer and the tooltip tell.
// (A plain path clearing it and a full one refusing: process_tests.)
#include "app/commands.h"
#include "app/status.h"
#include "core/queue.h"
#include "strip/details.h"
#include "strip_fixture.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

class QueueTest : public StripTest {
protected:
    // A WAV of its own, milliseconds long, written once per name.
    static std::wstring Wav(const WCHAR* name, int milliseconds)
    {
        WCHAR path[MAX_PATH];
        TempFile(path, MAX_PATH, name);
        EXPECT_TRUE(WriteWav(path, milliseconds));
        return path;
    }
    LRESULT Queue(const std::wstring& path) { return Record(CMD_QUEUE, path.c_str()); }
    LRESULT AppCommand(int command) { return Send(WM_APPCOMMAND, WPARAM(window), MAKELPARAM(0, FAPPCOMMAND_KEY | command)); }
    void Tick(int times)
    {
        for (int i = 0; i < times; ++i) Send(WM_TIMER, TICK_TIMER_ID);
    }
    // The status answer's last two lines.
    static std::wstring Place()
    {
        WCHAR text[STATUS_TEXT_CAPACITY];
        ComposeStatus(text);
        std::wstring status = text;
        return status.substr(status.find(L"queue="));
    }
    // The tooltip's time line.
    static std::wstring TimeLine()
    {
        WCHAR text[DETAILS_CAPACITY];
        ComposeDetails(text, DETAILS_CAPACITY);
        std::wstring details = text;
        size_t start = details.find(L"\r\n") + 2;
        return details.substr(start, details.find(L"\r\n", start) - start);
    }
};

} // namespace

// Added to a strip with no file, the first plays at once and the rest wait;
// each end opens the next; after the last the strip stands at its end, and
// a file added then plays at once.
TEST_F(QueueTest, RecordsPlayInOrderAndTellTheirPlace)
{
    const std::wstring files[] = { Wav(L"queue-a.wav", 400), Wav(L"queue-b.wav", 400), Wav(L"queue-c.wav", 400) };
    EXPECT_EQ(L"queue=0\r\nindex=0\r\n", Place());
    for (const std::wstring& file : files) EXPECT_EQ(1, Queue(file));
    EXPECT_EQ(files[0], g_mediaPath);
    EXPECT_EQ(State_Running, g_player.filterState);
    EXPECT_EQ(L"queue=2\r\nindex=1\r\n", Place());
    EXPECT_EQ(L"0:00 / 0:00  playing  1/3", TimeLine());
    std::vector<std::wstring> played = { g_mediaPath };
    ASSERT_TRUE(PumpUntil([&] {
        if (played.back() != g_mediaPath) played.push_back(g_mediaPath);
        return played.size() == 3 && g_player.ended;
    }, 15000));
    EXPECT_EQ(std::vector<std::wstring>(std::begin(files), std::end(files)), played);
    EXPECT_EQ(L"queue=0\r\nindex=3\r\n", Place());
    EXPECT_EQ(L"0:00 / 0:00  ended  3/3", TimeLine());
    const std::wstring later = Wav(L"queue-d.wav", 30000);
    EXPECT_EQ(1, Queue(later));
    EXPECT_EQ(later, g_mediaPath);
    EXPECT_EQ(State_Running, g_player.filterState);
    EXPECT_EQ(L"queue=0\r\nindex=4\r\n", Place());
    // An empty record adds nothing; one file alone shows no place in the tip.
    EXPECT_EQ(1, Record(CMD_QUEUE));
    EXPECT_EQ(4, g_queueCount);
    Record(CMD_OPEN, later.c_str());
    EXPECT_EQ(L"0:00 / 0:30  playing", TimeLine());
}

// Next and previous from records (an empty path; with one they open it, as
// codes 10 and 11 always did) and from the keyboard's app commands; the
// file before only in the first 3 s of a file, else this one's start.
TEST_F(QueueTest, NextAndPreviousByRecordsAndAppCommands)
{
    const std::wstring files[] = { Wav(L"queue-long-a.wav", 20000), Wav(L"queue-long-b.wav", 20000),
                                   Wav(L"queue-long-c.wav", 20000) };
    for (const std::wstring& file : files) Queue(file);
    struct Step { const char* what; LRESULT answer; int file; OAFilterState state; bool nearStart; };
    const std::vector<std::pair<std::function<LRESULT()>, Step>> steps = {
        { [&] { return Record(CMD_NEXT); }, { "record next", 1, 1, State_Running, true } },
        { [&] { return Record(CMD_PAUSE); }, { "pause", 1, 1, State_Paused, true } },
        { [&] { return AppCommand(APPCOMMAND_MEDIA_NEXTTRACK); }, { "key next, paused", TRUE, 2, State_Running, true } },
        { [&] { return Record(CMD_NEXT); }, { "next at the last", 1, 2, State_Running, true } },
        { [&] { return Record(CMD_PREVIOUS); }, { "record previous early", 1, 1, State_Running, true } },
        { [&] { return Record(CMD_SEEK_TO | 5 << 16); }, { "seek to 5 s", 1, 1, State_Running, false } },
        { [&] { return AppCommand(APPCOMMAND_MEDIA_PREVIOUSTRACK); }, { "key previous late", TRUE, 1, State_Running, true } },
        { [&] { return AppCommand(APPCOMMAND_MEDIA_PREVIOUSTRACK); }, { "key previous early", TRUE, 0, State_Running, true } },
        { [&] { return Record(CMD_SEEK_TO | 5 << 16); }, { "seek to 5 s", 1, 0, State_Running, false } },
        { [&] { return Record(CMD_PREVIOUS); }, { "previous at the first", 1, 0, State_Running, true } },
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.second.what);
        EXPECT_EQ(step.second.answer, step.first());
        EXPECT_EQ(files[step.second.file], g_mediaPath);
        EXPECT_EQ(step.second.file, g_queueIndex);
        EXPECT_EQ(step.second.state, GraphState());
        LONGLONG position = -1;
        EXPECT_TRUE(PlayerGetPosition(&g_player, &position));
        EXPECT_EQ(step.second.nearStart, position < 2 * MEDIA_TIME_PER_SECOND) << position;
    }
    EXPECT_EQ(3, g_queueCount);
    // With a path, codes 10 and 11 open it as a plain path does.
    for (ULONG_PTR code : { CMD_NEXT, CMD_PREVIOUS }) {
        EXPECT_EQ(1, Record(code, files[2].c_str()));
        EXPECT_EQ(files[2], g_mediaPath);
        EXPECT_EQ(1, g_queueCount);
        EXPECT_EQ(0, g_queueIndex);
    }
}

// A queued file that fails shows its failure for 2 s of ticks, then the next
// plays; a failure shown longer than that lets a file added later play at once.
TEST_F(QueueTest, AFailedFileShowsTwoSecondsThenTheNextPlays)
{
    const std::wstring wav = Wav(L"queue-after-failure.wav", 30000), gone = L"Z:\\tallyvox-none\\queued.wav";
    std::wstring tooLong = L"Z:\\tallyvox-none\\" + std::wstring(1200, L'q');
    for (const std::wstring& failing : { gone, tooLong }) {
        SCOPED_TRACE(failing.size());
        Record(CMD_OPEN, L"Z:\\tallyvox-none\\before.wav");
        EXPECT_EQ(1, Queue(failing));  // nothing plays, but the failure before has not shown 2 s
        ExpectFailureFor(L"Z:\\tallyvox-none\\before.wav");
        Tick(FAILURE_SHOWN_TICKS);
        ExpectFailureFor(failing.c_str(), std::min(int(failing.size()), MEDIA_PATH_CAPACITY));
        EXPECT_EQ(1, Queue(wav));
        EXPECT_EQ(L"queue=1\r\nindex=2\r\n", Place());
        Tick(FAILURE_SHOWN_TICKS - 1);
        ExpectFailureFor(failing.c_str(), std::min(int(failing.size()), MEDIA_PATH_CAPACITY));
        Tick(1);
        EXPECT_EQ(wav, g_mediaPath);
        EXPECT_EQ(State_Running, g_player.filterState);
        EXPECT_EQ(L"queue=0\r\nindex=3\r\n", Place());
    }
}

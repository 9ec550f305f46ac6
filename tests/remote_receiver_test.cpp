// WM_COPYDATA records as any program may send them: the commands carried out,
// and malformed records bounded by their byte count.
#include "strip_fixture.h"

#include <string.h>

namespace {

const ULONG_PTR HIGH_BITS = ULONG_PTR(0xA5A5A5A5) << 32;

ULONG_PTR Word(WORD code, int argument = 0)
{
    return code | ULONG_PTR(WORD(argument)) << 16;
}

// Bytes that end right where an inaccessible page begins: any read past
// them faults.
class GuardedBytes {
public:
    static const SIZE_T PAGE = 0x1000;
    GuardedBytes()
    {
        base_ = static_cast<BYTE*>(VirtualAlloc(nullptr, 3 * PAGE, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        VirtualProtect(base_ + 2 * PAGE, PAGE, PAGE_NOACCESS, &old);
    }
    ~GuardedBytes() { VirtualFree(base_, 0, MEM_RELEASE); }
    void* Place(const void* data, DWORD bytes)
    {
        BYTE* start = base_ + 2 * PAGE - bytes;
        memcpy(start, data, bytes);
        return start;
    }

private:
    BYTE* base_;
};

class RemoteTest : public StripTest {
protected:
    LRESULT Record(ULONG_PTR word, const void* data, DWORD bytes)
    {
        COPYDATASTRUCT record = { word, bytes, const_cast<void*>(data) };
        return Send(WM_COPYDATA, 0, LPARAM(&record));
    }
    LRESULT Record(ULONG_PTR word, const WCHAR* path)
    {
        return Record(word, path, DWORD((wcslen(path) + 1) * sizeof(WCHAR)));
    }
    void KeepLines()
    {
        wcscpy(g_mediaPath, L"kept path");
        wcscpy(g_titleLine, L"kept title");
    }
    void ExpectLinesKept()
    {
        EXPECT_STREQ(g_mediaPath, L"kept path");
        EXPECT_STREQ(g_titleLine, L"kept title");
    }
    // The strip's lines after the open refused or failed text[0..length).
    void ExpectFailureFor(const WCHAR* text, int length)
    {
        WCHAR expected[MEDIA_PATH_CAPACITY];
        FailureText(expected, MEDIA_PATH_CAPACITY, text, length);
        EXPECT_STREQ(g_mediaPath, expected);
        FailureText(expected, TITLE_LINE_CAPACITY, text, length);
        EXPECT_STREQ(g_titleLine, expected);
        EXPECT_EQ(g_player.graph, nullptr);
    }
};

class RemotePlayingTest : public RemoteTest {
protected:
    void SetUp() override
    {
        RemoteTest::SetUp();
        if (!HasFatalFailure()) OpenLongWav();
    }
    OAFilterState GraphState()
    {
        OAFilterState state = -1;
        g_player.control->GetState(2000, &state);
        return state;
    }
    LONGLONG Position()
    {
        LONGLONG position = -1;
        g_player.seeking->GetCurrentPosition(&position);
        return position;
    }
};

} // namespace

TEST_F(RemotePlayingTest, TransportCodes)
{
    const WCHAR* other = L"Z:\\tallyvox-none\\ignored.wav";  // travels along, unused
    struct { ULONG_PTR word; OAFilterState after; } steps[] = {
        { Word(CMD_PAUSE), State_Paused }, { Word(CMD_PLAY), State_Running }, { Word(CMD_TOGGLE), State_Paused },
        { Word(CMD_TOGGLE), State_Running }, { HIGH_BITS | Word(CMD_PAUSE), State_Paused },
        { HIGH_BITS | Word(CMD_PLAY), State_Running },
    };
    for (const auto& step : steps) {
        EXPECT_EQ(Record(step.word, other), 1);
        EXPECT_EQ(g_player.filterState, step.after) << std::hex << step.word;
        EXPECT_EQ(GraphState(), step.after);
    }
    EXPECT_STREQ(g_mediaPath, LongWav());
}

TEST_F(RemotePlayingTest, StopPausesAndKeepsPositionAndGraph)
{
    PumpUntil([] { return false; }, 400);
    IGraphBuilder* graph = g_player.graph;
    Record(Word(CMD_STOP), L"");
    EXPECT_EQ(g_player.graph, graph);
    EXPECT_EQ(g_player.filterState, State_Paused);
    EXPECT_EQ(GraphState(), State_Paused) << "paused, not stopped";
    LONGLONG paused = Position();
    EXPECT_GT(paused, 0);
    Record(Word(CMD_PLAY), L"");
    EXPECT_EQ(GraphState(), State_Running);
    EXPECT_GE(Position(), paused) << "play resumes where stop left it";
}

TEST_F(RemotePlayingTest, VolumeCodes)
{
    struct { int start; ULONG_PTR word; int times, after; } cases[] = {
        { 9500, Word(CMD_SET_VOLUME, 5000), 1, 5000 },
        { 8800, Word(CMD_ADD_VOLUME, 500), 2, 9800 },
        { 9500, Word(CMD_ADD_VOLUME, 500), 2, 10000 },
        { 3000, Word(CMD_ADD_VOLUME, -20000), 1, 0 },
        { 3000, Word(CMD_ADD_VOLUME, -1000), 1, 2000 },
        { 3000, Word(CMD_SET_VOLUME, 20000), 1, 10000 },
        { 3000, Word(CMD_SET_VOLUME, 65535), 1, 10000 },  // read unsigned
        { 3000, Word(CMD_ADD_VOLUME, 32767), 1, 10000 },
        { 3000, HIGH_BITS | Word(CMD_SET_VOLUME, 6000), 1, 6000 },
        { 3000, ULONG_PTR(1) << 63 | Word(CMD_ADD_VOLUME, -500), 1, 2500 },
    };
    for (const auto& c : cases) {
        PlayerSetVolume(&g_player, c.start);
        g_volumeDisplayTicks = 0;
        for (int i = 0; i < c.times; ++i) EXPECT_EQ(Record(c.word, L""), 1);
        EXPECT_EQ(Level(), c.after) << std::hex << c.word;
        EXPECT_EQ(g_volumeDisplayTicks, VOLUME_DISPLAY_TICKS);
    }
    EXPECT_EQ(GraphState(), State_Running);
}

TEST_F(RemotePlayingTest, EmptyPathOpensNothing)
{
    IGraphBuilder* graph = g_player.graph;
    for (ULONG_PTR word : { Word(CMD_OPEN), Word(9), HIGH_BITS }) Record(word, L"");
    EXPECT_EQ(g_player.graph, graph);
    EXPECT_STREQ(g_mediaPath, LongWav());
    EXPECT_EQ(GraphState(), State_Running);
}

TEST_F(RemoteTest, CodeNineOpensThePath)
{
    EXPECT_EQ(Record(Word(9), LongWav()), 1);
    EXPECT_STREQ(g_mediaPath, LongWav());
    ASSERT_NE(g_player.graph, nullptr);
    EXPECT_EQ(g_player.filterState, State_Running);
}

TEST_F(RemoteTest, OpenCodesAndHighBits)
{
    const WCHAR* path = L"Z:\\tallyvox-none\\remote.wav";
    for (ULONG_PTR word : { Word(CMD_OPEN), Word(7), Word(9, 1234), Word(0xFFFF, 0xFFFF), HIGH_BITS | Word(CMD_OPEN) }) {
        KeepLines();
        EXPECT_EQ(Record(word, path), 1);
        SCOPED_TRACE(word);
        ExpectFailureFor(path, -1);
    }
}

TEST_F(RemoteTest, CommandsWithoutGraph)
{
    g_player.volume = -1234;
    for (WORD code = CMD_PLAY; code <= CMD_ADD_VOLUME; ++code) {
        KeepLines();
        g_volumeDisplayTicks = 0;
        EXPECT_EQ(Record(Word(code, 700), L"Z:\\tallyvox-none\\x.wav"), 1);
        ExpectLinesKept();
        EXPECT_EQ(g_player.volume, -1234);
        EXPECT_EQ(g_player.graph, nullptr);
        EXPECT_EQ(g_volumeDisplayTicks, code >= CMD_SET_VOLUME ? VOLUME_DISPLAY_TICKS : 0) << code;
    }
}

TEST_F(RemoteTest, MalformedRecordsAreBounded)
{
    const WCHAR path[] = L"Z:\\tallyvox-none\\malformed.wav";
    KeepLines();
    EXPECT_EQ(Record(Word(CMD_OPEN), path, 0), 1);          // no bytes
    EXPECT_EQ(Record(Word(CMD_OPEN), nullptr, 100), 1);     // no data
    EXPECT_EQ(Send(WM_COPYDATA, 0, 0), 1);                  // no record
    EXPECT_EQ(Record(Word(CMD_OPEN), path, 1), 1);          // half a character
    ExpectLinesKept();

    Record(Word(CMD_OPEN), path, 11);  // odd: five whole characters
    ExpectFailureFor(path, 5);

    GuardedBytes guard;
    static WCHAR text[1501];
    for (int i = 0; i < 1500; ++i) text[i] = path[i % 30];  // no NUL anywhere
    for (int chars : { 1, 40, 1023, 1024, 1500 }) {
        SCOPED_TRACE(chars);
        KeepLines();
        DWORD bytes = DWORD(chars * sizeof(WCHAR));
        Record(Word(CMD_OPEN), guard.Place(text, bytes), bytes);
        ExpectFailureFor(text, chars);
        KeepLines();
        Record(Word(9), guard.Place(text, bytes + 1), bytes + 1);  // and an odd byte over
        ExpectFailureFor(text, chars);
    }
}

TEST_F(RemoteTest, OverlongPathIsRefusedVisibly)
{
    static WCHAR path[2001];
    wcscpy(path, L"Z:\\");
    for (int i = 3; i < 2000; ++i) path[i] = WCHAR(L'A' + i % 26);
    path[2000] = 0;
    Record(Word(CMD_OPEN), path);
    ExpectFailureFor(path, -1);
    EXPECT_EQ(wcslen(g_mediaPath), size_t(MEDIA_PATH_CAPACITY - 1));
    EXPECT_EQ(wcslen(g_titleLine), size_t(TITLE_LINE_CAPACITY - 1));
}

TEST_F(RemoteTest, RandomRecordsStayBounded)
{
    GuardedBytes guard;
    static WCHAR source[1200];
    static WCHAR plain[1200];
    UINT state = 0x9E3779B9u;
    auto next = [&state](UINT range) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state % range;
    };
    const WCHAR prefix[] = L"Z:\\tallyvox-none\\";
    int opens = 0;
    for (int round = 0; round < 3000; ++round) {
        // Mostly transport and volume codes; opens of paths that cannot exist.
        bool open = next(4) == 0;
        WORD code = open ? (next(2) ? CMD_OPEN : WORD(7 + next(65529))) : WORD(1 + next(6));
        ULONG_PTR word = Word(code, int(next(65536))) | (next(2) ? ULONG_PTR(next(0xFFFFFFFFu)) << 32 : 0);
        DWORD chars = next(1100) + 1;
        for (DWORD i = 0; i < chars; ++i) {
            source[i] = i < 17 ? prefix[i] : next(40) == 0 ? 0 : WCHAR(1 + next(0xFFFE));
        }
        DWORD bytes = next(chars * sizeof(WCHAR) + 1);
        const WCHAR* data;
        switch (next(3)) {
        case 0: data = static_cast<const WCHAR*>(guard.Place(source, bytes)); break;
        case 1: memcpy(plain, source, bytes); data = plain; break;
        default: data = next(4) ? nullptr : source; bytes = next(2) ? 0 : bytes; break;
        }

        wcscpy(g_mediaPath, L"before");
        wcscpy(g_titleLine, L"before");
        g_volumeDisplayTicks = 0;
        g_player.volume = -4321;
        ASSERT_EQ(Record(word, data, bytes), 1);

        ASSERT_EQ(g_player.graph, nullptr);
        ASSERT_LT(wcsnlen(g_mediaPath, MEDIA_PATH_CAPACITY), size_t(MEDIA_PATH_CAPACITY));
        ASSERT_LT(wcsnlen(g_titleLine, TITLE_LINE_CAPACITY), size_t(TITLE_LINE_CAPACITY));
        int length = 0;
        if (open && data) {
            int limit = int(bytes / sizeof(WCHAR)) < 1024 ? int(bytes / sizeof(WCHAR)) : 1024;
            while (length < limit && source[length]) ++length;
        }
        SCOPED_TRACE(testing::Message() << "round " << round << " code " << code << " bytes " << bytes);
        if (length > 0) {
            ++opens;
            ExpectFailureFor(source, length);
        } else {
            ASSERT_EQ(g_player.volume, -4321);
            ASSERT_STREQ(g_mediaPath, L"before");
            ASSERT_STREQ(g_titleLine, L"before");
        }
        ASSERT_EQ(g_volumeDisplayTicks, code == CMD_SET_VOLUME || code == CMD_ADD_VOLUME ? VOLUME_DISPLAY_TICKS : 0);
        if (HasFailure()) break;
    }
    EXPECT_GT(opens, 100);
}

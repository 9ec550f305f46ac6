// WM_COPYDATA records as any program may send them: the commands carried out,
// and malformed records bounded by their byte count; the forwarding end's
// result, and what a launch that Windows refused says.
#include "app/commands.h"
#include "app/remote.h"

#include <memory>

#include "fakes.h"
#include "standard_capture.h"
#include "strip_fixture.h"

namespace {

const ULONG_PTR HIGH_BITS = ULONG_PTR(0xA5A5A5A5) << 32;

ULONG_PTR Word(WORD code, int argument = 0) { return code | ULONG_PTR(WORD(argument)) << 16; }

// Copies bytes to end right where an inaccessible page begins: any read past them faults.
void* Guarded(const void* data, DWORD bytes)
{
    static BYTE* base = static_cast<BYTE*>(VirtualAlloc(nullptr, 0x2000, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    static DWORD old, protect = VirtualProtect(base + 0x1000, 0x1000, PAGE_NOACCESS, &old);
    return protect ? memcpy(base + 0x1000 - bytes, data, bytes) : nullptr;
}

class RemoteTest : public StripTest {
protected:
    void KeepLines()
    {
        wcscpy(g_mediaPath, L"kept path");
        wcscpy(g_titleLine, L"kept title");
    }
};

// A fake graph for the open to reuse, with nothing logged yet; what a hook
// does inside its RenderFile arrives as sends from other threads do while a
// graph call waits.
class InsideRenderTest : public RemoteTest {
protected:
    FakeGraphSet set;
    std::unique_ptr<FakeGraphFactory> factory;  // after the fixture's COM start
    void SetUp() override
    {
        RemoteTest::SetUp();
        factory = std::make_unique<FakeGraphFactory>(&set);
        set.Install(&g_player);
        g_player.volume = -500;
        g_fakeCalls.clear();
    }
    void TearDown() override
    {
        g_fakeCallHook = nullptr;
        g_player = Player{};  // the fakes go with the test
        RemoteTest::TearDown();
    }
};

} // namespace

TEST_F(RemoteTest, TransportCodesAndEmptyPaths)
{
    ASSERT_NO_FATAL_FAILURE(OpenLongWav());
    PumpUntil([] { return false; }, 400);  // a position for stop to keep
    IGraphBuilder* graph = g_player.graph;
    struct { ULONG_PTR word; OAFilterState after; } steps[] = {
        { Word(CMD_PAUSE), State_Paused }, { Word(CMD_PLAY), State_Running }, { Word(CMD_TOGGLE), State_Paused },
        { Word(CMD_TOGGLE), State_Running }, { HIGH_BITS | Word(CMD_PAUSE), State_Paused },
        { HIGH_BITS | Word(CMD_PLAY), State_Running }, { Word(CMD_OPEN), State_Running },  // empty paths open nothing
        { Word(9), State_Running }, { HIGH_BITS, State_Running }, { Word(CMD_STOP), State_Paused },  // stop pauses
    };
    for (const auto& step : steps) {
        EXPECT_EQ(Record(step.word, L""), 1);
        EXPECT_EQ(g_player.filterState, step.after) << std::hex << step.word;
        EXPECT_EQ(GraphState(), step.after) << std::hex << step.word;
    }
    EXPECT_EQ(g_player.graph, graph);
    EXPECT_STREQ(g_mediaPath, LongWav());
    LONGLONG paused = -1, resumed = -1;
    g_player.seeking->GetCurrentPosition(&paused);
    EXPECT_GT(paused, 0);
    Record(Word(CMD_PLAY), L"");
    g_player.seeking->GetCurrentPosition(&resumed);
    EXPECT_GE(resumed, paused) << "play resumes where stop left it";
}

TEST_F(RemoteTest, VolumeCodes)
{
    ASSERT_NO_FATAL_FAILURE(OpenLongWav());
    struct { int start; ULONG_PTR word; int times, after; } cases[] = {
        { 9500, Word(CMD_SET_VOLUME, 5000), 1, 5000 }, { 8800, Word(CMD_ADD_VOLUME, 500), 2, 9800 },
        { 9500, Word(CMD_ADD_VOLUME, 500), 2, 10000 }, { 3000, Word(CMD_ADD_VOLUME, -20000), 1, 0 },
        { 3000, Word(CMD_SET_VOLUME, 65535), 1, 10000 } /* read unsigned */, { 3000, Word(CMD_ADD_VOLUME, 32767), 1, 10000 },
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

TEST_F(RemoteTest, OpenCodesAndHighBits)
{
    const WCHAR* path = L"Z:\\tallyvox-none\\remote.wav";
    for (ULONG_PTR word : { Word(CMD_OPEN), Word(9), Word(9, 1234), Word(0xFFFF, 0xFFFF), HIGH_BITS | Word(CMD_OPEN) }) {
        SCOPED_TRACE(word);
        KeepLines();
        EXPECT_EQ(Record(word, path), 1);
        ExpectFailureFor(path);
    }
    // Code 9, which no sender makes, opens its path like an open.
    EXPECT_EQ(Record(Word(9), LongWav()), 1);
    EXPECT_STREQ(g_mediaPath, LongWav());
    ASSERT_NE(g_player.graph, nullptr);
    EXPECT_EQ(g_player.filterState, State_Running);
}

// A forward returns 0 once the strip has carried it out, and the send's
// error when it reached none. Only Windows' refusal is reported, with one
// line on standard error; other errors pass in silence.
TEST_F(RemoteTest, ForwardsReturnTheSendsErrorAndOnlyARefusalIsReported)
{
    ASSERT_NO_FATAL_FAILURE(OpenLongWav());
    EXPECT_EQ(0u, ForwardCommand(window, Word(CMD_SET_VOLUME, 4000), L""));
    EXPECT_EQ(4000, Level());
    HWND gone = CreatePlainWindow(0, 0, 10, 10);
    DestroyWindow(gone);
    EXPECT_EQ(DWORD(ERROR_INVALID_WINDOW_HANDLE), ForwardCommand(gone, Word(CMD_SET_VOLUME, 2000), L""));
    EXPECT_EQ(4000, Level());
    CapturedStandard err(STD_ERROR_HANDLE);
    for (DWORD error : { ERROR_SUCCESS, ERROR_TIMEOUT, ERROR_INVALID_WINDOW_HANDLE, ERROR_ACCESS_DENIED }) {
        ReportForwardError(error);
        EXPECT_EQ(error == ERROR_ACCESS_DENIED ? "Tallyvox: refused by an elevated strip\r\n" : "", err.Taken()) << error;
    }
}

TEST_F(RemoteTest, MalformedRecordsAreBounded)
{
    const WCHAR path[] = L"Z:\\tallyvox-none\\malformed.wav";
    KeepLines();
    EXPECT_EQ(Record(Word(CMD_OPEN), path, 0), 1);       // no bytes
    EXPECT_EQ(Record(Word(CMD_OPEN), nullptr, 100), 1);  // no data
    EXPECT_EQ(Record(Word(CMD_OPEN), path, 1), 1);       // half a character
    EXPECT_EQ(Send(WM_COPYDATA, 0, 0), 1);               // no record
    EXPECT_STREQ(g_mediaPath, L"kept path");
    EXPECT_STREQ(g_titleLine, L"kept title");

    Record(Word(CMD_OPEN), path, 11);  // odd: five whole characters
    ExpectFailureFor(path, 5);

    static WCHAR text[2001];
    for (int i = 0; i < 2000; ++i) text[i] = path[i % 30];  // no NUL in reach of any record below
    for (int chars : { 1, 1023, 1024, 1500 }) {
        SCOPED_TRACE(chars);
        DWORD bytes = DWORD(chars * sizeof(WCHAR));
        Record(Word(CMD_OPEN), Guarded(text, bytes), bytes);
        ExpectFailureFor(text, chars);
        KeepLines();
        Record(Word(9), Guarded(text, bytes + 1), bytes + 1);  // and an odd byte over
        ExpectFailureFor(text, chars);
    }

    Record(Word(CMD_OPEN), text);  // 2000 characters: refused whole, not opened cut
    ExpectFailureFor(text);
    EXPECT_EQ(wcslen(g_mediaPath), size_t(MEDIA_PATH_CAPACITY - 1));
    EXPECT_EQ(wcslen(g_titleLine), size_t(TITLE_LINE_CAPACITY - 1));
}

TEST_F(RemoteTest, RandomRecordsStayBounded)
{
    static WCHAR source[1200];
    UINT state = 0x9E3779B9u;
    auto next = [&state](UINT range) { return (state ^= state << 13, state ^= state >> 17, state ^= state << 5) % range; };
    int opens = 0;
    for (int round = 0; round < 3000 && !HasFailure(); ++round) {
        // Mostly transport and volume codes; opens of paths that cannot exist.
        bool open = next(4) == 0;
        WORD code = open ? (next(2) ? CMD_OPEN : WORD(9 + next(65527))) : WORD(1 + next(8));
        ULONG_PTR word = Word(code, int(next(65536))) | (next(2) ? ULONG_PTR(next(0xFFFFFFFFu)) << 32 : 0);
        DWORD chars = next(1100) + 1;
        for (DWORD i = 0; i < chars; ++i) source[i] = i < 17 ? L"Z:\\tallyvox-none\\"[i] : next(40) ? WCHAR(1 + next(0xFFFE)) : 0;
        DWORD bytes = next(chars * sizeof(WCHAR) + 1);
        const void* data = Guarded(source, bytes);  // any read past the bytes faults
        if (next(3) == 0) {
            data = next(4) ? nullptr : source;
            bytes = next(2) ? 0 : bytes;
        }
        KeepLines();
        g_volumeDisplayTicks = 0;
        g_player.volume = -4321;
        SCOPED_TRACE(testing::Message() << "round " << round << " code " << code << " bytes " << bytes);
        ASSERT_EQ(Record(word, data, bytes), 1);
        int length = 0, limit = data ? int(bytes / sizeof(WCHAR)) : 0;
        if (limit > MEDIA_PATH_CAPACITY) limit = MEDIA_PATH_CAPACITY;
        while (open && length < limit && source[length]) ++length;
        if (length > 0) {
            ++opens;
            ExpectFailureFor(source, length);  // bounded by the byte count and the path line
        } else {
            EXPECT_EQ(g_player.volume, -4321);
            EXPECT_STREQ(g_mediaPath, L"kept path");
            EXPECT_STREQ(g_titleLine, L"kept title");
            EXPECT_EQ(g_player.graph, nullptr);
        }
        EXPECT_EQ(g_volumeDisplayTicks, code == CMD_SET_VOLUME || code == CMD_ADD_VOLUME ? VOLUME_DISPLAY_TICKS : 0);
    }
    EXPECT_GT(opens, 100);
}

// Records, a key and a click that reach the strip while the graph renders
// (as sends from other threads do when a graph call waits) are carried out
// after that open, in order, by the message loop: never inside it. Volume
// commands in a row merge; of two waiting opens only the last renders.
TEST_F(InsideRenderTest, CommandsArrivingInsideAGraphCallWaitForIt)
{
    int nested = 0;
    g_fakeCallHook = [&](const std::string& call) {
        if (call != "control.RenderFile" || nested++) return;
        EXPECT_EQ(Send(WM_KEYDOWN, VK_INSERT, 1), 0);
        EXPECT_EQ(Record(Word(CMD_ADD_VOLUME, -100), L""), 1);
        EXPECT_EQ(Record(Word(CMD_ADD_VOLUME, -100), L""), 1);
        EXPECT_EQ(Record(Word(CMD_OPEN), L"Z:\\second.wav"), 1);
        EXPECT_EQ(Record(Word(CMD_SET_VOLUME, 3000), L""), 1);
        EXPECT_EQ(Record(Word(CMD_SET_VOLUME, 4000), L""), 1);
        EXPECT_EQ(Send(WM_KEYDOWN, VK_RIGHT, 1), 0);
        EXPECT_EQ(Send(WM_LBUTTONDOWN, MK_LBUTTON, 0), 0);
        EXPECT_EQ(Record(Word(9), L"Z:\\third.wav"), 1);
    };
    EXPECT_EQ(Record(Word(CMD_OPEN), L"Z:\\first.wav"), 1);
    PumpUntil([&] { return g_player.control && set.control.renderedPath == L"Z:\\third.wav"; }, 2000);
    g_fakeCallHook = nullptr;

    std::vector<std::string> transport;
    for (const std::string& call : g_fakeCalls)
        if (call == "control.RenderFile" || call == "control.Run" || call == "control.Pause" ||
            call.rfind("audio.put_Volume", 0) == 0 || call.rfind("seeking.SetPositions", 0) == 0)
            transport.push_back(call);
    const std::vector<std::string> expected = {
        "control.RenderFile", "seeking.SetPositions(0,1)",              // the first open, whole,
        "control.Run", "audio.put_Volume(-500)",                        // from the start
        "audio.put_Volume(-200)",                                       // Insert and both -100, as one
        "audio.put_Volume(-6000)",                                      // the last of two level sets
        "seeking.SetPositions(50000000,1)",                             // Right: 5 s on
        "control.Pause",                                                // the click pauses
        "control.Pause", "audio.put_Volume(-6000)",                     // the paused graph is replaced
        "control.RenderFile", "control.Run", "audio.put_Volume(-6000)", // for the last open only, at the level set
    };
    EXPECT_EQ(transport, expected);
    EXPECT_STREQ(g_mediaPath, L"Z:\\third.wav");
    EXPECT_FALSE(g_playerBusy);
}

// A flood inside one render: every volume step counts, exactly as if each
// were carried out alone, and the last open is still carried out. Commands
// that cannot wait are refused with 0, never answered 1 and dropped.
TEST_F(InsideRenderTest, FloodsInsideAGraphCallLoseNothingTheyAnswerOneTo)
{
    int level = 9500, kept = 0, refused = 0;
    bool flooded = false;
    g_fakeCallHook = [&](const std::string& call) {
        if (call != "control.RenderFile" || flooded) return;
        flooded = true;
        EXPECT_EQ(Record(Word(CMD_SET_VOLUME, 2000)), 1);
        EXPECT_EQ(Record(Word(CMD_ADD_VOLUME, -2500)), 1);  // down to 0 and held there
        level = 700;
        EXPECT_EQ(Record(Word(CMD_ADD_VOLUME, 700)), 1);
        for (int i = 0; i < 300; ++i) {  // steps up into the top, held there, then down and up
            int change = i < 40 ? 300 : i % 2 ? -100 : 100;
            level = std::min(10000, std::max(0, level + change));
            EXPECT_EQ(Record(Word(CMD_ADD_VOLUME, change)), 1) << i;
        }
        for (int i = 0; i < 300; ++i) (Record(Word(i % 2 ? CMD_PLAY : CMD_PAUSE)) ? kept : refused)++;
        EXPECT_EQ(Record(Word(CMD_OPEN), L"Z:\\flood-last.wav"), 1);  // still fits: an open's place is kept
        EXPECT_EQ(Send(WM_GRAPHNOTIFY), 0);
    };
    EXPECT_EQ(Record(Word(CMD_OPEN), L"Z:\\flood-first.wav"), 1);
    PumpUntil([&] { return set.control.renderedPath == L"Z:\\flood-last.wav" && !g_playerBusy; }, 5000);
    g_fakeCallHook = nullptr;
    // Between the first open's start and the second's render: the commands that waited.
    std::vector<std::string> waited;
    auto first = std::find(g_fakeCalls.begin(), g_fakeCalls.end(), "control.Run");
    auto second = std::find(first, g_fakeCalls.end(), "control.RenderFile");
    for (auto call = first; call != second; ++call) if (call->rfind("audio.put_Volume", 0) == 0) waited.push_back(*call);
    const std::string last = "audio.put_Volume(" + std::to_string(level - 10000) + ")";
    EXPECT_EQ(waited, (std::vector<std::string>{"audio.put_Volume(-500)", last, last}))
        << "the first open's level, then the 303 volume records as one, as if one by one; the new graph takes it";
    EXPECT_EQ(kept, WAITING_CAPACITY - 3) << "all places but the volume's and those kept for an open and a drain";
    EXPECT_EQ(refused, 300 - kept);
    // Both opens run the graph, the second after pausing the first; each kept command pauses or runs it.
    EXPECT_EQ(CountCalls("control.Run") + CountCalls("control.Pause"), 2 + 1 + kept);
    EXPECT_EQ(CountCalls("events.GetEvent"), 1);
    EXPECT_STREQ(g_mediaPath, L"Z:\\flood-last.wav");
}

// Every command leaves the strip to repaint at once: the bar follows it, not the next tick.
TEST_F(RemoteTest, EveryCommandLeavesARepaintPending)
{
    FakeGraphSet set;
    set.Install(&g_player);
    g_player.filterState = set.control.state = State_Running;
    const ULONG_PTR words[] = { Word(CMD_PLAY), Word(CMD_PAUSE), Word(CMD_TOGGLE), Word(CMD_STOP),
                                Word(CMD_SET_VOLUME, 4000), Word(CMD_ADD_VOLUME, -100), Word(CMD_SEEK_TO, 3),
                                Word(CMD_SEEK_BY, 1) };
    for (ULONG_PTR word : words) {
        ValidateRect(window, nullptr);
        ASSERT_FALSE(GetUpdateRect(window, nullptr, FALSE));
        EXPECT_EQ(Record(word), 1);
        EXPECT_TRUE(GetUpdateRect(window, nullptr, FALSE)) << std::hex << word;
    }
    g_player = Player{};
}

namespace {

struct LateRecord {
    HWND strip;
    DWORD took;
    DWORD_PTR answer;
};

// Sends a level set half a second after it starts, as a later launch would.
DWORD WINAPI SendLevelLater(void* parameter)
{
    auto* late = static_cast<LateRecord*>(parameter);
    Sleep(500);
    COPYDATASTRUCT record = { CMD_SET_VOLUME | 3000 << 16, sizeof L"", const_cast<WCHAR*>(L"") };
    DWORD start = GetTickCount();
    SendMessageTimeoutW(late->strip, WM_COPYDATA, 0, LPARAM(&record), SMTO_NORMAL, 10000, &late->answer);
    late->took = GetTickCount() - start;
    return 0;
}

} // namespace

// A graph that will not pause holds the strip some 5 s; a record sent
// meanwhile is taken in and answered at once, and carried out after.
TEST_F(RemoteTest, ARecordIsAnsweredWhileAPauseWaits)
{
    FakeGraphSet set;
    set.Install(&g_player);
    set.control.followsTransport = false;
    g_player.filterState = set.control.state = State_Running;
    g_player.volume = -500;
    LateRecord late = { window, 0, 0 };
    HANDLE sender = CreateThread(nullptr, 0, SendLevelLater, &late, 0, nullptr);
    DWORD start = GetTickCount();
    Send(WM_KEYDOWN, VK_UP, 1);
    EXPECT_GE(GetTickCount() - start, 4000u) << "the pause waited for the graph";
    WaitForSingleObject(sender, 10000);
    CloseHandle(sender);
    EXPECT_EQ(late.answer, 1u);
    EXPECT_LT(late.took, 2000u);
    PumpMessages();
    EXPECT_EQ(Level(), 3000);
    g_player = Player{};
}

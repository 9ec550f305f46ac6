// The status answer: its text in every state, refused to strips, bounded for
// an asker that never takes it, given inside a graph call with no call of its
// own; /status in process: its asker open to the answer, its exit codes, its writer.
#include "app/output.h"
#include "app/status.h"
#include "fakes.h"
#include "standard_capture.h"
#include "strip_fixture.h"

#include <atomic>
#include <string>

namespace {

const LONGLONG SECOND = MEDIA_TIME_PER_SECOND;
std::wstring g_answer;  // the last answer's text, its record checked
int g_answers;

LRESULT CALLBACK AskerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_COPYDATA) return DefWindowProcW(window, message, wParam, lParam);
    const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    const WCHAR* text = static_cast<const WCHAR*>(record->lpData);
    size_t chars = record->cbData / sizeof(WCHAR);
    ++g_answers;
    EXPECT_EQ(ULONG_PTR(CMD_STATUS), record->dwData);
    EXPECT_EQ(g_mainWindow, HWND(wParam));
    EXPECT_TRUE(record->cbData % 2 == 0 && chars > 0 && wcslen(text) == chars - 1) << "the text and its NUL";
    g_answer.assign(text, chars ? chars - 1 : 0);
    return 1;
}

// A message-only window, as a program that asks makes one, run by procedure.
HWND CreateAsker(WNDPROC procedure)
{
    HWND asker = CreateWindowExW(0, L"Static", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(asker, GWLP_WNDPROC, LONG_PTR(procedure));
    return asker;
}

std::wstring Text(const WCHAR* state, const WCHAR* position, const WCHAR* duration, int level, const std::wstring& path,
                  int queue = 0, int index = 0)
{
    return std::wstring(L"state=") + state + L"\r\nposition=" + position + L"\r\nduration=" + duration +
           L"\r\nvolume=" + std::to_wstring(level) + L"\r\npath=" + path + L"\r\nqueue=" + std::to_wstring(queue) +
           L"\r\nindex=" + std::to_wstring(index) + L"\r\n";
}

class StatusTest : public StripTest {
protected:
    HWND asker = nullptr;
    void SetUp() override { StripTest::SetUp(), asker = CreateAsker(AskerProc), g_answers = 0; }
    void TearDown() override { DestroyWindow(asker), StripTest::TearDown(); }
    // A question as any program asks it: code 9, an empty path, wParam the asking window.
    LRESULT Ask(HWND from, const WCHAR* path = L"")
    {
        COPYDATASTRUCT record = { CMD_STATUS, DWORD((wcslen(path) + 1) * sizeof(WCHAR)), const_cast<WCHAR*>(path) };
        return Send(WM_COPYDATA, WPARAM(from), LPARAM(&record));
    }
    std::wstring Answer() { g_answer.clear(); EXPECT_EQ(1, Ask(asker)); return g_answer; }
};

} // namespace

// The last tick's figures, held as the tooltip holds them, three decimals cut from 100-ns units.
TEST_F(StatusTest, TextForEveryState)
{
    g_player.volume = -500;
    EXPECT_EQ(Text(L"nofile", L"0.000", L"0.000", 9500, L""), Answer());
    FakeGraphSet set;
    set.Install(&g_player);
    static WCHAR longest[MEDIA_PATH_CAPACITY];
    for (int i = 0; i < MEDIA_PATH_CAPACITY - 1; ++i) longest[i] = i % 50 ? L'a' + i % 26 : L'\\';
    const WCHAR* music = L"C:\\\u97f3\u697d\\\u00e9t\u00e9 \U0001F3B5.wav";
    const LONGLONG MOST = 0x7FFFFFFFFFFFFFFF;
    // The player's figures and path, and the state and times to read.
    struct Case { OAFilterState state; BOOL ended; LONGLONG at, length; int level; const WCHAR *path, *word, *place, *time; };
    const Case cases[] = {
        { State_Running, FALSE, 12 * SECOND + 3456789, 60 * SECOND, 9500, L"a b.wav", L"playing", L"12.345", L"60.000" },
        { State_Paused, FALSE, 9999, 10000, 0, music, L"paused", L"0.000", L"0.001" },
        { State_Stopped, TRUE, 61 * SECOND, 60 * SECOND, 10000, longest, L"ended", L"60.000", L"60.000" },
        { State_Stopped, FALSE, 5 * SECOND, 0, 1, L"s", L"stopped", L"0.000", L"0.000" },
        { State_Running, FALSE, -SECOND, 3600 * SECOND, 9500, L"x", L"playing", L"0.000", L"3600.000" },
        { State_Running, FALSE, MOST, MOST, 9500, L"x", L"playing", L"922337203685.477", L"922337203685.477" },
        // A file whose own name begins with the failure prefix plays like any other.
        { State_Running, FALSE, 0, SECOND, 9500, FAILURE_PREFIX L"a", L"playing", L"0.000", L"1.000" },
    };
    for (const auto& c : cases) {
        g_player.filterState = c.state, g_player.ended = c.ended, g_player.volume = c.level - 10000;
        g_position = c.at, g_duration = c.length;
        wcscpy(g_mediaPath, c.path);
        g_fakeCalls.clear();
        EXPECT_EQ(Text(c.word, c.place, c.time, c.level, c.path), Answer());
        EXPECT_EQ(g_fakeCalls, std::vector<std::string>{}) << "the answer calls no player";
    }
    EXPECT_EQ(8, g_answers);
    g_player = Player{};
}

// "failed" with the path after the prefix, cut as the strip shows it, until an open plays.
TEST_F(StatusTest, FailedOpensAndTheOpenAfter)
{
    static WCHAR longest[MEDIA_PATH_CAPACITY] = L"Z:\\tallyvox-none\\";
    for (size_t i = wcslen(longest); i < MEDIA_PATH_CAPACITY - 1; ++i) longest[i] = L'b';
    for (const WCHAR* path : { L"Z:\\tallyvox-none\\gone.wav", static_cast<const WCHAR*>(longest) }) {
        Record(CMD_OPEN, path);
        std::wstring shown = std::wstring(path).substr(0, MEDIA_PATH_CAPACITY - 4);  // the path line holds the prefix too
        EXPECT_EQ(Text(L"failed", L"0.000", L"0.000", 9500, shown, 0, 1), Answer());
    }
    Record(CMD_OPEN, LongWav());
    EXPECT_EQ(0u, Answer().find(L"state=playing\r\n"));
}

// Never to a strip, itself or another (it would open "state=..."), nor to
// what is no window; with a path, code 9 opens it and answers nothing.
TEST_F(StatusTest, NoAnswerToStripsOrNonWindows)
{
    HWND other = CreateStripWindow(GetModuleHandleW(nullptr), nullptr), gone = CreateAsker(AskerProc);
    DestroyWindow(gone);
    wcscpy(g_mediaPath, L"kept path");
    for (HWND from : { window, other, gone, HWND(nullptr) }) {
        EXPECT_EQ(1, Ask(from));
        EXPECT_STREQ(L"kept path", g_mediaPath);
    }
    DestroyWindow(other);
    EXPECT_EQ(1, Ask(asker, L"Z:\\tallyvox-none\\nine.wav"));
    ExpectFailureFor(L"Z:\\tallyvox-none\\nine.wav");
    EXPECT_EQ(0, g_answers);
}

namespace {

std::atomic<HWND> g_deafAsker;
HANDLE g_releaseDeafAsker;

// Never takes anything in: once the answer waits for it, it sends the strip
// a volume record (SMTO_BLOCK: the answer stays out), then idles.
DWORD WINAPI RunDeafAsker(void*)
{
    g_deafAsker = CreateAsker(DefWindowProcW);
    for (int polls = 0; polls < 1000 && !(HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE); ++polls) Sleep(5);
    COPYDATASTRUCT record = { CMD_SET_VOLUME | 3000 << 16, sizeof L"", const_cast<WCHAR*>(L"") };
    DWORD_PTR result = 0;
    SendMessageTimeoutW(g_mainWindow, WM_COPYDATA, 0, LPARAM(&record), SMTO_BLOCK, 5000, &result);
    WaitForSingleObject(g_releaseDeafAsker, 10000);
    return DWORD(result);
}

} // namespace

// An asker that never takes the answer holds the strip about a second, not
// for good; records from others are carried out meanwhile.
TEST_F(StatusTest, AskerThatNeverPumpsHoldsTheStripAboutASecond)
{
    g_releaseDeafAsker = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, RunDeafAsker, nullptr, 0, nullptr);
    ASSERT_TRUE(PumpUntil([] { return g_deafAsker != nullptr; }, 5000));
    DWORD start = GetTickCount();
    EXPECT_EQ(1, Ask(g_deafAsker));
    EXPECT_LT(GetTickCount() - start, 3000u);
    EXPECT_EQ(VOLUME_DISPLAY_TICKS, g_volumeDisplayTicks) << "carried out inside the answer's wait";
    SetEvent(g_releaseDeafAsker);
    DWORD answered = 0;
    PumpUntil([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, 10000);
    GetExitCodeThread(thread, &answered);
    EXPECT_EQ(1u, answered);
    CloseHandle(thread);
    CloseHandle(g_releaseDeafAsker);
}

// Inside a graph call the answer comes there and then, from the figures of before it.
TEST_F(StatusTest, AnsweredAtOnceInsideAGraphCall)
{
    FakeGraphSet set;
    set.Install(&g_player);
    wcscpy(g_mediaPath, L"Z:\\first.wav");
    g_position = 5 * SECOND, g_duration = 10 * SECOND;
    size_t calls = 0;
    g_fakeCallHook = [&](const std::string& call) {
        if (call != "control.RenderFile") return;
        calls = g_fakeCalls.size();
        // The queue tells of the file being opened already, the rest not yet.
        EXPECT_EQ(Text(L"stopped", L"5.000", L"10.000", 9500, L"Z:\\first.wav", 0, 1), Answer());
        EXPECT_EQ(calls, g_fakeCalls.size());
    };
    EXPECT_EQ(1, Record(CMD_OPEN, L"Z:\\second.wav"));
    g_fakeCallHook = nullptr;
    EXPECT_TRUE(calls > 0 && g_answers == 1);
    EXPECT_EQ(Text(L"playing", L"0.000", L"0.000", 9500, L"Z:\\second.wav", 0, 1), Answer());
    g_player = Player{};
}

namespace {

HANDLE g_askNow;
std::atomic<int> g_slowAnswers;

// Takes the strip's answer, slowly.
LRESULT CALLBACK SlowAskerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_COPYDATA) return DefWindowProcW(window, message, wParam, lParam);
    Sleep(900);
    ++g_slowAnswers;
    return 1;
}

DWORD WINAPI RunSlowAsker(void*)
{
    HWND asker = CreateAsker(SlowAskerProc);
    WaitForSingleObject(g_askNow, 10000);
    COPYDATASTRUCT record = { CMD_STATUS, sizeof L"", const_cast<WCHAR*>(L"") };
    DWORD_PTR result = 0;
    SendMessageTimeoutW(g_mainWindow, WM_COPYDATA, WPARAM(asker), LPARAM(&record), SMTO_NORMAL, 30000, &result);
    DestroyWindow(asker);
    return 0;
}

// A stand-in for the user32 lookup: it records the names asked for and, where
// g_userHasFilter, hands out a filter function that records its calls.
std::vector<std::string> g_lookups, g_filterCalls;
bool g_userHasFilter;

BOOL WINAPI RecordFilterChange(HWND window, UINT message, DWORD action, PCHANGEFILTERSTRUCT details)
{
    // The asker is /status's one message-only window of its class, alive while it asks.
    bool asker = window && FindWindowExW(HWND_MESSAGE, nullptr, L"TallyvoxAsker", nullptr) == window;
    g_filterCalls.push_back((asker ? "asker " : "other ") + std::to_string(message) + " " + std::to_string(action) +
                            (details ? " details" : ""));
    return TRUE;
}

void* FindInUser32(LPCSTR name)
{
    g_lookups.push_back(name);
    bool filter = g_userHasFilter && strcmp(name, "ChangeWindowMessageFilterEx") == 0;
    return filter ? reinterpret_cast<void*>(RecordFilterChange) : nullptr;
}

} // namespace

// A session is silent only for its own time: seven slow askers answered
// inside the wait for a pause, six seconds in all, do not make a session
// silent that answers within 5 ms, nor one that answers half a second of its
// own time after them.
TEST_F(StatusTest, TimeSpentOnOthersIsNotTheSessionsSilence)
{
    for (DWORD answerMs : { 5, 6800 }) {
        SCOPED_TRACE(answerMs);
        FakeSession session;
        FakeSource source;
        session.answerMs = answerMs;
        g_player = Player{};
        g_player.session = FakeGraphSet::Ref(session);
        g_player.source = FakeGraphSet::Ref(source);
        g_player.filterState = State_Running;
        wcscpy(g_mediaPath, L"Z:\\healthy.m4a");
        g_askNow = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        g_slowAnswers = 0;
        HANDLE askers[7];
        for (HANDLE& asker : askers) asker = CreateThread(nullptr, 0, RunSlowAsker, nullptr, 0, nullptr);
        g_fakeCallHook = [](const std::string& call) {
            if (call == "session.Pause") SetEvent(g_askNow), Sleep(300);  // the questions wait when the pause does
        };
        PlayerPause(&g_player);
        g_fakeCallHook = nullptr;
        EXPECT_EQ(7, g_slowAnswers.load()) << "answered inside the pause's wait";
        EXPECT_EQ(State_Paused, g_player.filterState);
        EXPECT_TRUE(PlayerHasMedia(&g_player));
        EXPECT_STREQ(L"Z:\\healthy.m4a", g_mediaPath);
        EXPECT_TRUE(PumpUntil([&] { return !WaitForMultipleObjects(7, askers, TRUE, 0); }, 30000));
        for (HANDLE asker : askers) CloseHandle(asker);
        CloseHandle(g_askNow);
        g_player = Player{};
    }
}

// /status asks through a message-only window that lets WM_COPYDATA in from
// any level, and works as well where user32 lacks the filter (before Windows
// 7): 0 with the lines, 2 when the window asked does not answer, 1 with no strip.
TEST_F(StatusTest, AskerLetsTheAnswerInAndExitsWithItsCode)
{
    g_player.volume = -500;
    HWND deaf = CreateAsker(DefWindowProcW);
    const std::string lines = Utf8(Text(L"nofile", L"0.000", L"0.000", 9500, L""));
    const std::string allowed = "asker " + std::to_string(WM_COPYDATA) + " " + std::to_string(MSGFLT_ALLOW);
    struct Case { HWND strip; bool hasFilter; int code; bool written; };
    const Case cases[] = {
        { window, true, 0, true }, { window, false, 0, true }, { deaf, true, 2, false }, { nullptr, true, 1, false },
    };
    CapturedStandard out(STD_OUTPUT_HANDLE);
    for (const auto& c : cases) {
        g_lookups.clear(), g_filterCalls.clear(), g_userHasFilter = c.hasFilter;
        EXPECT_EQ(c.code, AskForStatus(GetModuleHandleW(nullptr), c.strip, FindInUser32));
        EXPECT_EQ(c.written ? lines : "", out.Taken());
        EXPECT_EQ(std::vector<std::string>(c.strip ? 1 : 0, "ChangeWindowMessageFilterEx"), g_lookups);
        EXPECT_EQ(std::vector<std::string>(c.strip && c.hasFilter ? 1 : 0, allowed), g_filterCalls);
        EXPECT_EQ(nullptr, FindWindowExW(HWND_MESSAGE, nullptr, L"TallyvoxAsker", nullptr)) << "the asker is gone";
    }
    DestroyWindow(deaf);
}

// The writer takes the longest text in UTF-8 whole, a surrogate pair as 4
// bytes; a text whose bytes would not fit its buffer fails with nothing written.
TEST(StandardOutput, TakesTheLongestTextAndRefusesLonger)
{
    std::wstring longest(OUTPUT_TEXT_CAPACITY - 3, L'\u97f3');
    longest += L"\U0001F3B5";
    std::wstring tooLong(OUTPUT_TEXT_CAPACITY + 1, L'\u97f3');
    CapturedStandard out(STD_OUTPUT_HANDLE);
    EXPECT_TRUE(WriteStandard(STD_OUTPUT_HANDLE, longest.c_str()));
    std::string bytes = out.Taken();
    EXPECT_EQ(size_t(OUTPUT_TEXT_CAPACITY - 3) * 3 + 4, bytes.size());
    EXPECT_EQ(Utf8(longest), bytes);
    EXPECT_FALSE(WriteStandard(STD_OUTPUT_HANDLE, tooLong.c_str()));
    EXPECT_EQ("", out.Taken());
}

// Asking the strip: the status text in every state, the answer to an asking
// window, refused to strips, bounded for an asker that never takes it, and
// given at once inside a graph call without calling the player.
#include "app/status.h"
#include "fakes.h"
#include "strip_fixture.h"

#include <string>

namespace {

const LONGLONG SECOND = MEDIA_TIME_PER_SECOND;

// What the asker windows got: every answer's text, checked as a record.
std::wstring g_answer;
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
    EXPECT_EQ(0u, record->cbData % sizeof(WCHAR));
    // The text with its terminating NUL, and nothing after it.
    EXPECT_TRUE(chars > 0 && text[chars - 1] == 0 && wcslen(text) == chars - 1);
    g_answer.assign(text, chars ? chars - 1 : 0);
    return 1;
}

// A message-only window, as a program that asks makes one.
HWND CreateAsker(WNDPROC procedure)
{
    static ATOM atom;
    if (!atom) {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = AskerProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"TallyvoxTestAsker";
        atom = RegisterClassW(&windowClass);
    }
    HWND asker = CreateWindowExW(0, L"TallyvoxTestAsker", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (procedure) SetWindowLongPtrW(asker, GWLP_WNDPROC, LONG_PTR(procedure));
    return asker;
}

std::wstring StatusText(const WCHAR* state, const WCHAR* position, const WCHAR* duration, int level,
                        const std::wstring& path)
{
    return std::wstring(L"state=") + state + L"\r\nposition=" + position + L"\r\nduration=" + duration +
           L"\r\nvolume=" + std::to_wstring(level) + L"\r\npath=" + path + L"\r\n";
}

class StatusTest : public StripTest {
protected:
    HWND asker = nullptr;
    void SetUp() override
    {
        StripTest::SetUp();
        asker = CreateAsker(nullptr);
        g_answer.clear();
        g_answers = 0;
    }
    void TearDown() override
    {
        DestroyWindow(asker);
        StripTest::TearDown();
    }
    // A query as any program sends it: code 9, an empty path, wParam the asking window.
    LRESULT Ask(HWND from, const WCHAR* path = L"")
    {
        COPYDATASTRUCT record = { CMD_STATUS, DWORD((wcslen(path) + 1) * sizeof(WCHAR)), const_cast<WCHAR*>(path) };
        return Send(WM_COPYDATA, WPARAM(from), LPARAM(&record));
    }
    std::wstring Answer()
    {
        g_answer.clear();
        EXPECT_EQ(1, Ask(asker));
        return g_answer;
    }
};

} // namespace

// Each state with the figures the last tick read: times held as the tooltip
// holds them, three decimals from 100-ns units, the path as it is.
TEST_F(StatusTest, TextForEveryState)
{
    g_player.volume = -500;
    EXPECT_EQ(StatusText(L"nofile", L"0.000", L"0.000", 9500, L""), Answer());

    FakeGraphSet set;
    set.Install(&g_player);
    static WCHAR longest[MEDIA_PATH_CAPACITY];
    for (int i = 0; i < MEDIA_PATH_CAPACITY - 1; ++i) longest[i] = i % 50 ? L'a' + i % 26 : L'\\';
    const LONGLONG LARGEST = 0x7FFFFFFFFFFFFFFF;
    const struct {
        OAFilterState state;
        BOOL ended;
        LONGLONG position, duration;
        int level;
        const WCHAR* path;
        std::wstring text;
    } cases[] = {
        { State_Running, FALSE, 12 * SECOND + 3456789, 60 * SECOND, 9500, L"C:\\Music\\a b.wav",
          StatusText(L"playing", L"12.345", L"60.000", 9500, L"C:\\Music\\a b.wav") },
        { State_Paused, FALSE, 9999, 10000, 0, L"p.wav", StatusText(L"paused", L"0.000", L"0.001", 0, L"p.wav") },
        { State_Stopped, TRUE, 61 * SECOND, 60 * SECOND, 10000, L"e.wav",
          StatusText(L"ended", L"60.000", L"60.000", 10000, L"e.wav") },
        { State_Stopped, FALSE, 5 * SECOND, 0, 1, L"s.wav", StatusText(L"stopped", L"0.000", L"0.000", 1, L"s.wav") },
        { State_Running, FALSE, -SECOND, 3600 * SECOND, 9500, L"x",
          StatusText(L"playing", L"0.000", L"3600.000", 9500, L"x") },
        { State_Running, FALSE, LARGEST, LARGEST, 9500, L"x",
          StatusText(L"playing", L"922337203685.477", L"922337203685.477", 9500, L"x") },
        // A file whose own name begins with the failure prefix plays like any other.
        { State_Running, FALSE, 0, SECOND, 9500, FAILURE_PREFIX L"a.wav",
          StatusText(L"playing", L"0.000", L"1.000", 9500, FAILURE_PREFIX L"a.wav") },
        { State_Paused, FALSE, SECOND, 2 * SECOND, 9500, L"C:\\\u97f3\u697d\\\u00e9t\u00e9 \U0001F3B5.wav",
          StatusText(L"paused", L"1.000", L"2.000", 9500, L"C:\\\u97f3\u697d\\\u00e9t\u00e9 \U0001F3B5.wav") },
        { State_Running, FALSE, SECOND, 2 * SECOND, 9500, longest, StatusText(L"playing", L"1.000", L"2.000", 9500, longest) },
    };
    for (const auto& c : cases) {
        g_player.filterState = c.state;
        g_player.ended = c.ended;
        g_position = c.position;
        g_duration = c.duration;
        g_player.volume = c.level - 10000;
        wcscpy(g_mediaPath, c.path);
        g_fakeCalls.clear();
        g_answers = 0;
        EXPECT_EQ(c.text, Answer());
        EXPECT_EQ(1, g_answers);
        EXPECT_EQ(g_fakeCalls, std::vector<std::string>{}) << "the answer calls no player";
    }
    g_player = Player{};
}

// A failed open answers "failed" with the path the strip shows after the
// prefix, cut as it shows it; the next open that plays ends that.
TEST_F(StatusTest, FailedOpensAndTheOpenAfter)
{
    Record(CMD_OPEN, L"Z:\\tallyvox-none\\gone.wav");
    EXPECT_EQ(StatusText(L"failed", L"0.000", L"0.000", 9500, L"Z:\\tallyvox-none\\gone.wav"), Answer());

    static WCHAR longest[MEDIA_PATH_CAPACITY] = L"Z:\\tallyvox-none\\";
    for (size_t i = wcslen(longest); i < MEDIA_PATH_CAPACITY - 1; ++i) longest[i] = L'b';
    Record(CMD_OPEN, longest);
    std::wstring shown(longest, MEDIA_PATH_CAPACITY - 1 - 3);  // the path line holds the prefix too
    EXPECT_EQ(StatusText(L"failed", L"0.000", L"0.000", 9500, shown), Answer());

    Record(CMD_OPEN, LongWav());
    ASSERT_EQ(g_player.filterState, State_Running);
    EXPECT_EQ(0u, Answer().find(L"state=playing\r\n"));
    EXPECT_NE(std::wstring::npos, g_answer.find(std::wstring(L"\r\nduration=30.000\r\n")));
    EXPECT_NE(std::wstring::npos, g_answer.find(std::wstring(L"\r\npath=") + LongWav() + L"\r\n"));
}

// Never to a strip, itself or another (it would open "state=..."), nor to
// what is no window; with a path, code 9 opens it and answers nothing.
TEST_F(StatusTest, NoAnswerToStripsOrNonWindows)
{
    HWND other = CreateStripWindow(GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(other, nullptr);
    HWND gone = CreateAsker(nullptr);
    DestroyWindow(gone);
    wcscpy(g_mediaPath, L"kept path");
    wcscpy(g_titleLine, L"kept title");
    for (HWND from : { window, other, gone, HWND(nullptr) }) {
        EXPECT_EQ(1, Ask(from));
        EXPECT_STREQ(L"kept path", g_mediaPath);
        EXPECT_STREQ(L"kept title", g_titleLine);
        EXPECT_EQ(nullptr, g_player.graph);
    }
    DestroyWindow(other);
    EXPECT_EQ(1, Ask(asker, L"Z:\\tallyvox-none\\nine.wav"));
    ExpectFailureFor(L"Z:\\tallyvox-none\\nine.wav");
    EXPECT_EQ(0, g_answers);
}

namespace {

// An asker on a thread of its own that never pumps: it says when the
// strip's answer waits for it, then stays deaf until released.
struct DeafAsker {
    HWND window = nullptr;
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE answerWaits = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    static DWORD WINAPI Run(void* self)
    {
        DeafAsker& deaf = *static_cast<DeafAsker*>(self);
        deaf.window = CreateAsker(DefWindowProcW);
        SetEvent(deaf.ready);
        // Looks at the queue without taking anything from it.
        while (!(HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE)) {
            if (WaitForSingleObject(deaf.release, 5) == WAIT_OBJECT_0) return 0;
        }
        SetEvent(deaf.answerWaits);
        WaitForSingleObject(deaf.release, INFINITE);
        return 0;
    }
    ~DeafAsker()
    {
        SetEvent(release);
        WaitForSingleObject(thread, 10000);
        for (HANDLE handle : { thread, ready, answerWaits, release }) CloseHandle(handle);
    }
};

// Sends the strip a volume record from a thread of its own once the answer waits.
DWORD WINAPI SendVolumeWhileTheAnswerWaits(void* deaf)
{
    WaitForSingleObject(static_cast<DeafAsker*>(deaf)->answerWaits, 10000);
    COPYDATASTRUCT record = { CMD_SET_VOLUME | 3000 << 16, sizeof L"", const_cast<WCHAR*>(L"") };
    DWORD_PTR result = 0;
    SendMessageTimeoutW(g_mainWindow, WM_COPYDATA, 0, LPARAM(&record), SMTO_NORMAL, 10000, &result);
    return DWORD(result);
}

} // namespace

// An asker that never takes the answer holds the strip about a second, not
// for good; meanwhile records from others are still carried out.
TEST_F(StatusTest, AskerThatNeverPumpsHoldsTheStripAboutASecond)
{
    DeafAsker deaf;
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(deaf.ready, 10000));
    HANDLE sender = CreateThread(nullptr, 0, SendVolumeWhileTheAnswerWaits, &deaf, 0, nullptr);
    g_volumeDisplayTicks = 0;
    DWORD start = GetTickCount();
    EXPECT_EQ(1, Ask(deaf.window));
    DWORD held = GetTickCount() - start;
    EXPECT_LT(held, 3000u);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(deaf.answerWaits, 0)) << "the answer was sent";
    // Carried out inside the answer's wait: this thread has not pumped since.
    EXPECT_EQ(VOLUME_DISPLAY_TICKS, g_volumeDisplayTicks);
    PumpUntil([&] { return WaitForSingleObject(sender, 0) == WAIT_OBJECT_0; }, 10000);
    DWORD answered = 0;
    GetExitCodeThread(sender, &answered);
    EXPECT_EQ(1u, answered);
    CloseHandle(sender);
}

// A query that arrives inside a graph call is answered there and then, from
// the figures of before the call, with no call of its own.
TEST_F(StatusTest, AnsweredAtOnceInsideAGraphCall)
{
    FakeGraphSet set;
    set.Install(&g_player);
    wcscpy(g_mediaPath, L"Z:\\first.wav");
    g_position = 5 * SECOND;
    g_duration = 10 * SECOND;
    size_t callsBefore = 0, callsAfter = 0;
    g_fakeCallHook = [&](const std::string& call) {
        if (call != "control.RenderFile") return;
        callsBefore = g_fakeCalls.size();
        EXPECT_TRUE(g_playerBusy);
        EXPECT_EQ(StatusText(L"stopped", L"5.000", L"10.000", 9500, L"Z:\\first.wav"), Answer());
        callsAfter = g_fakeCalls.size();
    };
    EXPECT_EQ(1, Record(CMD_OPEN, L"Z:\\second.wav"));
    g_fakeCallHook = nullptr;
    EXPECT_GT(callsBefore, 0u);
    EXPECT_EQ(callsBefore, callsAfter);
    EXPECT_EQ(1, g_answers);
    EXPECT_EQ(0u, Answer().find(L"state=playing\r\n"));
    EXPECT_NE(std::wstring::npos, g_answer.find(L"\r\npath=Z:\\second.wav\r\n"));
    g_player = Player{};
}

#include "app/status.h"
#include "app/output.h"
#include "app/remote.h"
#include "core/queue.h"
#include "core/state.h"
#include "player/player.h"
#include "strip/details.h"

BOOL g_failedOpen;

namespace {

const int FAILURE_PREFIX_LENGTH = sizeof OPEN_FAILURE_PREFIX / sizeof(WCHAR) - 1;
const LONGLONG TIME_PER_MILLISECOND = MEDIA_TIME_PER_SECOND / 1000;
const UINT ANSWER_WAIT_MS = 1000;
// Longer than the answer's own wait, and as long as a launch waits for a starting strip.
const UINT ASK_WAIT_MS = 5000;
const WCHAR ASKER_CLASS_NAME[] = L"TallyvoxAsker";
static_assert(STATUS_TEXT_CAPACITY <= OUTPUT_TEXT_CAPACITY, "the writer takes the longest status text");

BOOL g_answerUnderWay;          // the strip waits in a send of an answer
HWND g_askedStrip;              // the /status launch's strip, the only sender it takes an answer from
WCHAR g_statusAnswer[STATUS_TEXT_CAPACITY];

// Seconds with three decimals from 100-ns units (0 and up): the digits of
// the milliseconds from the right, the point after the third. out holds 24.
void FormatSeconds(WCHAR* out, LONGLONG time)
{
    ULONGLONG milliseconds = ULONGLONG(time) / TIME_PER_MILLISECOND;
    WCHAR digits[24];
    int count = 0;
    do {
        if (count == 3) digits[count++] = L'.';
        digits[count++] = WCHAR(L'0' + milliseconds % 10);
        milliseconds /= 10;
    } while (milliseconds != 0 || count < 5);
    while (count > 0) *out++ = digits[--count];
    *out = 0;
}

// A record of code 9 with text and its NUL from window from, waiting at most ms for it to be taken.
void SendStatusRecord(HWND to, HWND from, const WCHAR* text, UINT flags, UINT ms)
{
    COPYDATASTRUCT record = { CMD_STATUS, DWORD((lstrlenW(text) + 1) * sizeof(WCHAR)), const_cast<WCHAR*>(text) };
    DWORD_PTR answer;
    SendMessageTimeoutW(to, WM_COPYDATA, WPARAM(from), LPARAM(&record), flags, ms, &answer);
}

// The first answer from the asked strip, bounded by its byte count.
LRESULT CALLBACK AskerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_COPYDATA) return DefWindowProcW(window, message, wParam, lParam);
    const COPYDATASTRUCT* record = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (record && record->dwData == CMD_STATUS && HWND(wParam) == g_askedStrip && !g_statusAnswer[0])
        CopyRecordText(g_statusAnswer, STATUS_TEXT_CAPACITY, record);
    return 1;
}

} // namespace

int ComposeStatus(WCHAR* out)
{
    const WCHAR* state = L"nofile";
    const WCHAR* path = L"";
    LONGLONG position = 0, duration = 0;
    if (PlayerHasMedia(&g_player)) {
        state = PlaybackStateWord(&g_player);
        path = g_mediaPath;
        // Held as the tooltip holds them: an unknown duration leaves both at 0.
        if (g_duration > 0) {
            duration = g_duration;
            position = g_position < 0 ? 0 : g_position > duration ? duration : g_position;
        }
    } else if (g_failedOpen) {
        // The flag, not the prefix, tells: a file's own name may begin with it.
        state = L"failed";
        path = StartsWith(g_mediaPath, OPEN_FAILURE_PREFIX) ? g_mediaPath + FAILURE_PREFIX_LENGTH : g_mediaPath;
    }
    WCHAR positionText[24], durationText[24];
    FormatSeconds(positionText, position);
    FormatSeconds(durationText, duration);
    int length = wsprintfW(out, L"state=%s\r\nposition=%s\r\nduration=%s\r\nvolume=%d\r\npath=", state, positionText,
                           durationText, VolumeLevel(&g_player));
    length += CopyText(out + length, STATUS_TEXT_CAPACITY - length, path);
    // The files after this one, and this one's place from 1 (0 before the first).
    return length + wsprintfW(out + length, L"\r\nqueue=%d\r\nindex=%d\r\n", g_queueCount - g_queueIndex - 1,
                              g_queueIndex + 1);
}

void AnswerStatusQuery(HWND asker)
{
    WCHAR text[STATUS_TEXT_CAPACITY];
    // A strip would take the answer for an open of a file named "state=...".
    if (!IsWindow(asker) || !GetClassNameW(asker, text, STATUS_TEXT_CAPACITY) || SameText(text, STRIP_CLASS_NAME))
        return;
    ComposeStatus(text);
    // Records and queries arriving while the asker takes its time are handled
    // meanwhile; an answer asked for then blocks, so answers nest one deep.
    BOOL nested = g_answerUnderWay;
    g_answerUnderWay = TRUE;
    SendStatusRecord(asker, g_mainWindow, text, nested ? SMTO_ABORTIFHUNG | SMTO_BLOCK : SMTO_ABORTIFHUNG, ANSWER_WAIT_MS);
    g_answerUnderWay = nested;
}

int AskForStatus(HINSTANCE instance, HWND strip, void* (*findUser32Function)(LPCSTR))
{
    if (!strip) return 1;
    g_askedStrip = strip;
    g_statusAnswer[0] = 0;
    WNDCLASSW askerClass = {};
    askerClass.lpfnWndProc = AskerWndProc;
    askerClass.hInstance = instance;
    askerClass.lpszClassName = ASKER_CLASS_NAME;
    RegisterClassW(&askerClass);
    HWND asker = CreateWindowExW(0, ASKER_CLASS_NAME, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    // An elevated launch gets the answer of a strip below it only through
    // its own window's filter; the strip lets nothing up to itself.
    auto allow = reinterpret_cast<decltype(&ChangeWindowMessageFilterEx)>(
        findUser32Function("ChangeWindowMessageFilterEx"));
    if (allow) allow(asker, WM_COPYDATA, MSGFLT_ALLOW, nullptr);
    // The answer is sent to the asker while this send waits, and handled inside it.
    SendStatusRecord(strip, asker, L"", SMTO_ABORTIFHUNG, ASK_WAIT_MS);
    DestroyWindow(asker);
    if (!g_statusAnswer[0]) return 2;
    return WriteStandard(STD_OUTPUT_HANDLE, g_statusAnswer) ? 0 : 3;
}

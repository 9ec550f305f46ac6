// The command line: tokenizer, option table and the bounds of every buffer.
#include "app/command_line.h"
#include "core/queue.h"
#include "core/state.h"
#include "product_state.h"
#include "window_helpers.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <wchar.h>

#include <string>
#include <vector>

namespace {

struct Parsed {
    CommandLine commandLine;
    const WCHAR* path() const { return g_mediaPath; }
    DWORD word() const { return commandLine.commandWord; }
};

void ResetDock()
{
    g_dockTarget = nullptr;
    g_dockSide = -1;
}

Parsed Parse(const WCHAR* text)
{
    Parsed parsed;
    ReadCommandLine(text, &parsed.commandLine);
    return parsed;
}

DWORD Word(DWORD code, int argument)
{
    return code | (DWORD(WORD(argument)) << 16);
}

} // namespace

TEST(Tokenizer, SplitsQuotedAndUnquotedTokens)
{
    struct Case {
        const WCHAR* text;
        const WCHAR* tokens[4];
    } cases[] = {
        { L"  a\tb  ", { L"a", L"b" } },
        { L"\"C:\\My Music\\a b.wav\" next", { L"C:\\My Music\\a b.wav", L"next" } },
        { L"\"say \"\"hi\"\"\"", { L"say \"hi\"" } },
        { L"\"closed\"glued", { L"closed", L"glued" } },
        { L"un\"quo ted\"rest x", { L"un\"quo ted\"rest", L"x" } },
        { L"a\"\"b c", { L"a\"\"b", L"c" } },
        { L"\"\" x", { L"", L"x" } },
        { L"\"open to the end", { L"open to the end" } },
        { L"one\r\ntwo", { L"one" } },
        { L"one\n\rtwo", { L"one" } },
        { L"\"quoted\rstop\" more", { L"quoted" } },
        { L"a\"b\nc\" d", { L"a\"b" } },
    };
    for (const Case& c : cases) {
        const WCHAR* cursor = c.text;
        WCHAR token[CMD_TOKEN_CAPACITY];
        int i = 0;
        for (; i < 4 && c.tokens[i]; ++i) {
            ASSERT_NE(0, NextCmdToken(cursor, token)) << c.text;
            EXPECT_STREQ(c.tokens[i], token) << c.text;
        }
        EXPECT_EQ(0, NextCmdToken(cursor, token)) << c.text;
        EXPECT_STREQ(L"", token);
    }
}

TEST(Tokenizer, ReturnsTheFirstCharacterAsWritten)
{
    const WCHAR* cursor = L"\"q\" -x /y \x01z";
    WCHAR token[CMD_TOKEN_CAPACITY];
    EXPECT_EQ(L'"', NextCmdToken(cursor, token));
    EXPECT_EQ(L'-', NextCmdToken(cursor, token));
    EXPECT_EQ(L'/', NextCmdToken(cursor, token));
    // A control character as first character gives an empty token.
    EXPECT_EQ(L'\x01', NextCmdToken(cursor, token));
    EXPECT_STREQ(L"", token);
}

TEST(Tokenizer, PeekStopsAtLineBreaks)
{
    const WCHAR* text = L"\r\nx";
    const WCHAR* cursor = text;
    EXPECT_EQ(0, PeekCmdChar(cursor));
    EXPECT_EQ(text + 1, cursor);
    cursor = L"\n\rx";
    EXPECT_EQ(0, PeekCmdChar(cursor));
    cursor = L"\rx";
    EXPECT_EQ(0, PeekCmdChar(cursor));
    cursor = L"q";
    EXPECT_EQ(L'q', PeekCmdChar(cursor));
}

TEST(Tokenizer, ParseDecimalReadsDigitsAndSaturates)
{
    const WCHAR* cursor = L"0123x";
    EXPECT_EQ(123u, ParseDecimal(cursor));
    EXPECT_EQ(L'x', *cursor);
    cursor = L"-5";
    EXPECT_EQ(0u, ParseDecimal(cursor));
    EXPECT_EQ(L'-', *cursor);
    cursor = L"18446744073709551615";
    EXPECT_EQ(~0ULL, ParseDecimal(cursor));
    // One past the largest value, and far past it: never wraps to a small number.
    cursor = L"18446744073709551616";
    EXPECT_EQ(~0ULL, ParseDecimal(cursor));
    cursor = L"99999999999999999999999999999999999999";
    EXPECT_EQ(~0ULL, ParseDecimal(cursor));
    EXPECT_EQ(0, *cursor);
}

TEST(CommandLineParse, PathsAndCommandsLastWins)
{
    ResetDock();
    EXPECT_STREQ(L"", Parse(L"tallyvox.exe").path());
    EXPECT_EQ(CMD_OPEN, Parse(L"tallyvox.exe").word());
    EXPECT_EQ(nullptr, Parse(L"tallyvox.exe").commandLine.parent);

    // The first token is dropped whatever it holds: an unquoted program path
    // with a blank leaves its second piece as a path.
    EXPECT_STREQ(L"Files\\tallyvox.exe", Parse(L"C:\\Program Files\\tallyvox.exe").path());
    EXPECT_STREQ(L"b.wav", Parse(L"x a.wav b.wav").path());
    EXPECT_STREQ(L"", Parse(L"x a.wav \"\"").path());
    EXPECT_STREQ(L"/play", Parse(L"x \"/play\"").path());
    EXPECT_EQ(CMD_OPEN, Parse(L"x \"/play\"").word());
    EXPECT_EQ(CMD_STOP, Parse(L"x /play /stop").word());
    EXPECT_EQ(CMD_PLAY, Parse(L"x -play").word());
    EXPECT_EQ(CMD_PAUSE, Parse(L"x /pause").word());
    EXPECT_EQ(CMD_TOGGLE, Parse(L"x /tpause").word());
    EXPECT_STREQ(L"a.wav", Parse(L"x a.wav\r\nb.wav /stop").path());
    EXPECT_EQ(CMD_OPEN, Parse(L"x a.wav\nb.wav /stop").word());
}

TEST(CommandLineParse, OptionsMatchCaseAndWholeWords)
{
    ResetDock();
    const WCHAR* ignored[] = { L"x /PLAY", L"x /Play", L"x /plays", L"x /pla", L"x /Volume50", L"x /", L"x -",
                               L"x /stop2" };
    for (const WCHAR* text : ignored) {
        Parsed parsed = Parse(text);
        EXPECT_EQ(CMD_OPEN, parsed.word()) << text;
        EXPECT_STREQ(L"", parsed.path()) << text;
    }
    EXPECT_EQ(CMD_PLAY, Parse(L"x /play /PLAY").word());
    EXPECT_EQ(nullptr, g_dockTarget);
}

// /status only asks, whatever else the line holds; the command and path stay as read.
TEST(CommandLineParse, StatusOption)
{
    const struct { const WCHAR* text; BOOL asks; } cases[] = {
        { L"x /status", TRUE }, { L"x -status /play a.wav", TRUE }, { L"x a.wav /status /volume5", TRUE },
        { L"x /Status", FALSE }, { L"x /statuses", FALSE }, { L"x \"/status\"", FALSE }, { L"x /play", FALSE },
    };
    for (const auto& c : cases) EXPECT_EQ(c.asks, Parse(c.text).commandLine.asksStatus) << c.text;
    EXPECT_EQ(CMD_PLAY, Parse(L"x -status /play a.wav").word());
    EXPECT_STREQ(L"a.wav", Parse(L"x a.wav /status").path());
}

// With /queue every path of the line is queued, in order, wherever the
// option stands; without it the last path alone, as the path it opens.
TEST(CommandLineParse, QueueNextAndPrevious)
{
    static WCHAR tooLong[1200] = L"x ";
    for (int i = 2; i < 1100; ++i) tooLong[i] = L'z';
    const struct { const WCHAR* text; BOOL queues; DWORD word; std::vector<std::wstring> queue; } cases[] = {
        { L"x /queue a.wav \"b c.wav\" d", TRUE, CMD_OPEN, { L"a.wav", L"b c.wav", L"d" } },
        { L"x a b -queue c /pause", TRUE, CMD_PAUSE, { L"a", L"b", L"c" } },
        { L"x /queue a \"\" b", TRUE, CMD_OPEN, { L"a", L"b" } },  // an empty path adds nothing
        { L"x /queue", TRUE, CMD_OPEN, {} },
        { L"x a b c", FALSE, CMD_OPEN, { L"c" } },
        { L"x a \"\"", FALSE, CMD_OPEN, {} },
        { L"x /next a", FALSE, CMD_NEXT, { L"a" } }, { L"x -prev", FALSE, CMD_PREVIOUS, {} },
        { L"x /Queue /queues /NEXT /previous a b", FALSE, CMD_OPEN, { L"b" } },
        { tooLong, FALSE, CMD_OPEN, { std::wstring(MEDIA_PATH_CAPACITY, L'z') } },  // too long stays too long
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text).substr(0, 60)));
        Parsed parsed = Parse(c.text);
        EXPECT_EQ(c.queues, parsed.commandLine.queues);
        EXPECT_EQ(c.word, parsed.word());
        EXPECT_EQ(0, parsed.commandLine.notQueued);
        EXPECT_EQ(-1, g_queueIndex);
        std::vector<std::wstring> queue;
        for (int i = 0; i < g_queueCount; ++i) queue.push_back(QueuePath(i));
        EXPECT_EQ(c.queue, queue);
    }
    // More paths than the queue holds: the first 256 are kept, and the rest counted, only with /queue.
    std::wstring line = L"x";
    for (int i = 0; i < 300; ++i) line += L" p" + std::to_wstring(i);
    EXPECT_EQ(0, Parse(line.c_str()).commandLine.notQueued);
    EXPECT_EQ(1, g_queueCount);
    EXPECT_EQ(44, Parse((line + L" /queue").c_str()).commandLine.notQueued);
    ASSERT_EQ(QUEUE_FILE_CAPACITY, g_queueCount);
    EXPECT_STREQ(L"p255", QueuePath(QUEUE_FILE_CAPACITY - 1));
    EXPECT_STREQ(L"p299", g_mediaPath);  // a forward of the launch's plain path is as before
    RestoreProductGlobals();
}

TEST(CommandLineParse, VolumeAndSeekArgumentsSaturate)
{
    struct Case {
        const WCHAR* text;
        DWORD word;
        const WCHAR* path;
    } cases[] = {
        { L"x /volume", Word(CMD_SET_VOLUME, 0), L"" },
        { L"x /volumes", Word(CMD_SET_VOLUME, 0), L"" },
        { L"x /volume 50", Word(CMD_SET_VOLUME, 0), L"50" },
        { L"x /volume5000", Word(CMD_SET_VOLUME, 5000), L"" },
        { L"x -volume+500", Word(CMD_ADD_VOLUME, 500), L"" },
        { L"x /volume-100", Word(CMD_ADD_VOLUME, -100), L"" },
        { L"x /volume65535", Word(CMD_SET_VOLUME, 65535), L"" },
        { L"x /volume65536", Word(CMD_SET_VOLUME, 65535), L"" },
        { L"x /volume+32767", Word(CMD_ADD_VOLUME, 32767), L"" },
        { L"x /volume+32768", Word(CMD_ADD_VOLUME, 32767), L"" },
        { L"x /volume-32768", Word(CMD_ADD_VOLUME, -32768), L"" },
        { L"x /volume-32769", Word(CMD_ADD_VOLUME, -32768), L"" },
        { L"x /volume+99999999999999999999999999", Word(CMD_ADD_VOLUME, 32767), L"" },
        { L"x /volume-99999999999999999999999999", Word(CMD_ADD_VOLUME, -32768), L"" },
        { L"x /volume18446744073709551617", Word(CMD_SET_VOLUME, 65535), L"" },
        { L"x /volume+", Word(CMD_ADD_VOLUME, 0), L"" },
        { L"x /seek30", Word(CMD_SEEK_TO, 30), L"" },
        { L"x -seek+5", Word(CMD_SEEK_BY, 5), L"" },
        { L"x /seek-5", Word(CMD_SEEK_BY, -5), L"" },
        { L"x /seek", Word(CMD_SEEK_TO, 0), L"" },
        { L"x /seeking 7", Word(CMD_SEEK_TO, 0), L"7" },
        { L"x /seek65536", Word(CMD_SEEK_TO, 65535), L"" },
        { L"x /seek+32768", Word(CMD_SEEK_BY, 32767), L"" },
        { L"x /seek-99999999999999999999999", Word(CMD_SEEK_BY, -32768), L"" },
        { L"x /Seek5 /seek9 /play", Word(CMD_PLAY, 0), L"" },  // case counts; the last command wins
    };
    for (const Case& c : cases) {
        Parsed parsed = Parse(c.text);
        EXPECT_EQ(c.word, parsed.word()) << c.text;
        EXPECT_STREQ(c.path, parsed.path()) << c.text;
    }
    EXPECT_EQ(65436u << 16 | CMD_ADD_VOLUME, Parse(L"x /volume-100").word());
}

TEST(CommandLineParse, ParentOption)
{
    EXPECT_EQ(HWND(123), Parse(L"x /P123").commandLine.parent);
    EXPECT_EQ(HWND(456), Parse(L"x /P123 -P456").commandLine.parent);
    EXPECT_EQ(nullptr, Parse(L"x /P123 /P").commandLine.parent);
    EXPECT_EQ(nullptr, Parse(L"x /P123 /P-7").commandLine.parent);
    EXPECT_EQ(HWND(123), Parse(L"x /P123 /Px9").commandLine.parent);
    EXPECT_EQ(HWND(12), Parse(L"x /P12x").commandLine.parent);
}

TEST(CommandLineParse, DockOptionNeedsARealWindowAndFirstWins)
{
    HWND first = CreatePlainWindow(10, 10, 50, 50);
    HWND second = CreatePlainWindow(70, 10, 50, 50);
    HWND gone = CreatePlainWindow(130, 10, 50, 50);
    ASSERT_TRUE(first && second && gone);
    DestroyWindow(gone);
    ULONGLONG a = ULONG_PTR(first), b = ULONG_PTR(second), dead = ULONG_PTR(gone);
    struct Case {
        const WCHAR* format;
        ULONGLONG handles[2];
        HWND target;
        int side;
    } cases[] = {
        { L"x /V%llu", { a }, first, 1 },
        { L"x /VL%llu", { a }, first, 0 },
        { L"x /VR%llu", { a }, first, 1 },
        { L"x /VLR%llu", { a }, first, 1 },
        { L"x /VRL%llu", { a }, nullptr, -1 },
        { L"x /V %llu", { a }, nullptr, -1 },
        { L"x /v%llu", { a }, nullptr, -1 },
        // A handle naming no window is ignored, so a later real one is taken.
        { L"x /VL%llu /V%llu", { dead, a }, first, 1 },
        // The first accepted one wins over a later one naming another window.
        { L"x /V%llu /VL%llu", { a, b }, first, 1 },
    };
    for (const Case& c : cases) {
        WCHAR text[128];
        _snwprintf(text, 128, c.format, c.handles[0], c.handles[1]);
        text[127] = 0;
        ResetDock();
        Parse(text);
        EXPECT_EQ(c.target, g_dockTarget) << text;
        EXPECT_EQ(c.side, g_dockSide) << text;
    }
    ResetDock();
    DestroyWindow(first);
    DestroyWindow(second);
}

TEST(CommandLineParse, OverlongPathsAreRefusedNeverCut)
{
    static WCHAR text[8192];
    // 1023 characters fit exactly.
    wcscpy(text, L"x ");
    for (int i = 0; i < 1023; ++i) wcscat(text, L"a");
    Parsed fits = Parse(text);
    EXPECT_EQ(1023u, wcslen(fits.path()));
    EXPECT_STREQ(L"", fits.commandLine.refusedPath);

    // 1024 do not: the path is dropped, an earlier one does not come back,
    // and its start is kept, still too long to fit, for the failure text
    // and for a running strip to refuse.
    wcscpy(text, L"x short.wav b");
    for (int i = 0; i < 1100; ++i) wcscat(text, L"b");
    Parsed refused = Parse(text);
    EXPECT_STREQ(L"", refused.path());
    EXPECT_EQ(size_t(MEDIA_PATH_CAPACITY), wcslen(refused.commandLine.refusedPath));
    EXPECT_EQ(L'b', refused.commandLine.refusedPath[MEDIA_PATH_CAPACITY - 1]);

    // A later path that fits wins again.
    wcscat(text, L" last.wav");
    Parsed later = Parse(text);
    EXPECT_STREQ(L"last.wav", later.path());
    EXPECT_STREQ(L"", later.commandLine.refusedPath);

    // A token longer than the token buffer is cut there, never past it.
    wcscpy(text, L"x /volume");
    for (int i = 0; i < 6000; ++i) wcscat(text, L"9");
    EXPECT_EQ(Word(CMD_SET_VOLUME, 65535), Parse(text).word());
}

namespace {

// A command-line generator biased towards what breaks tokenizers.
struct Random {
    unsigned state;
    unsigned Next()
    {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    }
    unsigned Below(unsigned n) { return Next() % n; }
};

int MakeRandomCommandLine(Random& random, WCHAR* text, int capacity)
{
    static const WCHAR* pieces[] = { L" ", L"\t", L"\"", L"\"\"", L"/", L"-", L"\r", L"\n", L"\r\n", L"/volume",
                                     L"/volume+", L"/volume-", L"/V", L"/VL", L"/P", L"play", L"stop", L"\\",
                                     L"/queue", L"next", L"prev",
                                     L"\x01", L"\x1f", L"\xffff", L"\xd800", L"%s", L"%n" };
    int length = 0;
    int parts = int(random.Below(60));
    for (int part = 0; part < parts && length < capacity - 1; ++part) {
        unsigned kind = random.Below(10);
        if (kind < 5) {
            const WCHAR* piece = pieces[random.Below(sizeof pieces / sizeof pieces[0])];
            while (*piece && length < capacity - 1) text[length++] = *piece++;
        } else if (kind < 7) {
            int digits = int(random.Below(30));
            for (int i = 0; i < digits && length < capacity - 1; ++i) text[length++] = WCHAR(L'0' + random.Below(10));
        } else if (kind < 9) {
            int run = random.Below(4) == 0 ? int(random.Below(5000)) : int(random.Below(20));
            WCHAR ch = WCHAR(L'a' + random.Below(26));
            for (int i = 0; i < run && length < capacity - 1; ++i) text[length++] = ch;
        } else {
            text[length++] = WCHAR(1 + random.Below(0xfffe));
        }
    }
    text[length] = 0;
    return length;
}

bool Terminated(const WCHAR* buffer, int capacity)
{
    for (int i = 0; i < capacity; ++i) {
        if (buffer[i] == 0) return true;
    }
    return false;
}

} // namespace

TEST(CommandLineParse, RandomLinesKeepEveryBufferInBounds)
{
    // Guards on both sides of the token buffer and the result catch any overrun.
    const WCHAR guard = 0x5a5a;
    static struct {
        WCHAR before[16];
        WCHAR token[CMD_TOKEN_CAPACITY];
        WCHAR between[16];
        CommandLine result;
        WCHAR after[16];
    } guarded;
    static WCHAR text[12000];
    wcscpy(g_titleLine, L"title stays");
    wcscpy(g_statusLine, L"status stays");

    Random random = { 12345 };
    for (int round = 0; round < 20000; ++round) {
        MakeRandomCommandLine(random, text, 12000);
        for (int i = 0; i < 16; ++i) guarded.before[i] = guarded.between[i] = guarded.after[i] = guard;

        const WCHAR* cursor = text;
        for (int tokens = 0; NextCmdToken(cursor, guarded.token) != 0; ++tokens) {
            ASSERT_TRUE(Terminated(guarded.token, CMD_TOKEN_CAPACITY)) << round;
            ASSERT_EQ(nullptr, wcspbrk(guarded.token, L"\r\n")) << round;
            ASSERT_LT(tokens, 12000) << "the tokenizer must always move on";
        }
        ResetDock();
        ReadCommandLine(text, &guarded.result);
        ASSERT_TRUE(Terminated(g_mediaPath, MEDIA_PATH_CAPACITY)) << round;
        ASSERT_TRUE(Terminated(guarded.result.refusedPath, MEDIA_PATH_CAPACITY + 1)) << round;
        for (int i = 0; i < 16; ++i) {
            ASSERT_EQ(guard, guarded.before[i]) << round;
            ASSERT_EQ(guard, guarded.between[i]) << round;
            ASSERT_EQ(guard, guarded.after[i]) << round;
        }
        ASSERT_STREQ(L"title stays", g_titleLine);
        ASSERT_STREQ(L"status stays", g_statusLine);
        ASSERT_LE(LOWORD(guarded.result.commandWord), DWORD(CMD_PREVIOUS));
        ASSERT_LE(g_queueCount, guarded.result.queues ? QUEUE_FILE_CAPACITY : 1);
        for (int i = 0; i < g_queueCount; ++i) ASSERT_LE(wcslen(QueuePath(i)), size_t(MEDIA_PATH_CAPACITY)) << round;
    }
    RestoreProductGlobals();
}

// tolvo-host: a stand-in for the script host. It opens a main window, loads
// tolvo.dll by name, resolves commands by their decorated names and runs a
// small command script. It serves the demo, the examples and the e2e tests.
//
//   tolvo-host [--dll PATH] [--hidden] SCRIPT
//
// Script lines (# starts a comment):
//   int NAME [VALUE]            an integer variable (one word)
//   str NAME BYTES ["text"]     a string variable with BYTES of storage
//   bytes NAME BYTES            a byte buffer
//   COMMAND ARG...              calls _COMMAND@16; its result goes to `result`
//       ARG: 12, -3, 0x1F | "text" (a writable copy) | &NAME (result pointer)
//            "${VAR}" in a text is the environment variable VAR's value;
//            texts are code page 932, escapes \n \t \xHH \\ \"
//            @NAME (variable record) | window (the window-info record)
//            NAME (an integer reference, as in print: its value)
//   print NAME [int|str|hex]    NAME may be result, NAME.type/.kind/.words,
//                               NAME[K] (the K-th 32-bit word of the storage)
//   expect NAME VALUE           VALUE: integer, an integer reference, "text", or
//                               hex:0102ff (leading bytes)
//   check NAME VALUE ["what"]   as expect, and prints the answer beside the
//                               expected one either way
//   summary                     prints how many checks held and which failed
//   add NAME VALUE              NAME += VALUE
//   wait MS                     keeps the window alive for MS milliseconds
//   repeat N ... end            runs the block N times
//   repeat N until NAME VALUE   ... or until NAME (as in expect) holds VALUE
//                               after a run of the block
//   run "command line"          starts a program without waiting for it
//   echo TEXT                   prints TEXT
//   or ACC NAME                 ACC |= NAME (collects the bits polled over frames)
//   count COUNTER NAME VALUE    adds 1 to COUNTER when NAME equals VALUE
//   break NAME VALUE            leaves the innermost repeat when NAME equals VALUE
//   child NAME                  fills NAME (at least 7 words) with what the main
//                               window's children show: [0] their number, then
//                               of the first one [1] style, [2] 1 if visible,
//                               [3] left, [4] top, [5] width, [6] height in the
//                               main window's client coordinates
//   resize W H                  gives the main window a client area of W x H
//   file NAME "path"            a byte buffer holding the file's bytes
//   platform NAME               a string variable holding the platform the host
//                               runs on: windows, or wine8, wine10 ... under Wine
//   if NAME VALUE ... [else ...] end
//                               runs the first block when NAME holds VALUE (as
//                               in expect), the else block otherwise
//   boxes NAME                  from now on answers every message box at once
//                               with OK and collects its text in the string
//                               variable NAME (texts joined by line feeds)
// Exit status: 0 all expectations held, 1 one failed, 2 the script is wrong
// or the DLL could not be loaded.
#include <windows.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cmdline.h"
#include "messages.h"
#include "platform_name.h"
#include "script.h"
#include "tolvo.h"

namespace {

typedef int(__stdcall* Command)(uint32_t, uint32_t, uint32_t, uint32_t);

struct Variable {
    TolvoVar rec{};
    std::vector<uint32_t> storage; // the host's buffer; at least 64 bytes
};

HMODULE g_dll = nullptr;
HWND g_window = nullptr;
TolvoWindowInfo g_info{};
std::map<std::string, std::unique_ptr<Variable>> g_vars;
int32_t g_result = 0;
const char* g_scriptName = "";
std::vector<std::unique_ptr<std::string>> g_argCopies; // writable copies of string arguments

// "tolvo-host: " and a message on the error stream.
void say(const std::string& message)
{
    writeText(stderr, "tolvo-host: " + message + "\n");
}

// "SCRIPT:LINE: " and what is wrong there, on the error stream.
void sayAtLine(const ScriptError& e)
{
    writeText(stderr, std::string(g_scriptName) + ":" + std::to_string(e.line) + ": " + e.message + "\n");
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void pumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void waitMs(DWORD ms)
{
    const DWORD start = GetTickCount();
    for (;;) {
        pumpMessages();
        const DWORD spent = GetTickCount() - start;
        if (spent >= ms)
            break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
    }
}

bool createWindow(bool hidden)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "tolvo-host";
    if (!RegisterClassA(&wc))
        return false;
    RECT r{0, 0, 640, 480};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
    g_window = CreateWindowA("tolvo-host", "tolvo-host", WS_OVERLAPPEDWINDOW, 0, 0, r.right - r.left,
                             r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
    if (!g_window)
        return false;
    if (!hidden) {
        ShowWindow(g_window, SW_SHOW);
        UpdateWindow(g_window);
        SetForegroundWindow(g_window);
        SetFocus(g_window);
    }
    pumpMessages();
    g_info.hwnd = g_window;
    g_info.hinstance = wc.hInstance;
    return true;
}

bool isQuoted(const std::string& w)
{
    return !w.empty() && w[0] == '"';
}

int32_t parseInt(const std::string& w, int lineNo)
{
    if (w.empty())
        fail(lineNo, kHostNumberMissing);
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(w.c_str(), &end, 0);
    if (*end != '\0' || errno != 0)
        fail(lineNo, kHostNotANumber, {w});
    if (v < INT32_MIN || v > UINT32_MAX)
        fail(lineNo, kHostTooBig, {w});
    return static_cast<int32_t>(static_cast<uint32_t>(v));
}

Variable& lookup(const std::string& name, int lineNo)
{
    auto it = g_vars.find(name);
    if (it == g_vars.end())
        fail(lineNo, kHostUnknownVariable, {name});
    return *it->second;
}

void declare(const std::string& name, int16_t type, int32_t bytes, int lineNo)
{
    if (name.empty() || isQuoted(name) || name == "result" || name == "window")
        fail(lineNo, kHostBadVariableName, {name});
    if (bytes < 0 || bytes > 64 * 1024 * 1024)
        fail(lineNo, kHostBadSize, {std::to_string(bytes)});
    auto v = std::make_unique<Variable>();
    const int32_t words = (bytes + 3) / 4;
    // The host's buffer holds at least 64 bytes whatever the declared size.
    v->storage.assign(words < 16 ? 16 : words, 0);
    v->rec.type = type;
    v->rec.word_count = words;
    v->rec.data = v->storage.data();
    g_vars[name] = std::move(v);
}

// NAME, NAME.type, NAME.kind, NAME.words, NAME[K] or `result` as an integer.
bool integerOf(const std::string& ref, int lineNo, int32_t& out)
{
    if (ref == "result") {
        out = g_result;
        return true;
    }
    const size_t bracket = ref.find('[');
    if (bracket != std::string::npos) {
        if (ref.back() != ']')
            fail(lineNo, kHostBadWordReference, {ref});
        Variable& v = lookup(ref.substr(0, bracket), lineNo);
        const int32_t k = parseInt(ref.substr(bracket + 1, ref.size() - bracket - 2), lineNo);
        if (!v.rec.data || k < 0 || k >= v.rec.word_count)
            fail(lineNo, kHostOutsideStorage, {ref});
        std::memcpy(&out, static_cast<const char*>(v.rec.data) + 4 * k, 4);
        return true;
    }
    const size_t dot = ref.find('.');
    Variable& v = lookup(ref.substr(0, dot), lineNo);
    if (dot == std::string::npos) {
        if (!v.rec.data)
            fail(lineNo, kHostNoStorage, {ref});
        std::memcpy(&out, v.rec.data, 4);
        return true;
    }
    const std::string field = ref.substr(dot + 1);
    if (field == "type")
        out = v.rec.type;
    else if (field == "kind")
        out = v.rec.kind;
    else if (field == "words")
        out = v.rec.word_count;
    else
        fail(lineNo, kHostUnknownField, {field});
    return true;
}

std::string stringOf(Variable& v)
{
    const char* p = static_cast<const char*>(v.rec.data);
    size_t room = v.rec.word_count > 0 ? static_cast<size_t>(v.rec.word_count) * 4 : 0;
    if (!p)
        return "";
    return std::string(p, strnlen(p, room));
}

std::string hexOf(const void* data, size_t n)
{
    std::string s;
    char b[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, "%02x", static_cast<const unsigned char*>(data)[i]);
        s += b;
    }
    return s;
}

// A number, or the value of an integer reference (a word that begins with a
// letter or an underscore).
int32_t valueOf(const std::string& w, int lineNo)
{
    int32_t v = 0;
    if (!w.empty() && (std::isalpha(static_cast<unsigned char>(w[0])) || w[0] == '_'))
        integerOf(w, lineNo, v);
    else
        v = parseInt(w, lineNo);
    return v;
}

Command resolve(const std::string& name, int lineNo)
{
    const std::string decorated = "_" + name + "@16";
    FARPROC p = GetProcAddress(g_dll, decorated.c_str());
    if (!p)
        fail(lineNo, kHostUnknownCommand, {name, decorated});
    return reinterpret_cast<Command>(reinterpret_cast<void*>(p));
}

uint32_t argument(const std::string& w, int lineNo)
{
    if (isQuoted(w)) {
        // A writable copy: tovdpmload cuts its text at the comma.
        g_argCopies.push_back(std::make_unique<std::string>(w.substr(1)));
        return reinterpret_cast<uint32_t>(g_argCopies.back()->data());
    }
    if (w == "window")
        return reinterpret_cast<uint32_t>(&g_info);
    if (w[0] == '&') {
        if (w == "&result")
            return reinterpret_cast<uint32_t>(&g_result);
        return reinterpret_cast<uint32_t>(lookup(w.substr(1), lineNo).rec.data);
    }
    if (w[0] == '@')
        return reinterpret_cast<uint32_t>(&lookup(w.substr(1), lineNo).rec);
    return static_cast<uint32_t>(valueOf(w, lineNo));
}

int g_failures = 0;
int g_checks = 0;
int g_checksFailed = 0;
std::string g_failedChecks; // " SCRIPT:LINE" of each failed check
bool g_break = false; // set by `break`, cleared by the repeat it leaves
int g_repeatDepth = 0;

// An integer variable that a statement writes (not result or a field).
int32_t* integerTarget(const std::string& name, int lineNo)
{
    Variable& v = lookup(name, lineNo);
    if (!v.rec.data || v.rec.word_count < 1)
        fail(lineNo, kHostNoRoomForInteger, {name});
    return static_cast<int32_t*>(v.rec.data);
}

// NAME (an integer reference) equals VALUE (a number or a reference).
bool holds(const std::vector<std::string>& w, size_t at, int lineNo)
{
    int32_t v = 0;
    integerOf(w[at], lineNo, v);
    return v == valueOf(w[at + 1], lineNo);
}

// REF holds VALUE: a number (REF read as an integer), "text" (the
// variable's text) or hex:0102ff (the storage's leading bytes). `got` and
// `want` are what was compared, as expect prints them.
bool compare(const std::string& ref, const std::string& value, int lineNo, std::string& got, std::string& want)
{
    if (isQuoted(value)) {
        got = stringOf(lookup(ref, lineNo));
        want = value.substr(1);
        const bool same = got == want;
        got = "\"" + got + "\"";
        want = "\"" + want + "\"";
        return same;
    }
    if (value.rfind("hex:", 0) == 0) {
        Variable& v = lookup(ref, lineNo);
        want = value.substr(4);
        const size_t bytes = want.size() / 2;
        const size_t room = v.rec.word_count > 0 ? static_cast<size_t>(v.rec.word_count) * 4 : 0;
        got = hexOf(v.rec.data, bytes <= room ? bytes : room);
        return got == want;
    }
    int32_t v = 0;
    integerOf(ref, lineNo, v);
    const int32_t e = valueOf(value, lineNo);
    got = std::to_string(v);
    want = std::to_string(e);
    return v == e;
}

// The `end` of the block that the repeat or if at `open` begins, and the
// block's own `else` (0 when it has none; a repeat never has one).
size_t blockEnd(const std::vector<Line>& lines, size_t open, size_t& elseAt)
{
    elseAt = 0;
    int depth = 1;
    for (size_t j = open + 1; j < lines.size(); ++j) {
        const std::string& op = lines[j].words[0];
        if (op == "repeat" || op == "if") {
            ++depth;
        } else if (op == "else" && depth == 1 && lines[open].words[0] == "if") {
            if (elseAt)
                fail(lines[j].number, kHostSecondElse);
            elseAt = j;
        } else if (op == "end" && --depth == 0) {
            return j;
        }
    }
    fail(lines[open].number, kHostWithoutEnd, {lines[open].words[0]});
}

// `boxes`: the variable that collects the texts of the boxes answered.
std::string g_boxVariable;
HHOOK g_boxHook = nullptr;

// Sees each window of this thread activated; a dialog of the message box
// class gets its text read and its OK pressed. The box's own message loop
// takes the posted press, so the command that showed the box returns.
LRESULT CALLBACK answerBoxes(int code, WPARAM wp, LPARAM lp)
{
    static HWND s_answered = nullptr; // activated again while it closes
    HWND box = reinterpret_cast<HWND>(wp);
    char cls[16] = "";
    if (code == HCBT_DESTROYWND && box == s_answered)
        s_answered = nullptr;
    if (code == HCBT_ACTIVATE && box != s_answered && GetClassNameA(box, cls, sizeof cls) &&
        !std::strcmp(cls, "#32770")) {
        s_answered = box;
        // The message's static control, read in UTF-16 and kept as the
        // DLL's code page 932 bytes, whatever the system's code page.
        wchar_t wide[1024] = L"";
        char text[2048] = "";
        GetDlgItemTextW(box, 0xFFFF, wide, 1024);
        WideCharToMultiByte(932, 0, wide, -1, text, sizeof text, nullptr, nullptr);
        std::printf("box: %s\n", text);
        Variable& v = *g_vars.at(g_boxVariable);
        std::string all = stringOf(v);
        all += (all.empty() ? "" : "\n") + std::string(text);
        const size_t room = v.rec.word_count > 0 ? static_cast<size_t>(v.rec.word_count) * 4 : 0;
        if (room > 0 && v.rec.data) {
            const size_t n = all.size() < room ? all.size() : room - 1;
            std::memcpy(v.rec.data, all.data(), n);
            static_cast<char*>(v.rec.data)[n] = '\0';
        }
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(g_boxHook, code, wp, lp);
}

void runLines(const std::vector<Line>& lines, size_t begin, size_t end);

typedef std::vector<std::string> Words;

// The script's lines and the index of the statement running, which a block
// (repeat, if) moves to its end.
struct Block {
    const std::vector<Line>& lines;
    size_t& i;
};

// Each statement's handler answers false when its words do not fit its
// usage (beyond their number, which the table checks).
bool intStatement(const Words& w, int n, Block&)
{
    declare(w[1], TOLVO_TYPE_INT, 4, n);
    if (w.size() == 3) {
        const int32_t v = parseInt(w[2], n);
        std::memcpy(g_vars[w[1]]->rec.data, &v, 4);
    }
    return true;
}

bool strStatement(const Words& w, int n, Block&)
{
    declare(w[1], w[0] == "str" ? TOLVO_TYPE_STRING : TOLVO_TYPE_INT, parseInt(w[2], n), n);
    if (w.size() == 4) {
        if (!isQuoted(w[3]))
            fail(n, kHostTextNotQuoted);
        Variable& v = *g_vars[w[1]];
        const std::string text = w[3].substr(1);
        if (text.size() + 1 > static_cast<size_t>(v.rec.word_count) * 4)
            fail(n, kHostTextDoesNotFit, {std::to_string(v.rec.word_count * 4)});
        std::memcpy(v.rec.data, text.c_str(), text.size() + 1);
    }
    return true;
}

bool fileStatement(const Words& w, int n, Block&)
{
    if (!isQuoted(w[2]))
        return false;
    const std::string path = w[2].substr(1);
    std::ifstream f(path, std::ios::binary);
    if (!f)
        fail(n, kHostCannotOpenFile, {path});
    const std::vector<char> bytes{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    declare(w[1], TOLVO_TYPE_INT, static_cast<int32_t>(bytes.size()), n);
    if (!bytes.empty())
        std::memcpy(g_vars[w[1]]->rec.data, bytes.data(), bytes.size());
    return true;
}

bool printStatement(const Words& w, int n, Block&)
{
    std::string how = w.size() == 3 ? w[2] : "";
    const bool plain = w[1] == "result" || w[1].find_first_of(".[") != std::string::npos;
    if (how.empty())
        how = plain ? "int" : (lookup(w[1], n).rec.type == TOLVO_TYPE_STRING ? "str" : "int");
    if (how == "int") {
        int32_t v = 0;
        integerOf(w[1], n, v);
        std::printf("%s = %d\n", w[1].c_str(), v);
    } else if (how == "str") {
        std::printf("%s = \"%s\"\n", w[1].c_str(), stringOf(lookup(w[1], n)).c_str());
    } else if (how == "hex") {
        Variable& v = lookup(w[1], n);
        const size_t bytes = v.rec.word_count > 0 ? static_cast<size_t>(v.rec.word_count) * 4 : 0;
        std::printf("%s = hex:%s\n", w[1].c_str(), hexOf(v.rec.data, bytes < 256 ? bytes : 256).c_str());
    } else {
        fail(n, kHostPrintHow);
    }
    return true;
}

bool expectStatement(const Words& w, int n, Block&)
{
    std::string got, want;
    if (!compare(w[1], w[2], n, got, want)) {
        std::printf("%s:%d: expected %s to be %s, got %s\n", g_scriptName, n, w[1].c_str(), want.c_str(),
                    got.c_str());
        ++g_failures;
    }
    return true;
}

bool checkStatement(const Words& w, int n, Block&)
{
    if (w.size() == 4 && !isQuoted(w[3]))
        return false;
    std::string got, want;
    const bool held = compare(w[1], w[2], n, got, want);
    const std::string what = w.size() == 4 ? w[3].substr(1) + ": " : "";
    std::printf("%-4s  %s%s = %s, expected %s\n", held ? "ok" : "FAIL", what.c_str(), w[1].c_str(), got.c_str(),
                want.c_str());
    ++g_checks;
    if (!held) {
        ++g_failures;
        ++g_checksFailed;
        g_failedChecks += " " + std::string(g_scriptName) + ":" + std::to_string(n);
    }
    return true;
}

bool summaryStatement(const Words&, int, Block&)
{
    std::printf("summary: %d checks, %d ok, %d failed%s%s\n", g_checks, g_checks - g_checksFailed, g_checksFailed,
                g_checksFailed ? ":" : "", g_failedChecks.c_str());
    return true;
}

bool addStatement(const Words& w, int n, Block&)
{
    *integerTarget(w[1], n) += parseInt(w[2], n);
    return true;
}

bool waitStatement(const Words& w, int n, Block&)
{
    waitMs(static_cast<DWORD>(parseInt(w[1], n)));
    return true;
}

bool echoStatement(const Words& w, int, Block&)
{
    std::string text;
    for (size_t k = 1; k < w.size(); ++k)
        text += (k > 1 ? " " : "") + (isQuoted(w[k]) ? w[k].substr(1) : w[k]);
    std::printf("%s\n", text.c_str());
    return true;
}

bool startStatement(const Words& w, int n, Block&)
{
    if (!isQuoted(w[1]))
        return false;
    std::string cmd = w[1].substr(1);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        fail(n, kHostCannotStart, {cmd});
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

bool orStatement(const Words& w, int n, Block&)
{
    int32_t v = 0;
    integerOf(w[2], n, v);
    *integerTarget(w[1], n) |= v;
    return true;
}

bool countStatement(const Words& w, int n, Block&)
{
    int32_t* counter = integerTarget(w[1], n);
    if (holds(w, 2, n))
        ++*counter;
    return true;
}

bool breakStatement(const Words& w, int n, Block&)
{
    if (g_repeatDepth == 0)
        fail(n, kHostBreakOutside);
    if (holds(w, 1, n))
        g_break = true;
    return true;
}

bool childStatement(const Words& w, int n, Block&)
{
    Variable& v = lookup(w[1], n);
    if (v.rec.word_count < 7 || !v.rec.data)
        fail(n, kHostNeedsSevenWords, {w[1]});
    int32_t facts[7] = {0, 0, 0, 0, 0, 0, 0};
    HWND first = GetWindow(g_window, GW_CHILD);
    for (HWND c = first; c; c = GetWindow(c, GW_HWNDNEXT))
        ++facts[0];
    if (first) {
        RECT r;
        GetWindowRect(first, &r);
        MapWindowPoints(nullptr, g_window, reinterpret_cast<POINT*>(&r), 2);
        facts[1] = static_cast<int32_t>(GetWindowLongA(first, GWL_STYLE));
        facts[2] = IsWindowVisible(first) ? 1 : 0;
        facts[3] = r.left;
        facts[4] = r.top;
        facts[5] = r.right - r.left;
        facts[6] = r.bottom - r.top;
    }
    std::memcpy(v.rec.data, facts, sizeof facts);
    return true;
}

bool resizeStatement(const Words& w, int n, Block&)
{
    RECT r{0, 0, parseInt(w[1], n), parseInt(w[2], n)};
    AdjustWindowRect(&r, static_cast<DWORD>(GetWindowLongA(g_window, GWL_STYLE)), FALSE);
    SetWindowPos(g_window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
    return true;
}

bool repeatStatement(const Words& w, int n, Block& block)
{
    if (w.size() != 2 && (w.size() != 5 || w[2] != "until"))
        return false;
    const int32_t times = parseInt(w[1], n);
    size_t elseAt;
    const size_t j = blockEnd(block.lines, block.i, elseAt);
    ++g_repeatDepth;
    for (int32_t k = 0; k < times && !g_break; ++k) {
        runLines(block.lines, block.i + 1, j);
        if (w.size() == 5 && holds(w, 3, n))
            break;
    }
    --g_repeatDepth;
    g_break = false;
    block.i = j;
    return true;
}

bool ifStatement(const Words& w, int n, Block& block)
{
    size_t elseAt;
    const size_t j = blockEnd(block.lines, block.i, elseAt);
    std::string got, want;
    if (compare(w[1], w[2], n, got, want))
        runLines(block.lines, block.i + 1, elseAt ? elseAt : j);
    else if (elseAt)
        runLines(block.lines, elseAt + 1, j);
    block.i = j;
    return true;
}

bool platformStatement(const Words& w, int n, Block&)
{
    const std::string name = platformName().substr(0, 31);
    declare(w[1], TOLVO_TYPE_STRING, 32, n);
    std::memcpy(g_vars[w[1]]->rec.data, name.c_str(), name.size() + 1);
    return true;
}

bool boxesStatement(const Words& w, int n, Block&)
{
    declare(w[1], TOLVO_TYPE_STRING, 1024, n);
    g_boxVariable = w[1];
    if (!g_boxHook)
        g_boxHook = SetWindowsHookExA(WH_CBT, answerBoxes, nullptr, GetCurrentThreadId());
    if (!g_boxHook)
        fail(n, kHostCannotWatchBoxes);
    return true;
}

bool endStatement(const Words&, int n, Block&)
{
    fail(n, kHostEndWithout);
}

bool elseStatement(const Words&, int n, Block&)
{
    fail(n, kHostElseWithout);
}

// A line that names no statement calls the command it names.
void callCommand(const Words& w, int n)
{
    if (w.size() > 5)
        fail(n, kHostTooManyArguments);
    Command cmd = resolve(w[0], n);
    uint32_t a[4] = {0, 0, 0, 0};
    for (size_t k = 1; k < w.size(); ++k)
        a[k - 1] = argument(w[k], n);
    g_result = cmd(a[0], a[1], a[2], a[3]);
    g_argCopies.clear();
}

// The statements: their words (the statement's own first) and their usage.
struct Statement {
    const char* name;
    size_t fewest, most;
    const char* usage;
    bool (*run)(const Words& w, int n, Block& block);
};
const size_t kAny = SIZE_MAX;
const char kStrUsage[] = "str NAME BYTES [\"text\"] | bytes NAME BYTES";
const Statement kStatements[] = {
    {"int", 2, 3, "int NAME [VALUE]", intStatement},
    {"str", 3, 4, kStrUsage, strStatement},
    {"bytes", 3, 3, kStrUsage, strStatement},
    {"file", 3, 3, "file NAME \"path\"", fileStatement},
    {"print", 2, 3, "print NAME [int|str|hex]", printStatement},
    {"expect", 3, 3, "expect NAME VALUE", expectStatement},
    {"check", 3, 4, "check NAME VALUE [\"what\"]", checkStatement},
    {"summary", 1, 1, "summary", summaryStatement},
    {"add", 3, 3, "add NAME VALUE", addStatement},
    {"wait", 2, 2, "wait MS", waitStatement},
    {"echo", 1, kAny, "", echoStatement},
    {"run", 2, 2, "run \"command line\"", startStatement},
    {"or", 3, 3, "or ACC NAME", orStatement},
    {"count", 4, 4, "count COUNTER NAME VALUE", countStatement},
    {"break", 3, 3, "break NAME VALUE", breakStatement},
    {"child", 2, 2, "child NAME", childStatement},
    {"resize", 3, 3, "resize W H", resizeStatement},
    {"repeat", 2, 5, "repeat N [until NAME VALUE] ... end", repeatStatement},
    {"if", 3, 3, "if NAME VALUE ... [else ...] end", ifStatement},
    {"platform", 2, 2, "platform NAME", platformStatement},
    {"boxes", 2, 2, "boxes NAME", boxesStatement},
    {"end", 1, kAny, "", endStatement},
    {"else", 1, kAny, "", elseStatement},
};

void runStatement(const std::vector<Line>& lines, size_t& i)
{
    const Words& w = lines[i].words;
    const int n = lines[i].number;
    const Statement* found = nullptr;
    for (const Statement& s : kStatements) {
        if (w[0] == s.name)
            found = &s;
    }
    if (found) {
        Block block{lines, i};
        if (w.size() < found->fewest || w.size() > found->most || !found->run(w, n, block))
            fail(n, kHostStatementUsage, {found->usage});
    } else {
        callCommand(w, n);
    }
    pumpMessages();
}

void runLines(const std::vector<Line>& lines, size_t begin, size_t end)
{
    for (size_t i = begin; i < end && !g_break; ++i)
        runStatement(lines, i);
}

// The script's statements; false when it cannot be read or is wrong (said
// on the error stream).
bool readLines(const char* script, std::vector<Line>& lines)
{
    std::ifstream in(script, std::ios::binary);
    if (!in) {
        say(toolText(kHostCannotOpenScript, {script}));
        return false;
    }
    try {
        lines = readScript(std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
    } catch (const ScriptError& e) {
        sayAtLine(e);
        return false;
    }
    return true;
}

} // namespace

const std::vector<ToolOption> kOptions = {
    {"--dll", 0, true},
    {"--hidden", 0, false},
    {"--help", 'h', false},
    {"--version", 0, false},
};

int main(int argc, char** argv)
{
    speak(userLanguage());
    ToolArgs args;
    std::string error;
    const bool parsed = parseToolArgs(argc, argv, kOptions, args, error);
    if (parsed && (hasOption(args, "--help") || hasOption(args, "--version"))) {
        if (hasOption(args, "--help"))
            writeText(stdout, toolText(kHostUsage));
        else
            printVersion(stdout, "tolvo-host");
        return finishOutput(stdout, stderr, "tolvo-host", 0);
    }
    if (!parsed || args.operands.size() != 1) {
        if (parsed)
            error = args.operands.empty() ? toolText(kHostNoScript) : toolText(kHostOneScript, {args.operands[1]});
        say(error);
        writeText(stderr, toolText(kHostUsage));
        return 2;
    }
    if (const std::string unreadable = unreadableArgument(argc, argv); !unreadable.empty()) {
        say(unreadable);
        return 2;
    }
    setvbuf(stdout, nullptr, _IONBF, 0);
    const std::string dll = hasOption(args, "--dll") ? optionValue(args, "--dll") : "tolvo.dll";
    const char* dllPath = dll.c_str();
    const char* script = args.operands[0].c_str();
    const bool hidden = hasOption(args, "--hidden");
    g_scriptName = script;

    std::vector<Line> lines;
    if (!readLines(script, lines))
        return 2;

    // Next to the exe unless a path is given: LoadLibraryA searches the
    // program's folder first.
    g_dll = LoadLibraryA(dllPath);
    if (!g_dll) {
        say(toolText(kHostCannotLoad, {dllPath, std::to_string(GetLastError())}));
        return 2;
    }
    if (!createWindow(hidden)) {
        say(toolText(kHostCannotCreateWindow, {std::to_string(GetLastError())}));
        return 2;
    }

    try {
        runLines(lines, 0, lines.size());
    } catch (const ScriptError& e) {
        sayAtLine(e);
        return 2;
    }
    DestroyWindow(g_window);
    pumpMessages();
    if (g_failures)
        std::printf("%d expectation(s) failed\n", g_failures);
    return finishOutput(stdout, stderr, "tolvo-host", g_failures ? 1 : 0);
}

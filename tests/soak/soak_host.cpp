#include "soak_host.h"

#include <cstdio>
#include <cstring>

#include "docs/documented_results.h"
#include "plugin/syscalls.h"

namespace {

constexpr uint32_t kGuardWord = 0xF00DFACEu;
constexpr int kGuardWords = 4;

std::map<std::string, int> s_boxes;

// Counted by the text's code page 932 bytes, as the plug-in keeps it.
int WINAPI countBox(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    char bytes[1024] = "";
    if (text)
        WideCharToMultiByte(932, 0, text, -1, bytes, sizeof bytes, nullptr, nullptr);
    ++s_boxes[bytes];
    return IDOK;
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return DefWindowProcA(hwnd, msg, wp, lp);
}

bool guardsAt(const std::vector<uint32_t>& words, size_t from, size_t count)
{
    for (size_t i = from; i < from + count; ++i)
        if (words[i] != kGuardWord)
            return false;
    return true;
}

} // namespace

std::string fixture(const char* relative)
{
    return std::string(TOLVO_FIXTURE_DIR) + "/" + relative;
}

bool createHostWindow(TolvoWindowInfo& info)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "tolvo-soak";
    if (!RegisterClassA(&wc))
        return false;
    HWND w = CreateWindowA("tolvo-soak", "tolvo-soak", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 660, 520, nullptr,
                           nullptr, wc.hInstance, nullptr);
    if (!w)
        return false;
    SetForegroundWindow(w);
    SetFocus(w);
    pumpMessages();
    info = TolvoWindowInfo{};
    info.hwnd = w;
    info.hinstance = wc.hInstance;
    return true;
}

void pumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void countBoxes()
{
    g_sys.MessageBoxW = countBox;
}

const std::map<std::string, int>& boxesSeen()
{
    return s_boxes;
}

HostVariable::HostVariable(int32_t words, int16_t type, const std::vector<unsigned char>& bytes)
    : storageWords_(words < 16 ? 16 : words), type_(type)
{
    const int32_t needed = static_cast<int32_t>((bytes.size() + 3) / 4);
    if (storageWords_ < needed)
        storageWords_ = needed;
    words_.assign(static_cast<size_t>(storageWords_) + 2 * kGuardWords, kGuardWord);
    std::memset(&words_[kGuardWords], 0, static_cast<size_t>(storageWords_) * 4);
    if (!bytes.empty())
        std::memcpy(&words_[kGuardWords], bytes.data(), bytes.size());
    reset();
}

void HostVariable::reset()
{
    rec_ = TolvoVar{};
    rec_.type = type_;
    rec_.word_count = storageWords_;
    rec_.data = &words_[kGuardWords];
}

bool HostVariable::guardsIntact() const
{
    return guardsAt(words_, 0, kGuardWords) &&
           guardsAt(words_, kGuardWords + static_cast<size_t>(storageWords_), kGuardWords);
}

HostInteger::HostInteger() : words_(2 * kGuard + 1, kGuardWord)
{
    words_[kGuard] = 0;
}

bool HostInteger::guardsIntact() const
{
    return guardsAt(words_, 0, kGuard) && guardsAt(words_, kGuard + 1, kGuard);
}

void ResultCheck::expect(const char* command, int result, std::initializer_list<int> allowed)
{
    ++commands_;
    for (int a : allowed)
        if (a == result)
            return;
    fail(std::string(command) + " returned " + std::to_string(result));
}

void ResultCheck::listed(const char* command, int result)
{
    static const std::map<std::string, std::set<int>> documented = documentedResults(TOLVO_COMMANDS_DOC);
    ++commands_;
    const auto entry = documented.find(command);
    if (entry == documented.end())
        fail(std::string(command) + " has no entry in docs/commands.md");
    else if (!entry->second.count(result))
        fail(std::string(command) + " returned " + std::to_string(result));
}

void ResultCheck::guards(const char* command, bool intact)
{
    if (!intact)
        fail(std::string(command) + " wrote past a variable's storage");
}

void ResultCheck::fail(const std::string& what)
{
    ++failures_;
    ++seen_[what];
}

void ResultCheck::report() const
{
    for (const auto& [what, n] : seen_)
        std::printf("UNEXPECTED: %s (%d times)\n", what.c_str(), n);
}

// Tests of the built tolvo.dll as a host sees it: its export and import
// tables, the calling convention of every command, and what every command
// answers with no engine started.
#include <gtest/gtest.h>

#include <windows.h>
#include <malloc.h>
#include <objbase.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tolvo.h"

extern "C" int __cdecl callWithStackProbe(void* fn, const unsigned args[4], int* espDelta);

namespace {

#define TOLVO_NAME(name, a, b, c, d) #name,
const char* const kCommands[] = {TOLVO_COMMANDS(TOLVO_NAME)};
#undef TOLVO_NAME

HMODULE dll()
{
    static HMODULE h = LoadLibraryA("tolvo.dll");
    return h;
}

void* command(const char* name)
{
    const std::string decorated = std::string("_") + name + "@16";
    return reinterpret_cast<void*>(GetProcAddress(dll(), decorated.c_str()));
}

const IMAGE_NT_HEADERS* ntHeaders(HMODULE m)
{
    const auto* base = reinterpret_cast<const unsigned char*>(m);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    return reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
}

TEST(DllImage, IsA32BitDll)
{
    ASSERT_NE(dll(), nullptr) << "tolvo.dll did not load";
    const auto* nt = ntHeaders(dll());
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_TRUE(nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
}

TEST(DllImage, ExportsExactlyTheFortyDecoratedNames)
{
    ASSERT_NE(dll(), nullptr);
    const auto* base = reinterpret_cast<const unsigned char*>(dll());
    const auto& dir = ntHeaders(dll())->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(dir.VirtualAddress, 0u);
    const auto* exp = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + exp->AddressOfNames);
    std::set<std::string> exported;
    for (DWORD i = 0; i < exp->NumberOfNames; ++i)
        exported.insert(reinterpret_cast<const char*>(base + names[i]));
    std::set<std::string> expected;
    for (const char* c : kCommands)
        expected.insert(std::string("_") + c + "@16");
    EXPECT_EQ(exported, expected);
    EXPECT_EQ(exp->NumberOfFunctions, std::size(kCommands)); // no export by ordinal only
}

TEST(DllImage, ImportsOnlySystemDlls)
{
    ASSERT_NE(dll(), nullptr);
    const std::set<std::string> system = {
        "kernel32.dll", "user32.dll", "gdi32.dll", "ole32.dll", "oleaut32.dll", "advapi32.dll",
        "winmm.dll", "version.dll", "dinput8.dll", "shlwapi.dll", "msvcrt.dll", "dsound.dll",
    };
    const auto* base = reinterpret_cast<const unsigned char*>(dll());
    const auto& dir = ntHeaders(dll())->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    ASSERT_NE(dir.VirtualAddress, 0u);
    int count = 0;
    for (const auto* imp = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         imp->Name; ++imp, ++count) {
        std::string name = reinterpret_cast<const char*>(base + imp->Name);
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        EXPECT_TRUE(system.count(name)) << "imports " << name;
    }
    EXPECT_GT(count, 0);
}

// Arguments for one call of every command with nothing started, and what it
// must answer then. Pointers go to locals that stay valid for the call.
struct Call {
    const char* name;
    int expected;
};

class Commands : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(dll(), nullptr);
        reset();
        window = CreateWindowA("STATIC", "tolvo dll test", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
        info.hwnd = window;
        info.hinstance = GetModuleHandleA(nullptr);
    }
    void TearDown() override { DestroyWindow(window); }

    void reset()
    {
        std::memset(storage, 0xAB, sizeof storage);
        var = {};
        var.type = 4;
        var.word_count = 4;
        var.data = storage;
        std::strcpy(packText, "no-such-pack.dpm,0");
    }

    // The arguments each command gets here; "ignored" ones hold junk on
    // purpose, since every command must accept any value there.
    void argsFor(const std::string& name, unsigned a[4])
    {
        const unsigned junk = 0xDEADBEEF;
        a[0] = a[1] = a[2] = a[3] = junk;
        auto p = [](const void* x) { return static_cast<unsigned>(reinterpret_cast<uintptr_t>(x)); };
        if (name == "tovinit") {
            a[0] = p(&info);
            a[1] = 7;
            a[2] = 0;
        } else if (name == "tovmousestate" || name == "tovjoynum" || name == "tovfps" || name == "tovmusicgetvol" ||
                   name == "tovmusicgettenpo") {
            a[0] = p(&result);
        } else if (name == "tovkeystate" || name == "tovkeytrigger") {
            a[0] = p(&result);
            a[1] = 0;
        } else if (name == "tovjoystate" || name == "tovjoytrigger") {
            a[0] = p(&result);
            a[1] = 0;
        } else if (name == "tovjoyname" || name == "tovjoyforce") {
            a[0] = p(&var);
            a[1] = 0;
        } else if (name == "tovjoyshock") {
            a[0] = 0;
        } else if (name == "tovmusicload") {
            a[0] = 0;
            a[1] = p("no-such-music.mid");
        } else if (name == "tovmusicload2") {
            a[0] = p(&var);
            a[1] = 0;
        } else if (name.rfind("tovmusic", 0) == 0) {
            a[0] = 0;
            a[1] = 0;
        } else if (name == "tovmovieload") {
            a[0] = p("no-such-movie.avi");
        } else if (name == "tovmoviesize") {
            a[0] = 0;
            a[1] = 0;
            a[2] = 32;
            a[3] = 32;
        } else if (name == "tovdxver" || name == "tovdpmread" || name == "tovdpmsize" || name == "test") {
            a[0] = p(&var);
            a[1] = p("entry.bin");
        } else if (name == "tovsin" || name == "tovcos" || name == "tovatan" || name == "tovsqr") {
            a[0] = p(&result);
            a[1] = 64;
            a[2] = 0;
        } else if (name == "tovdpmload") {
            a[1] = p(packText);
        } else if (name == "tovsysmode") {
            a[0] = 2; // does nothing: the machine's settings stay as they are
        }
    }

    int call(const char* name, int* espDelta)
    {
        unsigned a[4];
        argsFor(name, a);
        void* fn = command(name);
        EXPECT_NE(fn, nullptr) << name;
        if (!fn)
            return 0x7fffffff;
        return callWithStackProbe(fn, a, espDelta);
    }

    // What each command answers when no engine runs and no pack is open.
    static int expectedIdle(const std::string& name)
    {
        if (name.rfind("tovmusic", 0) == 0) {
            if (name == "tovmusicplay")
                return -1; // the empty slot is tested before the engine
            if (name == "tovmusicplay2")
                return -2;
            return -9;
        }
        if (name.rfind("tovmovie", 0) == 0)
            return -1;
        if (name.rfind("tovjoy", 0) == 0 || name == "tovmousestate" || name == "tovkeystate" ||
            name == "tovkeytrigger" || name == "tovdpmload" || name == "tovdpmread" || name == "tovdpmsize")
            return -1;
        return 0;
    }

    unsigned char storage[256];
    TolvoVar var{};
    int32_t result = 0;
    char packText[64];
    HWND window = nullptr;
    TolvoWindowInfo info{};
};

TEST_F(Commands, EveryCommandRemovesItsSixteenBytes)
{
    for (const char* name : kCommands) {
        if (!std::strcmp(name, "tovinit"))
            continue; // checked with tovbye below, so that nothing stays started
        int delta = 12345;
        call(name, &delta);
        EXPECT_EQ(delta, 0) << name << " left " << -delta << " bytes on the stack";
    }
    int delta = 12345;
    EXPECT_EQ(call("tovinit", &delta), 0);
    EXPECT_EQ(delta, 0) << "tovinit";
    delta = 12345;
    EXPECT_EQ(call("tovbye", &delta), 0);
    EXPECT_EQ(delta, 0) << "tovbye";
}

TEST_F(Commands, BeforeInitAndAfterByeEveryCommandAnswersWithoutAnEngine)
{
    int delta;
    for (int round = 0; round < 2; ++round) {
        for (const char* name : kCommands) {
            if (!std::strcmp(name, "tovinit"))
                continue;
            reset();
            EXPECT_EQ(call(name, &delta), expectedIdle(name)) << name << (round ? " after tovbye" : " before tovinit");
        }
        if (round == 0) {
            ASSERT_EQ(call("tovinit", &delta), 0);
            ASSERT_EQ(call("tovbye", &delta), 0);
        }
    }
}

// With every engine running, a null result pointer or variable record
// crashes nothing: the command answers its failure (0 where it has none).
TEST_F(Commands, NullResultPointersAndRecordsAnswerTheirFailure)
{
    int delta;
    ASSERT_EQ(call("tovinit", &delta), 0);
    for (const char* name : kCommands) {
        unsigned a[4];
        argsFor(name, a);
        if (a[0] != unsigned(uintptr_t(&result)) && a[0] != unsigned(uintptr_t(&var)))
            continue;
        a[0] = 0;
        EXPECT_EQ(callWithStackProbe(command(name), a, &delta), expectedIdle(name) == 0 ? 0 : -1) << name;
    }
    EXPECT_EQ(call("tovbye", &delta), 0);
}

TEST_F(Commands, IdleAnswersLeaveTheDocumentedMarks)
{
    auto fn = [](const char* n) { return command(n); };
    typedef int(__stdcall * Cmd)(uintptr_t, uintptr_t, uintptr_t, uintptr_t);
    const uintptr_t pr = reinterpret_cast<uintptr_t>(&result);
    const uintptr_t pv = reinterpret_cast<uintptr_t>(&var);

    result = 77;
    EXPECT_EQ(reinterpret_cast<Cmd>(fn("tovkeystate"))(pr, 0, 0, 0), -1);
    EXPECT_EQ(result, 0); // stored before the device test
    result = 77;
    EXPECT_EQ(reinterpret_cast<Cmd>(fn("tovmousestate"))(pr, 0, 0, 0), -1);
    EXPECT_EQ(result, 77); // nothing stored
    result = 77;
    EXPECT_EQ(reinterpret_cast<Cmd>(fn("tovjoystate"))(pr, 8, 0, 0), -2);
    EXPECT_EQ(result, 0);

    var.word_count = 3;
    EXPECT_EQ(reinterpret_cast<Cmd>(fn("tovdpmread"))(pv, reinterpret_cast<uintptr_t>("x"), 0, 0), -1);
    EXPECT_EQ(var.word_count, 3); // the failure fill, within the 3 words the variable holds
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(storage[i], 0) << i;
    EXPECT_EQ(storage[12], 0xAB);
    EXPECT_EQ(var.type, 4);

    EXPECT_EQ(reinterpret_cast<Cmd>(fn("tovdxver"))(pv, 0, 0, 0), 0);
    EXPECT_EQ(var.type, 2); // an integer variable becomes a string
    // Major and minor digits and at most a lower-case letter ("90c" here).
    const std::string version = reinterpret_cast<char*>(storage);
    ASSERT_GE(version.size(), 2u);
    ASSERT_LE(version.size(), 9u);
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(version[0]))) << version;
    const char last = version.back();
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(last)) || (last >= 'a' && last <= 'z')) << version;
}

// The movie engine starts on the platform without a box (which would wait
// for a click): with a graph, stopping it succeeds; after tovbye it fails.
TEST_F(Commands, MovieEngineStartsAndEndsWithTheModule)
{
    typedef int(__stdcall * Cmd)(uintptr_t, uintptr_t, uintptr_t, uintptr_t);
    auto cmd = [](const char* n) { return reinterpret_cast<Cmd>(command(n)); };
    ASSERT_EQ(cmd("tovinit")(reinterpret_cast<uintptr_t>(&info), 4, 0, 0), 0);
    EXPECT_EQ(cmd("tovmoviestop")(0, 0, 0, 0), 0);
    EXPECT_EQ(cmd("tovmoviecheck")(0, 0, 0, 0), -1); // nothing has played
    EXPECT_EQ(cmd("tovmovieload")(reinterpret_cast<uintptr_t>("no-such-movie.avi"), 0, 0, 0), -1);
    EXPECT_EQ(cmd("tovbye")(0, 0, 0, 0), 0);
    EXPECT_EQ(cmd("tovmoviestop")(0, 0, 0, 0), -1);
}

// Watches for message boxes of this process from a second thread, notes
// their texts and closes them, so that a box turns into a failure instead of
// a test that hangs.
class BoxWatch {
public:
    BoxWatch() : thread_(CreateThread(nullptr, 0, run, this, 0, nullptr)) {}
    ~BoxWatch() { stop(); }
    // Ends the watch and gives the texts of the boxes it closed.
    std::vector<std::string> stop()
    {
        if (thread_) {
            InterlockedExchange(&stop_, 1);
            WaitForSingleObject(thread_, INFINITE);
            CloseHandle(thread_);
            thread_ = nullptr;
        }
        return texts_;
    }

private:
    static DWORD WINAPI run(void* self)
    {
        auto* w = static_cast<BoxWatch*>(self);
        while (!InterlockedCompareExchange(&w->stop_, 0, 0)) {
            HWND box = nullptr;
            while ((box = FindWindowExA(nullptr, box, "#32770", nullptr))) {
                DWORD pid = 0;
                GetWindowThreadProcessId(box, &pid);
                if (pid != GetCurrentProcessId() || !IsWindowVisible(box))
                    continue;
                char text[256] = "";
                GetDlgItemTextA(box, 0xFFFF, text, sizeof text); // the static text of a message box
                w->texts_.push_back(text);
                PostMessageA(box, WM_COMMAND, IDOK, 0);
            }
            Sleep(20);
        }
        return 0;
    }

    volatile LONG stop_ = 0;
    std::vector<std::string> texts_;
    HANDLE thread_;
};

// The real input engine starts without a box and leaves the mouse and the
// keyboard answering (the hidden window cannot acquire them, so the reads
// report nothing); no game controller is attached.
TEST_F(Commands, RealInputStartsWithoutABox)
{
    typedef int(__stdcall * Cmd)(uintptr_t, uintptr_t, uintptr_t, uintptr_t);
    auto cmd = [](const char* n) { return reinterpret_cast<Cmd>(command(n)); };
    const uintptr_t pr = reinterpret_cast<uintptr_t>(&result);
    BoxWatch watch;
    ASSERT_EQ(cmd("tovinit")(reinterpret_cast<uintptr_t>(&info), 1, 0, 0), 0);
    const std::vector<std::string> boxes = watch.stop();
    EXPECT_TRUE(boxes.empty()) << boxes.front();
    result = 77;
    EXPECT_EQ(cmd("tovkeystate")(pr, 0, 0, 0), 0);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(cmd("tovkeytrigger")(pr, 0, 0, 0), 0);
    EXPECT_EQ(cmd("tovmousestate")(pr, 0, 0, 0), 0);
    EXPECT_EQ(result, 0);
    result = 77;
    EXPECT_EQ(cmd("tovjoynum")(pr, 0, 0, 0), -1);
    EXPECT_EQ(result, 77);
    EXPECT_EQ(cmd("tovbye")(0, 0, 0, 0), 0);
    EXPECT_EQ(cmd("tovkeystate")(pr, 0, 0, 0), -1);
}

// The real music engine starts without a box on the null audio device, at
// normal tempo and full volume; an empty slot tests as failed.
TEST_F(Commands, RealMusicStartsWithoutABox)
{
    typedef int(__stdcall * Cmd)(uintptr_t, uintptr_t, uintptr_t, uintptr_t);
    auto cmd = [](const char* n) { return reinterpret_cast<Cmd>(command(n)); };
    const uintptr_t pr = reinterpret_cast<uintptr_t>(&result);
    BoxWatch watch;
    ASSERT_EQ(cmd("tovinit")(reinterpret_cast<uintptr_t>(&info), 2, 0, 0), 0);
    const std::vector<std::string> boxes = watch.stop();
    EXPECT_TRUE(boxes.empty()) << boxes.front();
    result = 77;
    EXPECT_EQ(cmd("tovmusicgettenpo")(pr, 0, 0, 0), 0);
    EXPECT_EQ(result, 10);
    EXPECT_EQ(cmd("tovmusicgetvol")(pr, 0, 0, 0), 0);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(cmd("tovmusiccheck")(0, 0, 0, 0), -2);
    EXPECT_EQ(cmd("tovmusicstop")(-1, 0, 0, 0), 0);
    EXPECT_EQ(cmd("tovbye")(0, 0, 0, 0), 0);
    EXPECT_EQ(cmd("tovmusicgetvol")(pr, 0, 0, 0), -9);
}

// One of the threads of TwoThreadsAtOnceTakeTurns: a thousand times, reads
// its entry of the open pack and loads a WAVE file into a slot of its own,
// counting reads of other bytes and failed calls. It initialises COM first,
// as COM asks of a thread that uses COM objects.
struct Worker {
    const char* entry;
    std::string expected, wave;
    int32_t firstSlot;
    DWORD apartment;
    int wrong = 0, failed = 0;
};

DWORD WINAPI readAndLoad(void* p)
{
    typedef int(__stdcall * Cmd)(uintptr_t, uintptr_t, uintptr_t, uintptr_t);
    auto* w = static_cast<Worker*>(p);
    const Cmd read = reinterpret_cast<Cmd>(command("tovdpmread")), load = reinterpret_cast<Cmd>(command("tovmusicload2"));
    std::vector<uint32_t> storage((w->wave.size() + 3) / 4);
    std::memcpy(storage.data(), w->wave.data(), w->wave.size());
    TolvoVar music{}, var{};
    music.word_count = static_cast<int32_t>(storage.size());
    music.data = storage.data();
    if (FAILED(CoInitializeEx(nullptr, w->apartment)))
        return 1;
    for (int i = 0; i < 1000; ++i) {
        if (read(reinterpret_cast<uintptr_t>(&var), reinterpret_cast<uintptr_t>(w->entry), 0, 0) != 0)
            ++w->failed;
        else if (var.word_count != static_cast<int32_t>((w->expected.size() + 3) / 4) ||
                 std::memcmp(var.data, w->expected.data(), w->expected.size()) != 0)
            ++w->wrong;
        w->failed += load(reinterpret_cast<uintptr_t>(&music), w->firstSlot + i % 8, 0, 0) != 0;
    }
    CoUninitialize();
    return 0;
}

// Two threads at once, as a game that loads its next stage on a second
// thread: the commands take turns, so every read gets its own entry's bytes,
// every load its slot, and the heap stays whole.
TEST_F(Commands, TwoThreadsAtOnceTakeTurns)
{
    typedef int(__stdcall * Cmd)(uintptr_t, uintptr_t, uintptr_t, uintptr_t);
    auto cmd = [](const char* n) { return reinterpret_cast<Cmd>(command(n)); };
    auto bytesOf = [](const char* name) {
        std::ifstream in(std::string(TOLVO_MUSIC_FIXTURES) + "/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string wave = bytesOf("tone.wav");
    Worker workers[2] = {{"tune.mid", bytesOf("tune.mid"), wave, 0, COINIT_APARTMENTTHREADED},
                         {"tone.wav", wave, wave, 8, COINIT_MULTITHREADED}};
    ASSERT_FALSE(workers[0].expected.empty() || wave.empty());
    BoxWatch watch;
    ASSERT_EQ(cmd("tovinit")(reinterpret_cast<uintptr_t>(&info), 2, 0, 0), 0);
    std::string pack = std::string(TOLVO_MUSIC_FIXTURES) + "/music.dpm,0";
    ASSERT_EQ(cmd("tovdpmload")(0, reinterpret_cast<uintptr_t>(pack.data()), 0, 0), 0);
    HANDLE threads[2];
    for (int k = 0; k < 2; ++k)
        threads[k] = CreateThread(nullptr, 0, readAndLoad, &workers[k], 0, nullptr);
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    for (int k = 0; k < 2; ++k) {
        DWORD code = 1;
        EXPECT_TRUE(GetExitCodeThread(threads[k], &code) && code == 0) << "COM did not start on a thread";
        CloseHandle(threads[k]);
        EXPECT_EQ(workers[k].wrong, 0) << workers[k].entry << ": reads of other bytes";
        EXPECT_EQ(workers[k].failed, 0) << workers[k].entry << ": reads or loads that failed";
    }
    EXPECT_EQ(_heapchk(), _HEAPOK);
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
    EXPECT_EQ(cmd("tovbye")(0, 0, 0, 0), 0);
    const std::vector<std::string> boxes = watch.stop();
    EXPECT_TRUE(boxes.empty()) << boxes.front();
}

// All three engines, as a host starts them with mask 7, show no box.
TEST_F(Commands, EveryEngineStartsWithoutABox)
{
    typedef int(__stdcall * Cmd)(uintptr_t, uintptr_t, uintptr_t, uintptr_t);
    auto cmd = [](const char* n) { return reinterpret_cast<Cmd>(command(n)); };
    BoxWatch watch;
    ASSERT_EQ(cmd("tovinit")(reinterpret_cast<uintptr_t>(&info), 7, 0, 0), 0);
    const std::vector<std::string> boxes = watch.stop();
    EXPECT_TRUE(boxes.empty()) << boxes.front();
    EXPECT_EQ(cmd("tovbye")(0, 0, 0, 0), 0);
}

} // namespace

// Every platform call failing in turn. A few scripted game sessions run on
// the fakes, once as they are (counting the calls that can fail: every seam
// call, every fake COM method, every heap allocation of the plug-in) and
// then once for each call k with call k failing, in each way the platform
// can fail there. In every run: no crash, every command answers one of the
// results its entry in docs/commands.md lists, every box is one of the
// plug-in's texts and belongs to the command that shows it, no command
// writes past a variable's storage, and after each tovbye every fake object
// has been released as often as it was handed out and every block the
// plug-in allocated is freed, but for the earlier tovdpmread buffers, which
// the plug-in keeps by design.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "docs/documented_results.h"
#include "fakes/fake_dinput.h"
#include "fakes/fake_dmusic.h"
#include "fakes/fake_dshow.h"
#include "fakes/fake_dxdiag.h"
#include "fakes/fake_system.h"
#include "fakes/fault_plan.h"
#include "input/input.h"
#include "movie/movie.h"
#include "music/music.h"
#include "pack/pack.h"
#include "plugin/globals.h"
#include "plugin/messages.h"
#include "sweep_heap.h"
#include "util/util.h"

namespace {

// ---- What the reference allows -----------------------------------------------

// The texts the plug-in may show; the command a text belongs to is the name
// in its brackets, every engine start ("[initD...]") belonging to tovinit.
const char* const kBoxTexts[] = {
    kTextTovinitCom,           kTextInitDMusicPerformance, kTextInitDMusicInitAudio, kTextInitDMusicLoader,
    kTextInitDMusicCurrentDir, kTextInitDMusicSearchPath,  kTextInitDMusicAudioPath, kTextMusicLoadOggDecode,
    kTextMusicLoadOgg,         kTextMusicLoadSegment,      kTextMusicLoad2OggDecode, kTextMusicLoad2Load,
    kTextMusicPlayBand,        kTextMusicPlay2Band,        kTextMusicStop,           kTextMusicFx,
    kTextInitDInputMouse,      kTextInitDInputKeyboard,    kTextInitDInputJoystick,  kTextInitDJoystickCreate,
    kTextInitDJoystickFormat,  kTextInitDJoystickCoop,     kTextInitDJoystickAxes,   kTextInitDShowCreate,
    kTextMovieFreeCreate,
};

// Empty when the box is one `command` may show; otherwise what is wrong.
std::string boxProblem(const FakeSystem::Box& box, const std::string& command)
{
    if (box.owner != nullptr || box.style != MB_OK)
        return "a box with an owner window or a style other than MB_OK";
    // test's file box has no caption; tovjoyshock shows the device's code.
    if (box.text == kTextFileOpenError)
        return command == "test" && box.caption.empty() ? "" : "the file box outside `test`";
    if (std::regex_match(box.text, std::regex("-?[0-9]+")))
        return command == "tovjoyshock" && box.caption == kTextShortCaption ? "" : "a code box outside tovjoyshock";
    for (const char* text : kBoxTexts) {
        if (box.text != text)
            continue;
        std::string owner = box.text.substr(1, box.text.find(']') - 1);
        if (owner.rfind("initD", 0) == 0)
            owner = "tovinit";
        if (owner != command)
            return "the box \"" + box.text + "\" shown by " + command;
        return box.caption == kTextBoxCaption ? "" : "a box with the caption \"" + box.caption + "\"";
    }
    return "an unknown box \"" + box.text + "\"";
}

// ---- The host's side -----------------------------------------------------------

constexpr uint32_t kGuard = 0x5EEDF00Du;

// A script variable: a record whose host fields hold a pattern, and storage
// of `words` words between guard words that no command may touch.
struct HostVar {
    HostVar(const char* varName, int32_t words, const std::vector<unsigned char>& bytes = {})
        : name(varName), block(static_cast<size_t>(words) + 2, 0)
    {
        std::memcpy(block.data() + 1, bytes.data(), std::min(bytes.size(), static_cast<size_t>(words) * 4));
        rec.type = TOLVO_TYPE_INT;
        rec.word_count = words;
        rec.data = block.data() + 1;
        guard();
    }
    // Puts the guards in place (again, after a write into them was reported).
    void guard()
    {
        block.front() = block.back() = kGuard;
        rec.host_4 = kGuard;
        for (uint32_t& w : rec.host_12)
            w = kGuard;
    }
    int32_t* value() { return reinterpret_cast<int32_t*>(block.data() + 1); }
    bool intact() const
    {
        if (block.front() != kGuard || block.back() != kGuard || rec.host_4 != kGuard)
            return false;
        for (uint32_t w : rec.host_12)
            if (w != kGuard)
                return false;
        return true;
    }
    const char* name;
    std::vector<uint32_t> block;
    TolvoVar rec{};
};

std::vector<unsigned char> fileBytes(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(f), {});
}

const std::string kOggFile = std::string(TOLVO_FIXTURES) + "/ogg/mono8000.ogg";

int32_t wordsFor(const std::vector<unsigned char>& bytes)
{
    return static_cast<int32_t>((bytes.size() + 3) / 4);
}

// Everything the scripts of one run use.
struct Host {
    Host()
    {
        info.hwnd = reinterpret_cast<void*>(0x1234);
        info.hinstance = reinterpret_cast<void*>(0x5678);
    }
    TolvoWindowInfo info{};
    HostVar n{"n", 1}, name{"name", 4}, flag{"flag", 1}, ver{"ver", 1}, size{"size", 2}, blob{"blob", 16},
        blob2{"blob2", 16}, dump{"dump", 3};
    std::vector<unsigned char> oggBytes = fileBytes(kOggFile);
    HostVar ogg{"ogg", wordsFor(oggBytes), oggBytes};
    // tovdpmload cuts its text at the comma: a fresh one for every call.
    char packText[32] = {};
    char* pack()
    {
        std::strcpy(packText, "music.dpm,0");
        return packText;
    }
    std::vector<HostVar*> vars() { return {&n, &name, &flag, &ver, &size, &blob, &blob2, &dump, &ogg}; }
};

// ---- The platform: fakes for every engine ------------------------------------

const std::set<std::string> kExistingFiles = {"tune.mid", "intro.sgt", "tone.wav", "intro.avi", kOggFile};

struct Platform {
    Platform()
    {
        di.install(sys.fake());
        di.addJoystick("pad", true, 2);
        di.addJoystick("stick with a name longer than its variable", false, 4);
        di.addXInputPad(sys.fake(), "xbox pad", false, 0x045E, 0x028E, 1);
        sys.fake().libraries = {"xinput1_4.dll"};
        // Music is named by its full path, movies as the script names them.
        sys.fake().getFileAttributesA = [](LPCSTR name) -> DWORD {
            const std::string here = "C:\\games\\tolvo\\";
            const std::string file = std::string(name).rfind(here, 0) == 0 ? name + here.size() : name;
            return kExistingFiles.count(file) ? FILE_ATTRIBUTE_NORMAL : INVALID_FILE_ATTRIBUTES;
        };
        sys.fake().currentDirectory = "C:\\games\\tolvo";
        sys.fake().getClientRect = [](HWND, LPRECT rect) -> BOOL {
            *rect = {0, 0, 640, 480};
            return TRUE;
        };
        versions.add("ddraw.dll", 5, 3, 2600, 2180);
        versions.add("d3d9.dll", 5, 3, 2600, 2180);
    }

    // Every fake object released as often as it was handed out, none
    // released once more or used afterwards.
    std::string releaseProblems() const
    {
        std::string out = di.releaseProblems() + sys.fake().xinputProblems();
        auto music = [&out](const auto* o) {
            if (o->moduleRefs() != 0)
                out += o->name() + ": " + std::to_string(o->moduleRefs()) + " reference(s) left\n";
        };
        music(dm.performance);
        music(dm.loader);
        music(dm.audioPath);
        music(dm.buffer3D);
        music(dm.dsBuffer);
        for (const FakeSegment* s : dm.segments)
            music(s);
        for (const std::string& name : dm.overReleases)
            out += name + ": released once too often\n";
        if (!dshow.allReleased())
            out += "a filter graph was not released, or used after its release\n";
        if (!dxdiag.balanced())
            out += "a DxDiag object was not released, or used after its release\n";
        return out;
    }

    FakeSystemScope sys;
    FakeDInput di;
    FakeDMusic dm{sys.fake()};
    FakeDShow dshow{sys.fake()};
    FakeDxDiag dxdiag{sys.fake()};
    FakeFileVersions versions{sys.fake()};
};

// ---- The sessions --------------------------------------------------------------

struct Step {
    const char* command;
    int expected; // with no call failing
    int (*run)(Host&);
};

struct Session {
    const char* name;
    void (*configure)(Platform&);
    std::vector<Step> steps;
};

// Every engine, every kind of music from a file and from a variable, the
// controls, a movie, the devices polled, a jolt; then a start again.
const Session kGame = {
    "game",
    [](Platform& p) { p.dxdiag.reports(9, 0, L"c"); },
    {
        {"tovinit", 0, [](Host& h) { return tovinit(&h.info, 7, 1, 0); }},
        {"tovdxver", 0, [](Host& h) { return tovdxver(&h.ver.rec, 0, 0, 0); }},
        {"tovsysmode", 0, [](Host&) { return tovsysmode(1, 0, 0, 0); }},
        {"tovfps", 0, [](Host& h) { return tovfps(h.n.value(), 0, 0, 0); }},
        {"tovjoynum", 0, [](Host& h) { return tovjoynum(h.n.value(), 0, 0, 0); }},
        {"tovjoyname", 0, [](Host& h) { return tovjoyname(&h.name.rec, 0, 0, 0); }},
        {"tovjoyforce", 0, [](Host& h) { return tovjoyforce(&h.flag.rec, 0, 0, 0); }},
        {"tovkeystate", 0, [](Host& h) { return tovkeystate(h.n.value(), 0, 0, 0); }},
        {"tovkeytrigger", 0, [](Host& h) { return tovkeytrigger(h.n.value(), 0, 0, 0); }},
        {"tovmousestate", 0, [](Host& h) { return tovmousestate(h.n.value(), 0, 0, 0); }},
        {"tovjoystate", 0, [](Host& h) { return tovjoystate(h.n.value(), 0, 0, 0); }},
        {"tovjoytrigger", 0, [](Host& h) { return tovjoytrigger(h.n.value(), 1, 0, 0); }},
        {"tovjoyshock", 0, [](Host&) { return tovjoyshock(0, 0, 0, 0); }},
        {"tovjoyshock", -1, [](Host&) { return tovjoyshock(1, 0, 0, 0); }},
        {"tovjoyforce", 0, [](Host& h) { return tovjoyforce(&h.flag.rec, 2, 0, 0); }},
        {"tovjoyshock", 0, [](Host&) { return tovjoyshock(2, 0, 0, 0); }},
        {"tovmusicload", 0, [](Host&) { return tovmusicload(0, "tune.mid", 0, 0); }},
        {"tovmusicload", 0, [](Host&) { return tovmusicload(1, "intro.sgt", 0, 0); }},
        {"tovmusicload", 0, [](Host&) { return tovmusicload(2, "tone.wav", 0, 0); }},
        {"tovmusicload", 0, [](Host&) { return tovmusicload(3, kOggFile.c_str(), 0, 0); }},
        {"tovdpmload", 0, [](Host& h) { return tovdpmload(0, h.pack(), 0, 0); }},
        {"tovdpmread", 0, [](Host& h) { return tovdpmread(&h.blob.rec, "Tune.MID", 0, 0); }},
        {"tovmusicload2", 0, [](Host& h) { return tovmusicload2(&h.blob.rec, 4, 0, 0); }},
        {"tovdpmread", 0, [](Host& h) { return tovdpmread(&h.blob2.rec, "tone.wav", 0, 0); }},
        {"tovmusicload2", 0, [](Host& h) { return tovmusicload2(&h.blob2.rec, 5, 0, 0); }},
        {"tovmusicload2", 0, [](Host& h) { return tovmusicload2(&h.ogg.rec, 6, 0, 0); }},
        {"tovdpmsize", 0, [](Host& h) { return tovdpmsize(&h.size.rec, "theme.ogg", 0, 0); }},
        {"tovmusicplay", 0, [](Host&) { return tovmusicplay(0, -1, 0, 0); }},
        {"tovmusicplay2", 0, [](Host&) { return tovmusicplay2(3, 0, 0, 0); }},
        {"tovmusicplay2", -1, [](Host&) { return tovmusicplay2(3, 0, 0, 0); }},
        {"tovmusiccheck", -1, [](Host&) { return tovmusiccheck(3, 0, 0, 0); }},
        {"tovmusicsetvol", 0, [](Host&) { return tovmusicsetvol(0, -1000, 0, 0); }},
        {"tovmusicgetvol", 0, [](Host& h) { return tovmusicgetvol(h.n.value(), 0, 0, 0); }},
        {"tovmusicsettenpo", 0, [](Host&) { return tovmusicsettenpo(15, 0, 0, 0); }},
        {"tovmusicgettenpo", 0, [](Host& h) { return tovmusicgettenpo(h.n.value(), 0, 0, 0); }},
        {"tovmusicsetpos", 0, [](Host&) { return tovmusicsetpos(1, 250, 0, 0); }},
        {"tovmusicfx", 0, [](Host&) { return tovmusicfx(4, 0, 0, 0); }},
        {"tovmusicfx", 0, [](Host&) { return tovmusicfx(0, 0, 0, 0); }},
        // Slot 3 plays: its block stays with the old segment.
        {"tovmusicload2", 0, [](Host& h) { return tovmusicload2(&h.ogg.rec, 3, 0, 0); }},
        {"tovmusicstop", 0, [](Host&) { return tovmusicstop(3, 0, 0, 0); }},
        {"tovmusicstop", 0, [](Host&) { return tovmusicstop(-1, 0, 0, 0); }},
        {"tovmusiccheck", 0, [](Host&) { return tovmusiccheck(0, 0, 0, 0); }},
        {"tovmovieload", 0, [](Host&) { return tovmovieload("intro.avi", 0, 0, 0); }},
        {"tovmovieplay", 0, [](Host&) { return tovmovieplay(0, 0, 0, 0); }},
        {"tovmoviecheck", -1, [](Host&) { return tovmoviecheck(0, 0, 0, 0); }},
        {"tovmoviesize", 0, [](Host&) { return tovmoviesize(16, 8, 320, 240); }},
        {"tovmoviestop", 0, [](Host&) { return tovmoviestop(0, 0, 0, 0); }},
        {"tovmoviefree", 0, [](Host&) { return tovmoviefree(0, 0, 0, 0); }},
        {"tovmovieload", 0, [](Host&) { return tovmovieload("intro.avi", 0, 0, 0); }},
        {"test", 0, [](Host& h) { return test(&h.dump.rec, 0, 0, 0); }},
        {"tovbye", 0, [](Host&) { return tovbye(0, 0, 0, 0); }},
        {"tovinit", 0, [](Host& h) { return tovinit(&h.info, 0, 0, 0); }},
        {"tovmusicload2", 0, [](Host& h) { return tovmusicload2(&h.ogg.rec, 0, 0, 0); }},
        {"tovmusicplay", 0, [](Host&) { return tovmusicplay(0, 2, 0, 0); }},
        {"tovkeystate", 0, [](Host& h) { return tovkeystate(h.n.value(), 0, 0, 0); }},
        {"tovjoystate", 0, [](Host& h) { return tovjoystate(h.n.value(), 1, 0, 0); }},
        {"tovmovieload", 0, [](Host&) { return tovmovieload("intro.avi", 0, 0, 0); }},
        {"tovmovieplay", 0, [](Host&) { return tovmovieplay(0, 0, 0, 0); }},
        {"tovbye", 0, [](Host&) { return tovbye(0, 0, 0, 0); }},
    },
};

// One engine at a time, each started twice without a tovbye in between,
// music replaced while it plays, a movie freed twice, the version read from
// the system's files; tovbye twice.
const Session kEngines = {
    "engines",
    [](Platform& p) {
        // No letter: the probe falls back to the files' versions.
        p.dxdiag.reports(9, 0, L"c");
        p.dxdiag.systemInfo.props.erase(L"szDirectXVersionLetter");
    },
    {
        {"tovinit", 0, [](Host& h) { return tovinit(&h.info, 1, 1, 0); }},
        {"tovinit", 0, [](Host& h) { return tovinit(&h.info, 1, 1, 0); }},
        {"tovkeytrigger", 0, [](Host& h) { return tovkeytrigger(h.n.value(), 0, 0, 0); }},
        {"tovjoytrigger", 0, [](Host& h) { return tovjoytrigger(h.n.value(), 0, 0, 0); }},
        {"tovjoyname", 0, [](Host& h) { return tovjoyname(&h.name.rec, 1, 0, 0); }},
        {"tovjoyshock", 0, [](Host&) { return tovjoyshock(0, 0, 0, 0); }},
        {"tovmusicload", -9, [](Host&) { return tovmusicload(0, "tune.mid", 0, 0); }},
        {"tovmovieplay", -1, [](Host&) { return tovmovieplay(0, 0, 0, 0); }},
        {"tovinit", 0, [](Host& h) { return tovinit(&h.info, 2, 1, 0); }},
        {"tovmusicload", 0, [](Host&) { return tovmusicload(7, "tune.mid", 0, 0); }},
        {"tovmusicplay", 0, [](Host&) { return tovmusicplay(7, -1, 0, 0); }},
        {"tovmusicload", 0, [](Host&) { return tovmusicload(7, "tone.wav", 0, 0); }},
        {"tovdpmload", 0, [](Host& h) { return tovdpmload(0, h.pack(), 0, 0); }},
        {"tovdpmread", 0, [](Host& h) { return tovdpmread(&h.blob.rec, "tone.wav", 0, 0); }},
        {"tovmusicload2", 0, [](Host& h) { return tovmusicload2(&h.blob.rec, 8, 0, 0); }},
        {"tovmusicplay", 0, [](Host&) { return tovmusicplay(8, -1, 0, 0); }},
        {"tovmusicload2", 0, [](Host& h) { return tovmusicload2(&h.blob.rec, 8, 0, 0); }},
        {"tovmusicplay", 0, [](Host&) { return tovmusicplay(8, -1, 0, 0); }},
        {"tovmusicload2", 0, [](Host& h) { return tovmusicload2(&h.ogg.rec, 8, 0, 0); }},
        {"tovmusiccheck", 0, [](Host&) { return tovmusiccheck(8, 0, 0, 0); }},
        {"test", 0, [](Host& h) { return test(&h.dump.rec, 0, 0, 0); }},
        {"tovinit", 0, [](Host& h) { return tovinit(&h.info, 6, 1, 0); }},
        {"tovmusicplay", -1, [](Host&) { return tovmusicplay(8, 0, 0, 0); }},
        {"tovmovieload", 0, [](Host&) { return tovmovieload("intro.avi", 0, 0, 0); }},
        {"tovmoviefree", 0, [](Host&) { return tovmoviefree(0, 0, 0, 0); }},
        {"tovmoviefree", 0, [](Host&) { return tovmoviefree(0, 0, 0, 0); }},
        {"tovdpmread", 0, [](Host& h) { return tovdpmread(&h.blob2.rec, "tune.mid", 0, 0); }},
        {"tovdxver", 0, [](Host& h) { return tovdxver(&h.ver.rec, 0, 0, 0); }},
        {"tovbye", 0, [](Host&) { return tovbye(0, 0, 0, 0); }},
        {"tovbye", 0, [](Host&) { return tovbye(0, 0, 0, 0); }},
    },
};

const Session* const kSessions[] = {&kGame, &kEngines};

// ---- One run -------------------------------------------------------------------

const char* kindName(unsigned kind)
{
    switch (kind) {
    case kFaultError: return "failing";
    case kFaultNoMemory: return "out of memory";
    case kFaultNullOut: return "succeeding with a null out pointer";
    case kFaultTooSmall: return "answering a length too long for the buffer";
    default: return "as scripted";
    }
}

// Where a run is, for the crash report.
char g_where[256] = "";

LONG WINAPI reportCrash(EXCEPTION_POINTERS* e)
{
    const char* fired = g_faultPlan && !g_faultPlan->fired.empty() ? g_faultPlan->fired.c_str() : "none";
    std::fprintf(stderr, "\nCRASH (exception 0x%08lx at %p) in %s (the call that failed: %s)\n",
                 e->ExceptionRecord->ExceptionCode, e->ExceptionRecord->ExceptionAddress, g_where, fired);
    std::fflush(stderr);
    return EXCEPTION_EXECUTE_HANDLER;
}

// The module as the host finds it right after loading.
void resetModule()
{
    resetPackState();
    g_lpReadBuffer = nullptr;
    std::memset(g_byKeyLatch, 0, sizeof g_byKeyLatch);
    std::memset(g_byJoyLatch, 0, sizeof g_byJoyLatch);
    g_dwFpsLastTime = g_dwFpsCount = 0;
    g_bScreenSaveActive = g_bPowerOffActive = g_bLowPowerActive = 0;
    g_bSettingsSaved = g_bSettingsSuppressed = 0;
    g_nComInitCount = 0;
    g_nVerbose = 1;
    g_hWnd = nullptr;
    g_hInstance = nullptr;
    g_fPosX = g_fPosY = g_fPosZ = 0.0f;
}

// What a tovbye left that it should have released, by name; the pointers
// are cleared, so that the next run does not reach the fakes of this one.
std::string heldAfterBye()
{
    std::string out;
    auto held = [&out](auto*& p, const std::string& name) {
        if (p) {
            out += name + " still set\n";
            p = nullptr;
        }
    };
    auto heldTable = [&held](auto& table, const char* name) {
        for (size_t i = 0; i < std::size(table); ++i)
            held(table[i], std::string(name) + "[" + std::to_string(i) + "]");
    };
    held(g_lpDI, "g_lpDI");
    held(g_lpDIMouse, "g_lpDIMouse");
    held(g_lpDIKeyboard, "g_lpDIKeyboard");
    heldTable(g_lpDIJoystick, "g_lpDIJoystick");
    heldTable(g_lpDIEffect, "g_lpDIEffect");
    held(g_hXInput, "g_hXInput");
    held(g_lpPerformance, "g_lpPerformance");
    held(g_lpLoader, "g_lpLoader");
    held(g_lpAudioPath, "g_lpAudioPath");
    held(g_lp3DBuffer, "g_lp3DBuffer");
    held(g_lpDSBuffer, "g_lpDSBuffer");
    heldTable(g_lpSegment, "g_lpSegment");
    heldTable(g_pSlotImage, "g_pSlotImage");
    if (retiredSegmentCount() != 0)
        out += "retired segments left\n";
    held(g_lpGraph, "g_lpGraph");
    held(g_lpMediaControl, "g_lpMediaControl");
    held(g_lpMediaEvent, "g_lpMediaEvent");
    held(g_lpMediaSeeking, "g_lpMediaSeeking");
    held(g_lpVideoWindow, "g_lpVideoWindow");
    held(g_pWaveImage, "g_pWaveImage");
    held(g_lpReadBuffer, "g_lpReadBuffer");
    return out;
}

struct Sweep {
    std::map<std::string, std::set<int>> documented = documentedResults(TOLVO_COMMANDS_DOC);
    FaultPlan plan;
    long cases = 0;
    std::vector<std::string> problems;

    // Runs the session with the plan as it is; `exact` also compares each
    // result with the one the table expects.
    void run(const Session& session, bool exact)
    {
        ++cases;
        resetModule();
        takeHeapProblems();
        std::vector<void*> readBuffers; // what tovdpmread attached; the plug-in keeps all but the last
        std::string where;
        auto report = [&](const std::string& what) { problems.push_back(where + ": " + what); };
        {
            Platform platform;
            session.configure(platform);
            Host host;
            g_faultPlan = &plan;
            for (size_t i = 0; i < session.steps.size(); ++i) {
                const Step& step = session.steps[i];
                const std::string caseName = plan.target ? "call " + std::to_string(plan.target) + " " +
                                                               kindName(plan.kind)
                                                         : "no call failing";
                where = std::string(session.name) + ", " + caseName + ", step " + std::to_string(i + 1) + " " +
                        step.command;
                std::snprintf(g_where, sizeof g_where, "%s", where.c_str());
                const size_t boxesBefore = platform.sys.fake().boxes.size();

                const int result = step.run(host);

                if (!plan.fired.empty())
                    where = std::string(session.name) + ", call " + std::to_string(plan.target) + " (" + plan.fired +
                            ") " + kindName(plan.kind) + ", step " + std::to_string(i + 1) + " " + step.command;
                if (!documented[step.command].count(result))
                    report("result " + std::to_string(result) + " is not one docs/commands.md lists");
                if (exact && result != step.expected)
                    report("result " + std::to_string(result) + ", expected " + std::to_string(step.expected));
                const auto& boxes = platform.sys.fake().boxes;
                for (size_t b = boxesBefore; b < boxes.size(); ++b)
                    if (std::string problem = boxProblem(boxes[b], step.command); !problem.empty())
                        report(problem);
                if (exact && boxes.size() != boxesBefore)
                    report("a box with no call failing: " + boxes[boxesBefore].text);
                for (HostVar* v : host.vars()) {
                    if (!v->intact()) {
                        report(std::string("a write past the storage of `") + v->name +
                               "` or into the host's fields of its record");
                        v->guard();
                    }
                }

                if (std::strcmp(step.command, "tovdpmread") == 0 && pluginBlocks().count(g_lpReadBuffer))
                    readBuffers.push_back(g_lpReadBuffer);
                if (std::strcmp(step.command, "tovbye") == 0) {
                    g_faultPlan = nullptr;
                    if (std::string held = heldAfterBye(); !held.empty())
                        report("after tovbye:\n" + held);
                    if (std::string refs = platform.releaseProblems(); !refs.empty())
                        report("after tovbye:\n" + refs);
                    checkHeapGuards();
                    for (const auto& [block, bytes] : pluginBlocks())
                        if (std::find(readBuffers.begin(), readBuffers.end(), block) == readBuffers.end())
                            report("a block of " + std::to_string(bytes) + " bytes still allocated after tovbye");
                    g_faultPlan = &plan;
                }
                for (const std::string& problem : takeHeapProblems())
                    report(problem);
            }
            g_faultPlan = nullptr;
            // Whatever is left goes now, so that the next run starts clean.
            heldAfterBye();
            freeAllImages();
        }
        while (!pluginBlocks().empty())
            sweepFree(pluginBlocks().begin()->first);
        takeHeapProblems();
        g_where[0] = '\0';
    }
};

// The session's name stands for it in the test's name and in reports.
void PrintTo(const Session* session, std::ostream* out)
{
    *out << session->name;
}

class PlatformFaults : public ::testing::TestWithParam<const Session*> {
protected:
    static void SetUpTestSuite()
    {
        SetUnhandledExceptionFilter(reportCrash);
        GetCurrentDirectoryA(MAX_PATH, s_start);
    }
    // Each session works in a folder of its own, and of its platform's when
    // two platforms run side by side: the pack its scripts read (the music
    // fixtures packed by tolvo-pack) and the file `test` writes.
    static bool enterFolder(const Session& session)
    {
        const char* platform = std::getenv("TOLVO_PLATFORM");
        const std::string folder =
            std::string(s_start) + "\\run-" + session.name + "-" + (platform ? platform : "wine8");
        CreateDirectoryA(folder.c_str(), nullptr);
        if (!SetCurrentDirectoryA(folder.c_str()))
            return false;
        const std::vector<unsigned char> pack = fileBytes(std::string(TOLVO_FIXTURES) + "/music/music.dpm");
        std::ofstream("music.dpm", std::ios::binary).write(reinterpret_cast<const char*>(pack.data()), pack.size());
        return !pack.empty();
    }
    static void TearDownTestSuite() { SetCurrentDirectoryA(s_start); }
    static inline char s_start[MAX_PATH] = {};
};

TEST_P(PlatformFaults, EveryCallFailsInTurn)
{
    const Session& session = *GetParam();
    ASSERT_TRUE(enterFolder(session));
    Sweep sweep;
    std::set<std::string> commands, documented;
#define TOLVO_NAME(name, a, b, c, d) commands.insert(#name);
    TOLVO_COMMANDS(TOLVO_NAME)
#undef TOLVO_NAME
    for (const auto& entry : sweep.documented)
        documented.insert(entry.first);
    ASSERT_EQ(documented, commands) << "every command's entry in " << TOLVO_COMMANDS_DOC;
    ASSERT_FALSE(Host().oggBytes.empty()) << kOggFile;

    // The session as it is: its results are the expected ones, and the calls
    // that can fail are counted.
    sweep.plan.recordSites = true;
    sweep.run(session, true);
    sweep.plan.recordSites = false;
    const std::vector<FaultSite> sites = sweep.plan.sites;
    ASSERT_TRUE(sweep.problems.empty()) << sweep.problems.front();
    ASSERT_GT(sites.size(), 0u);

    std::map<unsigned, long> byKind;
    for (size_t k = 0; k < sites.size(); ++k) {
        for (unsigned kind = 1; kind <= kFaultTooSmall; kind <<= 1) {
            if (!(sites[k].kinds & kind))
                continue;
            sweep.plan = FaultPlan{};
            sweep.plan.target = static_cast<long>(k + 1);
            sweep.plan.kind = static_cast<FaultKind>(kind);
            sweep.run(session, false);
            ++byKind[kind];
        }
    }
    std::printf("session %s: %zu calls that can fail, %ld runs (failing %ld, out of memory %ld, null out pointer "
                "%ld, too long %ld)\n",
                session.name, sites.size(), sweep.cases - 1, byKind[kFaultError], byKind[kFaultNoMemory],
                byKind[kFaultNullOut], byKind[kFaultTooSmall]);
    RecordProperty("calls", static_cast<int>(sites.size()));
    RecordProperty("runs", static_cast<int>(sweep.cases - 1));

    std::string listed;
    for (size_t i = 0; i < sweep.problems.size() && i < 40; ++i)
        listed += sweep.problems[i] + "\n";
    EXPECT_TRUE(sweep.problems.empty()) << sweep.problems.size() << " problem(s), the first ones:\n" << listed;
}

INSTANTIATE_TEST_SUITE_P(Sweep, PlatformFaults, ::testing::ValuesIn(kSessions),
                         [](const ::testing::TestParamInfo<const Session*>& info) { return info.param->name; });

} // namespace

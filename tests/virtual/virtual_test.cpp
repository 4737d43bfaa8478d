// The joystick commands through the platform's own input stack: the built
// tolvo.dll, linked as a game links it, with game controllers that Wine's
// DirectInput, HID and XInput take for real (sdl_standin.c). Each case
// declares its controllers, moves and unplugs them, and reads back every
// rumble and force-feedback effect that reached them from the stand-in's log.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "unit/case_trace.h"
#include "virtual/lane.h"
#include "tolvo.h"
#include "tools/common/platform_name.h"

namespace {

// What DirectInput calls the Xbox 360 pad on both Wines (and on Windows).
const std::string kPadName = "Controller (XBOX 360 For Windows)";

// The message boxes shown, answered with OK at once, as tolvo-host does.
std::vector<std::string> g_boxes;
HHOOK g_boxHook;

LRESULT CALLBACK answerBoxes(int code, WPARAM wp, LPARAM lp)
{
    static HWND answered;
    const HWND box = reinterpret_cast<HWND>(wp);
    char cls[16] = "";
    if (code == HCBT_ACTIVATE && box != answered && GetClassNameA(box, cls, sizeof cls) && !lstrcmpA(cls, "#32770")) {
        answered = box;
        char text[256] = "";
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        g_boxes.push_back(text);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(g_boxHook, code, wp, lp);
}

void pump(DWORD ms)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&m);
        Sleep(2);
    }
}

// The time of a log line ("MS NAME WHAT ..."), in milliseconds.
double timeOf(const std::string& line)
{
    return std::stod(line.substr(0, line.find(' ')));
}

class Virtual : public ::testing::Test {
protected:
    // Wine 8's XInput stops its thread when it is unloaded and now and then
    // unmaps before the thread has left it, and the thread faults there
    // (tests/platform/xinput_unload.cpp). The plug-in unloads XInput at
    // tovbye; holding it here keeps it loaded to the end, as a host that
    // uses XInput itself does.
    static void SetUpTestSuite()
    {
        char path[MAX_PATH];
        const UINT length = GetSystemDirectoryA(path, MAX_PATH - 20);
        lstrcpyA(path + length, "\\xinput1_4.dll");
        LoadLibraryA(path);
    }

    void SetUp() override
    {
        ASSERT_FALSE(lane::folder().empty()) << "runs with virtual controllers only (scripts/wine-run, TOLVO_LANE=virtual)";
        window = CreateWindowA("STATIC", "tolvo virtual controllers", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 320, 240,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        SetForegroundWindow(window);
        info.hwnd = window;
        info.hinstance = GetModuleHandleA(nullptr);
        g_boxes.clear();
        g_boxHook = SetWindowsHookExA(WH_CBT, answerBoxes, nullptr, GetCurrentThreadId());
        pump(50);
    }

    void TearDown() override
    {
        tovbye(0, 0, 0, 0);
        UnhookWindowsHookEx(g_boxHook);
        DestroyWindow(window);
    }

    // These controllers ("NAME KIND", sdl_standin.c) beside those attached
    // before (a case starts with none), then the input engine with its
    // boxes on.
    void start(const std::vector<std::string>& controllers)
    {
        ASSERT_TRUE(lane::attach(controllers)) << "DirectInput did not list the controllers";
        ASSERT_EQ(tovinit(&info, 1, 1, 0), 0);
        log = lane::logEnd();
    }

    // The plug-in's number of the controller DirectInput names so, or -1.
    int number(const std::string& name)
    {
        for (int32_t j = 0; j < 8; ++j) {
            char text[128] = "";
            TolvoVar var{TOLVO_TYPE_STRING, 0, 0, 32, {}, text};
            if (tovjoyname(&var, j, 0, 0) == 0 && name == text)
                return j;
        }
        return -1;
    }

    // Polls tovjoystate until `holds` is true of its bits, at most 5 s;
    // the bits last read (-1 when the command failed).
    int32_t waitState(int32_t joystick, const std::function<bool(int32_t)>& holds)
    {
        int32_t bits = -1;
        for (DWORD start = GetTickCount(); GetTickCount() - start < 5000; pump(5))
            if (tovjoystate(&bits, joystick, 0, 0) != 0 || holds(bits))
                break;
        return bits;
    }

    // The bits tovjoystate reports for the controller with `lines` applied
    // from rest. A marker button goes down after them (the stand-in hands it
    // to the platform's bus after them), so that a state that adds no bit
    // has surely arrived when the marker has.
    int32_t stateAfter(const std::string& controller, int32_t joystick, const std::string& lines)
    {
        const bool pad = controller == "pad";
        const int marker = pad ? 8 : 7;                    // the right stick's click (the pad's button 9), button 7
        const int32_t markerBit = pad ? 0x10 << 9 : 0x10 << 7;
        lane::send("rest " + controller + "\nsync\n");
        EXPECT_EQ(waitState(joystick, [](int32_t b) { return b == 0; }), 0) << "no rest";
        lane::send(lines + "sync\nbutton " + controller + " " + std::to_string(marker) + " 1\nsync\n");
        const int32_t bits = waitState(joystick, [&](int32_t b) { return (b & markerBit) != 0; });
        EXPECT_TRUE(bits & markerBit) << "the marker never came";
        return bits & ~markerBit;
    }

    // The log's lines since the last call (or start) that name `who`.
    std::vector<std::string> logOf(const std::string& who)
    {
        std::vector<std::string> lines;
        for (const std::string& line : lane::logSince(log))
            if (line.find(" " + who + " ") != std::string::npos)
                lines.push_back(line.substr(line.find(' ') + 1));
        return lines;
    }

    // Waits until the log holds a line with `text` (at most 3 s), which it
    // answers with the lines before it since the last call; "" when none.
    std::string waitLog(const std::string& text, std::vector<std::string>* before = nullptr)
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < 3000; pump(5)) {
            long at = log;
            for (const std::string& line : lane::logSince(at)) {
                log += static_cast<long>(line.size()) + 1;
                if (line.find(text) != std::string::npos)
                    return line;
                if (before)
                    before->push_back(line.substr(line.find(' ') + 1));
            }
        }
        return "";
    }

    HWND window = nullptr;
    TolvoWindowInfo info{};
    long log = 0;
};

TEST_F(Virtual, CountAndNames)
{
    // Each row adds controllers to the last one's.
    struct Row {
        const char* what;
        std::vector<std::string> more;
        int status;
        int32_t count;                  // 55: the variable kept its value
        int named;                      // the numbers that tovjoyname answers
        std::vector<std::string> names; // sorted; empty: any of the controllers' names, all different
    };
    std::vector<std::string> six;
    for (int k = 1; k <= 6; ++k)
        six.push_back("j" + std::to_string(k) + " plain");
    const Row rows[] = {
        {"none", {}, -1, 55, 0, {}},
        {"one", {"solo plain"}, 0, 1, 1, {"solo"}},
        {"several", {"pad pad", "stick force"}, 0, 3, 3, {kPadName, "solo", "stick"}},
        {"nine, more than the plug-in keeps", six, 0, 8, 8, {}},
    };
    for (const Row& row : rows) {
        CASE_TRACE(row.what);
        start(row.more);
        int32_t count = 55;
        EXPECT_EQ(tovjoynum(&count, 0, 0, 0), row.status);
        EXPECT_EQ(count, row.count);
        std::vector<std::string> names;
        for (int32_t j = 0; j < 8; ++j) {
            char text[128] = "kept";
            TolvoVar var{TOLVO_TYPE_INT, 0, 0, 32, {}, text};
            EXPECT_EQ(tovjoyname(&var, j, 0, 0), j < row.named ? 0 : -1) << "joystick " << j;
            if (j < row.named)
                names.push_back(text);
            else
                EXPECT_STREQ(text, "kept");
        }
        std::sort(names.begin(), names.end());
        if (!row.names.empty())
            EXPECT_EQ(names, row.names);
        else
            EXPECT_EQ(std::unique(names.begin(), names.end()) - names.begin(), row.named);
        char text[128] = "kept";
        TolvoVar var{TOLVO_TYPE_INT, 0, 0, 32, {}, text};
        EXPECT_EQ(tovjoyname(&var, 8, 0, 0), -2);
        tovbye(0, 0, 0, 0);
    }
}

TEST_F(Virtual, StickButtonsAndPov)
{
    start({"pad pad", "stick force", "plain plain"});
    // SDL's numbering in the lines: the pad's axes are the left stick's X
    // and Y, the right stick's, and the triggers; its buttons A, B, X, Y,
    // back, guide, start, the sticks' clicks, the shoulders, then the
    // d-pad, which DirectInput reports as the pad's POV.
    struct Row {
        const char* controller;
        const char* lines;
        int32_t bits;
    } rows[] = {
        {"pad", "", 0}, // at rest
        {"pad", "axis pad 0 -32768\n", 0x4},
        {"pad", "axis pad 0 32767\n", 0x8},
        {"pad", "axis pad 1 -32768\n", 0x1},
        {"pad", "axis pad 1 32767\n", 0x2},
        {"pad", "button pad 0 1\nbutton pad 3 1\n", 0x10 | 0x80}, // A and Y: buttons 0 and 3
        {"pad", "button pad 9 1\n", 0x10 << 4},                  // the left shoulder: button 4
        {"pad", "button pad 11 1\n", 0},                         // the d-pad up: the POV is not reported
        {"pad", "axis pad 2 -32768\naxis pad 3 32767\naxis pad 4 32767\n", 0}, // right stick, left trigger
        {"stick", "axis stick 0 -32768\naxis stick 1 32767\n", 0x4 | 0x2},
        // Each direction's threshold: a quarter of the travel (24 % and 26 %).
        {"plain", "axis plain 0 -7864\n", 0},
        {"plain", "axis plain 0 -8520\n", 0x4},
        {"plain", "axis plain 0 7864\n", 0},
        {"plain", "axis plain 0 8520\n", 0x8},
        {"plain", "axis plain 1 -7864\n", 0},
        {"plain", "axis plain 1 -8520\n", 0x1},
        {"plain", "axis plain 1 7864\n", 0},
        {"plain", "axis plain 1 8520\n", 0x2},
        {"plain", "axis plain 0 -32768\naxis plain 1 -32768\nbutton plain 0 1\nbutton plain 3 1\n", 0x95},
        {"plain", "button plain 15 1\n", 0x80000},
        {"plain", "button plain 16 1\nbutton plain 19 1\n", 0}, // beyond button 15
        {"plain", "hat plain 0 1\n", 0},                         // the POV up
        {"plain", "hat plain 0 12\n", 0},                        // the POV down-left
        {"plain", "axis plain 2 32767\naxis plain 3 -32768\n", 0}, // Z and Rx
    };
    for (const Row& row : rows) {
        CASE_TRACE(row.controller << ": " << row.lines);
        const int j = number(row.controller == std::string("pad") ? kPadName : row.controller);
        ASSERT_GE(j, 0);
        EXPECT_EQ(stateAfter(row.controller, j, row.lines), row.bits);
    }
}

TEST_F(Virtual, TriggerSeesAPressOnce)
{
    start({"plain plain"});
    const struct Row {
        const char* lines;
        int32_t held, trigger;
    } rows[] = {
        {"button plain 0 1\n", 0x10, 0x10},
        {"", 0x10, 0}, // held
        {"", 0x10, 0},
        {"button plain 2 1\n", 0x50, 0x40}, // only the new one
        {"button plain 0 0\nbutton plain 2 0\n", 0, 0},
        {"button plain 0 1\naxis plain 0 32767\n", 0x18, 0x18},
    };
    for (const Row& row : rows) {
        CASE_TRACE(row.lines);
        lane::send(std::string(row.lines) + "sync\n");
        EXPECT_EQ(waitState(0, [&](int32_t b) { return b == row.held; }), row.held);
        int32_t bits = -1;
        EXPECT_EQ(tovjoytrigger(&bits, 0, 0, 0), 0);
        EXPECT_EQ(bits, row.trigger);
    }
}

TEST_F(Virtual, ForceFeedbackAndTheJolt)
{
    start({"pad pad", "stick force", "one force1", "plain plain"});
    const std::string here = platformName();
    // The direction the platform hands the device, in SDL's spherical
    // hundredths of a degree: Wine 8 turns +X into 25 and +X+Y into 4537,
    // Wine 10 into 0 and 4500.
    const bool wine8 = here == "wine8";
    const struct Row {
        std::string controller;
        int force;       // tovjoyforce's byte
        int shock;       // tovjoyshock's answer
        std::string effect; // the constant force that reaches the device; "" none
    } rows[] = {
        {"pad", 1, 0, ""}, // rumble: the Rumble case
        {"stick", 1, 0, std::string("constant level=32767 length=200 dir=spherical:") + (wine8 ? "4537" : "4500") + ",0"},
        {"one", 1, 0, std::string("constant level=32767 length=200 dir=spherical:") + (wine8 ? "25" : "0") + ",0"},
        {"plain", 0, -1, ""},
    };
    for (const Row& row : rows) {
        CASE_TRACE(row.controller);
        const int j = number(row.controller == "pad" ? kPadName : row.controller);
        ASSERT_GE(j, 0);
        unsigned char storage[8] = {0, 0xAB};
        TolvoVar var{TOLVO_TYPE_INT, 0, 0, 2, {}, storage};
        EXPECT_EQ(tovjoyforce(&var, j, 0, 0), 0);
        EXPECT_EQ(storage[0], row.force);
        EXPECT_EQ(storage[1], 0xAB);
        if (row.controller == "pad")
            continue;
        EXPECT_EQ(tovjoyshock(j, 0, 0, 0), row.shock);
        if (row.effect.empty()) {
            pump(300);
            EXPECT_EQ(logOf(row.controller), std::vector<std::string>{});
            continue;
        }
        // Its last parameters before it runs, once, for the 0.2 s it was made with.
        std::vector<std::string> before;
        EXPECT_NE(waitLog(row.controller + " run 0 1", &before), "");
        ASSERT_FALSE(before.empty());
        EXPECT_EQ(before.back(), row.controller + " effect update 0 " + row.effect);
        pump(300);
    }

    // A second jolt while the first plays starts it again.
    const int stick = number("stick");
    EXPECT_EQ(tovjoyshock(stick, 0, 0, 0), 0);
    pump(50);
    EXPECT_EQ(tovjoyshock(stick, 0, 0, 0), 0);
    pump(300);
    EXPECT_EQ(logOf("stick"), (std::vector<std::string>{"stick run 0 1", "stick run 0 1"}));

    // No controller at the number, or none possible: nothing reaches any.
    for (int32_t j : {4, 7, 8, -1})
        EXPECT_EQ(tovjoyshock(j, 0, 0, 0), -1) << j;
    pump(100);
    EXPECT_EQ(lane::logSince(log), std::vector<std::string>{});
    EXPECT_EQ(g_boxes, std::vector<std::string>{});
}

TEST_F(Virtual, PadRumbleStopsAfterItsTime)
{
    start({"pad pad"});
    // How the host spends the 0.2 s and after: handling its messages (the
    // plug-in's timer stops the motors) or polling input without handling
    // any (the poll stops them); a second jolt 0.1 s into the first moves
    // the end.
    const struct Row {
        const char* what;
        bool polls;
        DWORD again; // ms after the first jolt; 0: none
    } rows[] = {
        {"the host handles its messages", false, 0},
        {"the host only polls", true, 0},
        {"a second jolt 0.1 s in", false, 100},
    };
    for (const Row& row : rows) {
        CASE_TRACE(row.what);
        EXPECT_EQ(tovjoyshock(0, 0, 0, 0), 0);
        const DWORD shocked = GetTickCount();
        double stop = 200; // ms after the first jolt
        for (DWORD again = row.again; GetTickCount() - shocked < 600;) {
            if (again && GetTickCount() - shocked >= again) {
                EXPECT_EQ(tovjoyshock(0, 0, 0, 0), 0);
                stop += GetTickCount() - shocked;
                again = 0;
            }
            if (row.polls) {
                int32_t bits;
                tovjoystate(&bits, 0, 0, 0);
                Sleep(2);
            } else {
                pump(2);
            }
        }
        const std::string on = waitLog("pad rumble 65535 65535"), off = waitLog("pad rumble 0 0");
        ASSERT_NE(on, "");
        ASSERT_NE(off, "");
        // Within a timer tick and the way through the platform's processes.
        EXPECT_GE(timeOf(off) - timeOf(on), stop - 10);
        EXPECT_LE(timeOf(off) - timeOf(on), stop + 80);
    }
}

TEST_F(Virtual, UnpluggedAfterTheStart)
{
    start({"pad pad", "stick force", "plain plain"});
    const int pad = number(kPadName), stick = number("stick"), plain = number("plain");
    ASSERT_TRUE(pad >= 0 && stick >= 0 && plain >= 0);
    // One after the other, the pad last: on Wine 10 a controller unplugged
    // after an XInput pad stayed listed for good in 3 runs of 6.
    lane::send("detach stick\nsync\n");
    ASSERT_TRUE(lane::waitListed(2));
    lane::send("detach pad\nsync\n");
    ASSERT_TRUE(lane::waitListed(1));
    // Wine's DirectInput answers the jolt of a controller that is gone with
    // a success code (DI_EFFECTRESTARTED | DI_TRUNCATED), which the plug-in
    // passes on as 0 without a box, where Windows fails the call
    // (tests/platform/joystick_unplugged.cpp). The lane is Wine's alone.
    int32_t value = 0;
    char text[128] = "";
    unsigned char force[4] = {};
    TolvoVar name{TOLVO_TYPE_INT, 0, 0, 32, {}, text}, forceVar{TOLVO_TYPE_INT, 0, 0, 1, {}, force};
    const struct Row {
        const char* what;
        std::function<int()> call;
        int status;
        std::function<bool()> holds; // what the call left
        std::vector<std::string> boxes;
    } rows[] = {
        {"tovjoynum counts it still", [&] { return tovjoynum(&value, 0, 0, 0); }, 0, [&] { return value == 3; }, {}},
        {"tovjoyname names it still", [&] { return tovjoyname(&name, stick, 0, 0); }, 0,
         [&] { return std::string(text) == "stick"; }, {}},
        {"tovjoystate reads nothing", [&] { return tovjoystate(&value, stick, 0, 0); }, 0, [&] { return value == 0; }, {}},
        {"tovjoytrigger reads nothing", [&] { return tovjoytrigger(&value, stick, 0, 0); }, 0,
         [&] { return value == 0; }, {}},
        {"tovjoyforce answers as at the start", [&] { return tovjoyforce(&forceVar, stick, 0, 0); }, 0,
         [&] { return force[0] == 1; }, {}},
        {"tovjoyshock of the joystick: Wine's success", [&] { return tovjoyshock(stick, 0, 0, 0); }, 0,
         [] { return true; }, {}},
        {"tovjoyshock of the pad: input lost", [&] { return tovjoyshock(pad, 0, 0, 0); }, -1, [] { return true; },
         {"-2147024866"}},
        {"the other controller works on", [&] { return 0; }, 0,
         [&] { return stateAfter("plain", plain, "button plain 0 1\n") == 0x10; }, {}},
    };
    for (const Row& row : rows) {
        CASE_TRACE(row.what);
        g_boxes.clear();
        value = -1;
        EXPECT_EQ(row.call(), row.status);
        EXPECT_TRUE(row.holds());
        EXPECT_EQ(g_boxes, row.boxes);
    }
}

TEST_F(Virtual, PluggedInAfterTheStart)
{
    start({"solo plain"});
    lane::send("attach late force\nsync\n");
    ASSERT_TRUE(lane::waitListed(2));
    int32_t count = 0;
    EXPECT_EQ(tovjoynum(&count, 0, 0, 0), 0);
    EXPECT_EQ(count, 1) << "seen before the next tovinit";
    EXPECT_EQ(number("late"), -1);
    tovbye(0, 0, 0, 0);
    ASSERT_EQ(tovinit(&info, 1, 1, 0), 0);
    EXPECT_EQ(tovjoynum(&count, 0, 0, 0), 0);
    EXPECT_EQ(count, 2);
    EXPECT_GE(number("late"), 0);
}

} // namespace

// tovjoyforce and tovjoyshock against fake devices and effects.
#include "input_fixture.h"

#include <cstdio>
#include <functional>

#include <xinput.h>

#include <utility>

#include "plugin/boundary.h"
#include "tools/common/platform_name.h"
#include "unit/case_trace.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID);

namespace {

class Force : public InputTest {
protected:
    void start() { ASSERT_EQ(initDInput(), 1); }
    FakeDIEffect& effectOf(FakeDIDevice& d) { return *d.effects.at(0); }
};

TEST_F(Force, ForceWritesOneByte)
{
    di.addJoystick("plain", false);
    di.addJoystick("ff", true);
    start();
    struct Row {
        int32_t joystick;
        int32_t before;
        int32_t after;
    };
    const Row rows[] = {{0, 0x100, 0x100}, {0, 0x101, 0x100}, {1, 0x100, 0x101}, {1, -1, -255}};
    for (const Row& row : rows) {
        int32_t storage[2] = {row.before, 0x5A5A5A5A};
        TolvoVar var{};
        var.type = TOLVO_TYPE_INT;
        var.word_count = 1;
        var.data = storage;
        EXPECT_EQ(tovjoyforce(&var, row.joystick, 0, 0), 0);
        EXPECT_EQ(storage[0], row.after) << std::hex << row.before;
        EXPECT_EQ(storage[1], 0x5A5A5A5A);
        EXPECT_EQ(var.type, TOLVO_TYPE_INT);
        EXPECT_EQ(var.word_count, 1);
    }
}

TEST_F(Force, ForceRefusesWhatItCannotAnswer)
{
    di.addJoystick("ff", true);
    start();
    int32_t storage = 0x100;
    TolvoVar var{};
    var.word_count = 1;
    var.data = &storage;
    EXPECT_EQ(tovjoyforce(&var, 8, 0, 0), -2);
    EXPECT_EQ(tovjoyforce(&var, -1, 0, 0), -2);
    EXPECT_EQ(tovjoyforce(&var, 3, 0, 0), -1);
    var.word_count = 0; // no storage to write into
    EXPECT_EQ(tovjoyforce(&var, 0, 0, 0), -1);
    EXPECT_EQ(storage, 0x100);
}

TEST_F(Force, TheJoltOnTwoAxes)
{
    FakeDIDevice& pad = di.addJoystick("ff", true, 4); // kept to two axes
    start();
    EXPECT_EQ(tovjoyshock(0, 0xDEAD, 0xBEEF, 0), 0);
    FakeDIEffect& effect = effectOf(pad);
    ASSERT_EQ(effect.parameters.size(), 1u);
    const EffectRecord& r = effect.parameters[0];
    EXPECT_EQ(r.flags, 0x20000140u);
    EXPECT_EQ(r.effect.dwSize, 56u);
    EXPECT_EQ(r.effect.dwFlags, 0x12u);
    EXPECT_EQ(r.effect.cAxes, 2u);
    EXPECT_EQ(r.directions, (std::vector<LONG>{10000, 10000}));
    EXPECT_TRUE(r.hasTypeSpecific);
    EXPECT_EQ(r.effect.cbTypeSpecificParams, 4u);
    EXPECT_EQ(r.magnitude, 10000); // DI_FFNOMINALMAX: a magnitude beyond it is no force on Wine
    EXPECT_EQ(r.effect.lpEnvelope, nullptr);
    EXPECT_EQ(r.effect.dwStartDelay, 0u);
    // Not applied with these flags, and left at zero.
    EXPECT_EQ(r.effect.dwDuration, 0u);
    EXPECT_EQ(r.effect.dwGain, 0u);
    EXPECT_EQ(r.effect.dwTriggerButton, 0u);
    EXPECT_EQ(r.effect.rgdwAxes, nullptr);
    EXPECT_TRUE(sys.fake().boxes.empty());
}

TEST_F(Force, TheJoltOnOneAxis)
{
    FakeDIDevice& pad = di.addJoystick("wheel", true, 1);
    start();
    EXPECT_EQ(tovjoyshock(0, 0, 0, 0), 0);
    const EffectRecord& r = effectOf(pad).parameters.at(0);
    EXPECT_EQ(r.effect.cAxes, 1u);
    EXPECT_EQ(r.directions, std::vector<LONG>{0});
    EXPECT_EQ(r.magnitude, 10000);
}

TEST_F(Force, NoJoltWithoutAJoystickOrItsForceFeedback)
{
    FakeDIDevice& plain = di.addJoystick("plain", false);
    start();
    di.calls.clear();
    EXPECT_EQ(tovjoyshock(0, 0, 0, 0), -1);
    EXPECT_EQ(tovjoyshock(1, 0, 0, 0), -1);
    EXPECT_EQ(tovjoyshock(8, 0, 0, 0), -1);
    EXPECT_EQ(tovjoyshock(-1, 0, 0, 0), -1);
    EXPECT_TRUE(di.calls.empty());
    EXPECT_TRUE(plain.effects.empty());
    EXPECT_TRUE(sys.fake().boxes.empty());
}

TEST_F(Force, TheJoltDoesNotConsultTheCount)
{
    FakeDIDevice& pad = di.addJoystick("ff", true);
    start();
    g_nJoystickCount = 0;
    EXPECT_EQ(tovjoyshock(0, 0, 0, 0), 0);
    EXPECT_EQ(effectOf(pad).parameters.size(), 1u);
    g_nJoystickCount = 1;
}

// Five answers of SetParameters fail the jolt, with the code in a box while
// the verbose flag is set; any other answer counts as played.
TEST_F(Force, FiveCodesFailTheJolt)
{
    FakeDIDevice& pad = di.addJoystick("ff", true);
    start();
    FakeDIEffect& effect = effectOf(pad);
    const HRESULT failing[] = {static_cast<HRESULT>(0x80070015), static_cast<HRESULT>(0x80040206),
                               static_cast<HRESULT>(0x80040208), static_cast<HRESULT>(0x8007001E),
                               static_cast<HRESULT>(0x80070057)};
    for (HRESULT hr : failing) {
        sys.fake().boxes.clear();
        effect.setParametersResult = hr;
        g_nVerbose = 1;
        EXPECT_EQ(tovjoyshock(0, 0, 0, 0), -1) << std::hex << hr;
        ASSERT_EQ(sys.fake().boxes.size(), 1u);
        char text[16];
        std::snprintf(text, sizeof text, "%d", static_cast<int>(hr));
        EXPECT_EQ(sys.fake().boxes[0].text, text);
        EXPECT_EQ(sys.fake().boxes[0].caption, "tolvo");
        EXPECT_EQ(sys.fake().boxes[0].owner, nullptr);
        EXPECT_EQ(sys.fake().boxes[0].style, 0u);

        g_nVerbose = 0;
        EXPECT_EQ(tovjoyshock(0, 0, 0, 0), -1);
        EXPECT_EQ(sys.fake().boxes.size(), 1u);
    }
    g_nVerbose = 1;
    EXPECT_EQ(sys.fake().boxes[0].text, "-2147024809"); // DIERR_INVALIDPARAM

    sys.fake().boxes.clear();
    for (HRESULT hr : {E_FAIL, static_cast<HRESULT>(0x80040205) /* not exclusively acquired */, DIERR_GENERIC,
                       static_cast<HRESULT>(DI_EFFECTRESTARTED), static_cast<HRESULT>(DI_DOWNLOADSKIPPED),
                       DI_OK}) {
        effect.setParametersResult = hr;
        EXPECT_EQ(tovjoyshock(0, 0, 0, 0), 0) << std::hex << hr;
    }
    EXPECT_TRUE(sys.fake().boxes.empty());
}

// Xbox-style pads: DirectInput opens them without force feedback, and their
// motors answer to XInput, found through the raw input devices' names.
class Rumble : public Force {
public:
    void SetUp() override
    {
        Force::SetUp();
        fake().libraries = {"xinput1_4.dll"};
        fake().clock = 1000;
    }
    FakeSystem& fake() { return sys.fake(); }
    void pad(FakeDInput& d, bool ff = false, int user = 0) { d.addXInputPad(fake(), "pad", ff, 0x045E, 0x028E, user); }
    std::vector<std::string> motors() { return std::exchange(fake().motors, {}); }
    int force(int32_t joystick)
    {
        int32_t v = 0;
        TolvoVar var{};
        var.word_count = 1;
        var.data = &v;
        return tovjoyforce(&var, joystick, 0, 0) == 0 ? v : -9;
    }
};

TEST_F(Rumble, WhichPadsRumbleAndAtWhichUserIndex)
{
    struct Row {
        const char* name;
        std::function<void(Rumble&, FakeDInput&)> attach;
        std::vector<int> user; // the index a jolt reaches; -1 no jolt, -2 DirectInput's effect
        size_t loads;          // XInput libraries asked for, in their order
    };
    const Row rows[] = {
        {"one pad", [](Rumble& t, FakeDInput& d) { t.pad(d); }, {0}, 1},
        {"two pads, users 1 and 3", [](Rumble& t, FakeDInput& d) { t.pad(d, false, 3), t.pad(d, false, 1); }, {1, 3}, 1},
        {"a pad that DirectInput shakes takes its index",
         [](Rumble& t, FakeDInput& d) { t.pad(d, true, 0), t.pad(d, false, 1); }, {-2, 1}, 1},
        {"a plain joystick, then a pad", [](Rumble& t, FakeDInput& d) { d.addJoystick("plain"), t.pad(d); }, {-1, 0}, 1},
        {"no user index left", [](Rumble& t, FakeDInput& d) { t.pad(d, false, 2), t.pad(d, false, -1); }, {2, -1}, 1},
        {"no XInput", [](Rumble& t, FakeDInput& d) { t.pad(d), t.fake().libraries.clear(); }, {-1}, 3},
        {"only xinput9_1_0",
         [](Rumble& t, FakeDInput& d) { t.pad(d, false, 2), t.fake().libraries = {"xinput9_1_0.dll"}; }, {2}, 3},
        {"a product GUID without the USB ids",
         [](Rumble& t, FakeDInput& d) { t.pad(d), d.controllers[0].instance.guidProduct.Data4[7] = 'X'; }, {-1}, 0},
        {"an XInput device of other ids",
         [](Rumble& t, FakeDInput& d) { t.pad(d), d.controllers[0].instance.guidProduct.Data1 = 0x028F045E; }, {-1}, 0},
        {"an interface name without IG_",
         [](Rumble& t, FakeDInput& d) { t.pad(d), t.fake().rawDevices[0].name.replace(25, 3, "MI_"); }, {-1}, 0},
        {"not a HID device", [](Rumble& t, FakeDInput& d) { t.pad(d), t.fake().rawDevices[0].type = RIM_TYPEMOUSE; }, {-1}, 0},
    };
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    const char* const libraries[] = {"\\xinput1_4.dll", "\\xinput1_3.dll", "\\xinput9_1_0.dll"};
    for (const Row& row : rows) {
        CASE_TRACE(row.name);
        fake() = FakeSystem{};
        SetUp();
        FakeDInput fresh;
        fresh.install(fake());
        row.attach(*this, fresh);
        ASSERT_EQ(initDInput(), 1);
        ASSERT_EQ(g_nJoystickCount, static_cast<int>(row.user.size()));
        ASSERT_EQ(fake().loadedPaths.size(), row.loads);
        for (size_t k = 0; k < row.loads; ++k)
            EXPECT_EQ(fake().loadedPaths[k], system + std::string(libraries[k]));
        for (int j = 0; j < g_nJoystickCount; ++j) {
            const int user = row.user[j];
            EXPECT_EQ(force(j), user == -1 ? 0 : 1) << j;
            EXPECT_EQ(tovjoyshock(j, 0, 0, 0), user == -1 ? -1 : 0) << j;
            EXPECT_EQ(motors(), user >= 0 ? std::vector<std::string>{std::to_string(user) + " on"}
                                          : std::vector<std::string>{}) << j;
        }
        EXPECT_TRUE(fake().boxes.empty());
        releaseDInput();
        EXPECT_EQ(fresh.releaseProblems(), "");
        EXPECT_EQ(fake().xinputProblems(), "");
    }
}

// The motors run 0.2 s from the last jolt and stop at the timer's call or
// the next poll after that, whichever comes first; tovbye stops them too.
TEST_F(Rumble, TheMotorsStop)
{
    pad(di);
    start();
    EXPECT_EQ(tovjoyshock(0, 0, 0, 0), 0);
    ASSERT_EQ(fake().timers.size(), 1u);
    EXPECT_EQ(fake().timers[0].ms, 200u);
    fake().clock = 1150;
    EXPECT_EQ(tovjoyshock(0, 0, 0, 0), 0); // again from its beginning
    fake().clock = 1340;
    fake().fireTimers(); // early: set again for the rest
    EXPECT_EQ(fake().timers.at(0).ms, 10u);
    EXPECT_EQ(motors(), (std::vector<std::string>{"0 on", "0 on"}));
    fake().clock = 1350;
    fake().fireTimers();
    EXPECT_EQ(motors(), std::vector<std::string>{"0 off"});
    EXPECT_TRUE(fake().timers.empty());

    // A host that only polls: any input command stops them.
    using Poll = int(TOLVO_CALL*)(int32_t*, int32_t, int32_t, int32_t);
    int32_t v;
    for (Poll poll : {Poll{tovkeystate}, Poll{tovkeytrigger}, Poll{tovmousestate}, Poll{tovjoystate}, Poll{tovjoytrigger}}) {
        EXPECT_EQ(tovjoyshock(0, 0, 0, 0), 0);
        poll(&v, 0, 0, 0);
        fake().clock += 200;
        poll(&v, 0, 0, 0);
        EXPECT_EQ(motors(), (std::vector<std::string>{"0 on", "0 off"}));
        EXPECT_TRUE(fake().timers.empty());
    }
    EXPECT_EQ(tovjoyshock(0, 0, 0, 0), 0);
    releaseDInput();
    EXPECT_EQ(motors(), (std::vector<std::string>{"0 on", "0 off"}));
}

// A host that unloads the library, or ends, without tovbye: the entry point
// stops the motors and kills the timer, so that the host's message loop
// afterwards calls nothing of the module.
TEST_F(Rumble, AnUnloadWithoutByeStopsTheMotors)
{
    pad(di);
    start();
    for (LPVOID reserved : {static_cast<LPVOID>(nullptr), reinterpret_cast<LPVOID>(1)}) {
        CASE_TRACE((reserved ? "the process ends" : "the library is unloaded"));
        EXPECT_EQ(tovjoyshock(0, 0, 0, 0), 0);
        ASSERT_EQ(fake().timers.size(), 1u);
        EXPECT_TRUE(DllMain(nullptr, DLL_PROCESS_DETACH, reserved));
        EXPECT_EQ(motors(), (std::vector<std::string>{"0 on", "0 off"}));
        EXPECT_TRUE(fake().timers.empty());
        fake().clock += 1000;
        fake().fireTimers(); // the host's message loop after the unload
        EXPECT_TRUE(motors().empty());
        if (!reserved)
            makeCommandLock(); // the module as loaded again
    }
}

// An unplugged pad fails the jolt as a DirectInput device that lost its
// input does; other XInput failures fail it without a box. A jolt that
// still runs is stopped all the same.
TEST_F(Rumble, AFailedJolt)
{
    pad(di);
    start();
    EXPECT_EQ(tovjoyshock(0, 0, 0, 0), 0);
    for (DWORD rc : {DWORD{ERROR_DEVICE_NOT_CONNECTED}, DWORD{ERROR_GEN_FAILURE}}) {
        for (int verbose : {1, 0}) {
            fake().boxes.clear();
            g_nVerbose = verbose;
            fake().xinputSetStateResult = rc;
            EXPECT_EQ(tovjoyshock(0, 0, 0, 0), -1);
            const bool box = verbose == 1 && rc == ERROR_DEVICE_NOT_CONNECTED;
            EXPECT_EQ(boxTexts(), box ? std::vector<std::string>{"-2147024866"} : std::vector<std::string>{}) << rc;
            EXPECT_TRUE(!box || fake().boxes[0].caption == "tolvo");
        }
    }
    fake().xinputSetStateResult = ERROR_SUCCESS;
    fake().clock = 1200;
    fake().fireTimers();
    EXPECT_EQ(motors(), (std::vector<std::string>{"0 on", "0 off"}));
    EXPECT_TRUE(fake().timers.empty());
}

// The platform's own raw input devices and XInput, with no pad attached (as
// on the test machines): an Xbox pad that DirectInput reported finds no
// XInput device among them, so nothing rumbles and XInput is not loaded.
// XInput itself loads from the system folder and sees no pad.
TEST_F(Rumble, ThisPlatformWithNoPad)
{
    g_sys.GetRawInputDeviceList = kRealSysCalls.GetRawInputDeviceList;
    g_sys.GetRawInputDeviceInfoA = kRealSysCalls.GetRawInputDeviceInfoA;
    g_sys.LoadLibraryA = kRealSysCalls.LoadLibraryA;
    g_sys.GetProcAddress = kRealSysCalls.GetProcAddress;
    g_sys.FreeLibrary = kRealSysCalls.FreeLibrary;
    pad(di);
    start();
    EXPECT_EQ(force(0), 0);
    EXPECT_EQ(tovjoyshock(0, 0, 0, 0), -1);
    EXPECT_EQ(g_hXInput, nullptr);

    ASSERT_TRUE(loadXInput());
    char file[MAX_PATH] = "";
    GetModuleFileNameA(g_hXInput, file, MAX_PATH);
    EXPECT_TRUE(platformName() == "windows" || !strcasecmp(std::strrchr(file, '\\'), "\\xinput1_4.dll")) << file;
    auto caps = reinterpret_cast<DWORD(WINAPI*)(DWORD, DWORD, XINPUT_CAPABILITIES*)>(
        reinterpret_cast<void*>(GetProcAddress(g_hXInput, "XInputGetCapabilities")));
    XINPUT_CAPABILITIES c{};
    for (DWORD user = 0; user < 4; ++user)
        EXPECT_EQ(caps(user, 0, &c), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED)) << user;
    // Wine 10's XInput has just started a thread for device notifications
    // that nobody waits for; a process that ends while it starts is killed
    // now and then (exit-while-thread-starts --xinput).
    Sleep(300);
}

TEST(PadIds, XInputDeviceNames)
{
    struct Row {
        const char* name;
        uint32_t ids; // 0: not an XInput device
    };
    const Row rows[] = {
        {"\\\\?\\HID#VID_045E&PID_028E&IG_00#3&2a5d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}", 0x028E045E},
        {"\\\\?\\hid#vid_045e&pid_0b13&ig_00#8&1c7b&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}", 0x0B13045E},
        {"\\\\?\\HID#{00001124-0000-1000-8000-00805f9b34fb}_VID&0002045e_PID&02e0&IG_00#9&2b&0&0000", 0x02E0045E},
        {"\\\\?\\HID#VID_054C&PID_09CC&MI_03#7&15c&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}", 0},
        {"\\\\?\\HID#DEVID_1&VID_045E&PID_028E&IG_00", 0x028E045E},
        {"\\\\?\\HID#VID_45E&PID_028E&IG_00", 0},
        {"\\\\?\\HID#VID_045E&IG_00", 0},
        {"IG_", 0},
    };
    for (const Row& row : rows) {
        uint32_t ids = 0;
        EXPECT_EQ(xinputIdsOfName(row.name, ids), row.ids != 0) << row.name;
        EXPECT_EQ(ids, row.ids) << row.name;
    }
}

} // namespace

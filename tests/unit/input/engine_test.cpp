// The input engine's start and stop against fake DirectInput objects.
#include "input_fixture.h"

#include "unit/case_trace.h"

namespace {

using Devices = InputTest;

TEST_F(Devices, MouseAndKeyboardOpenWithTheirFormatsLevelsAndProperty)
{
    EXPECT_EQ(initDInput(), 1);
    EXPECT_TRUE(sys.fake().boxes.empty());

    ASSERT_EQ(di.creations.size(), 1u);
    EXPECT_EQ(di.creations[0].instance, kInstance);
    EXPECT_EQ(di.creations[0].version, 0x0800u);
    EXPECT_TRUE(IsEqualIID(di.creations[0].iid, IID_IDirectInput8A));
    EXPECT_EQ(di.creations[0].outer, nullptr);

    ASSERT_GE(di.createdDevices.size(), 2u);
    EXPECT_TRUE(IsEqualGUID(di.createdDevices[0], GUID_SysMouse));
    EXPECT_TRUE(IsEqualGUID(di.createdDevices[1], GUID_SysKeyboard));

    FakeDIDevice& mouse = di.mouse();
    EXPECT_EQ(callsOf("mouse"),
              (std::vector<std::string>{"SetDataFormat", "SetCooperativeLevel", "SetProperty", "Acquire"}));
    ASSERT_EQ(mouse.dataFormats.size(), 1u);
    EXPECT_EQ(mouse.dataFormats[0], &c_dfDIMouse2);
    EXPECT_EQ(mouse.dataFormats[0]->dwDataSize, 20u);
    ASSERT_EQ(mouse.cooperativeLevels.size(), 1u);
    EXPECT_EQ(mouse.cooperativeLevels[0].hwnd, kWindow);
    EXPECT_EQ(mouse.cooperativeLevels[0].flags, 6u);
    ASSERT_EQ(mouse.properties.size(), 1u);
    const PropertyRecord& mode = mouse.properties[0];
    EXPECT_EQ(mode.property, propertyId(DIPROP_AXISMODE));
    EXPECT_EQ(mode.header.dwSize, 20u);
    EXPECT_EQ(mode.header.dwHeaderSize, 16u);
    EXPECT_EQ(mode.header.dwObj, 0u);
    EXPECT_EQ(mode.header.dwHow, 0u);
    EXPECT_EQ(mode.dwData, 1u); // relative axes

    FakeDIDevice& keyboard = di.keyboard();
    EXPECT_EQ(callsOf("keyboard"), (std::vector<std::string>{"SetDataFormat", "SetCooperativeLevel", "Acquire"}));
    ASSERT_EQ(keyboard.dataFormats.size(), 1u);
    EXPECT_EQ(keyboard.dataFormats[0], &c_dfDIKeyboard);
    EXPECT_EQ(keyboard.dataFormats[0]->dwDataSize, 256u);
    ASSERT_EQ(keyboard.cooperativeLevels.size(), 1u);
    EXPECT_EQ(keyboard.cooperativeLevels[0].hwnd, kWindow);
    EXPECT_EQ(keyboard.cooperativeLevels[0].flags, 6u);

    EXPECT_EQ(g_lpDIMouse, static_cast<IDirectInputDevice8A*>(&mouse));
    EXPECT_EQ(g_lpDIKeyboard, static_cast<IDirectInputDevice8A*>(&keyboard));
}

TEST_F(Devices, NoControllerIsNoFailure)
{
    EXPECT_EQ(initDInput(), 1);
    ASSERT_EQ(di.deviceEnumerations.size(), 1u);
    EXPECT_EQ(di.deviceEnumerations[0].type, 4u); // game controllers
    EXPECT_EQ(di.deviceEnumerations[0].context, nullptr);
    EXPECT_EQ(di.deviceEnumerations[0].flags, 1u); // attached only
    EXPECT_EQ(g_nJoystickCount, 0);
    EXPECT_TRUE(sys.fake().boxes.empty());
    int32_t n = 55;
    EXPECT_EQ(tovjoynum(&n, 0, 0, 0), -1);
    EXPECT_EQ(n, 55);
}

TEST_F(Devices, FailedCreationOpensNothingAndShowsNothing)
{
    for (HRESULT hr : {E_FAIL, DIERR_OLDDIRECTINPUTVERSION, S_FALSE}) {
        di.createResult = hr;
        EXPECT_EQ(initDInput(), 0) << std::hex << hr;
        EXPECT_TRUE(sys.fake().boxes.empty());
        EXPECT_TRUE(di.createdDevices.empty());
        EXPECT_EQ(g_lpDIMouse, nullptr);
        EXPECT_EQ(g_lpDIKeyboard, nullptr);
        int32_t v = 9;
        EXPECT_EQ(tovkeystate(&v, 0, 0, 0), -1);
        // A DirectInput object handed out with a success code other than
        // DI_OK is kept for releaseDInput.
        releaseDInput();
        EXPECT_EQ(g_lpDI, nullptr);
        EXPECT_EQ(di.releaseProblems(), "");
    }
}

// Only DI_OK counts for the mouse: any other result of its first four
// steps, a positive success code included, fails it there.
TEST_F(Devices, MouseFailsAtTheFirstStepNotAnsweringDI_OK)
{
    struct Row {
        const char* step;
        HRESULT FakeDIDevice::*result;
        HRESULT value;
        std::vector<std::string> calls;
    };
    const Row rows[] = {
        {"CreateDevice", &FakeDIDevice::createDeviceResult, S_FALSE, {}},
        {"SetDataFormat", &FakeDIDevice::setDataFormatResult, E_FAIL, {"SetDataFormat"}},
        {"SetCooperativeLevel", &FakeDIDevice::setCooperativeLevelResult, S_FALSE,
         {"SetDataFormat", "SetCooperativeLevel"}},
        {"SetProperty", &FakeDIDevice::setPropertyResult, DI_PROPNOEFFECT,
         {"SetDataFormat", "SetCooperativeLevel", "SetProperty"}},
    };
    for (const Row& row : rows) {
        CASE_TRACE(row.step);
        FakeDInput fresh;
        fresh.install(sys.fake());
        sys.fake().boxes.clear();
        fresh.mouse().*row.result = row.value;
        if (row.result == &FakeDIDevice::createDeviceResult)
            fresh.mouse().deviceOnFailure = true; // S_FALSE still hands out the device

        EXPECT_EQ(initDInput(), 1); // keyboard and joysticks are fine
        EXPECT_EQ(boxTexts(), std::vector<std::string>{kTextInitDInputMouse});
        std::vector<std::string> mouseCalls;
        for (const DICall& c : fresh.calls)
            if (std::string(c.object) == "mouse" && std::strcmp(c.method, "AddRef") && std::strcmp(c.method, "Release"))
                mouseCalls.push_back(c.method);
        EXPECT_EQ(mouseCalls, row.calls);
        // The half-opened mouse stays and is read all the same.
        EXPECT_NE(g_lpDIMouse, nullptr);
        EXPECT_NE(g_lpDIKeyboard, nullptr);
        releaseDInput();
        EXPECT_EQ(fresh.releaseProblems(), "");
    }
}

TEST_F(Devices, AcquireResultsAreIgnored)
{
    di.mouse().acquireResult = DIERR_OTHERAPPHASPRIO; // window in the background
    di.keyboard().acquireResult = E_ACCESSDENIED;
    FakeDIDevice& joy = di.addJoystick("pad");
    joy.acquireResult = DIERR_OTHERAPPHASPRIO;
    EXPECT_EQ(initDInput(), 1);
    EXPECT_TRUE(sys.fake().boxes.empty());
}

TEST_F(Devices, KeyboardFailureShowsItsBox)
{
    di.keyboard().setCooperativeLevelResult = DIERR_INVALIDPARAM;
    EXPECT_EQ(initDInput(), 1);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{kTextInitDInputKeyboard});
    EXPECT_EQ(callsOf("keyboard"), (std::vector<std::string>{"SetDataFormat", "SetCooperativeLevel"}));
}

TEST_F(Devices, MouseAndKeyboardFailingLeaveAWorkingJoystickAndEverythingOpen)
{
    di.mouse().createDeviceResult = DIERR_DEVICENOTREG;
    di.keyboard().setDataFormatResult = E_FAIL;
    di.addJoystick("pad");
    EXPECT_EQ(initDInput(), 1);
    EXPECT_EQ(boxTexts(), (std::vector<std::string>{kTextInitDInputMouse, kTextInitDInputKeyboard}));
    for (const auto& b : sys.fake().boxes) {
        EXPECT_EQ(b.owner, nullptr);
        EXPECT_EQ(b.caption, kTextBoxCaption);
        EXPECT_EQ(b.style, 0u);
    }
    EXPECT_EQ(g_lpDIMouse, nullptr); // never created
    EXPECT_NE(g_lpDIKeyboard, nullptr);
    EXPECT_NE(g_lpDI, nullptr);
    int32_t n = 0;
    EXPECT_EQ(tovjoynum(&n, 0, 0, 0), 0);
    EXPECT_EQ(n, 1);
}

TEST_F(Devices, AllThreeFailingReleaseEverything)
{
    di.mouse().createDeviceResult = E_FAIL;
    di.keyboard().setCooperativeLevelResult = E_FAIL;
    di.enumDevicesResult = DIERR_INVALIDPARAM;
    EXPECT_EQ(initDInput(), 0);
    EXPECT_EQ(boxTexts(), (std::vector<std::string>{kTextInitDInputMouse, kTextInitDInputKeyboard,
                                                    kTextInitDJoystickCreate, kTextInitDInputJoystick}));
    EXPECT_EQ(g_lpDI, nullptr);
    EXPECT_EQ(g_lpDIKeyboard, nullptr);
    EXPECT_EQ(di.releaseProblems(), "");
    int32_t v = 3;
    EXPECT_EQ(tovkeystate(&v, 0, 0, 0), -1);
    EXPECT_EQ(tovmousestate(&v, 0, 0, 0), -1);
}

TEST_F(Devices, NineControllersOpenTheFirstEight)
{
    for (int i = 0; i < 9; ++i)
        di.addJoystick("pad " + std::to_string(i));
    EXPECT_EQ(initDInput(), 1);
    EXPECT_EQ(g_nJoystickCount, 8);
    EXPECT_EQ(di.deviceEnumerations[0].callbacks, 9); // the ninth is told to stop
    EXPECT_EQ(di.controllers[8].device->refs, 0);
    EXPECT_EQ(di.createdDevices.size(), 2u + 8u);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(g_lpDIJoystick[i], static_cast<IDirectInputDevice8A*>(di.controllers[i].device));
        EXPECT_STREQ(g_szJoystickName[i], ("pad " + std::to_string(i)).c_str());
    }
    EXPECT_TRUE(sys.fake().boxes.empty());
}

TEST_F(Devices, AControllerThatCannotBeOpenedTakesNoNumber)
{
    di.addJoystick("first");
    FakeDIDevice& broken = di.addJoystick("broken");
    broken.createDeviceResult = DIERR_DEVICENOTREG;
    broken.deviceOnFailure = true; // and leaves a pointer behind, which COM's rule makes null
    FakeDIDevice& nocaps = di.addJoystick("no caps");
    nocaps.getCapabilitiesResult = DIERR_INVALIDPARAM;
    di.addJoystick("last");

    EXPECT_EQ(initDInput(), 1);
    EXPECT_EQ(g_nJoystickCount, 2);
    EXPECT_STREQ(g_szJoystickName[0], "first");
    EXPECT_STREQ(g_szJoystickName[1], "last");
    EXPECT_EQ(g_lpDIJoystick[1], static_cast<IDirectInputDevice8A*>(di.controllers[3].device));
    EXPECT_EQ(g_lpDIJoystick[2], nullptr);
    // The failure that opened the device was released at once; the one that
    // left a pointer was never called (a release would count one too many).
    EXPECT_EQ(broken.refs, 0);
    EXPECT_EQ(nocaps.refs, 0);
    EXPECT_EQ(nocaps.capabilitySizes, std::vector<DWORD>{44});
    EXPECT_TRUE(sys.fake().boxes.empty());
}

TEST_F(Devices, LongControllerNamesAreCutTo127Bytes)
{
    di.addJoystick(std::string(200, 'n'));
    EXPECT_EQ(initDInput(), 1);
    EXPECT_EQ(std::string(g_szJoystickName[0]), std::string(127, 'n'));
}

TEST_F(Devices, JoystickSetupInOrderWithRangesAndDeadZone)
{
    FakeDIDevice& joy = di.addJoystick("pad", false, 3);
    EXPECT_EQ(initDInput(), 1);

    EXPECT_EQ(callsOf("pad"), (std::vector<std::string>{"GetCapabilities", "SetDataFormat", "SetCooperativeLevel",
                                                         "EnumObjects", "SetProperty", "SetProperty", "SetProperty",
                                                         "SetProperty", "SetProperty", "SetProperty", "SetProperty",
                                                         "Acquire"}));
    EXPECT_EQ(joy.capabilitySizes, std::vector<DWORD>{44});
    ASSERT_EQ(joy.dataFormats.size(), 1u);
    EXPECT_EQ(joy.dataFormats[0], &c_dfDIJoystick);
    EXPECT_EQ(joy.dataFormats[0]->dwDataSize, 80u);
    ASSERT_EQ(joy.cooperativeLevels.size(), 1u);
    EXPECT_EQ(joy.cooperativeLevels[0].hwnd, kWindow);
    EXPECT_EQ(joy.cooperativeLevels[0].flags, 5u);
    ASSERT_EQ(joy.objectEnumerations.size(), 1u);
    EXPECT_EQ(joy.objectEnumerations[0].flags, 3u); // DIDFT_AXIS
    EXPECT_EQ(joy.objectEnumerations[0].context, nullptr); // the joystick's number, 0

    ASSERT_EQ(joy.properties.size(), 7u);
    // One range per enumerated axis, by its id.
    for (int k = 0; k < 3; ++k) {
        const PropertyRecord& p = joy.properties[k];
        EXPECT_EQ(p.property, propertyId(DIPROP_RANGE));
        EXPECT_EQ(p.header.dwSize, 24u);
        EXPECT_EQ(p.header.dwHeaderSize, 16u);
        EXPECT_EQ(p.header.dwObj, joy.objects[k].dwType);
        EXPECT_EQ(p.header.dwHow, 2u);
        EXPECT_EQ(p.lMin, -1000);
        EXPECT_EQ(p.lMax, 1000);
    }
    // X and Y again by offset, then their dead zone.
    for (int k = 0; k < 2; ++k) {
        const PropertyRecord& r = joy.properties[3 + k];
        EXPECT_EQ(r.property, propertyId(DIPROP_RANGE));
        EXPECT_EQ(r.header.dwSize, 24u);
        EXPECT_EQ(r.header.dwHeaderSize, 16u);
        EXPECT_EQ(r.header.dwObj, k == 0 ? 0u : 4u);
        EXPECT_EQ(r.header.dwHow, 1u);
        EXPECT_EQ(r.lMin, -1000);
        EXPECT_EQ(r.lMax, 1000);
        const PropertyRecord& z = joy.properties[5 + k];
        EXPECT_EQ(z.property, propertyId(DIPROP_DEADZONE));
        EXPECT_EQ(z.header.dwSize, 20u);
        EXPECT_EQ(z.header.dwHeaderSize, 16u);
        EXPECT_EQ(z.header.dwObj, k == 0 ? 0u : 4u);
        EXPECT_EQ(z.header.dwHow, 1u);
        EXPECT_EQ(z.dwData, 2500u);
    }
    EXPECT_EQ(g_dwAxes[0], 3u);
    EXPECT_EQ(g_bForceFeedback[0], 0);
    EXPECT_EQ(g_lpDIEffect[0], nullptr);
    EXPECT_TRUE(joy.createdEffects.empty());
}

TEST_F(Devices, RangeAndDeadZoneResultsAreIgnored)
{
    FakeDIDevice& joy = di.addJoystick("pad", true, 2);
    joy.setPropertyHook = [](const PropertyRecord& p) {
        return p.header.dwHow == DIPH_BYOFFSET ? DIERR_UNSUPPORTED : DI_OK;
    };
    EXPECT_EQ(initDInput(), 1);
    EXPECT_TRUE(sys.fake().boxes.empty());
    EXPECT_EQ(joy.createdEffects.size(), 1u);
}

TEST_F(Devices, FourAxesStayFourWithoutForceFeedbackAndBecomeTwoWithIt)
{
    di.addJoystick("plain", false, 4);
    FakeDIDevice& ff = di.addJoystick("ff", true, 4);
    EXPECT_EQ(initDInput(), 1);
    EXPECT_EQ(g_dwAxes[0], 4u);
    EXPECT_EQ(g_dwAxes[1], 2u);
    EXPECT_EQ(g_bForceFeedback[0], 0);
    EXPECT_EQ(g_bForceFeedback[1], 1);
    ASSERT_EQ(ff.createdEffects.size(), 1u);
    EXPECT_EQ(ff.createdEffects[0].effect.cAxes, 2u);
}

TEST_F(Devices, AnAxisRefusingItsRangeEndsTheCount)
{
    FakeDIDevice& joy = di.addJoystick("pad", false, 4);
    joy.setPropertyHook = [&joy](const PropertyRecord& p) {
        return (p.header.dwHow == DIPH_BYID && p.header.dwObj == joy.objects[2].dwType) ? DIERR_INVALIDPARAM : DI_OK;
    };
    EXPECT_EQ(initDInput(), 1);
    EXPECT_EQ(g_dwAxes[0], 2u);
    EXPECT_EQ(joy.objectEnumerations[0].callbacks, 3); // the fourth axis is never offered
    EXPECT_TRUE(sys.fake().boxes.empty());
}

TEST_F(Devices, TheConstantForceEffectRecord)
{
    FakeDIDevice& joy = di.addJoystick("wheel", true, 2);
    EXPECT_EQ(initDInput(), 1);
    ASSERT_EQ(joy.createdEffects.size(), 1u);
    const EffectRecord& r = joy.createdEffects[0];
    EXPECT_TRUE(IsEqualGUID(r.guid, GUID_ConstantForce));
    EXPECT_EQ(r.outer, nullptr);
    EXPECT_EQ(r.effect.dwSize, 56u);
    EXPECT_EQ(r.effect.dwFlags, 0x12u);
    EXPECT_EQ(r.effect.dwDuration, 200000u);
    EXPECT_EQ(r.effect.dwSamplePeriod, 0u);
    EXPECT_EQ(r.effect.dwGain, 10000u);
    EXPECT_EQ(r.effect.dwTriggerButton, 0xFFFFFFFFu);
    EXPECT_EQ(r.effect.dwTriggerRepeatInterval, 0u);
    EXPECT_EQ(r.effect.cAxes, 2u);
    EXPECT_EQ(r.axes, (std::vector<DWORD>{0, 4}));
    EXPECT_EQ(r.directions, (std::vector<LONG>{0, 0}));
    EXPECT_EQ(r.effect.lpEnvelope, nullptr);
    EXPECT_EQ(r.effect.cbTypeSpecificParams, 4u);
    EXPECT_TRUE(r.hasTypeSpecific);
    EXPECT_EQ(r.magnitude, 0);
    EXPECT_EQ(r.effect.dwStartDelay, 0u);
    EXPECT_EQ(g_lpDIEffect[0], static_cast<IDirectInputEffect*>(joy.effects[0]));
    // The effect is made after the joystick is acquired.
    EXPECT_EQ(callsOf("wheel").back(), "CreateEffect");
}

TEST_F(Devices, AJoystickStepFailingShowsItsBoxAndLeavesTheRestUnset)
{
    struct Row {
        const char* step;
        HRESULT FakeDIDevice::*result;
        const char* box;
    };
    const Row rows[] = {
        {"SetDataFormat", &FakeDIDevice::setDataFormatResult, kTextInitDJoystickFormat},
        {"SetCooperativeLevel", &FakeDIDevice::setCooperativeLevelResult, kTextInitDJoystickCoop},
        {"EnumObjects", &FakeDIDevice::enumObjectsResult, kTextInitDJoystickAxes},
    };
    for (const Row& row : rows) {
        CASE_TRACE(row.step);
        FakeDInput fresh;
        fresh.install(sys.fake());
        sys.fake().boxes.clear();
        fresh.addJoystick("first").*row.result = E_FAIL;
        FakeDIDevice& second = fresh.addJoystick("second", true);

        EXPECT_EQ(initDInput(), 1); // mouse and keyboard keep everything open
        EXPECT_EQ(boxTexts(), (std::vector<std::string>{row.box, kTextInitDInputJoystick}));
        EXPECT_EQ(g_nJoystickCount, 2);
        EXPECT_TRUE(second.dataFormats.empty());
        EXPECT_TRUE(second.cooperativeLevels.empty());
        EXPECT_NE(g_lpDIMouse, nullptr);
        EXPECT_NE(g_lpDIKeyboard, nullptr);
        // The second joystick has force feedback but never got its effect:
        // the jolt fails instead of reaching for a missing object.
        EXPECT_EQ(g_bForceFeedback[1], 1);
        EXPECT_EQ(tovjoyshock(1, 0, 0, 0), -1);
        releaseDInput();
        EXPECT_EQ(fresh.releaseProblems(), "");
    }
}

// A failed effect is an ordinary joystick failure: the joystick box, and the
// mouse and keyboard stay open (instead of every device being released).
TEST_F(Devices, AFailedEffectIsAnOrdinaryJoystickFailure)
{
    FakeDIDevice& joy = di.addJoystick("ff", true, 2);
    joy.createEffectResult = DIERR_DEVICEFULL;
    joy.effectOnFailure = true; // and leaves a pointer behind, which COM's rule makes null
    EXPECT_EQ(initDInput(), 1);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{kTextInitDInputJoystick});
    EXPECT_NE(g_lpDIMouse, nullptr);
    EXPECT_NE(g_lpDIKeyboard, nullptr);
    EXPECT_NE(g_lpDIJoystick[0], nullptr);
    EXPECT_EQ(g_lpDIEffect[0], nullptr);
    ASSERT_EQ(joy.effects.size(), 1u);
    EXPECT_EQ(joy.effects[0]->refs, 0);
    // Nothing to play.
    EXPECT_EQ(tovjoyshock(0, 0, 0, 0), -1);
}

TEST_F(Devices, ReleaseTakesEffectsBeforeTheirDevicesAndEmptiesTheTables)
{
    di.addJoystick("plain", false, 3);
    di.addJoystick("ff", true, 2);
    ASSERT_EQ(initDInput(), 1);
    di.calls.clear();
    releaseDInput();

    EXPECT_EQ(di.trace(), (std::vector<std::string>{
                              "plain.Unacquire", "plain.Release",
                              "effect of ff.Release", "ff.Unacquire", "ff.Release",
                              "keyboard.Release", "mouse.Release", "dinput.Release"}));
    EXPECT_EQ(g_lpDI, nullptr);
    EXPECT_EQ(g_lpDIMouse, nullptr);
    EXPECT_EQ(g_lpDIKeyboard, nullptr);
    EXPECT_EQ(g_nJoystickCount, 0);
    for (int i = 0; i < kMaxJoysticks; ++i) {
        EXPECT_EQ(g_lpDIJoystick[i], nullptr);
        EXPECT_EQ(g_lpDIEffect[i], nullptr);
        EXPECT_EQ(g_dwAxes[i], 0u);
        EXPECT_EQ(g_bForceFeedback[i], 0);
        EXPECT_EQ(g_szJoystickName[i][0], '\0');
    }
    EXPECT_EQ(di.releaseProblems(), "");

    // A second release finds nothing to do.
    di.calls.clear();
    releaseDInput();
    EXPECT_TRUE(di.calls.empty());
}

// tovinit releases the input engine before starting it again, so a second
// tovinit counts the same joysticks and axes, and tovbye leaves nothing.
TEST_F(Devices, SecondTovinitCountsNothingTwice)
{
    di.addJoystick("pad", false, 4);
    TolvoWindowInfo info{};
    info.hwnd = kWindow;
    info.hinstance = kInstance;
    ASSERT_EQ(tovinit(&info, 1, 1, 0), 0);
    ASSERT_EQ(tovinit(&info, 1, 1, 0), 0);
    EXPECT_EQ(g_nJoystickCount, 1);
    EXPECT_EQ(g_dwAxes[0], 4u);
    EXPECT_EQ(di.creations.size(), 2u);
    EXPECT_EQ(tovbye(0, 0, 0, 0), 0);
    EXPECT_EQ(di.releaseProblems(), "");
    int32_t v = 1;
    EXPECT_EQ(tovjoystate(&v, 0, 0, 0), -1);
}

} // namespace

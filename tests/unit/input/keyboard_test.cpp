// Mouse buttons and the fifteen game keys against fake devices.
#include "input_fixture.h"

namespace {

class Keyboard : public InputTest {
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        ASSERT_EQ(initDInput(), 1);
    }
    FakeDIDevice& keys() { return di.keyboard(); }
    int32_t state(int32_t mode = 0)
    {
        int32_t v = -7;
        EXPECT_EQ(tovkeystate(&v, mode, 0, 0), 0);
        return v;
    }
    int32_t trigger(int32_t mode = 0)
    {
        int32_t v = -7;
        EXPECT_EQ(tovkeytrigger(&v, mode, 0, 0), 0);
        return v;
    }
};

TEST_F(Keyboard, EachKeyOfTheTableHasItsBit)
{
    // Scan codes as the keyboard reports them, in bit order.
    const BYTE codes[15] = {0xC8, 0xD0, 0xCB, 0xCD, 0x2C, 0x2D, 0x2E, 0x2F,
                            0x1C, 0x39, 0x01, 0x2A, 0x1D, 0x38, 0x3B};
    for (int bit = 0; bit < 15; ++bit) {
        keys().setKeys({codes[bit]});
        EXPECT_EQ(state(), 1 << bit) << "scan code " << int(codes[bit]);
    }
    keys().setKeys({0xC8, 0x2C, 0x2A}); // up, Z, left Shift
    EXPECT_EQ(state(), 0x0811);
}

TEST_F(Keyboard, OtherKeysAndLowBitsCountForNothing)
{
    // Right Shift, right Ctrl, right Alt, keypad Enter, F2, A.
    keys().setKeys({0x36, 0x9D, 0xB8, 0x9C, 0x3C, 0x1E});
    EXPECT_EQ(state(), 0);
    EXPECT_EQ(trigger(), 0);
    // Only bit 7 of a key's byte means down.
    keys().state.assign(256, 0x7F);
    EXPECT_EQ(state(), 0);
    // Everything down: the fifteen bits and nothing above them.
    keys().state.assign(256, 0xFF);
    EXPECT_EQ(state(), 0x7FFF);
}

TEST_F(Keyboard, ReadsTheWholeKeyboardState)
{
    state();
    trigger();
    EXPECT_EQ(keys().lastStateSize, 256u);
    EXPECT_EQ(keys().wrongStateSizes, 0);
}

TEST_F(Keyboard, OtherModesReadTheDeviceButReportNothing)
{
    keys().setKeys({0x2C});
    const int reads = keys().stateReads;
    EXPECT_EQ(state(1), 0);
    EXPECT_EQ(trigger(-1), 0);
    EXPECT_EQ(keys().stateReads, reads + 2);
    // The trigger call with another mode left the latch alone.
    EXPECT_EQ(trigger(), 0x10);
}

TEST_F(Keyboard, AFailedReadAcquiresOnceAndReportsNothing)
{
    keys().setKeys({0x2C});
    EXPECT_EQ(trigger(), 0x10);
    keys().getDeviceStateResult = DIERR_INPUTLOST;
    const int acquires = di.count("keyboard", "Acquire");
    EXPECT_EQ(state(), 0);
    EXPECT_EQ(trigger(), 0);
    EXPECT_EQ(di.count("keyboard", "Acquire"), acquires + 2);
    // Positive codes are no DI_OK either.
    keys().getDeviceStateResult = S_FALSE;
    EXPECT_EQ(state(), 0);
    // The failed reads left the latch set: Z still held is not new.
    keys().getDeviceStateResult = DI_OK;
    EXPECT_EQ(trigger(), 0);
    EXPECT_EQ(state(), 0x10);
}

TEST_F(Keyboard, AHeldKeyTriggersOnceUntilReleased)
{
    keys().setKeys({0x2C});
    EXPECT_EQ(trigger(), 0x10); // down at the first call after loading
    EXPECT_EQ(trigger(), 0);
    EXPECT_EQ(trigger(), 0);
    keys().setKeys({});
    EXPECT_EQ(trigger(), 0);
    keys().setKeys({0x2C, 0xC8});
    EXPECT_EQ(trigger(), 0x11);
    keys().setKeys({0xC8});
    EXPECT_EQ(trigger(), 0);
    keys().setKeys({0xC8, 0x2C});
    EXPECT_EQ(trigger(), 0x10);
}

TEST_F(Keyboard, StateCallsDoNotDisturbTheTriggers)
{
    keys().setKeys({0x39});
    EXPECT_EQ(state(), 0x200);
    EXPECT_EQ(trigger(), 0x200);
    keys().setKeys({});
    EXPECT_EQ(state(), 0);
    keys().setKeys({0x39});
    EXPECT_EQ(state(), 0x200);
    EXPECT_EQ(trigger(), 0); // tovkeytrigger never saw the release
}

TEST_F(Keyboard, MouseButtons)
{
    FakeDIDevice& mouse = di.mouse();
    DIMOUSESTATE2 s{};
    s.rgbButtons[0] = 0x80;
    s.rgbButtons[1] = 0x80;
    mouse.setState(s);
    int32_t v = -1;
    EXPECT_EQ(tovmousestate(&v, 0, 0, 0), 0);
    EXPECT_EQ(v, 3);
    EXPECT_EQ(mouse.lastStateSize, 20u);

    s = {};
    s.rgbButtons[2] = 0x80;
    s.lX = 5;
    s.lZ = 120; // the wheel
    mouse.setState(s);
    EXPECT_EQ(tovmousestate(&v, 0, 0, 0), 0);
    EXPECT_EQ(v, 4);

    s = {};
    for (int b = 3; b < 8; ++b)
        s.rgbButtons[b] = 0x80;
    s.rgbButtons[0] = 0x7F;
    mouse.setState(s);
    EXPECT_EQ(tovmousestate(&v, 0, 0, 0), 0);
    EXPECT_EQ(v, 0);
}

TEST_F(Keyboard, AFailedMouseReadAcquiresOnceAndStoresZero)
{
    DIMOUSESTATE2 s{};
    s.rgbButtons[0] = 0x80;
    di.mouse().setState(s);
    di.mouse().getDeviceStateResult = DIERR_NOTACQUIRED;
    const int acquires = di.count("mouse", "Acquire");
    int32_t v = 99;
    EXPECT_EQ(tovmousestate(&v, 0, 0, 0), 0);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(di.count("mouse", "Acquire"), acquires + 1);
    di.mouse().getDeviceStateResult = DI_OK;
    EXPECT_EQ(tovmousestate(&v, 0, 0, 0), 0);
    EXPECT_EQ(v, 1);
}

TEST_F(Keyboard, OnePollingCallIsOneReadAndNoAllocation)
{
    di.addJoystick("pad"); // opened below by a fresh start
    releaseDInput();
    ASSERT_EQ(initDInput(), 1);
    keys().setKeys({0x2C});
    int32_t v = 0;
    const int keyReads = keys().stateReads, mouseReads = di.mouse().stateReads;
    const int joyReads = di.controllers[0].device->stateReads;
    const int polls = di.count("pad", "Poll");

    g_allocations = 0;
    g_countAllocations = true;
    for (int frame = 0; frame < 1000; ++frame) {
        tovkeystate(&v, 0, 0, 0);
        tovkeytrigger(&v, 0, 0, 0);
        tovmousestate(&v, 0, 0, 0);
        tovjoystate(&v, 0, 0, 0);
        tovjoytrigger(&v, 0, 0, 0);
    }
    g_countAllocations = false;

    EXPECT_EQ(g_allocations, 0);
    EXPECT_EQ(keys().stateReads - keyReads, 2000);
    EXPECT_EQ(di.mouse().stateReads - mouseReads, 1000);
    EXPECT_EQ(di.controllers[0].device->stateReads - joyReads, 2000);
    EXPECT_EQ(di.count("pad", "Poll") - polls, 2000);
}

TEST_F(Keyboard, WithoutDevicesTheCommandsFail)
{
    releaseDInput();
    int32_t v = 77;
    EXPECT_EQ(tovmousestate(&v, 0, 0, 0), -1);
    EXPECT_EQ(v, 77); // left as it was
    EXPECT_EQ(tovkeystate(&v, 0, 0, 0), -1);
    EXPECT_EQ(v, 0);
    v = 77;
    EXPECT_EQ(tovkeytrigger(&v, 0, 0, 0), -1);
    EXPECT_EQ(v, 0);
}

} // namespace

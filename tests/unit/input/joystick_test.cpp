// Joystick count, names, state and triggers against fake devices.
#include "input_fixture.h"

namespace {

class Joystick : public InputTest {
protected:
    // Opens the input engine with the joysticks added so far.
    void start() { ASSERT_EQ(initDInput(), 1); }

    int32_t state(int32_t j, int expectedStatus = 0)
    {
        int32_t v = -7;
        EXPECT_EQ(tovjoystate(&v, j, 0, 0), expectedStatus);
        return v;
    }
    int32_t trigger(int32_t j, int expectedStatus = 0)
    {
        int32_t v = -7;
        EXPECT_EQ(tovjoytrigger(&v, j, 0, 0), expectedStatus);
        return v;
    }
    static DIJOYSTATE buttons(std::initializer_list<int> down)
    {
        DIJOYSTATE s{};
        for (int b : down)
            s.rgbButtons[b] = 0x80;
        return s;
    }

    // A string variable of `words` words, with guard bytes after it.
    struct Var {
        TolvoVar rec{};
        unsigned char bytes[160];
        explicit Var(int32_t words, int16_t type = TOLVO_TYPE_INT)
        {
            std::memset(bytes, 0xAA, sizeof bytes);
            rec.type = type;
            rec.word_count = words;
            rec.data = bytes;
        }
    };
};

TEST_F(Joystick, NoJoystickOpen)
{
    start();
    int32_t n = 42;
    EXPECT_EQ(tovjoynum(&n, 0, 0, 0), -1);
    EXPECT_EQ(n, 42);
    EXPECT_EQ(state(0, -1), 0);
    EXPECT_EQ(trigger(7, -1), 0);
    Var name(8);
    EXPECT_EQ(tovjoyname(&name.rec, 0, 0, 0), -1);
    EXPECT_EQ(name.bytes[0], 0xAA);
    EXPECT_EQ(name.rec.type, TOLVO_TYPE_INT);
}

TEST_F(Joystick, NumberTestInItsOrder)
{
    di.addJoystick("a");
    di.addJoystick("b");
    start();
    int32_t n = 0;
    EXPECT_EQ(tovjoynum(&n, 0, 0, 0), 0);
    EXPECT_EQ(n, 2);
    for (int32_t j : {8, -1, 1000, INT32_MIN})
        EXPECT_EQ(state(j, -2), 0) << j;
    EXPECT_EQ(state(2, -1), 0); // in range, entry empty
    EXPECT_EQ(state(1), 0);
    // An entry that is set but lies beyond the count: -2.
    g_nJoystickCount = 1;
    EXPECT_EQ(state(1, -2), 0);
    Var v(4);
    EXPECT_EQ(tovjoyname(&v.rec, 1, 0, 0), -2);
    EXPECT_EQ(tovjoyforce(&v.rec, 1, 0, 0), -2);
    g_nJoystickCount = 2;

    // Nowhere to store the answer: -1 and nothing else, for an open joystick.
    EXPECT_EQ(tovjoynum(nullptr, 0, 0, 0), -1);
    EXPECT_EQ(tovjoystate(nullptr, 1, 0, 0), -1);
    EXPECT_EQ(tovjoytrigger(nullptr, 1, 0, 0), -1);
    EXPECT_EQ(tovjoyname(nullptr, 1, 0, 0), -1);
    EXPECT_EQ(tovjoyforce(nullptr, 1, 0, 0), -1);
}

TEST_F(Joystick, DirectionsAndButtons)
{
    FakeDIDevice& pad = di.addJoystick("pad");
    start();
    DIJOYSTATE s = buttons({0, 3});
    s.lX = -1000;
    s.lY = -1000;
    pad.setState(s);
    EXPECT_EQ(state(0), 0x95); // up-left, buttons 0 and 3
    EXPECT_EQ(pad.lastStateSize, 80u);
    EXPECT_EQ(pad.wrongStateSizes, 0);

    s = buttons({15});
    s.lX = 1;
    s.lY = 1;
    pad.setState(s);
    EXPECT_EQ(state(0), 0x80000 | 0x2 | 0x8);

    // Buttons 16 to 31, the other axes and the hats are not reported.
    s = buttons({16, 20, 31});
    s.lZ = 1000;
    s.lRx = -1000;
    s.rglSlider[0] = 1000;
    s.rgdwPOV[0] = 9000;
    pad.setState(s);
    EXPECT_EQ(state(0), 0);

    // Each read is preceded by one Poll, whose result does not matter.
    pad.pollResult = DIERR_NOTACQUIRED;
    di.calls.clear();
    EXPECT_EQ(state(0), 0);
    EXPECT_EQ(callsOf("pad"), (std::vector<std::string>{"Poll", "GetDeviceState"}));
}

// The platform applies the dead zone that the engine start set; a stick
// needs more than a quarter of its travel to set a direction bit.
TEST_F(Joystick, ADeadZoneOfAQuarterOfTheTravel)
{
    FakeDIDevice& pad = di.addJoystick("pad");
    start();
    pad.setStick(2000, -2000); // 20 %
    EXPECT_EQ(state(0), 0);
    pad.setStick(0, 0);
    EXPECT_EQ(state(0), 0);
    pad.setStick(2600, 0);
    EXPECT_EQ(state(0), 0x8);
    pad.setStick(-10000, 10000);
    EXPECT_EQ(state(0), 0x4 | 0x2);
}

TEST_F(Joystick, AFailedReadAcquiresOnceAndReportsNothing)
{
    FakeDIDevice& pad = di.addJoystick("pad");
    start();
    pad.setState(buttons({0}));
    EXPECT_EQ(trigger(0), 0x10);
    pad.getDeviceStateResult = DIERR_INPUTLOST;
    const int acquires = di.count("pad", "Acquire");
    EXPECT_EQ(state(0), 0);
    EXPECT_EQ(trigger(0), 0);
    EXPECT_EQ(di.count("pad", "Acquire"), acquires + 2);
    // The latch survived the failed reads: button 0 still held is not new.
    pad.getDeviceStateResult = DI_OK;
    EXPECT_EQ(trigger(0), 0);
}

TEST_F(Joystick, AHeldButtonTriggersOnce)
{
    FakeDIDevice& pad = di.addJoystick("pad");
    start();
    pad.setState(buttons({0}));
    EXPECT_EQ(trigger(0), 0x10);
    EXPECT_EQ(trigger(0), 0);
    EXPECT_EQ(trigger(0), 0);
    DIJOYSTATE s = buttons({0});
    s.lY = -500;
    pad.setState(s);
    EXPECT_EQ(trigger(0), 0x1);
    pad.setState(buttons({}));
    EXPECT_EQ(trigger(0), 0);
    pad.setState(buttons({0}));
    EXPECT_EQ(trigger(0), 0x10);
}

// One set of latches serves every joystick: polling a second joystick that
// holds nothing clears what the first one set.
TEST_F(Joystick, TheLatchesAreShared)
{
    FakeDIDevice& first = di.addJoystick("first");
    di.addJoystick("second");
    start();
    first.setState(buttons({0}));
    for (int frame = 0; frame < 3; ++frame) {
        EXPECT_EQ(trigger(0), 0x10) << frame;
        EXPECT_EQ(trigger(1), 0) << frame;
    }
}

TEST_F(Joystick, NameIntoAnIntegerVariable)
{
    di.addJoystick("Gamepad 7");
    start();
    Var v(8);
    EXPECT_EQ(tovjoyname(&v.rec, 0, 0, 0), 0);
    EXPECT_EQ(v.rec.type, TOLVO_TYPE_STRING);
    EXPECT_STREQ(reinterpret_cast<char*>(v.bytes), "Gamepad 7");
    EXPECT_EQ(v.bytes[10], 0xAA); // nothing past the terminator
    EXPECT_EQ(v.rec.word_count, 8);

    // Other types are left alone.
    Var other(8, 7);
    EXPECT_EQ(tovjoyname(&other.rec, 0, 0, 0), 0);
    EXPECT_EQ(other.rec.type, 7);
}

// The name never goes past the variable's storage: it is cut to fit and
// terminated, and a variable without storage gets nothing.
TEST_F(Joystick, NameStaysInsideTheVariable)
{
    di.addJoystick(std::string(150, 'x'));
    start();
    Var small(2);
    EXPECT_EQ(tovjoyname(&small.rec, 0, 0, 0), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(small.bytes), "xxxxxxx");
    EXPECT_EQ(small.bytes[8], 0xAA);

    Var roomy(40);
    EXPECT_EQ(tovjoyname(&roomy.rec, 0, 0, 0), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(roomy.bytes)), std::string(127, 'x'));
    EXPECT_EQ(roomy.bytes[128], 0xAA);

    for (int32_t words : {0, -3}) {
        Var none(words);
        EXPECT_EQ(tovjoyname(&none.rec, 0, 0, 0), -1) << words;
        EXPECT_EQ(none.bytes[0], 0xAA);
        EXPECT_EQ(none.rec.type, TOLVO_TYPE_INT);
    }
}

} // namespace

// tovjoyforce and tovjoyshock against fake devices and effects.
#include "input_fixture.h"

#include <cstdio>

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
    EXPECT_EQ(r.magnitude, 100000);
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
    EXPECT_EQ(r.magnitude, 100000);
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

} // namespace

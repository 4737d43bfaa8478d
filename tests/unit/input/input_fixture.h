// What the input suites share: the fake system and fake DirectInput in
// place, a window and instance for the engine start, and clean latches.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fakes/fake_dinput.h"
#include "fakes/fake_system.h"
#include "input/input.h"
#include "plugin/globals.h"
#include "plugin/messages.h"

// Operator new calls counted while countAllocations is set (alloc_count.cpp).
extern bool g_countAllocations;
extern long g_allocations;

class InputTest : public ::testing::Test {
protected:
    static inline HWND const kWindow = reinterpret_cast<HWND>(0x4321);
    static inline HINSTANCE const kInstance = reinterpret_cast<HINSTANCE>(0x8765);

    void SetUp() override
    {
        di.install(sys.fake());
        g_hWnd = kWindow;
        g_hInstance = kInstance;
        g_nVerbose = 1;
        std::memset(g_byKeyLatch, 0, sizeof g_byKeyLatch);
        std::memset(g_byJoyLatch, 0, sizeof g_byJoyLatch);
    }

    void TearDown() override
    {
        releaseDInput();
        EXPECT_EQ(di.releaseProblems(), "");
        EXPECT_EQ(sys.fake().xinputProblems(), "");
        g_hWnd = nullptr;
        g_hInstance = nullptr;
        g_nVerbose = 1;
    }

    std::vector<std::string> boxTexts()
    {
        std::vector<std::string> texts;
        for (const auto& b : sys.fake().boxes)
            texts.push_back(b.text);
        return texts;
    }

    // The calls of one object, in order, without its AddRef and Release.
    std::vector<std::string> callsOf(const std::string& object) const
    {
        std::vector<std::string> out;
        for (const DICall& c : di.calls)
            if (object == c.object && std::strcmp(c.method, "AddRef") && std::strcmp(c.method, "Release"))
                out.push_back(c.method);
        return out;
    }

    FakeSystemScope sys;
    FakeDInput di;
};

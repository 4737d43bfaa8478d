// tovdxver with a fake diagnostic service and fake file versions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fakes/fake_dxdiag.h"
#include "fakes/fake_system.h"
#include "unit/case_trace.h"
#include "util/util.h"

namespace {

using Log = std::vector<std::string>;

class DxVer : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::memset(storage, 0xAB, sizeof storage);
        var.type = TOLVO_TYPE_INT;
        var.word_count = 4;
        var.data = storage;
    }
    void TearDown() override { EXPECT_TRUE(dxdiag.balanced()) << "a reference leaked or a VARIANT was not cleared"; }

    std::string run()
    {
        EXPECT_EQ(tovdxver(&var, 0x7F, -1, 12345), 0);
        return std::string(reinterpret_cast<char*>(storage), strnlen(reinterpret_cast<char*>(storage), 16));
    }
    // The file version fallback ran when the system directory was asked for.
    bool fellBack() { return sys.fake().count("GetSystemDirectoryA") > 0; }

    FakeSystemScope sys;
    FakeDxDiag dxdiag{sys.fake()};
    FakeFileVersions files{sys.fake()};
    unsigned char storage[32];
    TolvoVar var{};
};

TEST_F(DxVer, AsksTheDiagnosticServiceAndBalancesItsCom)
{
    dxdiag.reports(9, 0, L"c");
    EXPECT_EQ(run(), "90c");
    EXPECT_EQ(var.type, TOLVO_TYPE_STRING);
    EXPECT_FALSE(fellBack());

    const Log seam = {"CoInitialize", "CoCreateInstance", "CoUninitialize"};
    EXPECT_EQ(sys.fake().calls, seam);
    ASSERT_EQ(dxdiag.creations.size(), 1u);
    EXPECT_TRUE(dxdiag.creations[0].clsid == CLSID_DxDiagProvider);
    EXPECT_EQ(dxdiag.creations[0].outer, nullptr);
    EXPECT_EQ(dxdiag.creations[0].context, static_cast<DWORD>(CLSCTX_INPROC_SERVER));
    EXPECT_TRUE(dxdiag.creations[0].iid == IID_IDxDiagProvider);

    ASSERT_EQ(dxdiag.provider.inits.size(), 1u);
    const DXDIAG_INIT_PARAMS& p = dxdiag.provider.inits[0];
    EXPECT_EQ(p.dwSize, 16u);
    EXPECT_EQ(p.dwDxDiagHeaderVersion, 111u);
    EXPECT_EQ(p.bAllowWHQLChecks, FALSE);
    EXPECT_EQ(p.pReserved, nullptr);

    const Log expected = {
        "provider.Initialize",
        "provider.GetRootContainer",
        "root.GetChildContainer DxDiag_SystemInfo",
        "DxDiag_SystemInfo.GetProp dwDirectXVersionMajor",
        "DxDiag_SystemInfo.GetProp dwDirectXVersionMinor",
        "DxDiag_SystemInfo.GetProp szDirectXVersionLetter",
        "DxDiag_SystemInfo.Release",
        "root.Release",
        "provider.Release",
    };
    EXPECT_EQ(dxdiag.log, expected);
}

// COM already initialised on the thread (S_FALSE) is balanced too; a failed
// CoInitialize is not, and the service is still asked.
TEST_F(DxVer, UninitialisesComOnlyWhenItsInitialiseSucceeded)
{
    dxdiag.reports(9, 0, L"c");
    sys.fake().coInitializeResult = S_FALSE;
    EXPECT_EQ(run(), "90c");
    EXPECT_EQ(sys.fake().count("CoUninitialize"), 1);

    sys.fake().calls.clear();
    sys.fake().coInitializeResult = RPC_E_CHANGED_MODE;
    EXPECT_EQ(run(), "90c");
    EXPECT_EQ(sys.fake().count("CoCreateInstance"), 1);
    EXPECT_EQ(sys.fake().count("CoUninitialize"), 0);
}

TEST_F(DxVer, TheLetterIsTheFirstByteLowered)
{
    dxdiag.reports(9, 0, L"C");
    EXPECT_EQ(run(), "90c");
    dxdiag.reports(8, 1, L"b-extra");
    EXPECT_EQ(run(), "81b");
    dxdiag.reports(9, 0, L"");
    EXPECT_EQ(run(), "90");
    dxdiag.reports(9, 0, L" ");
    EXPECT_EQ(run(), "90");
    EXPECT_FALSE(fellBack());
}

// Each way the service can fail: what was obtained is released, COM is
// balanced, and the file versions decide.
TEST_F(DxVer, ServiceFailuresLeaveTheFallbackToDecide)
{
    files.add("d3d9.dll", 5, 3, 2600, 2180);
    struct Case {
        const char* what;
        void (*arrange)(FakeDxDiag&);
        Log tail; // the service's last calls
    };
    const Case cases[] = {
        {"creation", [](FakeDxDiag& d) { d.createResult = REGDB_E_CLASSNOTREG; }, {}},
        {"initialise", [](FakeDxDiag& d) { d.provider.initializeResult = E_FAIL; },
         {"provider.Initialize", "provider.Release"}},
        {"root", [](FakeDxDiag& d) { d.provider.rootResult = E_OUTOFMEMORY; },
         {"provider.GetRootContainer", "provider.Release"}},
        {"system info", [](FakeDxDiag& d) { d.root.children.clear(); },
         {"root.GetChildContainer DxDiag_SystemInfo", "root.Release", "provider.Release"}},
    };
    for (const Case& c : cases) {
        CASE_TRACE(c.what);
        sys.fake().calls.clear();
        dxdiag.log.clear();
        dxdiag.createResult = S_OK;
        dxdiag.provider.initializeResult = S_OK;
        dxdiag.provider.rootResult = S_OK;
        dxdiag.root.children[L"DxDiag_SystemInfo"] = &dxdiag.systemInfo;
        dxdiag.reports(9, 0, L"c");
        c.arrange(dxdiag);

        EXPECT_EQ(run(), "90");
        EXPECT_TRUE(fellBack());
        EXPECT_EQ(sys.fake().count("CoUninitialize"), 1);
        ASSERT_GE(dxdiag.log.size(), c.tail.size());
        EXPECT_EQ(Log(dxdiag.log.end() - c.tail.size(), dxdiag.log.end()), c.tail);
        EXPECT_TRUE(dxdiag.balanced());
    }
}

// A property counts only with its own type; every property is read, and
// one that is refused sends the probe to the fallback.
TEST_F(DxVer, EachPropertyNeedsItsType)
{
    files.add("ddraw.dll", 4, 7, 0, 700); // 70
    using Prop = FakeDxDiagContainer::Prop;
    struct Case {
        const wchar_t* name;
        Prop prop;
    };
    const Case cases[] = {
        {L"dwDirectXVersionMajor", {S_OK, VT_I4, 9, L"", false}},
        {L"dwDirectXVersionMajor", {E_INVALIDARG, VT_UI4, 9, L"", false}},
        {L"dwDirectXVersionMinor", {S_OK, VT_UI2, 0, L"", false}},
        {L"dwDirectXVersionMinor", {S_OK, VT_BSTR, 0, L"0", false}},
        {L"szDirectXVersionLetter", {S_OK, VT_BSTR, 0, L"", true}},
        {L"szDirectXVersionLetter", {S_OK, VT_UI4, 'c', L"", false}},
        {L"szDirectXVersionLetter", {E_FAIL, VT_BSTR, 0, L"c", false}},
    };
    for (const Case& c : cases) {
        CASE_TRACE("property " << c.name << " type " << c.prop.vt);
        dxdiag.log.clear();
        dxdiag.reports(9, 0, L"c");
        dxdiag.systemInfo.props[c.name] = c.prop;
        EXPECT_EQ(run(), "70");
        EXPECT_EQ(std::count_if(dxdiag.log.begin(), dxdiag.log.end(),
                                [](const std::string& s) { return s.find(".GetProp ") != std::string::npos; }),
                  3);
    }
    // A property that is missing altogether.
    dxdiag.reports(9, 0, L"c");
    dxdiag.systemInfo.props.erase(L"szDirectXVersionLetter");
    EXPECT_EQ(run(), "70");
}

TEST_F(DxVer, FallbackReadsFileVersionsInTheSystemDirectory)
{
    dxdiag.createResult = REGDB_E_CLASSNOTREG;
    files.systemDirectory = "D:\\OS\\System";
    files.add("ddraw.dll", 5, 3, 2600, 2180);
    files.add("d3d8.dll", 5, 3, 2600, 2180);
    files.add("mpg2splt.ax", 6, 3, 1, 885);
    files.add("dpnet.dll", 5, 3, 2600, 2180);
    EXPECT_EQ(run(), "82");
    ASSERT_EQ(files.sizeAsked.size(), 16u);
    EXPECT_EQ(files.sizeAsked.front(), "D:\\OS\\System\\ddraw.dll");
    EXPECT_EQ(files.sizeAsked.back(), "D:\\OS\\System\\d3d9.dll");
    for (const auto& sub : files.subBlocks)
        EXPECT_EQ(sub, "\\");
    EXPECT_EQ(files.subBlocks.size(), 12u); // eight ddraw rows, d3d8 twice, mpg2splt, dpnet
}

// A file whose version information cannot be read skips its row.
TEST_F(DxVer, UnreadableVersionInformationSkipsTheRow)
{
    dxdiag.createResult = REGDB_E_CLASSNOTREG;
    using K = FakeFileVersions;
    for (K::Kind kind : {K::kNoInfo, K::kInfoFails, K::kQueryFails, K::kNullFixed, K::kShortFixed}) {
        CASE_TRACE(kind);
        files.files.clear();
        files.add("ddraw.dll", 4, 2, 0, 95);     // 10
        files.add("d3d9.dll", 9, 0, 0, 0, kind); // would give 90
        EXPECT_EQ(run(), "10");
    }
}

TEST_F(DxVer, NoSystemDirectoryOrNoFileGivesZeroZero)
{
    dxdiag.createResult = REGDB_E_CLASSNOTREG;
    EXPECT_EQ(run(), "00");
    files.add("d3d9.dll", 9, 0, 0, 0);
    files.sizeAsked.clear();
    files.systemDirectoryWorks = false;
    EXPECT_EQ(run(), "00");
    EXPECT_TRUE(files.sizeAsked.empty());
    // A directory longer than the 260-byte buffer counts as none.
    files.systemDirectoryWorks = true;
    files.systemDirectory = "C:\\" + std::string(300, 'd');
    files.add("d3d9.dll", 9, 0, 0, 0);
    EXPECT_EQ(run(), "00");
}

// --- the variable ------------------------------------------------------------

TEST_F(DxVer, AnIntegerVariableBecomesAStringOthersKeepTheirType)
{
    dxdiag.reports(9, 0, L"c");
    var.type = TOLVO_TYPE_STRING;
    run();
    EXPECT_EQ(var.type, TOLVO_TYPE_STRING);
    var.type = 5;
    run();
    EXPECT_EQ(var.type, 5);
    EXPECT_EQ(var.kind, 0);
    EXPECT_EQ(var.word_count, 4);
    EXPECT_EQ(var.data, storage);
}

// The text never goes past 4 x word_count bytes: a short storage gets it
// cut and terminated, one without words gets nothing.
TEST_F(DxVer, NeverWritesPastTheVariablesStorage)
{
    dxdiag.reports(9, 0, L"c");
    var.word_count = 1;
    EXPECT_EQ(run(), "90c");
    EXPECT_EQ(storage[4], 0xAB);

    dxdiag.reports(1234567, 89, L"x"); // "123456789", cut to the ten-byte text
    var.word_count = 2;
    EXPECT_EQ(run(), "1234567");
    EXPECT_EQ(storage[7], 0);
    EXPECT_EQ(storage[8], 0xAB);

    var.word_count = 3;
    EXPECT_EQ(run(), "123456789");
    EXPECT_EQ(storage[10], 0xAB);

    std::memset(storage, 0xAB, sizeof storage);
    for (int32_t words : {0, -1, INT32_MIN}) {
        var.type = TOLVO_TYPE_INT;
        var.word_count = words;
        EXPECT_EQ(tovdxver(&var, 0, 0, 0), 0);
        EXPECT_EQ(var.type, TOLVO_TYPE_STRING);
        EXPECT_EQ(storage[0], 0xAB) << words;
    }
    var.word_count = 4;
    var.data = nullptr;
    EXPECT_EQ(tovdxver(&var, 0, 0, 0), 0);
    EXPECT_EQ(tovdxver(nullptr, 0, 0, 0), 0);

    // A count whose size in bytes does not fit 32 bits is room enough.
    var.data = storage;
    var.word_count = 0x40000000;
    EXPECT_EQ(run(), "123456789");
    EXPECT_EQ(storage[10], 0xAB);
}

} // namespace

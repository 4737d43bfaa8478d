// tovdxver on the real platform.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <dxdiag.h>

#include <cctype>
#include <string>

#include "util/util.h"

namespace {

// What the platform's diagnostic service says, asked directly.
std::string serviceAnswer()
{
    std::string answer = "(no answer)";
    IDxDiagProvider* provider = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DxDiagProvider, nullptr, CLSCTX_INPROC_SERVER, IID_IDxDiagProvider,
                                reinterpret_cast<void**>(&provider))))
        return answer;
    DXDIAG_INIT_PARAMS params = {sizeof params, DXDIAG_DX9_SDK_VERSION, FALSE, nullptr};
    IDxDiagContainer* root = nullptr;
    IDxDiagContainer* info = nullptr;
    if (SUCCEEDED(provider->Initialize(&params)) && SUCCEEDED(provider->GetRootContainer(&root)) &&
        SUCCEEDED(root->GetChildContainer(L"DxDiag_SystemInfo", &info))) {
        VARIANT major, minor, letter;
        VariantInit(&major);
        VariantInit(&minor);
        VariantInit(&letter);
        if (SUCCEEDED(info->GetProp(L"dwDirectXVersionMajor", &major)) &&
            SUCCEEDED(info->GetProp(L"dwDirectXVersionMinor", &minor)) &&
            SUCCEEDED(info->GetProp(L"szDirectXVersionLetter", &letter))) {
            answer = std::to_string(major.ulVal) + std::to_string(minor.ulVal);
            if (letter.bstrVal && letter.bstrVal[0] && letter.bstrVal[0] != L' ')
                answer += static_cast<char>(std::tolower(static_cast<char>(letter.bstrVal[0])));
        }
        VariantClear(&major);
        VariantClear(&minor);
        VariantClear(&letter);
        info->Release();
    }
    if (root)
        root->Release();
    provider->Release();
    return answer;
}

TEST(DxVerPlatform, AnswersWhatTheDiagnosticServiceReports)
{
    char storage[16] = {};
    TolvoVar var{};
    var.type = TOLVO_TYPE_INT;
    var.word_count = 4;
    var.data = storage;
    EXPECT_EQ(tovdxver(&var, 0, 0, 0), 0);
    // The probe balanced its own COM start: the thread is uninitialised again.
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    const std::string expected = serviceAnswer();
    CoUninitialize();
    EXPECT_EQ(std::string(storage), expected);
    EXPECT_EQ(var.type, TOLVO_TYPE_STRING);
}

// Every system since the ninth release has d3d9.dll with version
// information in its system directory.
TEST(DxVerPlatform, FallbackFindsTheSystemsLibraries)
{
    DxVersion version = {1, 2, 'z'};
    fallbackDxVersion(kRealDxProbeOps, &version);
    EXPECT_EQ(version.major, 9u);
    EXPECT_EQ(version.minor, 0u);
    EXPECT_EQ(version.letter, ' ');
}

} // namespace

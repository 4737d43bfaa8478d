// tovdxver and the platform side of the DirectX version probe: the
// diagnostic service, file versions and the system directory.
#include <cstdlib>
#include <cstring>

#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <oleauto.h>

#include "util.h"
#include "plugin/com.h"
#include "plugin/records.h"
#include "plugin/syscalls.h"

// The diagnostic service's identifiers are in no import library: they are
// defined here, once for the module.
#include <initguid.h>
#include <dxdiag.h>

namespace {

// The property is accepted only as an unsigned 32-bit integer.
bool readUnsignedProp(IDxDiagContainer* info, const wchar_t* name, VARIANT* var, uint32_t* out)
{
    bool accepted = false;
    if (SUCCEEDED(info->GetProp(name, var)) && var->vt == VT_UI4) {
        *out = var->ulVal;
        accepted = true;
    }
    VariantClear(var);
    return accepted;
}

// The letter is the first byte of the string in the ANSI code page; an empty
// string gives the terminator.
bool readLetterProp(IDxDiagContainer* info, const wchar_t* name, VARIANT* var, char* out)
{
    bool accepted = false;
    if (SUCCEEDED(info->GetProp(name, var)) && var->vt == VT_BSTR && var->bstrVal) {
        char text[10] = {};
        WideCharToMultiByte(CP_ACP, 0, var->bstrVal, -1, text, sizeof text, nullptr, nullptr);
        *out = text[0];
        accepted = true;
    }
    VariantClear(var);
    return accepted;
}

bool readSystemInfo(IDxDiagProvider* provider, DxVersion* version)
{
    DXDIAG_INIT_PARAMS params = {};
    static_assert(sizeof params == 16, "DXDIAG_INIT_PARAMS of the 32-bit platform");
    params.dwSize = sizeof params;
    params.dwDxDiagHeaderVersion = DXDIAG_DX9_SDK_VERSION;
    params.bAllowWHQLChecks = FALSE;
    params.pReserved = nullptr;
    if (FAILED(provider->Initialize(&params)))
        return false;

    IDxDiagContainer* root = nullptr;
    if (!obtained(provider->GetRootContainer(&root), root))
        return false;
    IDxDiagContainer* info = nullptr;
    if (!obtained(root->GetChildContainer(L"DxDiag_SystemInfo", &info), info)) {
        releaseAndNull(root);
        return false;
    }

    // Each accepted property is written at once, whatever the others give.
    VARIANT var;
    VariantInit(&var);
    const bool major = readUnsignedProp(info, L"dwDirectXVersionMajor", &var, &version->major);
    const bool minor = readUnsignedProp(info, L"dwDirectXVersionMinor", &var, &version->minor);
    const bool letter = readLetterProp(info, L"szDirectXVersionLetter", &var, &version->letter);

    releaseAndNull(info);
    releaseAndNull(root);
    return major && minor && letter;
}

bool queryDxDiag(DxVersion* version)
{
    // Joins the thread's apartment; only a call that succeeded is balanced.
    const bool comStarted = SUCCEEDED(g_sys.CoInitialize(nullptr));
    bool complete = false;
    IDxDiagProvider* provider = nullptr;
    if (obtained(g_sys.CoCreateInstance(CLSID_DxDiagProvider, nullptr, CLSCTX_INPROC_SERVER, IID_IDxDiagProvider,
                                        reinterpret_cast<void**>(&provider)),
                 provider)) {
        complete = readSystemInfo(provider, version);
        releaseAndNull(provider);
    }
    if (comStarted)
        g_sys.CoUninitialize();
    return complete;
}

bool readFileVersion(const char* path, uint64_t* version)
{
    DWORD ignored = 0;
    const DWORD size = g_sys.GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0)
        return false;
    void* block = std::malloc(size);
    if (!block)
        return false;
    bool ok = false;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    // A block too short to hold the fixed part is not read past its end.
    if (g_sys.GetFileVersionInfoA(path, 0, size, block) &&
        g_sys.VerQueryValueA(block, "\\", reinterpret_cast<void**>(&fixed), &length) && fixed &&
        length >= sizeof *fixed) {
        *version = (uint64_t(fixed->dwFileVersionMS) << 32) | fixed->dwFileVersionLS;
        ok = true;
    }
    std::free(block);
    return ok;
}

bool getSystemDirectory(char* dir, uint32_t size)
{
    // A result of `size` or more is the length the directory would need.
    const UINT n = g_sys.GetSystemDirectoryA(dir, size);
    return n > 0 && n < size;
}

} // namespace

const DxProbeOps kRealDxProbeOps = {queryDxDiag, readFileVersion, getSystemDirectory};

extern "C" int TOLVO_CALL tovdxver(TolvoVar* var, int32_t, int32_t, int32_t)
{
    DxVersion version;
    char text[kDxVersionTextSize];
    probeDxVersion(kRealDxProbeOps, &version, text);

    if (!var)
        return 0;
    if (var->type == TOLVO_TYPE_INT)
        var->type = TOLVO_TYPE_STRING;
    // Never past the variable's storage: a short one gets the text cut and
    // terminated, one without storage gets nothing.
    if (!hasStorage(var))
        return 0;
    // Three words hold any text; counting bytes from more could wrap.
    const size_t room = var->word_count >= 3 ? kDxVersionTextSize : static_cast<size_t>(var->word_count) * 4;
    const size_t length = std::strlen(text);
    char* out = static_cast<char*>(var->data);
    if (length < room) {
        std::memcpy(out, text, length + 1);
    } else {
        std::memcpy(out, text, room - 1);
        out[room - 1] = '\0';
    }
    return 0;
}

#include "fakes/fake_dxdiag.h"

#include <oleauto.h>

#include <cstring>

#include "fakes/fault_plan.h"

namespace {

std::string narrow(LPCWSTR w)
{
    std::string s;
    for (; w && *w; ++w)
        s.push_back(*w < 128 ? static_cast<char>(*w) : '?');
    return s;
}

// What GetFileVersionInfoA writes: a marker and the fixed part.
struct VersionBlock {
    char marker[8];
    VS_FIXEDFILEINFO fixed;
};

} // namespace

// --- containers ----------------------------------------------------------------

void FakeDxDiagContainer::use(const std::string& call)
{
    log_->push_back(name_ + "." + call);
    if (refs <= 0)
        usedAfterRelease = true;
}

HRESULT STDMETHODCALLTYPE FakeDxDiagContainer::QueryInterface(REFIID iid, void** out)
{
    use("QueryInterface");
    if (iid == IID_IUnknown || iid == IID_IDxDiagContainer) {
        ++refs;
        *out = static_cast<IDxDiagContainer*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE FakeDxDiagContainer::AddRef()
{
    use("AddRef");
    return static_cast<ULONG>(++refs);
}

ULONG STDMETHODCALLTYPE FakeDxDiagContainer::Release()
{
    use("Release");
    if (refs <= 0)
        return 0;
    return static_cast<ULONG>(--refs);
}

HRESULT STDMETHODCALLTYPE FakeDxDiagContainer::GetNumberOfChildContainers(DWORD*)
{
    use("GetNumberOfChildContainers");
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FakeDxDiagContainer::EnumChildContainerNames(DWORD, LPWSTR, DWORD)
{
    use("EnumChildContainerNames");
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FakeDxDiagContainer::GetChildContainer(LPCWSTR name, IDxDiagContainer** out)
{
    use("GetChildContainer " + narrow(name));
    if (HRESULT hr; comFault(name_.c_str(), "GetChildContainer", hr, reinterpret_cast<void**>(out)))
        return hr;
    auto it = children.find(name ? name : L"");
    if (it == children.end()) {
        *out = nullptr;
        return E_INVALIDARG;
    }
    ++it->second->refs;
    *out = it->second;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeDxDiagContainer::GetNumberOfProps(DWORD*)
{
    use("GetNumberOfProps");
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FakeDxDiagContainer::EnumPropNames(DWORD, LPWSTR, DWORD)
{
    use("EnumPropNames");
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FakeDxDiagContainer::GetProp(LPCWSTR name, VARIANT* var)
{
    use("GetProp " + narrow(name));
    if (var->vt != VT_EMPTY)
        variantNotEmpty = true;
    // A null-out answer is a success that leaves the VARIANT empty.
    if (const unsigned kind = faultAt(name_.c_str(), "GetProp", kComOutFaults))
        return kind == kFaultNullOut ? S_OK : kind == kFaultNoMemory ? E_OUTOFMEMORY : E_FAIL;
    auto it = props.find(name ? name : L"");
    if (it == props.end())
        return E_INVALIDARG;
    const Prop& p = it->second;
    if (FAILED(p.result))
        return p.result;
    var->vt = p.vt;
    if (p.vt == VT_BSTR)
        var->bstrVal = p.nullText ? nullptr : SysAllocString(p.text.c_str());
    else
        var->ulVal = p.number; // the integer members share their storage
    return p.result;
}

// --- provider ------------------------------------------------------------------

void FakeDxDiagProvider::use(const std::string& call)
{
    log_->push_back("provider." + call);
    if (refs <= 0)
        usedAfterRelease = true;
}

HRESULT STDMETHODCALLTYPE FakeDxDiagProvider::QueryInterface(REFIID iid, void** out)
{
    use("QueryInterface");
    if (iid == IID_IUnknown || iid == IID_IDxDiagProvider) {
        ++refs;
        *out = static_cast<IDxDiagProvider*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE FakeDxDiagProvider::AddRef()
{
    use("AddRef");
    return static_cast<ULONG>(++refs);
}

ULONG STDMETHODCALLTYPE FakeDxDiagProvider::Release()
{
    use("Release");
    if (refs <= 0)
        return 0;
    return static_cast<ULONG>(--refs);
}

HRESULT STDMETHODCALLTYPE FakeDxDiagProvider::Initialize(DXDIAG_INIT_PARAMS* params)
{
    use("Initialize");
    if (HRESULT hr; comFault("provider", "Initialize", hr))
        return hr;
    inits.push_back(*params);
    return initializeResult;
}

HRESULT STDMETHODCALLTYPE FakeDxDiagProvider::GetRootContainer(IDxDiagContainer** out)
{
    use("GetRootContainer");
    if (HRESULT hr; comFault("provider", "GetRootContainer", hr, reinterpret_cast<void**>(out)))
        return hr;
    if (FAILED(rootResult)) {
        *out = nullptr;
        return rootResult;
    }
    ++root_->refs;
    *out = root_;
    return rootResult;
}

// --- the service -----------------------------------------------------------------

FakeDxDiag::FakeDxDiag(FakeSystem& sys)
{
    root.children[L"DxDiag_SystemInfo"] = &systemInfo;
    auto previous = sys.coCreateInstance;
    sys.coCreateInstance = [this, previous](REFCLSID clsid, LPUNKNOWN outer, DWORD ctx, REFIID iid,
                                            LPVOID* out) -> HRESULT {
        if (clsid != CLSID_DxDiagProvider) {
            if (previous)
                return previous(clsid, outer, ctx, iid, out);
            *out = nullptr;
            return REGDB_E_CLASSNOTREG;
        }
        creations.push_back({clsid, outer, ctx, iid});
        if (FAILED(createResult) || iid != IID_IDxDiagProvider) {
            *out = nullptr;
            return FAILED(createResult) ? createResult : E_NOINTERFACE;
        }
        ++provider.refs;
        *out = static_cast<IDxDiagProvider*>(&provider);
        return S_OK;
    };
}

void FakeDxDiag::reports(ULONG major, ULONG minor, const wchar_t* letter)
{
    systemInfo.props[L"dwDirectXVersionMajor"] = {S_OK, VT_UI4, major, L"", false};
    systemInfo.props[L"dwDirectXVersionMinor"] = {S_OK, VT_UI4, minor, L"", false};
    systemInfo.props[L"szDirectXVersionLetter"] = {S_OK, VT_BSTR, 0, letter, false};
}

bool FakeDxDiag::balanced() const
{
    for (const FakeDxDiagContainer* c : {&root, &systemInfo})
        if (c->refs != 0 || c->usedAfterRelease || c->variantNotEmpty)
            return false;
    return provider.refs == 0 && !provider.usedAfterRelease;
}

// --- file versions ---------------------------------------------------------------

FakeFileVersions::FakeFileVersions(FakeSystem& sys)
{
    sys.getSystemDirectoryA = [this](LPSTR buf, UINT size) -> UINT {
        if (!systemDirectoryWorks)
            return 0;
        if (systemDirectory.size() + 1 > size)
            return static_cast<UINT>(systemDirectory.size() + 1);
        std::memcpy(buf, systemDirectory.c_str(), systemDirectory.size() + 1);
        return static_cast<UINT>(systemDirectory.size());
    };
    sys.getFileVersionInfoSizeA = [this](LPCSTR path, LPDWORD handle) -> DWORD {
        sizeAsked.push_back(path);
        if (handle)
            *handle = 0;
        auto it = files.find(path);
        if (it == files.end() || it->second.kind == kNoInfo)
            return 0;
        return sizeof(VersionBlock);
    };
    sys.getFileVersionInfoA = [this](LPCSTR path, DWORD, DWORD size, LPVOID data) -> BOOL {
        auto it = files.find(path);
        if (it == files.end() || it->second.kind == kInfoFails || size < sizeof(VersionBlock))
            return FALSE;
        VersionBlock block = {};
        std::memcpy(block.marker, "version", 8);
        block.fixed.dwSignature = 0xFEEF04BD;
        block.fixed.dwFileVersionMS = static_cast<DWORD>(it->second.version >> 32);
        block.fixed.dwFileVersionLS = static_cast<DWORD>(it->second.version);
        // The product version differs on purpose: only the file version counts.
        block.fixed.dwProductVersionMS = 0x00630063;
        // The kind travels in the marker's last byte, for VerQueryValueA.
        block.marker[7] = static_cast<char>(it->second.kind);
        std::memcpy(data, &block, sizeof block);
        return TRUE;
    };
    sys.verQueryValueA = [this](LPCVOID data, LPCSTR sub, LPVOID* out, PUINT length) -> BOOL {
        subBlocks.push_back(sub);
        auto* block = static_cast<const VersionBlock*>(data);
        const Kind kind = static_cast<Kind>(block->marker[7]);
        if (kind == kQueryFails || std::strcmp(sub, "\\") != 0)
            return FALSE;
        *out = kind == kNullFixed ? nullptr : const_cast<VS_FIXEDFILEINFO*>(&block->fixed);
        *length = kind == kShortFixed ? sizeof(VS_FIXEDFILEINFO) / 2 : sizeof(VS_FIXEDFILEINFO);
        return TRUE;
    };
}

void FakeFileVersions::add(const std::string& name, uint16_t a, uint16_t b, uint16_t c, uint16_t d, Kind kind)
{
    const uint64_t version = (uint64_t(a) << 48) | (uint64_t(b) << 32) | (uint64_t(c) << 16) | d;
    files[systemDirectory + "\\" + name] = {version, kind};
}

// Fakes of the DirectX version probe's platform: the DxDiag provider with
// its root and system-information containers, handed out through
// FakeSystem::coCreateInstance, and the system directory with the version
// information of the files in it, answered through the FakeSystem hooks.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <dxdiag.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fakes/fake_system.h"

class FakeDxDiagContainer : public IDxDiagContainer {
public:
    FakeDxDiagContainer(const char* name, std::vector<std::string>* log) : name_(name), log_(log) {}
    virtual ~FakeDxDiagContainer() = default;

    // A property as GetProp hands it out: a failing result, or a VARIANT of
    // type `vt` holding `number` (integer types) or `text` (VT_BSTR; a null
    // string when `nullText`).
    struct Prop {
        HRESULT result = S_OK;
        VARTYPE vt = VT_EMPTY;
        ULONG number = 0;
        std::wstring text;
        bool nullText = false;
    };
    std::map<std::wstring, Prop> props;
    std::map<std::wstring, FakeDxDiagContainer*> children;

    LONG refs = 0; // references handed out and not yet released
    bool usedAfterRelease = false;
    bool variantNotEmpty = false; // GetProp got a VARIANT that was not cleared

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetNumberOfChildContainers(DWORD* count) override;
    HRESULT STDMETHODCALLTYPE EnumChildContainerNames(DWORD index, LPWSTR name, DWORD size) override;
    HRESULT STDMETHODCALLTYPE GetChildContainer(LPCWSTR name, IDxDiagContainer** out) override;
    HRESULT STDMETHODCALLTYPE GetNumberOfProps(DWORD* count) override;
    HRESULT STDMETHODCALLTYPE EnumPropNames(DWORD index, LPWSTR name, DWORD size) override;
    HRESULT STDMETHODCALLTYPE GetProp(LPCWSTR name, VARIANT* var) override;

private:
    void use(const std::string& call);
    std::string name_;
    std::vector<std::string>* log_;
};

class FakeDxDiagProvider : public IDxDiagProvider {
public:
    FakeDxDiagProvider(FakeDxDiagContainer* root, std::vector<std::string>* log) : root_(root), log_(log) {}
    virtual ~FakeDxDiagProvider() = default;

    HRESULT initializeResult = S_OK;
    HRESULT rootResult = S_OK;

    LONG refs = 0;
    bool usedAfterRelease = false;
    std::vector<DXDIAG_INIT_PARAMS> inits;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Initialize(DXDIAG_INIT_PARAMS* params) override;
    HRESULT STDMETHODCALLTYPE GetRootContainer(IDxDiagContainer** out) override;

private:
    void use(const std::string& call);
    FakeDxDiagContainer* root_;
    std::vector<std::string>* log_;
};

// Answers CoCreateInstance of CLSID_DxDiagProvider with `provider`; other
// classes go to the hook that was installed before it.
class FakeDxDiag {
public:
    explicit FakeDxDiag(FakeSystem& sys);
    FakeDxDiag(const FakeDxDiag&) = delete;
    FakeDxDiag& operator=(const FakeDxDiag&) = delete;

    // Every call in order, with the object it went to: "Initialize",
    // "GetRootContainer", "root.GetChildContainer DxDiag_SystemInfo",
    // "DxDiag_SystemInfo.GetProp dwDirectXVersionMajor",
    // "DxDiag_SystemInfo.Release", "provider.Release", ...
    std::vector<std::string> log;
    HRESULT createResult = S_OK;
    FakeDxDiagContainer root{"root", &log};
    FakeDxDiagContainer systemInfo{"DxDiag_SystemInfo", &log};
    FakeDxDiagProvider provider{&root, &log};

    struct Creation {
        CLSID clsid;
        LPUNKNOWN outer;
        DWORD context;
        IID iid;
    };
    std::vector<Creation> creations;

    // The three properties as a diagnostic service reports them.
    void reports(ULONG major, ULONG minor, const wchar_t* letter);
    // Every reference handed out was released, nothing was used afterwards
    // and every VARIANT came in cleared.
    bool balanced() const;
};

// The system directory and the version information of files in it.
class FakeFileVersions {
public:
    explicit FakeFileVersions(FakeSystem& sys);
    FakeFileVersions(const FakeFileVersions&) = delete;
    FakeFileVersions& operator=(const FakeFileVersions&) = delete;

    std::string systemDirectory = "C:\\windows\\system32";
    bool systemDirectoryWorks = true;

    // How a file answers the three version calls.
    enum Kind {
        kGood,          // version information with a fixed part
        kNoInfo,        // GetFileVersionInfoSizeA gives 0 (also missing files)
        kInfoFails,     // GetFileVersionInfoA fails
        kQueryFails,    // VerQueryValueA fails
        kNullFixed,     // VerQueryValueA succeeds with a null pointer
        kShortFixed,    // VerQueryValueA gives a fixed part shorter than its size
    };
    struct File {
        uint64_t version;
        Kind kind;
    };
    // By name inside the system directory ("ddraw.dll"); a.b.c.d fields.
    void add(const std::string& name, uint16_t a, uint16_t b, uint16_t c, uint16_t d, Kind kind = kGood);
    std::map<std::string, File> files; // by full path

    std::vector<std::string> sizeAsked; // paths, in order
    std::vector<std::string> subBlocks; // what VerQueryValueA was asked for
};

// Fake DirectInput 8 objects for unit tests: the DirectInput object, devices
// (mouse, keyboard, game controllers) and effects.
//
// Each fake implements its whole interface; what a test does not script
// answers E_NOTIMPL. The fakes count references, record every call in one
// log in call order (object and method), record the arguments that the
// plug-in's behaviour depends on (GUIDs, data formats, cooperative levels,
// property headers, effect records) and answer with scripted results.
//
// A FakeDInput owns every object it hands out, so a test can look at an
// object after the plug-in released it. `install` makes the system seam's
// DirectInput8Create hand out the FakeDInput.
//
// The call log is reserved up front and polling records nothing else, so the
// polling commands can be checked for allocations with the fakes in place.
#pragma once

#include <windows.h>

#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0800
#endif
#include <dinput.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fakes/fake_system.h"

class FakeDInput;

// One call to a fake object.
struct DICall {
    const char* object; // the object's name
    const char* method;
};

// Common part of the fakes: name, reference count, misuse counters.
struct FakeObjectState {
    FakeDInput* owner = nullptr;
    std::string name;
    LONG refs = 0;
    int overReleases = 0;     // Release with no reference left
    int callsAfterRelease = 0; // any method called with no reference left
};

// A copy of a DIEFFECT as it reached CreateEffect or SetParameters, with the
// arrays it points at.
struct EffectRecord {
    GUID guid{};             // CreateEffect only
    DIEFFECT effect{};       // the record itself (its pointers are stale)
    std::vector<DWORD> axes; // cAxes entries of rgdwAxes
    std::vector<LONG> directions;
    bool hasTypeSpecific = false;
    LONG magnitude = 0; // of the DICONSTANTFORCE
    DWORD flags = 0;    // SetParameters only
    IUnknown* outer = nullptr;
};

// A property as it reached SetProperty: which one (DIPROP_* are small
// numbers cast to GUID references, so the address is the identity), its
// header and its value.
struct PropertyRecord {
    uintptr_t property = 0;
    DIPROPHEADER header{};
    DWORD dwData = 0;       // DIPROPDWORD
    LONG lMin = 0, lMax = 0; // DIPROPRANGE
};

uintptr_t propertyId(REFGUID property);

class FakeDIEffect : public IDirectInputEffect, public FakeObjectState {
public:
    HRESULT setParametersResult = DI_OK;
    std::vector<EffectRecord> parameters; // SetParameters calls

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD, REFGUID) override;
    HRESULT STDMETHODCALLTYPE GetEffectGuid(LPGUID) override;
    HRESULT STDMETHODCALLTYPE GetParameters(LPDIEFFECT, DWORD) override;
    HRESULT STDMETHODCALLTYPE SetParameters(LPCDIEFFECT, DWORD) override;
    HRESULT STDMETHODCALLTYPE Start(DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE GetEffectStatus(LPDWORD) override;
    HRESULT STDMETHODCALLTYPE Download() override;
    HRESULT STDMETHODCALLTYPE Unload() override;
    HRESULT STDMETHODCALLTYPE Escape(LPDIEFFESCAPE) override;
};

class FakeDIDevice : public IDirectInputDevice8A, public FakeObjectState {
public:
    // Scripted results.
    HRESULT createDeviceResult = DI_OK; // of the CreateDevice that opens this device
    bool deviceOnFailure = false;       // a failing CreateDevice still writes the device out, unreferenced
    HRESULT setDataFormatResult = DI_OK;
    HRESULT setCooperativeLevelResult = DI_OK;
    HRESULT setPropertyResult = DI_OK;
    // When set, answers SetProperty instead of setPropertyResult.
    std::function<HRESULT(const PropertyRecord&)> setPropertyHook;
    HRESULT getCapabilitiesResult = DI_OK;
    HRESULT enumObjectsResult = DI_OK;
    HRESULT createEffectResult = DI_OK;
    bool effectOnFailure = false; // a failing CreateEffect still writes an object out, unreferenced
    HRESULT acquireResult = DI_OK;
    HRESULT pollResult = DI_NOEFFECT;
    HRESULT getDeviceStateResult = DI_OK;

    // What the device reports.
    DIDEVCAPS caps{};
    std::vector<DIDEVICEOBJECTINSTANCEA> objects; // handed to EnumObjects' callback
    std::vector<BYTE> state = std::vector<BYTE>(256, 0);

    template <typename T>
    void setState(const T& s)
    {
        state.assign(sizeof s, 0);
        std::memcpy(state.data(), &s, sizeof s);
    }
    void setKeys(std::initializer_list<BYTE> scanCodes); // those down, the rest up

    // A stick, as the platform reports it: when set, GetDeviceState of a
    // DIJOYSTATE puts the stick's X and Y through the range and dead zone
    // that were set on the X and Y axes (by offset), as DirectInput does.
    // Positions are in 1/10000 of the travel from the centre (-10000 to 10000).
    void setStick(LONG x, LONG y);

    // Recorded arguments.
    std::vector<const DIDATAFORMAT*> dataFormats;
    struct Cooperative {
        HWND hwnd;
        DWORD flags;
    };
    std::vector<Cooperative> cooperativeLevels;
    std::vector<PropertyRecord> properties;
    std::vector<DWORD> capabilitySizes; // dwSize given to GetCapabilities
    struct Enumeration {
        DWORD flags;
        LPVOID context;
        int callbacks;
    };
    std::vector<Enumeration> objectEnumerations;
    std::vector<EffectRecord> createdEffects;
    std::vector<FakeDIEffect*> effects; // handed out by CreateEffect
    const DIDATAFORMAT* format = nullptr; // the last one accepted
    bool stick = false;
    LONG stickX = 0, stickY = 0;
    DWORD lastStateSize = 0;
    int stateReads = 0;
    int wrongStateSizes = 0;       // GetDeviceState with a size other than the data format's
    int releasedWithLiveEffects = 0; // the last reference went while an effect of it lived

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetCapabilities(LPDIDEVCAPS) override;
    HRESULT STDMETHODCALLTYPE EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA, LPVOID, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetProperty(REFGUID, LPDIPROPHEADER) override;
    HRESULT STDMETHODCALLTYPE SetProperty(REFGUID, LPCDIPROPHEADER) override;
    HRESULT STDMETHODCALLTYPE Acquire() override;
    HRESULT STDMETHODCALLTYPE Unacquire() override;
    HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD, LPVOID) override;
    HRESULT STDMETHODCALLTYPE GetDeviceData(DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT) override;
    HRESULT STDMETHODCALLTYPE SetEventNotification(HANDLE) override;
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetObjectInfo(LPDIDEVICEOBJECTINSTANCEA, DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetDeviceInfo(LPDIDEVICEINSTANCEA) override;
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override;
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD, REFGUID) override;
    HRESULT STDMETHODCALLTYPE CreateEffect(REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT*, LPUNKNOWN) override;
    HRESULT STDMETHODCALLTYPE EnumEffects(LPDIENUMEFFECTSCALLBACKA, LPVOID, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetEffectInfo(LPDIEFFECTINFOA, REFGUID) override;
    HRESULT STDMETHODCALLTYPE GetForceFeedbackState(LPDWORD) override;
    HRESULT STDMETHODCALLTYPE SendForceFeedbackCommand(DWORD) override;
    HRESULT STDMETHODCALLTYPE EnumCreatedEffectObjects(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD) override;
    HRESULT STDMETHODCALLTYPE Escape(LPDIEFFESCAPE) override;
    HRESULT STDMETHODCALLTYPE Poll() override;
    HRESULT STDMETHODCALLTYPE SendDeviceData(DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE EnumEffectsInFile(LPCSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID, DWORD) override;
    HRESULT STDMETHODCALLTYPE WriteEffectToFile(LPCSTR, DWORD, LPDIFILEEFFECT, DWORD) override;
    HRESULT STDMETHODCALLTYPE BuildActionMap(LPDIACTIONFORMATA, LPCSTR, DWORD) override;
    HRESULT STDMETHODCALLTYPE SetActionMap(LPDIACTIONFORMATA, LPCSTR, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetImageInfo(LPDIDEVICEIMAGEINFOHEADERA) override;
};

class FakeDInput : public IDirectInput8A, public FakeObjectState {
public:
    FakeDInput();
    ~FakeDInput();
    FakeDInput(const FakeDInput&) = delete;
    FakeDInput& operator=(const FakeDInput&) = delete;

    // Makes the seam's DirectInput8Create hand out this object.
    void install(FakeSystem& system);

    // DirectInput8Create: its answer and what it was given.
    HRESULT createResult = DI_OK;
    struct Creation {
        HINSTANCE instance;
        DWORD version;
        IID iid;
        LPUNKNOWN outer;
    };
    std::vector<Creation> creations;

    // The system devices, always present.
    FakeDIDevice& mouse();
    FakeDIDevice& keyboard();

    // An attached game controller, enumerated in the order added. Its
    // capabilities carry DIDC_FORCEFEEDBACK when asked, and EnumObjects
    // reports `axes` axis objects.
    struct Controller {
        DIDEVICEINSTANCEA instance;
        FakeDIDevice* device;
    };
    FakeDIDevice& addJoystick(const std::string& name, bool forceFeedback = false, int axes = 2);
    std::vector<Controller> controllers;
    // An Xbox-style pad: a controller whose product GUID carries the USB ids
    // (as DirectInput makes it for a HID device) and whose raw input
    // interface name marks it as an XInput device, connected at XInput's
    // user index `user` (-1: at none).
    FakeDIDevice& addXInputPad(FakeSystem& system, const std::string& name, bool forceFeedback, WORD vendor,
                               WORD product, int user);

    HRESULT enumDevicesResult = DI_OK;
    struct DeviceEnumeration {
        DWORD type;
        LPVOID context;
        DWORD flags;
        int callbacks;
    };
    std::vector<DeviceEnumeration> deviceEnumerations;
    std::vector<GUID> createdDevices; // GUIDs given to CreateDevice, in order

    // The log of every call to every fake, in order.
    std::vector<DICall> calls;
    void record(const FakeObjectState& object, const char* method);
    // "mouse.SetDataFormat", ... in call order.
    std::vector<std::string> trace() const;
    int count(const std::string& object, const std::string& method) const;

    // Empty when every object handed out has been released exactly as often
    // as it was referenced, nothing was used after its release and no device
    // went before its effects; otherwise what went wrong, one object a line.
    std::string releaseProblems() const;

    FakeDIEffect* newEffect(FakeDIDevice& device);
    FakeDIDevice* newDevice(const std::string& name);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID, LPDIRECTINPUTDEVICE8A*, LPUNKNOWN) override;
    HRESULT STDMETHODCALLTYPE EnumDevices(DWORD, LPDIENUMDEVICESCALLBACKA, LPVOID, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetDeviceStatus(REFGUID) override;
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override;
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD) override;
    HRESULT STDMETHODCALLTYPE FindDevice(REFGUID, LPCSTR, LPGUID) override;
    HRESULT STDMETHODCALLTYPE EnumDevicesBySemantics(LPCSTR, LPDIACTIONFORMATA, LPDIENUMDEVICESBYSEMANTICSCBA, LPVOID,
                                                     DWORD) override;
    HRESULT STDMETHODCALLTYPE ConfigureDevices(LPDICONFIGUREDEVICESCALLBACK, LPDICONFIGUREDEVICESPARAMSA, DWORD,
                                               LPVOID) override;

private:
    std::vector<std::unique_ptr<FakeDIDevice>> devices_;
    std::vector<std::unique_ptr<FakeDIEffect>> effects_;
    FakeDIDevice* mouse_;
    FakeDIDevice* keyboard_;
};

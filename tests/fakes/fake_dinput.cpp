#include "fakes/fake_dinput.h"

#include <algorithm>
#include <cstdio>

#include "fakes/fault_plan.h"

uintptr_t propertyId(REFGUID property)
{
    return reinterpret_cast<uintptr_t>(&property);
}

namespace {

// Logs a call and notes a use after the last release.
void touch(FakeObjectState& object, const char* method)
{
    object.owner->record(object, method);
    if (object.refs <= 0)
        ++object.callsAfterRelease;
}

ULONG addRef(FakeObjectState& object)
{
    object.owner->record(object, "AddRef");
    return static_cast<ULONG>(++object.refs);
}

ULONG release(FakeObjectState& object)
{
    object.owner->record(object, "Release");
    if (object.refs <= 0) {
        ++object.overReleases;
        return 0;
    }
    return static_cast<ULONG>(--object.refs);
}

template <typename Self>
HRESULT queryInterface(Self* self, FakeObjectState& object, REFIID iid, REFIID own, void** out)
{
    touch(object, "QueryInterface");
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, own)) {
        self->AddRef();
        *out = self;
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

EffectRecord copyEffect(LPCDIEFFECT e)
{
    EffectRecord r;
    if (!e)
        return r;
    r.effect = *e;
    const DWORD n = std::min<DWORD>(e->cAxes, 8); // a wild count reads no further than this
    if (e->rgdwAxes)
        r.axes.assign(e->rgdwAxes, e->rgdwAxes + n);
    if (e->rglDirection)
        r.directions.assign(e->rglDirection, e->rglDirection + n);
    if (e->lpvTypeSpecificParams && e->cbTypeSpecificParams >= sizeof(DICONSTANTFORCE)) {
        r.hasTypeSpecific = true;
        r.magnitude = static_cast<const DICONSTANTFORCE*>(e->lpvTypeSpecificParams)->lMagnitude;
    }
    return r;
}

} // namespace

// ---- FakeDIEffect ----

HRESULT FakeDIEffect::QueryInterface(REFIID iid, void** out)
{
    return queryInterface(this, *this, iid, IID_IDirectInputEffect, out);
}
ULONG FakeDIEffect::AddRef() { return addRef(*this); }
ULONG FakeDIEffect::Release() { return release(*this); }
HRESULT FakeDIEffect::Initialize(HINSTANCE, DWORD, REFGUID) { touch(*this, "Initialize"); return E_NOTIMPL; }
HRESULT FakeDIEffect::GetEffectGuid(LPGUID) { touch(*this, "GetEffectGuid"); return E_NOTIMPL; }
HRESULT FakeDIEffect::GetParameters(LPDIEFFECT, DWORD) { touch(*this, "GetParameters"); return E_NOTIMPL; }

HRESULT FakeDIEffect::SetParameters(LPCDIEFFECT effect, DWORD flags)
{
    touch(*this, "SetParameters");
    if (HRESULT hr; comFault(name.c_str(), "SetParameters", hr))
        return hr;
    EffectRecord r = copyEffect(effect);
    r.flags = flags;
    parameters.push_back(r);
    return setParametersResult;
}

HRESULT FakeDIEffect::Start(DWORD, DWORD) { touch(*this, "Start"); return E_NOTIMPL; }
HRESULT FakeDIEffect::Stop() { touch(*this, "Stop"); return E_NOTIMPL; }
HRESULT FakeDIEffect::GetEffectStatus(LPDWORD) { touch(*this, "GetEffectStatus"); return E_NOTIMPL; }
HRESULT FakeDIEffect::Download() { touch(*this, "Download"); return E_NOTIMPL; }
HRESULT FakeDIEffect::Unload() { touch(*this, "Unload"); return E_NOTIMPL; }
HRESULT FakeDIEffect::Escape(LPDIEFFESCAPE) { touch(*this, "Escape"); return E_NOTIMPL; }

// ---- FakeDIDevice ----

void FakeDIDevice::setKeys(std::initializer_list<BYTE> scanCodes)
{
    state.assign(256, 0);
    for (BYTE code : scanCodes)
        state[code] = 0x80;
}

void FakeDIDevice::setStick(LONG x, LONG y)
{
    stick = true;
    stickX = x;
    stickY = y;
}

namespace {

// Where DirectInput puts a stick position on an axis: inside the dead zone
// at the centre of the range, beyond it scaled over the rest of the travel.
// The default range is 0 to 65535, the default dead zone 0.
LONG axisValue(const std::vector<PropertyRecord>& properties, DWORD offset, LONG travel)
{
    LONG lo = 0, hi = 65535;
    DWORD zone = 0;
    for (const PropertyRecord& p : properties) {
        if (p.header.dwHow != DIPH_BYOFFSET || p.header.dwObj != offset)
            continue;
        if (p.property == propertyId(DIPROP_RANGE)) {
            lo = p.lMin;
            hi = p.lMax;
        } else if (p.property == propertyId(DIPROP_DEADZONE)) {
            zone = p.dwData;
        }
    }
    const double centre = (static_cast<double>(lo) + hi) / 2;
    const double half = (static_cast<double>(hi) - lo) / 2;
    const double a = travel < 0 ? -static_cast<double>(travel) : travel;
    if (a <= zone || zone >= 10000)
        return static_cast<LONG>(centre);
    const double pos = (a - zone) / (10000.0 - zone) * (travel < 0 ? -1 : 1);
    return static_cast<LONG>(centre + pos * half);
}

} // namespace

HRESULT FakeDIDevice::QueryInterface(REFIID iid, void** out)
{
    return queryInterface(this, *this, iid, IID_IDirectInputDevice8A, out);
}
ULONG FakeDIDevice::AddRef() { return addRef(*this); }

ULONG FakeDIDevice::Release()
{
    const ULONG left = release(*this);
    if (left == 0)
        for (const FakeDIEffect* e : effects)
            if (e->refs > 0)
                ++releasedWithLiveEffects;
    return left;
}

HRESULT FakeDIDevice::GetCapabilities(LPDIDEVCAPS out)
{
    touch(*this, "GetCapabilities");
    if (HRESULT hr; comFault(name.c_str(), "GetCapabilities", hr))
        return hr;
    capabilitySizes.push_back(out ? out->dwSize : 0);
    if (FAILED(getCapabilitiesResult))
        return getCapabilitiesResult;
    if (!out || out->dwSize != sizeof(DIDEVCAPS))
        return DIERR_INVALIDPARAM;
    *out = caps;
    out->dwSize = sizeof(DIDEVCAPS);
    return getCapabilitiesResult;
}

HRESULT FakeDIDevice::EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA callback, LPVOID context, DWORD flags)
{
    touch(*this, "EnumObjects");
    if (HRESULT hr; comFault(name.c_str(), "EnumObjects", hr))
        return hr;
    objectEnumerations.push_back({flags, context, 0});
    if (FAILED(enumObjectsResult))
        return enumObjectsResult;
    for (const DIDEVICEOBJECTINSTANCEA& object : objects) {
        ++objectEnumerations.back().callbacks;
        if (callback(&object, context) != DIENUM_CONTINUE)
            break;
    }
    return enumObjectsResult;
}

HRESULT FakeDIDevice::GetProperty(REFGUID, LPDIPROPHEADER) { touch(*this, "GetProperty"); return E_NOTIMPL; }

HRESULT FakeDIDevice::SetProperty(REFGUID property, LPCDIPROPHEADER header)
{
    touch(*this, "SetProperty");
    if (HRESULT hr; comFault(name.c_str(), "SetProperty", hr))
        return hr;
    PropertyRecord r;
    r.property = propertyId(property);
    if (header) {
        r.header = *header;
        if (header->dwSize == sizeof(DIPROPDWORD))
            r.dwData = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
        if (header->dwSize == sizeof(DIPROPRANGE)) {
            r.lMin = reinterpret_cast<const DIPROPRANGE*>(header)->lMin;
            r.lMax = reinterpret_cast<const DIPROPRANGE*>(header)->lMax;
        }
    }
    properties.push_back(r);
    return setPropertyHook ? setPropertyHook(r) : setPropertyResult;
}

HRESULT FakeDIDevice::Acquire()
{
    touch(*this, "Acquire");
    if (HRESULT hr; comFault(name.c_str(), "Acquire", hr))
        return hr;
    return acquireResult;
}

HRESULT FakeDIDevice::Unacquire()
{
    touch(*this, "Unacquire");
    if (HRESULT hr; comFault(name.c_str(), "Unacquire", hr))
        return hr;
    return DI_OK;
}

HRESULT FakeDIDevice::GetDeviceState(DWORD size, LPVOID data)
{
    touch(*this, "GetDeviceState");
    if (HRESULT hr; comFault(name.c_str(), "GetDeviceState", hr))
        return hr;
    ++stateReads;
    lastStateSize = size;
    if (getDeviceStateResult != DI_OK)
        return getDeviceStateResult;
    // The platform refuses a size that does not match the data format.
    if (format && size != format->dwDataSize) {
        ++wrongStateSizes;
        return DIERR_INVALIDPARAM;
    }
    std::memset(data, 0, size);
    std::memcpy(data, state.data(), std::min<size_t>(size, state.size()));
    if (stick && size == sizeof(DIJOYSTATE)) {
        auto* js = static_cast<DIJOYSTATE*>(data);
        js->lX = axisValue(properties, DIJOFS_X, stickX);
        js->lY = axisValue(properties, DIJOFS_Y, stickY);
    }
    return DI_OK;
}

HRESULT FakeDIDevice::GetDeviceData(DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD)
{
    touch(*this, "GetDeviceData");
    return E_NOTIMPL;
}

HRESULT FakeDIDevice::SetDataFormat(LPCDIDATAFORMAT f)
{
    touch(*this, "SetDataFormat");
    if (HRESULT hr; comFault(name.c_str(), "SetDataFormat", hr))
        return hr;
    dataFormats.push_back(f);
    if (SUCCEEDED(setDataFormatResult))
        format = f;
    return setDataFormatResult;
}

HRESULT FakeDIDevice::SetEventNotification(HANDLE) { touch(*this, "SetEventNotification"); return E_NOTIMPL; }

HRESULT FakeDIDevice::SetCooperativeLevel(HWND hwnd, DWORD flags)
{
    touch(*this, "SetCooperativeLevel");
    if (HRESULT hr; comFault(name.c_str(), "SetCooperativeLevel", hr))
        return hr;
    cooperativeLevels.push_back({hwnd, flags});
    return setCooperativeLevelResult;
}

HRESULT FakeDIDevice::GetObjectInfo(LPDIDEVICEOBJECTINSTANCEA, DWORD, DWORD)
{
    touch(*this, "GetObjectInfo");
    return E_NOTIMPL;
}
HRESULT FakeDIDevice::GetDeviceInfo(LPDIDEVICEINSTANCEA) { touch(*this, "GetDeviceInfo"); return E_NOTIMPL; }
HRESULT FakeDIDevice::RunControlPanel(HWND, DWORD) { touch(*this, "RunControlPanel"); return E_NOTIMPL; }
HRESULT FakeDIDevice::Initialize(HINSTANCE, DWORD, REFGUID) { touch(*this, "Initialize"); return E_NOTIMPL; }

HRESULT FakeDIDevice::CreateEffect(REFGUID guid, LPCDIEFFECT effect, LPDIRECTINPUTEFFECT* out, LPUNKNOWN outer)
{
    touch(*this, "CreateEffect");
    if (HRESULT hr; comFault(name.c_str(), "CreateEffect", hr, reinterpret_cast<void**>(out)))
        return hr;
    EffectRecord r = copyEffect(effect);
    r.guid = guid;
    r.outer = outer;
    createdEffects.push_back(r);
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (SUCCEEDED(createEffectResult) || effectOnFailure) {
        FakeDIEffect* e = owner->newEffect(*this);
        if (SUCCEEDED(createEffectResult))
            e->AddRef();
        *out = e;
    }
    return createEffectResult;
}

HRESULT FakeDIDevice::EnumEffects(LPDIENUMEFFECTSCALLBACKA, LPVOID, DWORD) { touch(*this, "EnumEffects"); return E_NOTIMPL; }
HRESULT FakeDIDevice::GetEffectInfo(LPDIEFFECTINFOA, REFGUID) { touch(*this, "GetEffectInfo"); return E_NOTIMPL; }
HRESULT FakeDIDevice::GetForceFeedbackState(LPDWORD) { touch(*this, "GetForceFeedbackState"); return E_NOTIMPL; }
HRESULT FakeDIDevice::SendForceFeedbackCommand(DWORD) { touch(*this, "SendForceFeedbackCommand"); return E_NOTIMPL; }
HRESULT FakeDIDevice::EnumCreatedEffectObjects(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD)
{
    touch(*this, "EnumCreatedEffectObjects");
    return E_NOTIMPL;
}
HRESULT FakeDIDevice::Escape(LPDIEFFESCAPE) { touch(*this, "Escape"); return E_NOTIMPL; }

HRESULT FakeDIDevice::Poll()
{
    touch(*this, "Poll");
    if (HRESULT hr; comFault(name.c_str(), "Poll", hr))
        return hr;
    return pollResult;
}

HRESULT FakeDIDevice::SendDeviceData(DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD)
{
    touch(*this, "SendDeviceData");
    return E_NOTIMPL;
}
HRESULT FakeDIDevice::EnumEffectsInFile(LPCSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID, DWORD)
{
    touch(*this, "EnumEffectsInFile");
    return E_NOTIMPL;
}
HRESULT FakeDIDevice::WriteEffectToFile(LPCSTR, DWORD, LPDIFILEEFFECT, DWORD)
{
    touch(*this, "WriteEffectToFile");
    return E_NOTIMPL;
}
HRESULT FakeDIDevice::BuildActionMap(LPDIACTIONFORMATA, LPCSTR, DWORD) { touch(*this, "BuildActionMap"); return E_NOTIMPL; }
HRESULT FakeDIDevice::SetActionMap(LPDIACTIONFORMATA, LPCSTR, DWORD) { touch(*this, "SetActionMap"); return E_NOTIMPL; }
HRESULT FakeDIDevice::GetImageInfo(LPDIDEVICEIMAGEINFOHEADERA) { touch(*this, "GetImageInfo"); return E_NOTIMPL; }

// ---- FakeDInput ----

FakeDInput::FakeDInput()
{
    owner = this;
    name = "dinput";
    // Polling must not make the log grow past what is reserved here.
    calls.reserve(1 << 14);
    mouse_ = newDevice("mouse");
    mouse_->setState(DIMOUSESTATE2{});
    keyboard_ = newDevice("keyboard");
}

FakeDInput::~FakeDInput() = default;

FakeDIDevice* FakeDInput::newDevice(const std::string& deviceName)
{
    devices_.push_back(std::make_unique<FakeDIDevice>());
    FakeDIDevice* d = devices_.back().get();
    d->owner = this;
    d->name = deviceName;
    d->caps.dwSize = sizeof(DIDEVCAPS);
    d->caps.dwFlags = DIDC_ATTACHED;
    return d;
}

FakeDIEffect* FakeDInput::newEffect(FakeDIDevice& device)
{
    effects_.push_back(std::make_unique<FakeDIEffect>());
    FakeDIEffect* e = effects_.back().get();
    e->owner = this;
    e->name = "effect of " + device.name;
    device.effects.push_back(e);
    return e;
}

void FakeDInput::install(FakeSystem& system)
{
    system.directInput8Create = [this](HINSTANCE instance, DWORD version, REFIID iid, LPVOID* out, LPUNKNOWN outer) {
        creations.push_back({instance, version, iid, outer});
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (FAILED(createResult))
            return createResult;
        AddRef();
        *out = static_cast<IDirectInput8A*>(this);
        return createResult;
    };
}

FakeDIDevice& FakeDInput::addXInputPad(FakeSystem& system, const std::string& padName, bool forceFeedback,
                                       WORD vendor, WORD product, int user)
{
    FakeDIDevice& d = addJoystick(padName, forceFeedback, 5);
    controllers.back().instance.guidProduct = {static_cast<DWORD>(vendor | product << 16), 0, 0,
                                               {0, 0, 'P', 'I', 'D', 'V', 'I', 'D'}};
    char raw[128];
    std::snprintf(raw, sizeof raw, "\\\\?\\HID#VID_%04X&PID_%04X&IG_%02d#7&1a2b3c&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}",
                  vendor, product, static_cast<int>(controllers.size()) - 1);
    system.rawDevices.push_back({RIM_TYPEHID, raw});
    if (user >= 0)
        system.xinputConnected[user] = true;
    return d;
}

FakeDIDevice& FakeDInput::mouse() { return *mouse_; }
FakeDIDevice& FakeDInput::keyboard() { return *keyboard_; }

FakeDIDevice& FakeDInput::addJoystick(const std::string& joystickName, bool forceFeedback, int axes)
{
    FakeDIDevice* d = newDevice(joystickName);
    d->caps.dwFlags = DIDC_ATTACHED | (forceFeedback ? DIDC_FORCEFEEDBACK : 0);
    d->caps.dwDevType = DI8DEVTYPE_JOYSTICK;
    d->caps.dwAxes = axes;
    d->caps.dwButtons = 16;
    const GUID* axisTypes[] = {&GUID_XAxis, &GUID_YAxis, &GUID_ZAxis, &GUID_RxAxis, &GUID_RyAxis, &GUID_RzAxis};
    for (int k = 0; k < axes; ++k) {
        DIDEVICEOBJECTINSTANCEA o{};
        o.dwSize = sizeof o;
        o.guidType = *axisTypes[k % 6];
        o.dwOfs = 4 * k;
        o.dwType = DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(k);
        std::snprintf(o.tszName, sizeof o.tszName, "axis %d", k);
        d->objects.push_back(o);
    }
    d->setState(DIJOYSTATE{});

    Controller c{};
    c.device = d;
    c.instance.dwSize = sizeof c.instance;
    const unsigned n = static_cast<unsigned>(controllers.size());
    c.instance.guidInstance = {0x7a000000u + n, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, static_cast<BYTE>(n)}};
    c.instance.guidProduct = {0x7b000000u + n, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
    c.instance.dwDevType = DI8DEVTYPE_JOYSTICK;
    std::snprintf(c.instance.tszInstanceName, sizeof c.instance.tszInstanceName, "%s", joystickName.c_str());
    std::snprintf(c.instance.tszProductName, sizeof c.instance.tszProductName, "%s", joystickName.c_str());
    controllers.push_back(c);
    return *d;
}

void FakeDInput::record(const FakeObjectState& object, const char* method)
{
    calls.push_back({object.name.c_str(), method});
}

std::vector<std::string> FakeDInput::trace() const
{
    std::vector<std::string> out;
    for (const DICall& c : calls)
        out.push_back(std::string(c.object) + "." + c.method);
    return out;
}

int FakeDInput::count(const std::string& object, const std::string& method) const
{
    int n = 0;
    for (const DICall& c : calls)
        if (object == c.object && method == c.method)
            ++n;
    return n;
}

std::string FakeDInput::releaseProblems() const
{
    std::string out;
    auto check = [&out](const FakeObjectState& o, int liveEffects) {
        if (o.refs != 0)
            out += o.name + ": " + std::to_string(o.refs) + " reference(s) left\n";
        if (o.overReleases)
            out += o.name + ": released " + std::to_string(o.overReleases) + " time(s) too often\n";
        if (o.callsAfterRelease)
            out += o.name + ": " + std::to_string(o.callsAfterRelease) + " call(s) after its release\n";
        if (liveEffects)
            out += o.name + ": released before its effect\n";
    };
    check(*this, 0);
    for (const auto& d : devices_)
        check(*d, d->releasedWithLiveEffects);
    for (const auto& e : effects_)
        check(*e, 0);
    return out;
}

HRESULT FakeDInput::QueryInterface(REFIID iid, void** out)
{
    return queryInterface(this, *this, iid, IID_IDirectInput8A, out);
}
ULONG FakeDInput::AddRef() { return addRef(*this); }
ULONG FakeDInput::Release() { return release(*this); }

HRESULT FakeDInput::CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICE8A* out, LPUNKNOWN outer)
{
    touch(*this, "CreateDevice");
    if (HRESULT hr; comFault(name.c_str(), "CreateDevice", hr, reinterpret_cast<void**>(out)))
        return hr;
    createdDevices.push_back(guid);
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (outer)
        return DIERR_NOAGGREGATION;
    FakeDIDevice* d = nullptr;
    if (IsEqualGUID(guid, GUID_SysMouse))
        d = mouse_;
    else if (IsEqualGUID(guid, GUID_SysKeyboard))
        d = keyboard_;
    else
        for (const Controller& c : controllers)
            if (IsEqualGUID(guid, c.instance.guidInstance))
                d = c.device;
    if (!d)
        return DIERR_DEVICENOTREG;
    // What a failing call leaves behind holds no reference.
    if (SUCCEEDED(d->createDeviceResult))
        d->AddRef();
    if (SUCCEEDED(d->createDeviceResult) || d->deviceOnFailure)
        *out = d;
    return d->createDeviceResult;
}

HRESULT FakeDInput::EnumDevices(DWORD type, LPDIENUMDEVICESCALLBACKA callback, LPVOID context, DWORD flags)
{
    touch(*this, "EnumDevices");
    if (HRESULT hr; comFault(name.c_str(), "EnumDevices", hr))
        return hr;
    deviceEnumerations.push_back({type, context, flags, 0});
    if (FAILED(enumDevicesResult))
        return enumDevicesResult;
    for (const Controller& c : controllers) {
        ++deviceEnumerations.back().callbacks;
        if (callback(&c.instance, context) != DIENUM_CONTINUE)
            break;
    }
    return enumDevicesResult;
}

HRESULT FakeDInput::GetDeviceStatus(REFGUID) { touch(*this, "GetDeviceStatus"); return E_NOTIMPL; }
HRESULT FakeDInput::RunControlPanel(HWND, DWORD) { touch(*this, "RunControlPanel"); return E_NOTIMPL; }
HRESULT FakeDInput::Initialize(HINSTANCE, DWORD) { touch(*this, "Initialize"); return E_NOTIMPL; }
HRESULT FakeDInput::FindDevice(REFGUID, LPCSTR, LPGUID) { touch(*this, "FindDevice"); return E_NOTIMPL; }
HRESULT FakeDInput::EnumDevicesBySemantics(LPCSTR, LPDIACTIONFORMATA, LPDIENUMDEVICESBYSEMANTICSCBA, LPVOID, DWORD)
{
    touch(*this, "EnumDevicesBySemantics");
    return E_NOTIMPL;
}
HRESULT FakeDInput::ConfigureDevices(LPDICONFIGUREDEVICESCALLBACK, LPDICONFIGUREDEVICESPARAMSA, DWORD, LPVOID)
{
    touch(*this, "ConfigureDevices");
    return E_NOTIMPL;
}

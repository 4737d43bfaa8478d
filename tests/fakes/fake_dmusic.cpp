#include "fakes/fake_dmusic.h"

#include <algorithm>
#include <cstring>

#include "fakes/fault_plan.h"

namespace {

template <class T> HRESULT handOut(T* object, void** out)
{
    object->AddRef();
    *out = object;
    return S_OK;
}

HRESULT noInterface(void** out)
{
    if (out)
        *out = nullptr;
    return E_NOINTERFACE;
}

} // namespace

// --- FakeSegment ------------------------------------------------------------

STDMETHODIMP FakeSegment::QueryInterface(REFIID riid, void** out)
{
    if (riid == IID_IUnknown || riid == IID_IDirectMusicSegment || riid == IID_IDirectMusicSegment8)
        return handOut(this, out);
    return noInterface(out);
}

STDMETHODIMP FakeSegment::SetRepeats(DWORD dwRepeats)
{
    log("SetRepeats");
    if (HRESULT hr; comFault(name().c_str(), "SetRepeats", hr))
        return hr;
    repeats.push_back(dwRepeats);
    return setRepeatsResult;
}

STDMETHODIMP FakeSegment::SetParam(REFGUID rguidType, DWORD dwGroupBits, DWORD dwIndex, MUSIC_TIME mtTime,
                                   void* pParam)
{
    log("SetParam");
    if (HRESULT hr; comFault(name().c_str(), "SetParam", hr))
        return hr;
    setParams.push_back({rguidType, dwGroupBits, dwIndex, mtTime, pParam});
    return setParamResult;
}

STDMETHODIMP FakeSegment::Download(IUnknown* pAudioPath)
{
    log("Download");
    if (HRESULT hr; comFault(name().c_str(), "Download", hr))
        return hr;
    downloads.push_back(pAudioPath);
    return downloadResult;
}

// --- Fake3DBuffer -----------------------------------------------------------

STDMETHODIMP Fake3DBuffer::QueryInterface(REFIID riid, void** out)
{
    if (riid == IID_IUnknown || riid == IID_IDirectSound3DBuffer)
        return handOut(this, out);
    return noInterface(out);
}

STDMETHODIMP Fake3DBuffer::SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD dwApply)
{
    log("SetPosition");
    if (HRESULT hr; comFault(name().c_str(), "SetPosition", hr))
        return hr;
    positions.push_back({x, y, z, dwApply});
    return setPositionResult;
}

// --- FakeDSBuffer8 ----------------------------------------------------------

STDMETHODIMP FakeDSBuffer8::QueryInterface(REFIID riid, void** out)
{
    if (riid == IID_IUnknown || riid == IID_IDirectSoundBuffer || riid == IID_IDirectSoundBuffer8)
        return handOut(this, out);
    return noInterface(out);
}

STDMETHODIMP FakeDSBuffer8::SetFX(DWORD dwEffectsCount, LPDSEFFECTDESC pDSFXDesc, LPDWORD pdwResultCodes)
{
    log("SetFX");
    if (HRESULT hr; comFault(name().c_str(), "SetFX", hr))
        return hr;
    SetFXCall call{dwEffectsCount, pDSFXDesc != nullptr, {}, pdwResultCodes};
    if (pDSFXDesc)
        call.descs.assign(pDSFXDesc, pDSFXDesc + dwEffectsCount);
    setFXs.push_back(call);
    return setFXResult;
}

// --- FakeAudioPath ----------------------------------------------------------

STDMETHODIMP FakeAudioPath::QueryInterface(REFIID riid, void** out)
{
    if (riid == IID_IUnknown || riid == IID_IDirectMusicAudioPath)
        return handOut(this, out);
    return noInterface(out);
}

STDMETHODIMP FakeAudioPath::GetObjectInPath(DWORD dwPChannel, DWORD dwStage, DWORD dwBuffer, REFGUID guidObject,
                                            WORD dwIndex, REFGUID iidInterface, void** ppObject)
{
    log("GetObjectInPath");
    if (HRESULT hr; comFault(name().c_str(), "GetObjectInPath", hr, reinterpret_cast<void**>(ppObject)))
        return hr;
    getObjects.push_back({dwPChannel, dwStage, dwBuffer, guidObject, dwIndex, iidInterface});
    if (iidInterface == IID_IDirectSound3DBuffer) {
        if (FAILED(get3DBufferResult))
            return *ppObject = nullptr, get3DBufferResult;
        return handOut(world_.buffer3D, ppObject);
    }
    if (iidInterface == IID_IDirectSoundBuffer8) {
        if (FAILED(getDSBufferResult))
            return *ppObject = nullptr, getDSBufferResult;
        return handOut(world_.dsBuffer, ppObject);
    }
    return noInterface(ppObject);
}

STDMETHODIMP FakeAudioPath::Activate(WINBOOL fActivate)
{
    log(fActivate ? "Activate(TRUE)" : "Activate(FALSE)");
    if (HRESULT hr; comFault(name().c_str(), "Activate", hr))
        return hr;
    activations.push_back(fActivate);
    return S_OK;
}

// --- FakeLoader -------------------------------------------------------------

STDMETHODIMP FakeLoader::QueryInterface(REFIID riid, void** out)
{
    if (riid == IID_IUnknown || riid == IID_IDirectMusicLoader || riid == IID_IDirectMusicLoader8)
        return handOut(this, out);
    return noInterface(out);
}

STDMETHODIMP FakeLoader::GetObject(LPDMUS_OBJECTDESC pDesc, REFIID riid, LPVOID* ppv)
{
    log("GetObject");
    if (HRESULT hr; comFault(name().c_str(), "GetObject", hr, reinterpret_cast<void**>(ppv)))
        return hr;
    GetObjectCall call{*pDesc, riid, {}};
    if ((pDesc->dwValidData & DMUS_OBJ_MEMORY) && pDesc->pbMemData) {
        const size_t n = static_cast<size_t>(std::min<LONGLONG>(pDesc->llMemLength, 16));
        call.firstBytes.assign(pDesc->pbMemData, pDesc->pbMemData + n);
    }
    getObjects.push_back(call);
    if (FAILED(getObjectResult)) {
        *ppv = nullptr;
        return getObjectResult;
    }
    return handOut(world_.newSegment(), ppv);
}

STDMETHODIMP FakeLoader::SetSearchDirectory(REFGUID rguidClass, WCHAR* pwzPath, WINBOOL fClear)
{
    log("SetSearchDirectory");
    if (HRESULT hr; comFault(name().c_str(), "SetSearchDirectory", hr))
        return hr;
    searchDirectories.push_back({rguidClass, pwzPath ? pwzPath : L"(null)", fClear});
    return setSearchDirectoryResult;
}

STDMETHODIMP FakeLoader::EnableCache(REFGUID rguidClass, WINBOOL fEnable)
{
    log("EnableCache");
    if (HRESULT hr; comFault(name().c_str(), "EnableCache", hr))
        return hr;
    enableCaches.push_back({rguidClass, fEnable});
    return S_OK;
}

STDMETHODIMP FakeLoader::LoadObjectFromFile(REFGUID rguidClassID, REFIID iidInterfaceID, WCHAR* pwzFilePath,
                                            void** ppObject)
{
    log("LoadObjectFromFile");
    if (HRESULT hr; comFault(name().c_str(), "LoadObjectFromFile", hr, reinterpret_cast<void**>(ppObject)))
        return hr;
    loadFiles.push_back({rguidClassID, iidInterfaceID, pwzFilePath ? pwzFilePath : L"(null)"});
    if (FAILED(loadObjectFromFileResult)) {
        *ppObject = nullptr;
        return loadObjectFromFileResult;
    }
    return handOut(world_.newSegment(), ppObject);
}

// --- FakePerformance --------------------------------------------------------

STDMETHODIMP FakePerformance::QueryInterface(REFIID riid, void** out)
{
    if (riid == IID_IUnknown || riid == IID_IDirectMusicPerformance || riid == IID_IDirectMusicPerformance8)
        return handOut(this, out);
    return noInterface(out);
}

ULONG STDMETHODCALLTYPE FakePerformance::Release()
{
    const ULONG left = FakeComObject::Release();
    if (left == 0)
        stopPlaying(nullptr);
    return left;
}

void FakePerformance::stopPlaying(IDirectMusicSegment* segment)
{
    std::vector<IDirectMusicSegment*> still;
    for (IDirectMusicSegment* s : playing) {
        if (!segment || s == segment)
            s->Release();
        else
            still.push_back(s);
    }
    playing = still;
}

STDMETHODIMP FakePerformance::Stop(IDirectMusicSegment* pSegment, IDirectMusicSegmentState* pSegmentState,
                                   MUSIC_TIME mtTime, DWORD dwFlags)
{
    log("Stop");
    if (HRESULT hr; comFault(name().c_str(), "Stop", hr))
        return hr;
    stops.push_back({pSegment, pSegmentState, mtTime, dwFlags});
    if (SUCCEEDED(stopResult))
        stopPlaying(pSegment);
    return stopResult;
}

STDMETHODIMP FakePerformance::IsPlaying(IDirectMusicSegment* pSegment, IDirectMusicSegmentState* pSegState)
{
    log("IsPlaying");
    if (HRESULT hr; comFault(name().c_str(), "IsPlaying", hr))
        return hr;
    isPlayings.push_back({pSegment, pSegState});
    if (isPlaying)
        return isPlaying(pSegment);
    if (!pSegment && !pSegState)
        return E_POINTER;
    return std::find(playing.begin(), playing.end(), pSegment) != playing.end() ? S_OK : S_FALSE;
}

STDMETHODIMP FakePerformance::GetGlobalParam(REFGUID rguidType, void* pParam, DWORD dwSize)
{
    log("GetGlobalParam");
    if (HRESULT hr; comFault(name().c_str(), "GetGlobalParam", hr))
        return hr;
    GlobalParamCall call{rguidType, dwSize, {}};
    if (FAILED(getGlobalParamResult)) {
        getGlobals.push_back(call);
        return getGlobalParamResult;
    }
    if (rguidType == GUID_PerfMasterTempo && dwSize == sizeof tempo)
        std::memcpy(pParam, &tempo, sizeof tempo);
    else if (rguidType == GUID_PerfMasterVolume && dwSize == sizeof volume)
        std::memcpy(pParam, &volume, sizeof volume);
    else
        return E_INVALIDARG;
    std::memcpy(call.value, pParam, 4);
    getGlobals.push_back(call);
    return S_OK;
}

STDMETHODIMP FakePerformance::SetGlobalParam(REFGUID rguidType, void* pParam, DWORD dwSize)
{
    log("SetGlobalParam");
    if (HRESULT hr; comFault(name().c_str(), "SetGlobalParam", hr))
        return hr;
    GlobalParamCall call{rguidType, dwSize, {}};
    std::memcpy(call.value, pParam, 4);
    setGlobals.push_back(call);
    if (FAILED(setGlobalParamResult))
        return setGlobalParamResult;
    if (rguidType == GUID_PerfMasterTempo && dwSize == sizeof tempo)
        std::memcpy(&tempo, pParam, sizeof tempo);
    else if (rguidType == GUID_PerfMasterVolume && dwSize == sizeof volume)
        std::memcpy(&volume, pParam, sizeof volume);
    else
        return E_INVALIDARG;
    return S_OK;
}

STDMETHODIMP FakePerformance::CloseDown()
{
    log("CloseDown");
    if (HRESULT hr; comFault(name().c_str(), "CloseDown", hr))
        return hr;
    ++closeDowns;
    stopPlaying(nullptr);
    return S_OK;
}

STDMETHODIMP FakePerformance::InitAudio(IDirectMusic** ppDirectMusic, IDirectSound** ppDirectSound, HWND hWnd,
                                        DWORD dwDefaultPathType, DWORD dwPChannelCount, DWORD dwFlags,
                                        DMUS_AUDIOPARAMS* pParams)
{
    log("InitAudio");
    if (HRESULT hr; comFault(name().c_str(), "InitAudio", hr))
        return hr;
    initAudios.push_back({ppDirectMusic, ppDirectSound, hWnd, dwDefaultPathType, dwPChannelCount, dwFlags, pParams});
    return initAudioResult;
}

STDMETHODIMP FakePerformance::PlaySegmentEx(IUnknown* pSource, WCHAR* pwzSegmentName, IUnknown* pTransition,
                                            DWORD dwFlags, __int64 i64StartTime,
                                            IDirectMusicSegmentState** ppSegmentState, IUnknown* pFrom,
                                            IUnknown* pAudioPath)
{
    log("PlaySegmentEx");
    if (HRESULT hr; comFault(name().c_str(), "PlaySegmentEx", hr))
        return hr;
    plays.push_back({pSource, pwzSegmentName, pTransition, dwFlags, i64StartTime, ppSegmentState, pFrom, pAudioPath});
    if (FAILED(playResult))
        return playResult;
    IDirectMusicSegment* segment = nullptr;
    if (pSource && SUCCEEDED(pSource->QueryInterface(IID_IDirectMusicSegment, reinterpret_cast<void**>(&segment))))
        playing.push_back(segment); // the reference QueryInterface added
    return S_OK;
}

STDMETHODIMP FakePerformance::CreateStandardAudioPath(DWORD dwType, DWORD dwPChannelCount, WINBOOL fActivate,
                                                      IDirectMusicAudioPath** ppNewPath)
{
    log("CreateStandardAudioPath");
    if (HRESULT hr; comFault(name().c_str(), "CreateStandardAudioPath", hr, reinterpret_cast<void**>(ppNewPath)))
        return hr;
    audioPaths.push_back({dwType, dwPChannelCount, fActivate});
    if (FAILED(createAudioPathResult)) {
        *ppNewPath = nullptr;
        return createAudioPathResult;
    }
    return handOut(world_.audioPath, reinterpret_cast<void**>(ppNewPath));
}

// --- FakeDMusic -------------------------------------------------------------

FakeDMusic::FakeDMusic(FakeSystem& sys) : sys_(sys)
{
    performance = new FakePerformance(*this);
    loader = new FakeLoader(*this);
    audioPath = new FakeAudioPath(*this);
    buffer3D = new Fake3DBuffer(*this);
    dsBuffer = new FakeDSBuffer8(*this);
    made_ = {performance, loader, audioPath, buffer3D, dsBuffer};
    sys_.coCreateInstance = [this](REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* out) {
        creates.push_back({clsid, outer, context, iid});
        if (clsid == CLSID_DirectMusicPerformance && iid == IID_IDirectMusicPerformance8) {
            if (FAILED(createPerformanceResult))
                return *out = nullptr, createPerformanceResult;
            return handOut(performance, out);
        }
        if (clsid == CLSID_DirectMusicLoader && iid == IID_IDirectMusicLoader8) {
            if (FAILED(createLoaderResult))
                return *out = nullptr, createLoaderResult;
            return handOut(loader, out);
        }
        *out = nullptr;
        return static_cast<HRESULT>(REGDB_E_CLASSNOTREG);
    };
}

FakeDMusic::~FakeDMusic()
{
    sys_.coCreateInstance = nullptr;
    performance->stopPlaying(nullptr);
    for (FakeObject* object : made_)
        delete object;
}

FakeSegment* FakeDMusic::newSegment()
{
    auto* segment = new FakeSegment(*this, "Segment" + std::to_string(segments.size() + 1));
    segment->setParamResult = segmentSetParamResult;
    segments.push_back(segment);
    made_.push_back(segment);
    return segment;
}

int FakeDMusic::count(const std::string& call) const
{
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

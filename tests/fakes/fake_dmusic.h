// Fake DirectMusic and DirectSound objects for the music tests: a
// performance, a loader, segments, the 3D audio path and its two buffer
// interfaces. Each implements its whole interface (E_NOTIMPL for what the
// plug-in does not call), counts its references, records the calls with the
// arguments that reach the platform and answers with scripted results.
//
// A FakeDMusic hands the performance and the loader out through the
// CoCreateInstance hook of a FakeSystem. It owns every object it made and
// deletes them when it ends, so that tests can look at an object after the
// plug-in let go of it: an object's count is only what was handed out, as
// the plug-in sees it; a Release below zero is counted in overReleases.
#pragma once

#include <windows.h>
#include <dmusici.h>
#include <dsound.h>

#include <functional>
#include <string>
#include <vector>

#include "fakes/fake_system.h"

class FakeDMusic;

// What the FakeDMusic deletes at its end, whatever the interface.
class FakeObject {
public:
    virtual ~FakeObject() = default;
};

// Reference counting and the shared call log.
template <class I> class FakeComObject : public I, public FakeObject {
public:
    FakeComObject(FakeDMusic& world, std::string name) : world_(world), name_(std::move(name)) {}
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override;
    // References handed out and not yet released.
    ULONG moduleRefs() const { return refs_; }
    const std::string& name() const { return name_; }

protected:
    void log(const char* call);
    FakeDMusic& world_;

private:
    std::string name_;
    ULONG refs_ = 0;
};

class FakeSegment : public FakeComObject<IDirectMusicSegment8> {
public:
    FakeSegment(FakeDMusic& world, std::string name) : FakeComObject(world, std::move(name)) {}

    HRESULT setParamResult = S_OK;
    HRESULT downloadResult = S_OK;
    HRESULT setRepeatsResult = S_OK;

    struct SetParamCall {
        GUID type;
        DWORD groupBits;
        DWORD index;
        MUSIC_TIME time;
        void* param;
    };
    std::vector<SetParamCall> setParams;
    std::vector<IUnknown*> downloads; // the target of each Download
    std::vector<DWORD> repeats;       // each SetRepeats

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP GetLength(MUSIC_TIME*) override { return E_NOTIMPL; }
    STDMETHODIMP SetLength(MUSIC_TIME) override { return E_NOTIMPL; }
    STDMETHODIMP GetRepeats(DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP SetRepeats(DWORD dwRepeats) override;
    STDMETHODIMP GetDefaultResolution(DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP SetDefaultResolution(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetTrack(REFGUID, DWORD, DWORD, IDirectMusicTrack**) override { return E_NOTIMPL; }
    STDMETHODIMP GetTrackGroup(IDirectMusicTrack*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP InsertTrack(IDirectMusicTrack*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP RemoveTrack(IDirectMusicTrack*) override { return E_NOTIMPL; }
    STDMETHODIMP InitPlay(IDirectMusicSegmentState**, IDirectMusicPerformance*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetGraph(IDirectMusicGraph**) override { return E_NOTIMPL; }
    STDMETHODIMP SetGraph(IDirectMusicGraph*) override { return E_NOTIMPL; }
    STDMETHODIMP AddNotificationType(REFGUID) override { return E_NOTIMPL; }
    STDMETHODIMP RemoveNotificationType(REFGUID) override { return E_NOTIMPL; }
    STDMETHODIMP GetParam(REFGUID, DWORD, DWORD, MUSIC_TIME, MUSIC_TIME*, void*) override { return E_NOTIMPL; }
    STDMETHODIMP SetParam(REFGUID rguidType, DWORD dwGroupBits, DWORD dwIndex, MUSIC_TIME mtTime,
                          void* pParam) override;
    STDMETHODIMP Clone(MUSIC_TIME, MUSIC_TIME, IDirectMusicSegment**) override { return E_NOTIMPL; }
    STDMETHODIMP SetStartPoint(MUSIC_TIME) override { return E_NOTIMPL; }
    STDMETHODIMP GetStartPoint(MUSIC_TIME*) override { return E_NOTIMPL; }
    STDMETHODIMP SetLoopPoints(MUSIC_TIME, MUSIC_TIME) override { return E_NOTIMPL; }
    STDMETHODIMP GetLoopPoints(MUSIC_TIME*, MUSIC_TIME*) override { return E_NOTIMPL; }
    STDMETHODIMP SetPChannelsUsed(DWORD, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP SetTrackConfig(REFGUID, DWORD, DWORD, DWORD, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetAudioPathConfig(IUnknown**) override { return E_NOTIMPL; }
    STDMETHODIMP Compose(MUSIC_TIME, IDirectMusicSegment*, IDirectMusicSegment*, IDirectMusicSegment**) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP Download(IUnknown* pAudioPath) override;
    STDMETHODIMP Unload(IUnknown*) override { return E_NOTIMPL; }
};

class Fake3DBuffer : public FakeComObject<IDirectSound3DBuffer> {
public:
    explicit Fake3DBuffer(FakeDMusic& world) : FakeComObject(world, "3DBuffer") {}

    HRESULT setPositionResult = S_OK;
    struct Position {
        float x, y, z;
        DWORD apply;
    };
    std::vector<Position> positions;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP GetAllParameters(LPDS3DBUFFER) override { return E_NOTIMPL; }
    STDMETHODIMP GetConeAngles(LPDWORD, LPDWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetConeOrientation(LPD3DVECTOR) override { return E_NOTIMPL; }
    STDMETHODIMP GetConeOutsideVolume(LPLONG) override { return E_NOTIMPL; }
    STDMETHODIMP GetMaxDistance(LPD3DVALUE) override { return E_NOTIMPL; }
    STDMETHODIMP GetMinDistance(LPD3DVALUE) override { return E_NOTIMPL; }
    STDMETHODIMP GetMode(LPDWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetPosition(LPD3DVECTOR) override { return E_NOTIMPL; }
    STDMETHODIMP GetVelocity(LPD3DVECTOR) override { return E_NOTIMPL; }
    STDMETHODIMP SetAllParameters(LPCDS3DBUFFER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetConeAngles(DWORD, DWORD, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetConeOrientation(D3DVALUE, D3DVALUE, D3DVALUE, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetConeOutsideVolume(LONG, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetMaxDistance(D3DVALUE, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetMinDistance(D3DVALUE, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetMode(DWORD, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD dwApply) override;
    STDMETHODIMP SetVelocity(D3DVALUE, D3DVALUE, D3DVALUE, DWORD) override { return E_NOTIMPL; }
};

class FakeDSBuffer8 : public FakeComObject<IDirectSoundBuffer8> {
public:
    explicit FakeDSBuffer8(FakeDMusic& world) : FakeComObject(world, "DSBuffer") {}

    HRESULT setFXResult = S_OK;
    struct SetFXCall {
        DWORD count;
        bool descsGiven;
        std::vector<DSEFFECTDESC> descs;
        DWORD* resultCodes;
    };
    std::vector<SetFXCall> setFXs;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP GetCaps(LPDSBCAPS) override { return E_NOTIMPL; }
    STDMETHODIMP GetCurrentPosition(LPDWORD, LPDWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetFormat(LPWAVEFORMATEX, DWORD, LPDWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetVolume(LPLONG) override { return E_NOTIMPL; }
    STDMETHODIMP GetPan(LPLONG) override { return E_NOTIMPL; }
    STDMETHODIMP GetFrequency(LPDWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetStatus(LPDWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Initialize(LPDIRECTSOUND, LPCDSBUFFERDESC) override { return E_NOTIMPL; }
    STDMETHODIMP Lock(DWORD, DWORD, LPVOID*, LPDWORD, LPVOID*, LPDWORD, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Play(DWORD, DWORD, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetCurrentPosition(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetFormat(LPCWAVEFORMATEX) override { return E_NOTIMPL; }
    STDMETHODIMP SetVolume(LONG) override { return E_NOTIMPL; }
    STDMETHODIMP SetPan(LONG) override { return E_NOTIMPL; }
    STDMETHODIMP SetFrequency(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Stop() override { return E_NOTIMPL; }
    STDMETHODIMP Unlock(LPVOID, DWORD, LPVOID, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Restore() override { return E_NOTIMPL; }
    STDMETHODIMP SetFX(DWORD dwEffectsCount, LPDSEFFECTDESC pDSFXDesc, LPDWORD pdwResultCodes) override;
    STDMETHODIMP AcquireResources(DWORD, DWORD, LPDWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetObjectInPath(REFGUID, DWORD, REFGUID, LPVOID*) override { return E_NOTIMPL; }
};

class FakeAudioPath : public FakeComObject<IDirectMusicAudioPath> {
public:
    explicit FakeAudioPath(FakeDMusic& world) : FakeComObject(world, "AudioPath") {}

    // Answers of GetObjectInPath by interface; a failure hands out nothing.
    HRESULT get3DBufferResult = S_OK;
    HRESULT getDSBufferResult = S_OK;

    struct GetObjectCall {
        DWORD pchannel;
        DWORD stage;
        DWORD buffer;
        GUID object;
        DWORD index;
        IID iid;
    };
    std::vector<GetObjectCall> getObjects;
    std::vector<BOOL> activations;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP GetObjectInPath(DWORD dwPChannel, DWORD dwStage, DWORD dwBuffer, REFGUID guidObject, WORD dwIndex,
                                 REFGUID iidInterface, void** ppObject) override;
    STDMETHODIMP Activate(WINBOOL fActivate) override;
    STDMETHODIMP SetVolume(LONG, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP ConvertPChannel(DWORD, DWORD*) override { return E_NOTIMPL; }
};

class FakeLoader : public FakeComObject<IDirectMusicLoader8> {
public:
    explicit FakeLoader(FakeDMusic& world) : FakeComObject(world, "Loader") {}

    HRESULT setSearchDirectoryResult = S_OK;
    HRESULT getObjectResult = S_OK;
    HRESULT loadObjectFromFileResult = S_OK;

    struct GetObjectCall {
        DMUS_OBJECTDESC desc;
        IID iid;
        std::vector<unsigned char> firstBytes; // up to 16 bytes of pbMemData
    };
    std::vector<GetObjectCall> getObjects;
    struct LoadFileCall {
        GUID classId;
        IID iid;
        std::wstring path;
    };
    std::vector<LoadFileCall> loadFiles;
    struct SearchDirectoryCall {
        GUID classId;
        std::wstring path;
        BOOL clear;
    };
    std::vector<SearchDirectoryCall> searchDirectories;
    struct EnableCacheCall {
        GUID classId;
        BOOL enable;
    };
    std::vector<EnableCacheCall> enableCaches;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP GetObject(LPDMUS_OBJECTDESC pDesc, REFIID riid, LPVOID* ppv) override;
    STDMETHODIMP SetObject(LPDMUS_OBJECTDESC) override { return E_NOTIMPL; }
    STDMETHODIMP SetSearchDirectory(REFGUID rguidClass, WCHAR* pwzPath, WINBOOL fClear) override;
    STDMETHODIMP ScanDirectory(REFGUID, WCHAR*, WCHAR*) override { return E_NOTIMPL; }
    STDMETHODIMP CacheObject(IDirectMusicObject*) override { return E_NOTIMPL; }
    STDMETHODIMP ReleaseObject(IDirectMusicObject*) override { return E_NOTIMPL; }
    STDMETHODIMP ClearCache(REFGUID) override { return E_NOTIMPL; }
    STDMETHODIMP EnableCache(REFGUID rguidClass, WINBOOL fEnable) override;
    STDMETHODIMP EnumObject(REFGUID, DWORD, LPDMUS_OBJECTDESC) override { return E_NOTIMPL; }
    void STDMETHODCALLTYPE CollectGarbage() override {}
    STDMETHODIMP ReleaseObjectByUnknown(IUnknown*) override { return E_NOTIMPL; }
    STDMETHODIMP LoadObjectFromFile(REFGUID rguidClassID, REFIID iidInterfaceID, WCHAR* pwzFilePath,
                                    void** ppObject) override;
};

class FakePerformance : public FakeComObject<IDirectMusicPerformance8> {
public:
    explicit FakePerformance(FakeDMusic& world) : FakeComObject(world, "Performance") {}
    // A performance whose last reference goes lets go of what it plays.
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT initAudioResult = S_OK;
    HRESULT createAudioPathResult = S_OK;
    HRESULT setGlobalParamResult = S_OK;
    HRESULT getGlobalParamResult = S_OK;
    HRESULT stopResult = S_OK;
    HRESULT playResult = S_OK;
    // IsPlaying: unset, it answers S_OK for a segment that PlaySegmentEx
    // started and no Stop ended, S_FALSE for other segments and E_POINTER
    // for none. A playing segment is held by the performance, as a segment
    // state holds its segment.
    std::function<HRESULT(IDirectMusicSegment*)> isPlaying;

    struct InitAudioCall {
        IDirectMusic** music;
        IDirectSound** sound;
        HWND window;
        DWORD pathType;
        DWORD pchannels;
        DWORD flags;
        DMUS_AUDIOPARAMS* params;
    };
    std::vector<InitAudioCall> initAudios;
    struct AudioPathCall {
        DWORD type;
        DWORD pchannels;
        BOOL activate;
    };
    std::vector<AudioPathCall> audioPaths;
    struct GlobalParamCall {
        GUID type;
        DWORD size;
        unsigned char value[4]; // the first four bytes at pParam
    };
    std::vector<GlobalParamCall> setGlobals;
    std::vector<GlobalParamCall> getGlobals;
    struct PlayCall {
        IUnknown* source;
        WCHAR* segmentName;
        IUnknown* transition;
        DWORD flags;
        __int64 startTime;
        IDirectMusicSegmentState** state;
        IUnknown* from;
        IUnknown* audioPath;
    };
    std::vector<PlayCall> plays;
    struct StopCall {
        IDirectMusicSegment* segment;
        IDirectMusicSegmentState* state;
        MUSIC_TIME time;
        DWORD flags;
    };
    std::vector<StopCall> stops;
    struct IsPlayingCall {
        IDirectMusicSegment* segment;
        IDirectMusicSegmentState* state;
    };
    std::vector<IsPlayingCall> isPlayings;
    int closeDowns = 0;

    // The stored global parameters: master tempo 1.0 and volume 0 as the
    // platform starts them, until SetGlobalParam changes them.
    float tempo = 1.0f;
    long volume = 0;

    std::vector<IDirectMusicSegment*> playing;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP Init(IDirectMusic**, LPDIRECTSOUND, HWND) override { return E_NOTIMPL; }
    STDMETHODIMP PlaySegment(IDirectMusicSegment*, DWORD, __int64, IDirectMusicSegmentState**) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP Stop(IDirectMusicSegment* pSegment, IDirectMusicSegmentState* pSegmentState, MUSIC_TIME mtTime,
                      DWORD dwFlags) override;
    STDMETHODIMP GetSegmentState(IDirectMusicSegmentState**, MUSIC_TIME) override { return E_NOTIMPL; }
    STDMETHODIMP SetPrepareTime(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetPrepareTime(DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP SetBumperLength(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetBumperLength(DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP SendPMsg(DMUS_PMSG*) override { return E_NOTIMPL; }
    STDMETHODIMP MusicToReferenceTime(MUSIC_TIME, REFERENCE_TIME*) override { return E_NOTIMPL; }
    STDMETHODIMP ReferenceToMusicTime(REFERENCE_TIME, MUSIC_TIME*) override { return E_NOTIMPL; }
    STDMETHODIMP IsPlaying(IDirectMusicSegment* pSegment, IDirectMusicSegmentState* pSegState) override;
    STDMETHODIMP GetTime(REFERENCE_TIME*, MUSIC_TIME*) override { return E_NOTIMPL; }
    STDMETHODIMP AllocPMsg(ULONG, DMUS_PMSG**) override { return E_NOTIMPL; }
    STDMETHODIMP FreePMsg(DMUS_PMSG*) override { return E_NOTIMPL; }
    STDMETHODIMP GetGraph(IDirectMusicGraph**) override { return E_NOTIMPL; }
    STDMETHODIMP SetGraph(IDirectMusicGraph*) override { return E_NOTIMPL; }
    STDMETHODIMP SetNotificationHandle(HANDLE, REFERENCE_TIME) override { return E_NOTIMPL; }
    STDMETHODIMP GetNotificationPMsg(DMUS_NOTIFICATION_PMSG**) override { return E_NOTIMPL; }
    STDMETHODIMP AddNotificationType(REFGUID) override { return E_NOTIMPL; }
    STDMETHODIMP RemoveNotificationType(REFGUID) override { return E_NOTIMPL; }
    STDMETHODIMP AddPort(IDirectMusicPort*) override { return E_NOTIMPL; }
    STDMETHODIMP RemovePort(IDirectMusicPort*) override { return E_NOTIMPL; }
    STDMETHODIMP AssignPChannelBlock(DWORD, IDirectMusicPort*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP AssignPChannel(DWORD, IDirectMusicPort*, DWORD, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP PChannelInfo(DWORD, IDirectMusicPort**, DWORD*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP DownloadInstrument(IDirectMusicInstrument*, DWORD, IDirectMusicDownloadedInstrument**,
                                    DMUS_NOTERANGE*, DWORD, IDirectMusicPort**, DWORD*, DWORD*) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP Invalidate(MUSIC_TIME, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetParam(REFGUID, DWORD, DWORD, MUSIC_TIME, MUSIC_TIME*, void*) override { return E_NOTIMPL; }
    STDMETHODIMP SetParam(REFGUID, DWORD, DWORD, MUSIC_TIME, void*) override { return E_NOTIMPL; }
    STDMETHODIMP GetGlobalParam(REFGUID rguidType, void* pParam, DWORD dwSize) override;
    STDMETHODIMP SetGlobalParam(REFGUID rguidType, void* pParam, DWORD dwSize) override;
    STDMETHODIMP GetLatencyTime(REFERENCE_TIME*) override { return E_NOTIMPL; }
    STDMETHODIMP GetQueueTime(REFERENCE_TIME*) override { return E_NOTIMPL; }
    STDMETHODIMP AdjustTime(REFERENCE_TIME) override { return E_NOTIMPL; }
    STDMETHODIMP CloseDown() override;
    STDMETHODIMP GetResolvedTime(REFERENCE_TIME, REFERENCE_TIME*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP MIDIToMusic(BYTE, DMUS_CHORD_KEY*, BYTE, BYTE, WORD*) override { return E_NOTIMPL; }
    STDMETHODIMP MusicToMIDI(WORD, DMUS_CHORD_KEY*, BYTE, BYTE, BYTE*) override { return E_NOTIMPL; }
    STDMETHODIMP TimeToRhythm(MUSIC_TIME, DMUS_TIMESIGNATURE*, WORD*, BYTE*, BYTE*, short*) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP RhythmToTime(WORD, BYTE, BYTE, short, DMUS_TIMESIGNATURE*, MUSIC_TIME*) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP InitAudio(IDirectMusic** ppDirectMusic, IDirectSound** ppDirectSound, HWND hWnd,
                           DWORD dwDefaultPathType, DWORD dwPChannelCount, DWORD dwFlags,
                           DMUS_AUDIOPARAMS* pParams) override;
    STDMETHODIMP PlaySegmentEx(IUnknown* pSource, WCHAR* pwzSegmentName, IUnknown* pTransition, DWORD dwFlags,
                               __int64 i64StartTime, IDirectMusicSegmentState** ppSegmentState, IUnknown* pFrom,
                               IUnknown* pAudioPath) override;
    STDMETHODIMP StopEx(IUnknown*, __int64, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP ClonePMsg(DMUS_PMSG*, DMUS_PMSG**) override { return E_NOTIMPL; }
    STDMETHODIMP CreateAudioPath(IUnknown*, WINBOOL, IDirectMusicAudioPath**) override { return E_NOTIMPL; }
    STDMETHODIMP CreateStandardAudioPath(DWORD dwType, DWORD dwPChannelCount, WINBOOL fActivate,
                                         IDirectMusicAudioPath** ppNewPath) override;
    STDMETHODIMP SetDefaultAudioPath(IDirectMusicAudioPath*) override { return E_NOTIMPL; }
    STDMETHODIMP GetDefaultAudioPath(IDirectMusicAudioPath**) override { return E_NOTIMPL; }
    STDMETHODIMP GetParamEx(REFGUID, DWORD, DWORD, DWORD, MUSIC_TIME, MUSIC_TIME*, void*) override
    {
        return E_NOTIMPL;
    }

    // Ends every playing instance (as the platform does when music stops).
    void stopPlaying(IDirectMusicSegment* segment);
};

class FakeDMusic {
public:
    // Installs the CoCreateInstance hook on `sys`.
    explicit FakeDMusic(FakeSystem& sys);
    ~FakeDMusic();
    FakeDMusic(const FakeDMusic&) = delete;
    FakeDMusic& operator=(const FakeDMusic&) = delete;

    HRESULT createPerformanceResult = S_OK;
    HRESULT createLoaderResult = S_OK;
    // What the segments made from now on answer to SetParam.
    HRESULT segmentSetParamResult = S_OK;

    struct CreateCall {
        CLSID clsid;
        IUnknown* outer;
        DWORD context;
        IID iid;
    };
    std::vector<CreateCall> creates;

    // Every call of every object in order, as "Object.Method" (Release too).
    std::vector<std::string> calls;
    int count(const std::string& call) const;
    // Objects released more often than they were handed out.
    std::vector<std::string> overReleases;

    FakePerformance* performance;
    FakeLoader* loader;
    FakeAudioPath* audioPath;
    Fake3DBuffer* buffer3D;
    FakeDSBuffer8* dsBuffer;
    // The segments the loader made, in order ("Segment1", "Segment2", ...).
    std::vector<FakeSegment*> segments;

    FakeSegment* newSegment();

private:
    FakeSystem& sys_;
    std::vector<FakeObject*> made_; // deleted by the destructor
};

template <class I> ULONG STDMETHODCALLTYPE FakeComObject<I>::Release()
{
    log("Release");
    if (refs_ == 0) {
        world_.overReleases.push_back(name_);
        return 0;
    }
    return --refs_;
}

template <class I> void FakeComObject<I>::log(const char* call)
{
    world_.calls.push_back(name_ + "." + call);
}

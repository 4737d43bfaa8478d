// movie-yuv-video RAW_I420_AVI MJPEG_AVI SILENT_MJPEG_AVI
//
// The movie commands' DirectShow calls, in their order, made by a plain
// program over a window of its own: Stop, SetPositions, RenderFile,
// put_Owner, put_WindowStyle, SetWindowPosition, put_Visible, Run, with the
// window's messages drained while it plays. The playing runs in a child
// process under this one as its debugger, so that a platform that dies in
// it gives an answer instead of taking the test down.
#include <windows.h>
#include <dshow.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform.h"

namespace {

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void drain()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Tells the parent one fact: it reads these as its debugger.
void tell(const std::string& fact)
{
    OutputDebugStringA(fact.c_str());
}

// The renderer a graph ended with and the picture format it takes.
std::string videoPath(IGraphBuilder* graph)
{
    std::string found = "no video renderer";
    IEnumFilters* filters = nullptr;
    if (FAILED(graph->EnumFilters(&filters)))
        return found;
    IBaseFilter* f = nullptr;
    while (filters->Next(1, &f, nullptr) == S_OK) {
        CLSID clsid{};
        f->GetClassID(&clsid);
        const char* name = clsid == CLSID_VideoRenderer            ? "Video Renderer"
                           : clsid == CLSID_VideoMixingRenderer    ? "VMR-7"
                           : clsid == CLSID_VideoMixingRenderer9   ? "VMR-9"
                                                                   : nullptr;
        if (name) {
            found = name;
            IEnumPins* pins = nullptr;
            IPin* pin = nullptr;
            if (SUCCEEDED(f->EnumPins(&pins))) {
                AM_MEDIA_TYPE mt{};
                if (pins->Next(1, &pin, nullptr) == S_OK && pin->ConnectionMediaType(&mt) == S_OK) {
                    char fourcc[5] = {};
                    std::memcpy(fourcc, &mt.subtype.Data1, 4);
                    found += mt.subtype == MEDIASUBTYPE_RGB32   ? ", RGB32"
                             : mt.subtype == MEDIASUBTYPE_RGB24 ? ", RGB24"
                                                                : std::string(", ") + fourcc;
                    CoTaskMemFree(mt.pbFormat);
                    if (mt.pUnk)
                        mt.pUnk->Release();
                }
                if (pin)
                    pin->Release();
                pins->Release();
            }
        }
        f->Release();
    }
    filters->Release();
    return found;
}

// The child: loads and plays the movie as the plug-in does. Its exit code
// is 0 when the movie ran to its end with the process heap intact.
int play(const char* path)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "movie-yuv-video";
    RegisterClassA(&wc);
    HWND host = CreateWindowA(wc.lpszClassName, "movie-yuv-video", WS_OVERLAPPEDWINDOW, 0, 0, 656, 519, nullptr,
                              nullptr, wc.hInstance, nullptr);
    ShowWindow(host, SW_SHOW);
    drain();

    CoInitialize(nullptr);
    IGraphBuilder* graph = nullptr;
    IMediaControl* control = nullptr;
    IMediaEvent* events = nullptr;
    IMediaSeeking* seeking = nullptr;
    IVideoWindow* window = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                reinterpret_cast<void**>(&graph))) ||
        FAILED(graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control))) ||
        FAILED(graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events))) ||
        FAILED(graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking))) ||
        FAILED(graph->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(&window)))) {
        tell("result=no filter graph");
        return 2;
    }
    control->Stop();
    LONGLONG start = 0;
    seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH);
    const HRESULT rendered = graph->RenderFile(wide, nullptr);
    tell("video=" + videoPath(graph));
    const HRESULT owned = window->put_Owner(reinterpret_cast<OAHWND>(host));
    tell("load=" + hexResult(rendered) + " " + hexResult(owned));
    if (FAILED(rendered) || FAILED(owned)) {
        tell("result=not loaded");
        return 2;
    }
    window->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS);
    RECT client{};
    GetClientRect(host, &client);
    window->SetWindowPosition(client.left, client.top, client.right, client.bottom);
    window->put_Visible(OATRUE);
    control->Run();

    long code = 0;
    for (int i = 0; i < 200 && code != EC_COMPLETE; ++i) {
        drain();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        code = 0;
        events->WaitForCompletion(0, &code);
    }
    control->Stop();
    window->put_Visible(OAFALSE);
    window->put_Owner(0);
    window->Release();
    seeking->Release();
    events->Release();
    control->Release();
    graph->Release();
    CoUninitialize();
    DestroyWindow(host);
    drain();
    if (!HeapValidate(GetProcessHeap(), 0, nullptr)) {
        tell("result=heap damaged");
        return 3;
    }
    tell(code == EC_COMPLETE ? "result=played to the end" : "result=did not end within 10 s");
    return code == EC_COMPLETE ? 0 : 2;
}

struct Child {
    std::string video, load, result;
};

// Runs this program as `--play PATH` under itself as debugger and collects
// what it tells. A second-chance exception ends the child and is the result.
Child runChild(const char* path)
{
    Child child;
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string cmd = std::string("\"") + self + "\" --play \"" + path + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr, &si,
                        &pi)) {
        child.result = "could not start";
        return child;
    }
    const DWORD deadline = GetTickCount() + 60000;
    for (bool done = false; !done;) {
        DEBUG_EVENT ev{};
        if (!WaitForDebugEvent(&ev, 1000)) {
            // Ended after a minute; its exit event still comes.
            if (child.result.empty() && GetTickCount() > deadline) {
                child.result = "hung";
                TerminateProcess(pi.hProcess, 1);
            }
            continue;
        }
        DWORD status = DBG_CONTINUE;
        switch (ev.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            CloseHandle(ev.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            CloseHandle(ev.u.LoadDll.hFile);
            break;
        case OUTPUT_DEBUG_STRING_EVENT: {
            char text[512] = {};
            const SIZE_T n = ev.u.DebugString.nDebugStringLength < sizeof text - 1
                                 ? ev.u.DebugString.nDebugStringLength
                                 : sizeof text - 1;
            ReadProcessMemory(pi.hProcess, ev.u.DebugString.lpDebugStringData, text, n, nullptr);
            const std::string fact(text);
            const size_t eq = fact.find('=');
            const std::string key = fact.substr(0, eq), value = eq == std::string::npos ? "" : fact.substr(eq + 1);
            if (key == "video")
                child.video = value;
            else if (key == "load")
                child.load = value;
            else if (key == "result" && child.result.empty())
                child.result = value;
            break;
        }
        case EXCEPTION_DEBUG_EVENT: {
            const EXCEPTION_RECORD& er = ev.u.Exception.ExceptionRecord;
            if (ev.u.Exception.dwFirstChance) {
                // The loader's breakpoint is ours to pass; anything else is
                // the child's to handle.
                status = er.ExceptionCode == EXCEPTION_BREAKPOINT ? DBG_CONTINUE : DBG_EXCEPTION_NOT_HANDLED;
            } else {
                if (child.result.empty())
                    child.result = "died: " + hexResult(static_cast<HRESULT>(er.ExceptionCode));
                TerminateProcess(pi.hProcess, er.ExceptionCode);
            }
            break;
        }
        case EXIT_PROCESS_DEBUG_EVENT:
            done = true;
            break;
        default:
            break;
        }
        ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, status);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return child;
}

} // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc == 3 && std::strcmp(argv[1], "--play") == 0)
        return play(argv[2]);
    if (argc != 4) {
        std::fprintf(stderr, "usage: movie-yuv-video RAW_I420_AVI MJPEG_AVI SILENT_MJPEG_AVI\n");
        return 2;
    }
    int failures = 0;

    // Raw I420 frames. Wine 10's default renderer is the VMR-7, which takes
    // YV12 into a DirectDraw surface. Without 3D (the GDI renderer, or no
    // 32-bit OpenGL) wined3d sizes a YV12 surface at one byte a pixel with no
    // room for the two chroma planes: 19 200 bytes for 160 x 120, into which
    // the renderer copies the 28 800-byte frame. The heap overrun kills the
    // process a moment later in another allocation, in a thread that is not
    // the one that plays.
    const Child raw = runChild(argv[1]);
    const Answer rawVideo[] = {
        {"wine8", "Video Renderer, RGB32", "GDI renderer; GStreamer converts to RGB"},
        {"wine10", "VMR-7, YV12", "VMR-7 is the default renderer and takes YUV"},
        {"windows", "*", "depends on the installed decoders"},
    };
    failures += expectAnswer("raw I420 AVI: renderer and format", raw.video, rawVideo);
    const Answer rawPlay[] = {
        {"wine8", "played to the end", "the GDI renderer draws RGB32"},
        {"wine10", "died: 0xc0000005", "a YV12 frame overruns a surface sized without its chroma planes"},
        {"windows", "played to the end", "DirectShow's documented use"},
    };
    failures += expectAnswer("raw I420 AVI: load, play, drain to the end", raw.result, rawPlay);

    // Motion JPEG with a PCM track: Wine 10's own AVI splitter finds no
    // decoder for MJPG, so only the sound is rendered and there is no video
    // window to own.
    const Child mjpeg = runChild(argv[2]);
    const Answer mjpegLoad[] = {
        {"wine8", "0x00000000 0x00000000", "GStreamer decodes the pictures"},
        {"wine10", "0x00040242 0x80004002", "VFW_S_PARTIAL_RENDER: no MJPG decoder; no video window"},
        {"windows", "0x00000000 0x00000000", "the system's MJPG decoder"},
    };
    failures += expectAnswer("Motion-JPEG AVI: RenderFile and put_Owner", mjpeg.load, mjpegLoad);

    // Motion JPEG without sound (the demo's movie): here Wine 10 does decode
    // the pictures (its GStreamer part reports on standard error), into YV12
    // for the VMR-7, and the frames overrun the surface as the raw ones do.
    const Child silent = runChild(argv[3]);
    const Answer silentVideo[] = {
        {"wine8", "Video Renderer, RGB32", "GDI renderer; GStreamer converts to RGB"},
        {"wine10", "VMR-7, YV12", "decoded into YUV for the VMR-7"},
        {"windows", "*", "depends on the installed decoders"},
    };
    failures += expectAnswer("Motion-JPEG AVI without sound: renderer and format", silent.video, silentVideo);
    failures += expectAnswer("Motion-JPEG AVI without sound: load, play, drain to the end", silent.result, rawPlay);
    return verdict(failures);
}

// Baseline for the steady cost of playing through Media Foundation: the
// least a program does, a session with the audio renderer for each audio
// stream and, with "video", the video renderer on a window of its own for
// the first video stream. No timer but the one that ends it, no painting of
// its own, no event reading once started.
//   mf_baseline FILE SECONDS [video]
#include <windows.h>
#include <evr.h>
#include <mfapi.h>
#include <mfidl.h>
#include <stdlib.h>

namespace {

// MR_VIDEO_RENDER_SERVICE, which no import library defines.
const GUID VIDEO_RENDER_SERVICE = { 0x1092a86c, 0xab1a, 0x459a, { 0xa3, 0x36, 0x83, 0x1f, 0xbc, 0x4d, 0x11, 0xff } };
// MF_TOPOLOGY_ENUMERATE_SOURCE_TYPES, which the headers lack: Wine's sources need it for video.
const GUID ENUMERATE_SOURCE_TYPES = { 0x6248c36d, 0x5d0b, 0x4f40, { 0xa0, 0xbb, 0xb0, 0xb3, 0x05, 0xf7, 0x76, 0x98 } };

void AddBranch(IMFTopology* topology, IMFMediaSource* source, IMFPresentationDescriptor* presentation,
               IMFStreamDescriptor* stream, IMFActivate* activate)
{
    IMFTopologyNode *from, *to;
    MFCreateTopologyNode(MF_TOPOLOGY_SOURCESTREAM_NODE, &from);
    from->SetUnknown(MF_TOPONODE_SOURCE, source);
    from->SetUnknown(MF_TOPONODE_PRESENTATION_DESCRIPTOR, presentation);
    from->SetUnknown(MF_TOPONODE_STREAM_DESCRIPTOR, stream);
    MFCreateTopologyNode(MF_TOPOLOGY_OUTPUT_NODE, &to);
    to->SetObject(activate);
    topology->AddNode(from);
    topology->AddNode(to);
    from->ConnectOutput(0, to, 0);
    from->Release();
    to->Release();
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) return 2;
    bool video = argc > 3 && wcscmp(argv[3], L"video") == 0;
    CoInitialize(nullptr);
    MFStartup(MF_VERSION, MFSTARTUP_LITE);
    HWND window = nullptr;
    if (video) {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.lpszClassName = L"MfBaselineVideo";
        RegisterClassW(&windowClass);
        window = CreateWindowW(L"MfBaselineVideo", L"baseline", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    }
    IMFSourceResolver* resolver = nullptr;
    IUnknown* object = nullptr;
    IMFMediaSource* source = nullptr;
    IMFPresentationDescriptor* presentation = nullptr;
    IMFTopology* topology = nullptr;
    IMFMediaSession* session = nullptr;
    MF_OBJECT_TYPE type;
    int result = 1;
    if (SUCCEEDED(MFCreateSourceResolver(&resolver)) &&
        SUCCEEDED(resolver->CreateObjectFromURL(argv[1], MF_RESOLUTION_MEDIASOURCE, nullptr, &type, &object)) &&
        SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(&source))) &&
        SUCCEEDED(source->CreatePresentationDescriptor(&presentation)) && SUCCEEDED(MFCreateTopology(&topology))) {
        topology->SetUINT32(ENUMERATE_SOURCE_TYPES, TRUE);
        DWORD count = 0;
        bool picture = false;
        presentation->GetStreamDescriptorCount(&count);
        for (DWORD index = 0; index < count; ++index) {
            BOOL selected;
            IMFStreamDescriptor* stream;
            IMFMediaTypeHandler* handler;
            GUID major = {};
            presentation->GetStreamDescriptorByIndex(index, &selected, &stream);
            stream->GetMediaTypeHandler(&handler);
            handler->GetMajorType(&major);
            handler->Release();
            IMFActivate* activate = nullptr;
            if (selected && major == MFMediaType_Audio) MFCreateAudioRendererActivate(&activate);
            if (selected && major == MFMediaType_Video && window && !picture)
                picture = SUCCEEDED(MFCreateVideoRendererActivate(window, &activate));
            if (activate) {
                AddBranch(topology, source, presentation, stream, activate);
                activate->Release();
            } else {
                presentation->DeselectStream(index);
            }
            stream->Release();
        }
        PROPVARIANT start;
        PropVariantInit(&start);
        if (SUCCEEDED(MFCreateMediaSession(nullptr, &session)) && SUCCEEDED(session->SetTopology(0, topology))) {
            // The picture is fitted before the first frame: Wine's renderer stops at a later change.
            for (IMFMediaEvent* event; picture && SUCCEEDED(session->GetEvent(0, &event));) {
                MediaEventType eventType;
                event->GetType(&eventType);
                event->Release();
                if (eventType != MESessionTopologySet) continue;
                IMFVideoDisplayControl* display = nullptr;
                MFGetService(session, VIDEO_RENDER_SERVICE, IID_PPV_ARGS(&display));
                SIZE size = {};
                if (display && SUCCEEDED(display->GetNativeVideoSize(&size, nullptr))) {
                    RECT outer = { 0, 0, size.cx, size.cy };
                    AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
                    SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                                 SWP_NOMOVE | SWP_NOZORDER);
                    RECT client;
                    GetClientRect(window, &client);
                    display->SetVideoPosition(nullptr, &client);
                }
                if (display) display->Release();
                break;
            }
            if (SUCCEEDED(session->Start(&GUID_NULL, &start))) {
                SetTimer(nullptr, 1, DWORD(_wtoi(argv[2])) * 1000, nullptr);
                MSG message;
                while (GetMessageW(&message, nullptr, 0, 0) > 0 && message.message != WM_TIMER) DispatchMessageW(&message);
                session->Stop();
                result = 0;
            }
        }
    }
    if (session) session->Shutdown(), session->Release();
    if (source) source->Shutdown(), source->Release();
    if (topology) topology->Release();
    if (presentation) presentation->Release();
    if (object) object->Release();
    if (resolver) resolver->Release();
    if (window) DestroyWindow(window);
    MFShutdown();
    CoUninitialize();
    return result;
}

// Baseline for the steady cost of playing through Media Foundation: the
// least a program does, a session with the audio renderer for each audio
// stream. No window, no timer, no painting, no event reading.
//   mf_baseline FILE SECONDS
#include <windows.h>
#include <mfapi.h>
#include <mfidl.h>
#include <stdlib.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) return 2;
    CoInitialize(nullptr);
    MFStartup(MF_VERSION, MFSTARTUP_LITE);
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
        DWORD count = 0;
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
            IMFActivate* activate;
            IMFTopologyNode *from, *to;
            if (selected && major == MFMediaType_Audio && SUCCEEDED(MFCreateAudioRendererActivate(&activate))) {
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
                activate->Release();
            } else {
                presentation->DeselectStream(index);
            }
            stream->Release();
        }
        PROPVARIANT start;
        PropVariantInit(&start);
        if (SUCCEEDED(MFCreateMediaSession(nullptr, &session)) && SUCCEEDED(session->SetTopology(0, topology)) &&
            SUCCEEDED(session->Start(&GUID_NULL, &start))) {
            Sleep(DWORD(_wtoi(argv[2])) * 1000);
            session->Stop();
            result = 0;
        }
    }
    if (session) session->Shutdown(), session->Release();
    if (source) source->Shutdown(), source->Release();
    if (topology) topology->Release();
    if (presentation) presentation->Release();
    if (object) object->Release();
    if (resolver) resolver->Release();
    MFShutdown();
    CoUninitialize();
    return result;
}

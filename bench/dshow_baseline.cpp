// Baseline for the steady cost of playing: the least a program does to play
// a file through DirectShow. No window, no timer, no painting.
//   dshow_baseline FILE SECONDS
#define STRSAFE_NO_DEPRECATE
#include <windows.h>
#include <dshow.h>
#include <stdlib.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) return 2;
    CoInitialize(nullptr);
    IGraphBuilder* graph = nullptr;
    IMediaControl* control = nullptr;
    int result = 1;
    if (SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   reinterpret_cast<void**>(&graph))) &&
        SUCCEEDED(graph->RenderFile(argv[1], nullptr)) &&
        SUCCEEDED(graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control))) &&
        SUCCEEDED(control->Run())) {
        Sleep(DWORD(_wtoi(argv[2])) * 1000);
        control->Stop();
        result = 0;
    }
    if (control) control->Release();
    if (graph) graph->Release();
    CoUninitialize();
    return result;
}

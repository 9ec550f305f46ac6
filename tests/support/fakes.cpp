// Fake DirectShow objects for failure injection and call counting.
#include "fakes.h"

std::vector<std::string> g_fakeCalls;

int CountCalls(const std::string& call)
{
    int count = 0;
    for (const std::string& entry : g_fakeCalls) count += entry == call;
    return count;
}

std::vector<std::string> CallsStartingWith(const std::string& prefix)
{
    std::vector<std::string> calls;
    for (const std::string& entry : g_fakeCalls) {
        if (entry.compare(0, prefix.size(), prefix) == 0) calls.push_back(entry);
    }
    return calls;
}

HRESULT FakeEvents::GetEvent(long* code, LONG_PTR* param1, LONG_PTR* param2, long)
{
    Log("GetEvent");
    if (queue.empty()) return E_ABORT;
    *code = queue.front();
    *param1 = 0x1000 + *code;
    *param2 = 0x2000 + *code;
    queue.erase(queue.begin());
    return S_OK;
}

HRESULT FakeEvents::FreeEventParams(long code, LONG_PTR param1, LONG_PTR param2)
{
    // The parameters handed out with code must come back with it.
    bool matches = param1 == 0x1000 + code && param2 == 0x2000 + code;
    Log("FreeEventParams(" + std::to_string(code) + (matches ? ")" : ", wrong parameters)"));
    return S_OK;
}

HRESULT FakeVideo::put_Caption(BSTR text)
{
    Log("put_Caption");
    caption = text;
    captionLength = SysStringLen(text);
    return S_OK;
}

HRESULT FakeVideo::SetWindowPosition(long newLeftValue, long newTopValue, long newWidthValue, long newHeightValue)
{
    Log("SetWindowPosition");
    newLeft = newLeftValue;
    newTop = newTopValue;
    newWidth = newWidthValue;
    newHeight = newHeightValue;
    return S_OK;
}

HRESULT FakeVideo::GetWindowPosition(long* outLeft, long* outTop, long* outWidth, long* outHeight)
{
    Log("GetWindowPosition");
    if (FAILED(getPositionResult)) return getPositionResult;
    *outLeft = left;
    *outTop = top;
    *outWidth = width;
    *outHeight = height;
    return S_OK;
}

HRESULT FakeGraph::QueryInterface(REFIID id, void** out)
{
    IUnknown* offered = nullptr;
    if (id == IID_IUnknown || id == IID_IGraphBuilder || id == IID_IFilterGraph) offered = static_cast<IGraphBuilder*>(this);
    else if (id == IID_IMediaControl) offered = set->offersControl;
    else if (id == IID_IMediaEventEx || id == IID_IMediaEvent) offered = set->offersEvents;
    else if (id == IID_IBasicAudio) offered = set->offersAudio;
    else if (id == IID_IMediaSeeking) offered = set->offersSeeking;
    else if (id == IID_IVideoWindow) offered = set->offersVideo;
    *out = offered;
    if (!offered) return E_NOINTERFACE;
    offered->AddRef();
    return S_OK;
}

void FakeGraphSet::Install(Player* player, bool withVideo)
{
    graph.AddRef();
    control.AddRef();
    events.AddRef();
    audio.AddRef();
    seeking.AddRef();
    player->graph = &graph;
    player->control = &control;
    player->events = &events;
    player->audio = &audio;
    player->seeking = &seeking;
    player->videoWindow = nullptr;
    if (withVideo) {
        video.AddRef();
        player->videoWindow = &video;
    }
}

bool FakeGraphSet::AllReferencesBack() const
{
    return graph.refs == 1 && control.refs == 1 && events.refs == 1 && audio.refs == 1 && seeking.refs == 1 &&
           video.refs == 1;
}

FakeGraphFactory::FakeGraphFactory(FakeGraphSet* graphSet) : set(graphSet)
{
    CoRegisterClassObject(CLSID_FilterGraph, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
}

FakeGraphFactory::~FakeGraphFactory()
{
    if (cookie) CoRevokeClassObject(cookie);
}

HRESULT FakeGraphFactory::QueryInterface(REFIID id, void** out)
{
    *out = nullptr;
    if (id != IID_IUnknown && id != IID_IClassFactory) return E_NOINTERFACE;
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
}

HRESULT FakeGraphFactory::CreateInstance(IUnknown* outer, REFIID id, void** out)
{
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (FAILED(createResult)) return createResult;
    return set->graph.QueryInterface(id, out);
}

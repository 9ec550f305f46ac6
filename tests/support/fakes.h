// Fake DirectShow objects for failure injection and call counting.
#pragma once

#include "player/player.h"

#include <string>
#include <vector>

// Every call the fakes take, in order, as "object.Method" (a few carry their
// argument: "video.put_Visible(0)").
extern std::vector<std::string> g_fakeCalls;
int CountCalls(const std::string& call);
// The calls that start with prefix, in order ("" gives them all).
std::vector<std::string> CallsStartingWith(const std::string& prefix);

// IUnknown for fakes that live inside a FakeGraphSet: references are counted
// but never free the object, so a test can see what was given back.
template <class Interface>
struct FakeUnknown : Interface {
    const char* name;
    IID iid;
    LONG refs = 1;  // the set's own reference
    FakeUnknown(const char* objectName, REFIID id) : name(objectName), iid(id) {}
    virtual ~FakeUnknown() = default;
    void Log(const std::string& method) { g_fakeCalls.push_back(std::string(name) + "." + method); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override
    {
        *out = nullptr;
        if (id != iid && id != IID_IUnknown) return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { Log("Release"); return ULONG(--refs); }
};

// IDispatch answers nothing: the player never scripts the graph.
#define NOT_IMPLEMENTED(signature) HRESULT STDMETHODCALLTYPE signature override { return E_NOTIMPL; }
template <class Interface>
struct FakeDispatch : FakeUnknown<Interface> {
    using FakeUnknown<Interface>::FakeUnknown;
    NOT_IMPLEMENTED(GetTypeInfoCount(UINT*)) NOT_IMPLEMENTED(GetTypeInfo(UINT, LCID, ITypeInfo**))
    NOT_IMPLEMENTED(GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*))
    NOT_IMPLEMENTED(Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*))
};

struct FakeControl : FakeDispatch<IMediaControl> {
    FakeControl() : FakeDispatch("control", IID_IMediaControl) {}
    HRESULT runResult = S_OK, renderResult = S_OK, getStateResult = S_OK;
    OAFilterState state = State_Stopped;  // what GetState reports
    bool followsTransport = true;         // Run, Pause and Stop move state
    std::wstring renderedPath;
    HRESULT STDMETHODCALLTYPE Run() override { return Move("Run", SUCCEEDED(runResult) ? State_Running : state, runResult); }
    HRESULT STDMETHODCALLTYPE Pause() override { return Move("Pause", State_Paused, S_OK); }
    HRESULT STDMETHODCALLTYPE Stop() override { return Move("Stop", State_Stopped, S_OK); }
    HRESULT STDMETHODCALLTYPE GetState(LONG, OAFilterState* out) override { Log("GetState"); *out = state; return getStateResult; }
    HRESULT STDMETHODCALLTYPE RenderFile(BSTR path) override { Log("RenderFile"); renderedPath = path; return renderResult; }
    NOT_IMPLEMENTED(AddSourceFilter(BSTR, IDispatch**)) NOT_IMPLEMENTED(StopWhenReady())
    NOT_IMPLEMENTED(get_FilterCollection(IDispatch**)) NOT_IMPLEMENTED(get_RegFilterCollection(IDispatch**))
    HRESULT Move(const char* call, OAFilterState next, HRESULT result)
    {
        Log(call);
        if (followsTransport) state = next;
        return result;
    }
};

struct FakeEvents : FakeDispatch<IMediaEventEx> {
    FakeEvents() : FakeDispatch("events", IID_IMediaEventEx) {}
    std::vector<long> queue;  // codes GetEvent hands out, oldest first
    OAHWND notifyWindow = 0;
    long notifyMessage = 0;
    LONG_PTR notifyData = -1;
    HRESULT STDMETHODCALLTYPE GetEvent(long* code, LONG_PTR* param1, LONG_PTR* param2, long timeout) override;
    HRESULT STDMETHODCALLTYPE FreeEventParams(long code, LONG_PTR param1, LONG_PTR param2) override;
    HRESULT STDMETHODCALLTYPE SetNotifyWindow(OAHWND window, long message, LONG_PTR data) override
    {
        Log("SetNotifyWindow");
        notifyWindow = window, notifyMessage = message, notifyData = data;
        return S_OK;
    }
    NOT_IMPLEMENTED(GetEventHandle(OAEVENT*)) NOT_IMPLEMENTED(WaitForCompletion(long, long*))
    NOT_IMPLEMENTED(CancelDefaultHandling(long)) NOT_IMPLEMENTED(RestoreDefaultHandling(long))
    NOT_IMPLEMENTED(SetNotifyFlags(long)) NOT_IMPLEMENTED(GetNotifyFlags(long*))
};

struct FakeAudio : FakeDispatch<IBasicAudio> {
    FakeAudio() : FakeDispatch("audio", IID_IBasicAudio) {}
    HRESULT putVolumeResult = S_OK;
    std::vector<long> volumes;  // every value passed to put_Volume
    HRESULT STDMETHODCALLTYPE put_Volume(long volume) override
    {
        Log("put_Volume(" + std::to_string(volume) + ")");
        volumes.push_back(volume);
        return putVolumeResult;
    }
    NOT_IMPLEMENTED(get_Volume(long*)) NOT_IMPLEMENTED(put_Balance(long)) NOT_IMPLEMENTED(get_Balance(long*))
};

struct FakeSeeking : FakeUnknown<IMediaSeeking> {
    FakeSeeking() : FakeUnknown("seeking", IID_IMediaSeeking) {}
    LONGLONG position = 0, duration = 0;
    HRESULT positionResult = S_OK;
    HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID* format) override
    {
        Log(*format == TIME_FORMAT_MEDIA_TIME ? "SetTimeFormat(media time)" : "SetTimeFormat(other)");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* out) override { Log("GetDuration"); *out = duration; return S_OK; }
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* out) override
    {
        Log("GetCurrentPosition");
        if (SUCCEEDED(positionResult)) *out = position;
        return positionResult;
    }
    NOT_IMPLEMENTED(GetCapabilities(DWORD*)) NOT_IMPLEMENTED(CheckCapabilities(DWORD*))
    NOT_IMPLEMENTED(IsFormatSupported(const GUID*)) NOT_IMPLEMENTED(QueryPreferredFormat(GUID*))
    NOT_IMPLEMENTED(GetTimeFormat(GUID*)) NOT_IMPLEMENTED(IsUsingTimeFormat(const GUID*))
    NOT_IMPLEMENTED(GetStopPosition(LONGLONG*)) NOT_IMPLEMENTED(GetPreroll(LONGLONG*))
    NOT_IMPLEMENTED(ConvertTimeFormat(LONGLONG*, const GUID*, LONGLONG, const GUID*))
    NOT_IMPLEMENTED(SetPositions(LONGLONG*, DWORD, LONGLONG*, DWORD)) NOT_IMPLEMENTED(GetPositions(LONGLONG*, LONGLONG*))
    NOT_IMPLEMENTED(GetAvailable(LONGLONG*, LONGLONG*)) NOT_IMPLEMENTED(SetRate(double)) NOT_IMPLEMENTED(GetRate(double*))
};

struct FakeVideo : FakeDispatch<IVideoWindow> {
    FakeVideo() : FakeDispatch("video", IID_IVideoWindow) {}
    long left = 0, top = 0, width = 0, height = 0;  // what GetWindowPosition reports
    HRESULT getPositionResult = S_OK;
    std::wstring caption;
    UINT captionLength = 0;  // SysStringLen of the caption passed
    long newLeft = 0, newTop = 0, newWidth = 0, newHeight = 0;  // the last SetWindowPosition
    HRESULT STDMETHODCALLTYPE put_Caption(BSTR text) override;
    HRESULT STDMETHODCALLTYPE put_Visible(long visible) override { return LogValue("put_Visible", visible); }
    HRESULT STDMETHODCALLTYPE put_Owner(OAHWND owner) override { return LogValue("put_Owner", owner); }
    HRESULT STDMETHODCALLTYPE put_MessageDrain(OAHWND drain) override { return LogValue("put_MessageDrain", drain); }
    HRESULT STDMETHODCALLTYPE SetWindowPosition(long left, long top, long width, long height) override;
    HRESULT STDMETHODCALLTYPE GetWindowPosition(long* left, long* top, long* width, long* height) override;
    HRESULT LogValue(const char* call, LONG_PTR value)
    {
        Log(std::string(call) + "(" + std::to_string(value) + ")");
        return S_OK;
    }
    NOT_IMPLEMENTED(get_Caption(BSTR*)) NOT_IMPLEMENTED(get_Visible(long*))
    NOT_IMPLEMENTED(put_WindowStyle(long)) NOT_IMPLEMENTED(get_WindowStyle(long*))
    NOT_IMPLEMENTED(put_WindowStyleEx(long)) NOT_IMPLEMENTED(get_WindowStyleEx(long*))
    NOT_IMPLEMENTED(put_AutoShow(long)) NOT_IMPLEMENTED(get_AutoShow(long*))
    NOT_IMPLEMENTED(put_WindowState(long)) NOT_IMPLEMENTED(get_WindowState(long*))
    NOT_IMPLEMENTED(put_BackgroundPalette(long)) NOT_IMPLEMENTED(get_BackgroundPalette(long*))
    NOT_IMPLEMENTED(put_Left(long)) NOT_IMPLEMENTED(get_Left(long*)) NOT_IMPLEMENTED(put_Top(long)) NOT_IMPLEMENTED(get_Top(long*))
    NOT_IMPLEMENTED(put_Width(long)) NOT_IMPLEMENTED(get_Width(long*))
    NOT_IMPLEMENTED(put_Height(long)) NOT_IMPLEMENTED(get_Height(long*))
    NOT_IMPLEMENTED(get_Owner(OAHWND*)) NOT_IMPLEMENTED(get_MessageDrain(OAHWND*))
    NOT_IMPLEMENTED(get_BorderColor(long*)) NOT_IMPLEMENTED(put_BorderColor(long))
    NOT_IMPLEMENTED(get_FullScreenMode(long*)) NOT_IMPLEMENTED(put_FullScreenMode(long))
    NOT_IMPLEMENTED(SetWindowForeground(long)) NOT_IMPLEMENTED(NotifyOwnerMessage(OAHWND, long, LONG_PTR, LONG_PTR))
    NOT_IMPLEMENTED(GetMinIdealImageSize(long*, long*)) NOT_IMPLEMENTED(GetMaxIdealImageSize(long*, long*))
    NOT_IMPLEMENTED(GetRestorePosition(long*, long*, long*, long*))
    NOT_IMPLEMENTED(HideCursor(long)) NOT_IMPLEMENTED(IsCursorHidden(long*))
};

struct FakeGraphSet;

// The graph hands out the set's other fakes, unless the set withholds one
// (its offers pointer nulled), as a graph without that interface would.
struct FakeGraph : FakeUnknown<IGraphBuilder> {
    explicit FakeGraph(FakeGraphSet* owner) : FakeUnknown("graph", IID_IGraphBuilder), set(owner) {}
    FakeGraphSet* set;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override;
    HRESULT STDMETHODCALLTYPE EnumFilters(IEnumFilters**) override { Log("EnumFilters"); return E_NOTIMPL; }
    NOT_IMPLEMENTED(AddFilter(IBaseFilter*, LPCWSTR)) NOT_IMPLEMENTED(RemoveFilter(IBaseFilter*))
    NOT_IMPLEMENTED(FindFilterByName(LPCWSTR, IBaseFilter**)) NOT_IMPLEMENTED(ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*))
    NOT_IMPLEMENTED(Reconnect(IPin*)) NOT_IMPLEMENTED(Disconnect(IPin*)) NOT_IMPLEMENTED(SetDefaultSyncSource())
    NOT_IMPLEMENTED(Connect(IPin*, IPin*)) NOT_IMPLEMENTED(Render(IPin*)) NOT_IMPLEMENTED(RenderFile(LPCWSTR, LPCWSTR))
    NOT_IMPLEMENTED(AddSourceFilter(LPCWSTR, LPCWSTR, IBaseFilter**)) NOT_IMPLEMENTED(SetLogFile(DWORD_PTR))
    NOT_IMPLEMENTED(Abort()) NOT_IMPLEMENTED(ShouldOperationContinue())
};

// One graph with all its interfaces. Install() puts them into a Player as
// if PlayerCreate and a render had obtained them (one reference each).
struct FakeGraphSet {
    FakeGraph graph{this};
    FakeControl control;
    FakeEvents events;
    FakeAudio audio;
    FakeSeeking seeking;
    FakeVideo video;
    // What the graph's QueryInterface offers; null one to withhold it.
    FakeControl* offersControl = &control;
    FakeEvents* offersEvents = &events;
    FakeAudio* offersAudio = &audio;
    FakeSeeking* offersSeeking = &seeking;
    FakeVideo* offersVideo = &video;

    void Install(Player* player, bool withVideo = true);
    // True when every fake is back to the set's own single reference.
    bool AllReferencesBack() const;
};

// Makes CoCreateInstance(CLSID_FilterGraph) in this process hand out set's
// graph (or fail with createResult) for as long as the object lives.
struct FakeGraphFactory : IClassFactory {
    FakeGraphSet* set;
    HRESULT createResult = S_OK;
    DWORD cookie = 0;
    explicit FakeGraphFactory(FakeGraphSet* graphSet);
    ~FakeGraphFactory();
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID id, void** out) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

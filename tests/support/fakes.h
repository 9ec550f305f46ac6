// Fake DirectShow and Media Foundation objects for failure injection and call counting.
#pragma once

#include "player/player.h"

#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

// Every call the fakes take, in order, as "object.Method" or, with its
// arguments, "video.put_Visible(0)".
extern std::vector<std::string> g_fakeCalls;
// Called after each call is logged, with its entry: a test can act in the middle of a graph call.
extern std::function<void(const std::string&)> g_fakeCallHook;
inline int CountCalls(const std::string& call) { return int(std::count(g_fakeCalls.begin(), g_fakeCalls.end(), call)); }

#define NO_IMPL(signature) STDMETHODIMP signature override { return E_NOTIMPL; }

// References are counted but never free the object, so a test can see what
// was given back. QueryInterface answers only the fake's own interface, and
// only while it is offered (a graph without it is then mimicked).
template <class Interface>
struct Fake : Interface {
    const char* name;
    IID iid;
    LONG refs = 1;  // the set's own reference
    bool offered = true;
    Fake(const char* objectName, REFIID id) : name(objectName), iid(id) {}
    template <class... Values>
    HRESULT Log(const char* call, Values... values)
    {
        std::string entry = std::string(name) + "." + call, separator = "(";
        ((entry += separator + std::to_string(values), separator = ","), ...);
        g_fakeCalls.push_back(sizeof...(values) ? entry + ")" : entry);
        if (g_fakeCallHook) g_fakeCallHook(g_fakeCalls.back());
        return S_OK;
    }
    STDMETHODIMP QueryInterface(REFIID id, void** out) override
    {
        *out = offered && id == iid ? this : nullptr;
        return *out ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(++refs); }
    STDMETHODIMP_(ULONG) Release() override { Log("Release"); return ULONG(--refs); }
    // IDispatch, where Interface has it: the player never scripts the graph.
    STDMETHODIMP GetTypeInfoCount(UINT*) { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) { return E_NOTIMPL; }
};

struct FakeControl : Fake<IMediaControl> {
    FakeControl() : Fake("control", IID_IMediaControl) {}
    HRESULT runResult = S_OK, renderResult = S_OK, getStateResult = S_OK;
    OAFilterState state = State_Stopped;  // what GetState reports
    bool followsTransport = true;         // Run, Pause and Stop move state
    std::wstring renderedPath;
    STDMETHODIMP Run() override { return Move("Run", SUCCEEDED(runResult) ? State_Running : state, runResult); }
    STDMETHODIMP Pause() override { return Move("Pause", State_Paused, S_OK); }
    STDMETHODIMP Stop() override { return Move("Stop", State_Stopped, S_OK); }
    STDMETHODIMP GetState(LONG, OAFilterState* out) override { *out = state; Log("GetState"); return getStateResult; }
    STDMETHODIMP RenderFile(BSTR path) override { renderedPath = path; Log("RenderFile"); return renderResult; }
    NO_IMPL(AddSourceFilter(BSTR, IDispatch**)) NO_IMPL(StopWhenReady())
    NO_IMPL(get_FilterCollection(IDispatch**)) NO_IMPL(get_RegFilterCollection(IDispatch**))
    HRESULT Move(const char* call, OAFilterState next, HRESULT result)
    {
        Log(call);
        if (followsTransport) state = next;
        return result;
    }
};

struct FakeEvents : Fake<IMediaEventEx> {
    FakeEvents() : Fake("events", IID_IMediaEventEx) {}
    std::vector<long> queue;  // codes GetEvent hands out, oldest first
    STDMETHODIMP GetEvent(long* code, LONG_PTR* param1, LONG_PTR* param2, long) override
    {
        Log("GetEvent");
        if (queue.empty()) return E_ABORT;
        *code = queue.front(), *param1 = 0x1000 + *code, *param2 = 0x2000 + *code;
        queue.erase(queue.begin());
        return S_OK;
    }
    // Logged as "FreeEventParams(code)" only with the parameters handed out with code.
    STDMETHODIMP FreeEventParams(long code, LONG_PTR p1, LONG_PTR p2) override
    {
        return p1 == 0x1000 + code && p2 == 0x2000 + code ? Log("FreeEventParams", code) : Log("FreeEventParams");
    }
    STDMETHODIMP SetNotifyWindow(OAHWND w, long m, LONG_PTR d) override { return Log("SetNotifyWindow", w, m, d); }
    NO_IMPL(GetEventHandle(OAEVENT*)) NO_IMPL(WaitForCompletion(long, long*)) NO_IMPL(CancelDefaultHandling(long))
    NO_IMPL(RestoreDefaultHandling(long)) NO_IMPL(SetNotifyFlags(long)) NO_IMPL(GetNotifyFlags(long*))
};

struct FakeAudio : Fake<IBasicAudio> {
    FakeAudio() : Fake("audio", IID_IBasicAudio) {}
    HRESULT putVolumeResult = S_OK;
    STDMETHODIMP put_Volume(long volume) override { Log("put_Volume", volume); return putVolumeResult; }
    NO_IMPL(get_Volume(long*)) NO_IMPL(put_Balance(long)) NO_IMPL(get_Balance(long*))
};

struct FakeSeeking : Fake<IMediaSeeking> {
    FakeSeeking() : Fake("seeking", IID_IMediaSeeking) {}
    LONGLONG position = 0, duration = 0;
    HRESULT positionResult = S_OK, durationResult = S_OK;
    // Logged only for media time, the one format the player reads.
    STDMETHODIMP SetTimeFormat(const GUID* format) override
    {
        return *format == TIME_FORMAT_MEDIA_TIME ? Log("SetTimeFormat") : E_FAIL;
    }
    // A failure writes nothing, as some filters do.
    STDMETHODIMP GetDuration(LONGLONG* out) override
    {
        Log("GetDuration");
        if (SUCCEEDED(durationResult)) *out = duration;
        return durationResult;
    }
    STDMETHODIMP GetCurrentPosition(LONGLONG* out) override
    {
        Log("GetCurrentPosition");
        if (SUCCEEDED(positionResult)) *out = position;
        return positionResult;
    }
    NO_IMPL(GetCapabilities(DWORD*)) NO_IMPL(CheckCapabilities(DWORD*)) NO_IMPL(IsFormatSupported(const GUID*))
    NO_IMPL(QueryPreferredFormat(GUID*)) NO_IMPL(GetTimeFormat(GUID*)) NO_IMPL(IsUsingTimeFormat(const GUID*))
    NO_IMPL(GetStopPosition(LONGLONG*)) NO_IMPL(GetPreroll(LONGLONG*)) NO_IMPL(GetRate(double*))
    NO_IMPL(ConvertTimeFormat(LONGLONG*, const GUID*, LONGLONG, const GUID*)) NO_IMPL(SetRate(double))
    // Logged as "SetPositions(current,flags)"; the position moves there.
    STDMETHODIMP SetPositions(LONGLONG* current, DWORD flags, LONGLONG*, DWORD) override
    {
        position = *current;
        return Log("SetPositions", *current, flags);
    }
    NO_IMPL(GetPositions(LONGLONG*, LONGLONG*))
    NO_IMPL(GetAvailable(LONGLONG*, LONGLONG*))
};

struct FakeVideo : Fake<IVideoWindow> {
    FakeVideo() : Fake("video", IID_IVideoWindow) {}
    long width = 0, height = 0;  // the size GetWindowPosition reports
    HRESULT getPositionResult = S_OK;
    std::wstring caption;  // as long as the BSTR's own length prefix says
    STDMETHODIMP put_Caption(BSTR s) override { caption.assign(s, SysStringLen(s)); return Log("put_Caption"); }
    STDMETHODIMP put_Visible(long visible) override { return Log("put_Visible", visible); }
    STDMETHODIMP put_Owner(OAHWND owner) override { return Log("put_Owner", owner); }
    STDMETHODIMP put_MessageDrain(OAHWND drain) override { return Log("put_MessageDrain", drain); }
    STDMETHODIMP SetWindowPosition(long l, long t, long w, long h) override
    {
        return Log("SetWindowPosition", l, t, w, h);
    }
    STDMETHODIMP GetWindowPosition(long* left, long* top, long* w, long* h) override
    {
        Log("GetWindowPosition");
        if (SUCCEEDED(getPositionResult)) *left = *top = 0, *w = width, *h = height;
        return getPositionResult;
    }
    NO_IMPL(get_Caption(BSTR*)) NO_IMPL(get_Visible(long*)) NO_IMPL(put_WindowStyle(long))
    NO_IMPL(get_WindowStyle(long*)) NO_IMPL(put_WindowStyleEx(long)) NO_IMPL(get_WindowStyleEx(long*))
    NO_IMPL(put_AutoShow(long)) NO_IMPL(get_AutoShow(long*)) NO_IMPL(put_WindowState(long))
    NO_IMPL(get_WindowState(long*)) NO_IMPL(put_BackgroundPalette(long)) NO_IMPL(get_BackgroundPalette(long*))
    NO_IMPL(put_Left(long)) NO_IMPL(get_Left(long*)) NO_IMPL(put_Top(long)) NO_IMPL(get_Top(long*))
    NO_IMPL(put_Width(long)) NO_IMPL(get_Width(long*)) NO_IMPL(put_Height(long)) NO_IMPL(get_Height(long*))
    NO_IMPL(get_Owner(OAHWND*)) NO_IMPL(get_MessageDrain(OAHWND*)) NO_IMPL(get_BorderColor(long*))
    NO_IMPL(put_BorderColor(long)) NO_IMPL(get_FullScreenMode(long*)) NO_IMPL(put_FullScreenMode(long))
    NO_IMPL(SetWindowForeground(long)) NO_IMPL(NotifyOwnerMessage(OAHWND, long, LONG_PTR, LONG_PTR))
    NO_IMPL(GetMinIdealImageSize(long*, long*)) NO_IMPL(GetMaxIdealImageSize(long*, long*))
    NO_IMPL(GetRestorePosition(long*, long*, long*, long*)) NO_IMPL(HideCursor(long)) NO_IMPL(IsCursorHidden(long*))
};

// A Media Foundation session that answers each request after answerMs with
// its event (a Close only when closes), or, by default, never answers: no
// event ever comes. Requests are logged as "session.Pause", a start with
// its place, "session.Start(30000000)", or "session.Start(empty)". A
// request named in refuses is refused on the spot with that result; one in
// answersWith is answered with that status.
struct FakeSession : Fake<IMFMediaSession> {
    FakeSession() : Fake("session", __uuidof(IMFMediaSession)) {}
    DWORD answerMs = INFINITE;
    bool closes = true;
    std::map<std::string, HRESULT> refuses, answersWith;
    struct Due { MediaEventType type; DWORD at; HRESULT status; };
    std::vector<Due> pending;  // events and when they are due
    STDMETHODIMP GetEvent(DWORD, IMFMediaEvent** event) override
    {
        *event = nullptr;
        if (pending.empty() || GetTickCount() - pending.front().at >= 0x80000000u) return MF_E_NO_EVENTS_AVAILABLE;
        HRESULT made = MFCreateMediaEvent(pending.front().type, GUID_NULL, pending.front().status, nullptr, event);
        pending.erase(pending.begin());
        return made;
    }
    // Due answerMs after the call, and after what a test's hook does in it.
    HRESULT Answer(const std::string& call, const std::string& name, MediaEventType answer, bool answers = true)
    {
        Log(call.c_str());
        if (refuses.count(name)) return refuses[name];
        HRESULT status = answersWith.count(name) ? answersWith[name] : S_OK;
        if (answerMs != INFINITE && answers) pending.push_back({ answer, GetTickCount() + answerMs, status });
        return S_OK;
    }
    void AnswerNow(MediaEventType type, HRESULT status = S_OK) { pending.push_back({ type, GetTickCount(), status }); }
    STDMETHODIMP Start(const GUID*, const PROPVARIANT* at) override
    {
        std::string place = at->vt == VT_I8 ? std::to_string(at->hVal.QuadPart) : "empty";
        return Answer("Start(" + place + ")", "Start", MESessionStarted);
    }
    STDMETHODIMP Pause() override { return Answer("Pause", "Pause", MESessionPaused); }
    STDMETHODIMP Stop() override { return Answer("Stop", "Stop", MESessionStopped); }
    STDMETHODIMP Close() override { return Answer("Close", "Close", MESessionClosed, closes); }
    STDMETHODIMP Shutdown() override { return Log("Shutdown"); }
    NO_IMPL(BeginGetEvent(IMFAsyncCallback*, IUnknown*)) NO_IMPL(EndGetEvent(IMFAsyncResult*, IMFMediaEvent**))
    NO_IMPL(QueueEvent(MediaEventType, REFGUID, HRESULT, const PROPVARIANT*)) NO_IMPL(SetTopology(DWORD, IMFTopology*))
    NO_IMPL(ClearTopologies()) NO_IMPL(GetClock(IMFClock**)) NO_IMPL(GetSessionCapabilities(DWORD*))
    NO_IMPL(GetFullTopology(DWORD, TOPOID, IMFTopology**))
};

// A media source that only logs its shutdown.
struct FakeSource : Fake<IMFMediaSource> {
    FakeSource() : Fake("source", __uuidof(IMFMediaSource)) {}
    STDMETHODIMP Shutdown() override { return Log("Shutdown"); }
    NO_IMPL(GetEvent(DWORD, IMFMediaEvent**)) NO_IMPL(BeginGetEvent(IMFAsyncCallback*, IUnknown*))
    NO_IMPL(EndGetEvent(IMFAsyncResult*, IMFMediaEvent**))
    NO_IMPL(QueueEvent(MediaEventType, REFGUID, HRESULT, const PROPVARIANT*)) NO_IMPL(GetCharacteristics(DWORD*))
    NO_IMPL(CreatePresentationDescriptor(IMFPresentationDescriptor**))
    NO_IMPL(Start(IMFPresentationDescriptor*, const GUID*, const PROPVARIANT*)) NO_IMPL(Stop()) NO_IMPL(Pause())
};

// A stream's volume of channels channels; each setting is logged in
// thousandths, as "volume.SetChannelVolume(1,562)".
struct FakeStreamVolume : Fake<IMFAudioStreamVolume> {
    FakeStreamVolume() : Fake("volume", __uuidof(IMFAudioStreamVolume)) {}
    UINT32 channels = 2;
    STDMETHODIMP GetChannelCount(UINT32* count) override { *count = channels; return S_OK; }
    STDMETHODIMP SetChannelVolume(UINT32 channel, float level) override
    {
        return Log("SetChannelVolume", channel, int(level * 1000 + 0.5f));
    }
    NO_IMPL(GetChannelVolume(UINT32, float*)) NO_IMPL(SetAllVolumes(UINT32, const float*))
    NO_IMPL(GetAllVolumes(UINT32, float*))
};

// A presentation clock that reads what time and state say.
struct FakeClock : Fake<IMFPresentationClock> {
    FakeClock() : Fake("clock", __uuidof(IMFPresentationClock)) {}
    MFTIME time = 0;
    MFCLOCK_STATE state = MFCLOCK_STATE_RUNNING;
    STDMETHODIMP GetTime(MFTIME* out) override { *out = time; return S_OK; }
    STDMETHODIMP GetState(DWORD, MFCLOCK_STATE* out) override { *out = state; return S_OK; }
    NO_IMPL(GetClockCharacteristics(DWORD*)) NO_IMPL(GetCorrelatedTime(DWORD, LONGLONG*, MFTIME*))
    NO_IMPL(GetContinuityKey(DWORD*)) NO_IMPL(GetProperties(MFCLOCK_PROPERTIES*))
    NO_IMPL(SetTimeSource(IMFPresentationTimeSource*)) NO_IMPL(GetTimeSource(IMFPresentationTimeSource**))
    NO_IMPL(AddClockStateSink(IMFClockStateSink*)) NO_IMPL(RemoveClockStateSink(IMFClockStateSink*))
    NO_IMPL(Start(LONGLONG)) NO_IMPL(Stop()) NO_IMPL(Pause())
};

// Hands out the other fakes of its set that are offered. EnumFilters fails:
// emptying a reused graph then ends at once.
struct FakeGraph : Fake<IGraphBuilder> {
    FakeGraph() : Fake("graph", IID_IGraphBuilder) {}
    std::vector<IUnknown*> parts;
    STDMETHODIMP QueryInterface(REFIID id, void** out) override
    {
        for (IUnknown* part : parts) {
            if (part->QueryInterface(id, out) == S_OK) return S_OK;
        }
        return Fake::QueryInterface(id == IID_IUnknown ? IID_IGraphBuilder : id, out);
    }
    STDMETHODIMP EnumFilters(IEnumFilters**) override { Log("EnumFilters"); return E_NOTIMPL; }
    NO_IMPL(AddFilter(IBaseFilter*, LPCWSTR)) NO_IMPL(RemoveFilter(IBaseFilter*))
    NO_IMPL(FindFilterByName(LPCWSTR, IBaseFilter**)) NO_IMPL(ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*))
    NO_IMPL(Reconnect(IPin*)) NO_IMPL(Disconnect(IPin*)) NO_IMPL(SetDefaultSyncSource()) NO_IMPL(Render(IPin*))
    NO_IMPL(Connect(IPin*, IPin*)) NO_IMPL(RenderFile(LPCWSTR, LPCWSTR)) NO_IMPL(Abort())
    NO_IMPL(AddSourceFilter(LPCWSTR, LPCWSTR, IBaseFilter**)) NO_IMPL(SetLogFile(DWORD_PTR))
    NO_IMPL(ShouldOperationContinue())
};

// One graph with all its interfaces.
struct FakeGraphSet {
    FakeGraph graph;
    FakeControl control;
    FakeEvents events;
    FakeAudio audio;
    FakeSeeking seeking;
    FakeVideo video;
    FakeGraphSet() { graph.parts = {&control, &events, &audio, &seeking, &video}; }
    // Into player as if PlayerCreate and a render had obtained them, one reference each.
    void Install(Player* player, bool withVideo = true)
    {
        player->graph = Ref(graph), player->control = Ref(control), player->events = Ref(events);
        player->audio = Ref(audio), player->seeking = Ref(seeking);
        player->videoWindow = withVideo ? Ref(video) : nullptr;
    }
    // Every fake back to the set's own single reference.
    bool AllReferencesBack() const
    {
        LONG all[] = {graph.refs, control.refs, events.refs, audio.refs, seeking.refs, video.refs};
        return std::count(all, all + 6, 1) == 6;
    }
    template <class T> static T* Ref(T& fake) { fake.AddRef(); return &fake; }
};

// While it lives, CoCreateInstance(CLSID_FilterGraph) in this process hands
// out set's graph, or fails with createResult.
struct FakeGraphFactory : IClassFactory {
    FakeGraphSet* set;
    HRESULT createResult = S_OK;
    DWORD cookie = 0;
    explicit FakeGraphFactory(FakeGraphSet* graphSet) : set(graphSet)
    {
        CoRegisterClassObject(CLSID_FilterGraph, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    }
    ~FakeGraphFactory() { if (cookie) CoRevokeClassObject(cookie); }
    STDMETHODIMP QueryInterface(REFIID id, void** out) override
    {
        return (*out = id == IID_IUnknown || id == IID_IClassFactory ? this : nullptr) ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID id, void** out) override
    {
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return FAILED(createResult) ? createResult : set->graph.QueryInterface(id, out);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

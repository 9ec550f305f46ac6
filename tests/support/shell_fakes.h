// Fake media transport controls and a fake taskbar list, for counting the
// calls the strip makes and making them fail. They log into g_fakeCalls as
// the DirectShow fakes do ("controls.put_PlaybackStatus(3)").
#pragma once

#include "fakes.h"
#include "app/media_controls.h"

#include <shobjidl.h>
#include <winstring.h>

#include <string>

// A Windows Runtime object's three methods beyond IUnknown, which the strip never calls.
template <class Interface>
struct FakeInspectable : Fake<Interface> {
    using Fake<Interface>::Fake;
    STDMETHODIMP GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
    STDMETHODIMP GetRuntimeClassName(HSTRING*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTrustLevel(TrustLevel*) override { return E_NOTIMPL; }
};

// The text of a string of the Windows Runtime, read through combase as the strip makes them.
inline std::wstring StringText(HSTRING string)
{
    auto read = reinterpret_cast<PCWSTR(WINAPI*)(HSTRING, UINT32*)>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"combase.dll"), "WindowsGetStringRawBuffer")));
    UINT32 length = 0;
    PCWSTR text = read(string, &length);
    return std::wstring(text, length);
}

// Music or video display properties ("music.put_Title", "video.put_Title"), keeping the title.
template <class Interface>
struct FakeTitled : FakeInspectable<Interface> {
    FakeTitled(const char* name) : FakeInspectable<Interface>(name, __uuidof(Interface)) {}
    std::wstring title;
    STDMETHODIMP put_Title(HSTRING text) override { title = StringText(text); return this->Log("put_Title"); }
    NO_IMPL(get_Title(HSTRING*))
};
struct FakeMusic : FakeTitled<IMusicDisplayProperties> {
    FakeMusic() : FakeTitled("music") {}
};
struct FakeVideoProperties : FakeTitled<IVideoDisplayProperties> {
    FakeVideoProperties() : FakeTitled("video") {}
};

// Hands out music and video while offered, or fails with musicResult.
struct FakeDisplay : FakeInspectable<ISystemMediaTransportControlsDisplayUpdater> {
    FakeDisplay() : FakeInspectable("display", __uuidof(ISystemMediaTransportControlsDisplayUpdater)) {}
    FakeMusic music;
    FakeVideoProperties video;
    HRESULT musicResult = S_OK;
    STDMETHODIMP put_Type(MediaPlaybackType type) override { return Log("put_Type", int(type)); }
    STDMETHODIMP get_MusicProperties(IMusicDisplayProperties** out) override
    {
        Log("get_MusicProperties");
        *out = nullptr;
        if (FAILED(musicResult)) return musicResult;
        return music.QueryInterface(__uuidof(IMusicDisplayProperties), reinterpret_cast<void**>(out));
    }
    STDMETHODIMP get_VideoProperties(IVideoDisplayProperties** out) override
    {
        Log("get_VideoProperties");
        return video.QueryInterface(__uuidof(IVideoDisplayProperties), reinterpret_cast<void**>(out));
    }
    STDMETHODIMP ClearAll() override
    {
        music.title.clear(), video.title.clear();
        return Log("ClearAll");
    }
    STDMETHODIMP Update() override { return Log("Update"); }
    NO_IMPL(get_Type(MediaPlaybackType*)) NO_IMPL(get_AppMediaId(HSTRING*)) NO_IMPL(put_AppMediaId(HSTRING))
    NO_IMPL(get_Thumbnail(IInspectable**)) NO_IMPL(put_Thumbnail(IInspectable*))
    NO_IMPL(get_ImageProperties(IInspectable**)) NO_IMPL(CopyFromFileAsync(MediaPlaybackType, IInspectable*, IInspectable**))
};

// Keeps the status, the enable flags and the handler as Windows 10 does.
struct FakeControls : FakeInspectable<ISystemMediaTransportControls> {
    FakeControls() : FakeInspectable("controls", __uuidof(ISystemMediaTransportControls)) {}
    FakeDisplay display;
    int status = -1;  // none given yet, or the last one taken
    HRESULT statusResult = S_OK;  // a status refused is not kept
    IButtonPressedHandler* handler = nullptr;
    LONG handlerReferencesAtAdd = 0;
    STDMETHODIMP put_PlaybackStatus(MediaPlaybackStatus value) override
    {
        if (SUCCEEDED(statusResult)) status = value;
        Log("put_PlaybackStatus", int(value));
        return statusResult;
    }
    STDMETHODIMP get_DisplayUpdater(ISystemMediaTransportControlsDisplayUpdater** out) override
    {
        Log("get_DisplayUpdater");
        return display.QueryInterface(__uuidof(ISystemMediaTransportControlsDisplayUpdater), reinterpret_cast<void**>(out));
    }
#define LOGGED_FLAG(name) STDMETHODIMP put_##name(boolean on) override { return Log("put_" #name, int(on)); }
    LOGGED_FLAG(IsEnabled) LOGGED_FLAG(IsPlayEnabled) LOGGED_FLAG(IsStopEnabled) LOGGED_FLAG(IsPauseEnabled)
    LOGGED_FLAG(IsRecordEnabled) LOGGED_FLAG(IsFastForwardEnabled) LOGGED_FLAG(IsRewindEnabled)
    LOGGED_FLAG(IsPreviousEnabled) LOGGED_FLAG(IsNextEnabled) LOGGED_FLAG(IsChannelUpEnabled)
    LOGGED_FLAG(IsChannelDownEnabled)
#undef LOGGED_FLAG
    // Holds a reference to the handler, as an event source does, until removed.
    STDMETHODIMP add_ButtonPressed(IButtonPressedHandler* value, EventRegistrationToken* token) override
    {
        handler = value;
        handlerReferencesAtAdd = LONG(value->AddRef()) - 1;
        token->value = 0x7A11;
        return Log("add_ButtonPressed");
    }
    STDMETHODIMP remove_ButtonPressed(EventRegistrationToken token) override
    {
        if (token.value == 0x7A11 && handler) handler->Release(), handler = nullptr;
        return Log("remove_ButtonPressed", token.value);
    }
    NO_IMPL(get_PlaybackStatus(MediaPlaybackStatus*)) NO_IMPL(get_SoundLevel(int*)) NO_IMPL(get_IsEnabled(boolean*))
    NO_IMPL(get_IsPlayEnabled(boolean*)) NO_IMPL(get_IsStopEnabled(boolean*)) NO_IMPL(get_IsPauseEnabled(boolean*))
    NO_IMPL(get_IsRecordEnabled(boolean*)) NO_IMPL(get_IsFastForwardEnabled(boolean*))
    NO_IMPL(get_IsRewindEnabled(boolean*)) NO_IMPL(get_IsPreviousEnabled(boolean*)) NO_IMPL(get_IsNextEnabled(boolean*))
    NO_IMPL(get_IsChannelUpEnabled(boolean*)) NO_IMPL(get_IsChannelDownEnabled(boolean*))
};

// The activation factory's interop: hands out controls for a window, or fails with result.
struct FakeInterop : FakeInspectable<ISystemMediaTransportControlsInterop> {
    FakeInterop() : FakeInspectable("interop", __uuidof(ISystemMediaTransportControlsInterop)) {}
    FakeControls controls;
    HRESULT result = S_OK;
    HWND window = nullptr;
    STDMETHODIMP GetForWindow(HWND forWindow, REFIID id, void** out) override
    {
        window = forWindow;
        Log("GetForWindow");
        if (FAILED(result)) return result;  // and out as it was: a failure promises nothing
        return controls.QueryInterface(id, out);
    }
};

// The one set FakeActivate hands out: the interop, or activationResult.
struct FakeControlsSet {
    FakeInterop interop;
    HRESULT activationResult = S_OK;
    std::wstring className;
    // Every fake back to the set's own single reference, the handler let go.
    bool AllReferencesBack() const
    {
        return interop.refs == 1 && interop.controls.refs == 1 && interop.controls.display.refs == 1 &&
               interop.controls.display.music.refs == 1 && interop.controls.display.video.refs == 1 &&
               !interop.controls.handler;
    }
};
inline FakeControlsSet* g_fakeControlsSet;

// RoGetActivationFactory as the strip calls it: logs the class and hands
// out the set's interop when asked for it.
inline HRESULT WINAPI FakeActivate(HSTRING classId, REFIID id, void** factory)
{
    FakeControlsSet* set = g_fakeControlsSet;
    set->className = StringText(classId);
    set->interop.Log("activate");
    if (FAILED(set->activationResult)) return set->activationResult;
    return set->interop.QueryInterface(id, factory);
}

// The platform's own button event, with the button given.
struct FakeButtonArgs : FakeInspectable<ISystemMediaTransportControlsButtonPressedEventArgs> {
    explicit FakeButtonArgs(int pressed)
        : FakeInspectable("args", __uuidof(ISystemMediaTransportControlsButtonPressedEventArgs)), button(pressed)
    {
    }
    int button;
    HRESULT result = S_OK;
    STDMETHODIMP get_Button(SystemMediaTransportControlsButton* out) override
    {
        *out = SystemMediaTransportControlsButton(button);
        return result;
    }
};

// Logs "taskbar.SetProgressState(8)" and "taskbar.SetProgressValue(64,256)",
// and counts calls for any window but the one expected.
struct FakeTaskbarList : Fake<ITaskbarList3> {
    FakeTaskbarList() : Fake("taskbar", __uuidof(ITaskbarList3)) {}
    HWND window = nullptr;
    int otherWindows = 0;
    HRESULT initResult = S_OK;
    STDMETHODIMP HrInit() override { Log("HrInit"); return initResult; }
    STDMETHODIMP SetProgressValue(HWND at, ULONGLONG done, ULONGLONG total) override
    {
        otherWindows += at != window;
        return Log("SetProgressValue", done, total);
    }
    STDMETHODIMP SetProgressState(HWND at, TBPFLAG state) override
    {
        otherWindows += at != window;
        return Log("SetProgressState", int(state));
    }
    NO_IMPL(AddTab(HWND)) NO_IMPL(DeleteTab(HWND)) NO_IMPL(ActivateTab(HWND)) NO_IMPL(SetActiveAlt(HWND))
    NO_IMPL(MarkFullscreenWindow(HWND, WINBOOL)) NO_IMPL(RegisterTab(HWND, HWND)) NO_IMPL(UnregisterTab(HWND))
    NO_IMPL(SetTabOrder(HWND, HWND)) NO_IMPL(SetTabActive(HWND, HWND, DWORD))
    NO_IMPL(ThumbBarAddButtons(HWND, UINT, LPTHUMBBUTTON)) NO_IMPL(ThumbBarUpdateButtons(HWND, UINT, LPTHUMBBUTTON))
    NO_IMPL(ThumbBarSetImageList(HWND, HIMAGELIST)) NO_IMPL(SetOverlayIcon(HWND, HICON, LPCWSTR))
    NO_IMPL(SetThumbnailTooltip(HWND, LPCWSTR)) NO_IMPL(SetThumbnailClip(HWND, RECT*))
};

// While it lives, CoCreateInstance(CLSID_TaskbarList) in this process hands
// out list, logging "factory.CreateInstance", or fails with createResult.
struct FakeTaskbarFactory : IClassFactory {
    FakeTaskbarList* list;
    HRESULT createResult = S_OK;
    DWORD cookie = 0;
    explicit FakeTaskbarFactory(FakeTaskbarList* taskbarList) : list(taskbarList)
    {
        CoRegisterClassObject(__uuidof(TaskbarList), this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    }
    ~FakeTaskbarFactory() { if (cookie) CoRevokeClassObject(cookie); }
    STDMETHODIMP QueryInterface(REFIID id, void** out) override
    {
        return (*out = id == IID_IUnknown || id == IID_IClassFactory ? this : nullptr) ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID id, void** out) override
    {
        g_fakeCalls.push_back("factory.CreateInstance");
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return FAILED(createResult) ? createResult : list->QueryInterface(id, out);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

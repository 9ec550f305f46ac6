// The Windows Runtime interfaces of the system media transport controls
// that the strip calls, which MinGW-w64's headers do not declare. The IIDs
// and the order of the methods are the platform's: each interface is
// declared up to the last method the strip calls, with every method before
// it, so that the vtable slots fall where Windows has them.
#pragma once

#include <windows.h>
#include <eventtoken.h>
#include <inspectable.h>

// Windows.Media.MediaPlaybackStatus
enum MediaPlaybackStatus : int {
    MediaPlaybackStatus_Closed = 0,
    MediaPlaybackStatus_Changing = 1,
    MediaPlaybackStatus_Stopped = 2,
    MediaPlaybackStatus_Playing = 3,
    MediaPlaybackStatus_Paused = 4,
};

// Windows.Media.MediaPlaybackType
enum MediaPlaybackType : int {
    MediaPlaybackType_Unknown = 0,
    MediaPlaybackType_Music = 1,
    MediaPlaybackType_Video = 2,
};

// Windows.Media.SystemMediaTransportControlsButton, up to Previous.
enum SystemMediaTransportControlsButton : int {
    SystemMediaTransportControlsButton_Play = 0,
    SystemMediaTransportControlsButton_Pause = 1,
    SystemMediaTransportControlsButton_Stop = 2,
    SystemMediaTransportControlsButton_Record = 3,
    SystemMediaTransportControlsButton_FastForward = 4,
    SystemMediaTransportControlsButton_Rewind = 5,
    SystemMediaTransportControlsButton_Next = 6,
    SystemMediaTransportControlsButton_Previous = 7,
};

struct ISystemMediaTransportControls;
struct ISystemMediaTransportControlsButtonPressedEventArgs;

// The title that music and video display properties both begin with,
// right after IInspectable's slots, as Windows has it in either.
struct ITitledDisplayProperties : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Title(HSTRING* title) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Title(HSTRING title) = 0;
};

// Windows.Media.IMusicDisplayProperties; Artist and AlbumArtist follow.
MIDL_INTERFACE("6bbf0c59-d0a0-4d26-92a0-f978e1d18e7b") IMusicDisplayProperties : ITitledDisplayProperties {};

// Windows.Media.IVideoDisplayProperties; Subtitle follows.
MIDL_INTERFACE("5609fdb1-5d2d-4872-8170-45dee5bc2f5c") IVideoDisplayProperties : ITitledDisplayProperties {};

// Windows.Media.ISystemMediaTransportControlsDisplayUpdater. The thumbnail
// is a stream reference, the image properties and the file are objects of
// their own, none of which the strip uses: plain IInspectables here.
MIDL_INTERFACE("8abbc53e-fa55-4ecf-ad8e-c984e5dd1550") ISystemMediaTransportControlsDisplayUpdater : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Type(MediaPlaybackType* type) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Type(MediaPlaybackType type) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AppMediaId(HSTRING* id) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_AppMediaId(HSTRING id) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Thumbnail(IInspectable** thumbnail) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Thumbnail(IInspectable* thumbnail) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_MusicProperties(IMusicDisplayProperties** properties) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_VideoProperties(IVideoDisplayProperties** properties) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ImageProperties(IInspectable** properties) = 0;
    virtual HRESULT STDMETHODCALLTYPE CopyFromFileAsync(MediaPlaybackType type, IInspectable* file,
                                                        IInspectable** operation) = 0;
    virtual HRESULT STDMETHODCALLTYPE ClearAll() = 0;
    virtual HRESULT STDMETHODCALLTYPE Update() = 0;
};

// Windows.Media.ISystemMediaTransportControlsButtonPressedEventArgs
MIDL_INTERFACE("b7f47116-a56f-4dc8-9e11-92031f4a87c2") ISystemMediaTransportControlsButtonPressedEventArgs : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Button(SystemMediaTransportControlsButton* button) = 0;
};

// TypedEventHandler<SystemMediaTransportControls*,
// SystemMediaTransportControlsButtonPressedEventArgs*>: a delegate, so
// IUnknown and not IInspectable underneath.
MIDL_INTERFACE("0557e996-7b23-5bae-aa81-ea0d671143a4") IButtonPressedHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(ISystemMediaTransportControls* sender,
                                             ISystemMediaTransportControlsButtonPressedEventArgs* args) = 0;
};

// Windows.Media.ISystemMediaTransportControls; add and remove of
// PropertyChanged follow.
MIDL_INTERFACE("99fa3ff4-1742-42a6-902e-087d41f965ec") ISystemMediaTransportControls : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_PlaybackStatus(MediaPlaybackStatus* status) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_PlaybackStatus(MediaPlaybackStatus status) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DisplayUpdater(ISystemMediaTransportControlsDisplayUpdater** updater) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SoundLevel(int* level) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsEnabled(boolean* enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsEnabled(boolean enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsPlayEnabled(boolean* enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsPlayEnabled(boolean enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsStopEnabled(boolean* enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsStopEnabled(boolean enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsPauseEnabled(boolean* enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsPauseEnabled(boolean enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsRecordEnabled(boolean* enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsRecordEnabled(boolean enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsFastForwardEnabled(boolean* enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsFastForwardEnabled(boolean enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsRewindEnabled(boolean* enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsRewindEnabled(boolean enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsPreviousEnabled(boolean* enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsPreviousEnabled(boolean enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsNextEnabled(boolean* enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsNextEnabled(boolean enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsChannelUpEnabled(boolean* enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsChannelUpEnabled(boolean enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsChannelDownEnabled(boolean* enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsChannelDownEnabled(boolean enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_ButtonPressed(IButtonPressedHandler* handler,
                                                        EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_ButtonPressed(EventRegistrationToken token) = 0;
};

// The desktop's way to the controls: by window, from the class's activation factory.
MIDL_INTERFACE("ddb0472d-c911-4a1f-86d9-dc3d71a95f5a") ISystemMediaTransportControlsInterop : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE GetForWindow(HWND window, REFIID iid, void** controls) = 0;
};

// __uuidof for MinGW-w64, as its own headers give it.
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IMusicDisplayProperties, 0x6bbf0c59, 0xd0a0, 0x4d26, 0x92, 0xa0, 0xf9, 0x78, 0xe1, 0xd1, 0x8e, 0x7b)
__CRT_UUID_DECL(IVideoDisplayProperties, 0x5609fdb1, 0x5d2d, 0x4872, 0x81, 0x70, 0x45, 0xde, 0xe5, 0xbc, 0x2f, 0x5c)
__CRT_UUID_DECL(ISystemMediaTransportControlsDisplayUpdater, 0x8abbc53e, 0xfa55, 0x4ecf, 0xad, 0x8e, 0xc9, 0x84,
                0xe5, 0xdd, 0x15, 0x50)
__CRT_UUID_DECL(ISystemMediaTransportControlsButtonPressedEventArgs, 0xb7f47116, 0xa56f, 0x4dc8, 0x9e, 0x11, 0x92,
                0x03, 0x1f, 0x4a, 0x87, 0xc2)
__CRT_UUID_DECL(IButtonPressedHandler, 0x0557e996, 0x7b23, 0x5bae, 0xaa, 0x81, 0xea, 0x0d, 0x67, 0x11, 0x43, 0xa4)
__CRT_UUID_DECL(ISystemMediaTransportControls, 0x99fa3ff4, 0x1742, 0x42a6, 0x90, 0x2e, 0x08, 0x7d, 0x41, 0xf9, 0x65,
                0xec)
__CRT_UUID_DECL(ISystemMediaTransportControlsInterop, 0xddb0472d, 0xc911, 0x4a1f, 0x86, 0xd9, 0xdc, 0x3d, 0x71,
                0xa9, 0x5f, 0x5a)
#endif

#include "app/media_controls.h"
#include "app/commands.h"
#include "core/queue.h"
#include "core/state.h"
#include "core/system_library.h"
#include "player/player.h"

ISystemMediaTransportControls* g_mediaControls;

namespace {

typedef HRESULT(WINAPI* StringReferenceFunction)(PCWSTR text, UINT32 length, HSTRING_HEADER* header, HSTRING* string);

const WCHAR CONTROLS_CLASS_NAME[] = L"Windows.Media.SystemMediaTransportControls";
const UINT32 CONTROLS_CLASS_NAME_LENGTH = sizeof CONTROLS_CLASS_NAME / sizeof(WCHAR) - 1;
const int NOTHING_SHOWN = -1;

StringReferenceFunction g_makeStringReference;  // combase's WindowsCreateStringReference
EventRegistrationToken g_buttonToken;
int g_shownStatus = NOTHING_SHOWN;              // the MediaPlaybackStatus the controls took last
boolean g_nextShown, g_previousShown;           // whether Next and Previous are enabled
BOOL g_titleShown;                              // a file's title is on the controls

// The one object the controls call, from threads of their pool: it only
// posts the button to the strip, whose thread carries it out. Static and
// agile, so it needs no heap and no marshalling; its count is kept but
// never frees it.
struct ButtonHandler : IButtonPressedHandler {
    LONG references = 1;  // the static object's own

    STDMETHODIMP QueryInterface(REFIID id, void** out) override
    {
        if (!out) return E_POINTER;
        *out = SameGuid(id, __uuidof(IUnknown)) || SameGuid(id, __uuidof(IAgileObject)) ||
                       SameGuid(id, __uuidof(IButtonPressedHandler))
                   ? this
                   : nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(InterlockedIncrement(&references)); }
    STDMETHODIMP_(ULONG) Release() override { return ULONG(InterlockedDecrement(&references)); }
    STDMETHODIMP Invoke(ISystemMediaTransportControls*, ISystemMediaTransportControlsButtonPressedEventArgs* args) override
    {
        if (!args) return E_POINTER;
        SystemMediaTransportControlsButton button;
        HRESULT result = args->get_Button(&button);
        if (SUCCEEDED(result)) PostMessageW(g_mainWindow, WM_MEDIA_BUTTON, WPARAM(button), 0);
        return result;
    }
};

ButtonHandler g_buttonHandler;

// By what the strip shows outside it.
const MediaPlaybackStatus STATUS_SHOWN[] = { MediaPlaybackStatus_Closed, MediaPlaybackStatus_Playing,
                                             MediaPlaybackStatus_Paused, MediaPlaybackStatus_Stopped };
// The commands of the buttons, by button: Play, Pause, Stop, then none for
// Record, Fast Forward and Rewind (0, an open, is never a button's), Next, Previous.
const BYTE BUTTON_COMMANDS[] = { CMD_PLAY, CMD_PAUSE, CMD_STOP, 0, 0, 0, CMD_NEXT, CMD_PREVIOUS };

// The controls' activation factory, through combase where Windows has it.
ISystemMediaTransportControlsInterop* ActivateControls(ActivationFunction activate)
{
    HMODULE combase = LoadSystemLibrary("combase.dll");
    if (!combase) return nullptr;  // Windows 7
    g_makeStringReference = reinterpret_cast<StringReferenceFunction>(
        reinterpret_cast<void*>(GetProcAddress(combase, "WindowsCreateStringReference")));
    if (!activate) {
        activate = reinterpret_cast<ActivationFunction>(
            reinterpret_cast<void*>(GetProcAddress(combase, "RoGetActivationFactory")));
    }
    HSTRING_HEADER header;
    HSTRING name;
    void* interop = nullptr;
    // A failed activation may leave anything in interop (Wine's leaves it untouched).
    if (!g_makeStringReference || !activate ||
        FAILED(g_makeStringReference(CONTROLS_CLASS_NAME, CONTROLS_CLASS_NAME_LENGTH, &header, &name)) ||
        FAILED(activate(name, __uuidof(ISystemMediaTransportControlsInterop), &interop)))
        return nullptr;
    return static_cast<ISystemMediaTransportControlsInterop*>(interop);
}

} // namespace

void CreateMediaControls(HWND strip, ActivationFunction activate)
{
    if (IsChildStrip(strip) || g_mediaControls) return;
    ISystemMediaTransportControlsInterop* interop = ActivateControls(activate);
    if (!interop) return;  // Windows 8 and Wine 8 have no such class
    void* controls = nullptr;
    if (FAILED(interop->GetForWindow(strip, __uuidof(ISystemMediaTransportControls), &controls))) controls = nullptr;
    interop->Release();
    if (!controls) return;
    g_mediaControls = static_cast<ISystemMediaTransportControls*>(controls);
    g_mediaControls->put_IsEnabled(TRUE);
    g_mediaControls->put_IsPlayEnabled(TRUE);
    g_mediaControls->put_IsPauseEnabled(TRUE);
    g_mediaControls->put_IsStopEnabled(TRUE);
    g_mediaControls->add_ButtonPressed(&g_buttonHandler, &g_buttonToken);
    g_shownStatus = NOTHING_SHOWN;
    g_nextShown = g_previousShown = FALSE;  // the controls start with both disabled
    g_titleShown = FALSE;
    UpdateMediaControls();
    ShowMediaTitle();
}

void UpdateMediaControls()
{
    if (!g_mediaControls) return;
    MediaPlaybackStatus status = STATUS_SHOWN[PlaybackShownOutside()];
    if (status != g_shownStatus) {
        g_shownStatus = status;  // first: a call that lets messages in must not bring it about twice
        // Refused: not shown, so given again at the next command or tick.
        if (FAILED(g_mediaControls->put_PlaybackStatus(status))) g_shownStatus = NOTHING_SHOWN;
    }
    // Next and Previous only while there is a file to go to, and told only when that changes.
    boolean next = QueueHasNext(), previous = g_queueIndex > 0;
    if (next != g_nextShown) g_mediaControls->put_IsNextEnabled(g_nextShown = next);
    if (previous != g_previousShown) g_mediaControls->put_IsPreviousEnabled(g_previousShown = previous);
}

void ShowMediaTitle()
{
    if (!g_mediaControls) return;
    BOOL playing = PlayerHasMedia(&g_player);
    if (!playing && !g_titleShown) return;  // a failed open shows as Closed, with nothing to take away
    ISystemMediaTransportControlsDisplayUpdater* display = nullptr;
    if (FAILED(g_mediaControls->get_DisplayUpdater(&display)) || !display) return;
    g_titleShown = playing;
    if (playing) {
        // The type first: the properties of a type are there once it is set.
        BOOL picture = PlayerHasPicture(&g_player);
        display->put_Type(picture ? MediaPlaybackType_Video : MediaPlaybackType_Music);
        IMusicDisplayProperties* music = nullptr;
        IVideoDisplayProperties* video = nullptr;
        HRESULT got = picture ? display->get_VideoProperties(&video) : display->get_MusicProperties(&music);
        ITitledDisplayProperties* properties = picture ? static_cast<ITitledDisplayProperties*>(video) : music;
        if (SUCCEEDED(got) && properties) {
            // A reference to the path's own text: the controls copy what they keep.
            const WCHAR* name = FileNamePart(g_mediaPath);
            HSTRING_HEADER header;
            HSTRING title;
            if (SUCCEEDED(g_makeStringReference(name, UINT32(lstrlenW(name)), &header, &title)))
                properties->put_Title(title);
            properties->Release();
        }
    } else {
        display->ClearAll();  // the last file's title goes with the failed open
    }
    display->Update();
    display->Release();
}

void HandleMediaButton(WPARAM button)
{
    if (button < sizeof BUTTON_COMMANDS && BUTTON_COMMANDS[button]) PerformCommand(BUTTON_COMMANDS[button], 0);
}

void ReleaseMediaControls()
{
    if (!g_mediaControls) return;
    g_mediaControls->remove_ButtonPressed(g_buttonToken);
    ReleaseInterface(g_mediaControls);
}

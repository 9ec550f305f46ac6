#include "player/player.h"
#include "core/state.h"
#include "player/session.h"

Player g_player;

namespace {

const LONG NEW_GRAPH_VOLUME = -500;   // level 9500
const int STATE_WAIT_CALLS = 30;
const DWORD STATE_WAIT_MS = 1000;
const DWORD PAUSE_POLL_MS = 100;
const DWORD PAUSE_POLL_LIMIT_MS = 5000;

// Gives back whatever PlayerCreate obtained before it found the graph unusable.
void ReleaseAll(Player* player)
{
    ReleaseInterface(player->seeking);
    ReleaseInterface(player->audio);
    ReleaseInterface(player->events);
    ReleaseInterface(player->control);
    ReleaseInterface(player->graph);
}

} // namespace

int PlayerCreate(Player* player, HWND notifyWindow)
{
    player->graph = nullptr;
    player->control = nullptr;
    player->events = nullptr;
    player->audio = nullptr;
    player->seeking = nullptr;
    player->videoWindow = nullptr;
    player->eventMask = 0;
    player->filterState = State_Stopped;
    player->ended = FALSE;
    player->volume = NEW_GRAPH_VOLUME;

    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                IID_IGraphBuilder, reinterpret_cast<void**>(&player->graph)))) {
        player->graph = nullptr;
        return 0;
    }
    IGraphBuilder* graph = player->graph;
    graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&player->control));
    graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&player->events));
    graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&player->audio));
    graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&player->seeking));

    // Everything else relies on both; a graph without them is no graph.
    if (!player->control || !player->events) {
        ReleaseAll(player);
        return 0;
    }

    player->events->SetNotifyWindow(reinterpret_cast<OAHWND>(notifyWindow), WM_GRAPHNOTIFY, 0);
    if (player->audio) player->audio->put_Volume(player->volume);
    return 1;
}

void PlayerSetVolume(Player* player, int level)
{
    if (level < 0) level = 0;
    if (level > 10000) level = 10000;
    if (player->session) SessionSetVolume(player, level);
    if (!player->graph || !player->audio) return;
    LONG volume = level - 10000;
    if (SUCCEEDED(player->audio->put_Volume(volume))) player->volume = volume;
}

void PlayerWaitState(Player* player)
{
    if (!player->graph) return;
    for (int call = 0; call < STATE_WAIT_CALLS; ++call) {
        if (player->control->GetState(STATE_WAIT_MS, &player->filterState) == S_OK) return;
    }
}

void PlayerPause(Player* player)
{
    if (player->session) SessionPause(player);
    if (!player->graph) return;
    player->control->Pause();
    // A graph stuck running must not freeze us: polling ends after PAUSE_POLL_LIMIT_MS.
    DWORD start = GetTickCount();
    for (;;) {
        PlayerWaitState(player);
        if (player->filterState != State_Running || GetTickCount() - start >= PAUSE_POLL_LIMIT_MS) return;
        SleepLettingSendsIn(PAUSE_POLL_MS);
    }
}

namespace {

// A graph that has played to its end ignores a new place while it runs,
// and a plain Run there plays nothing: stop, move, then run or pause.
void ReplayFrom(Player* player, LONGLONG position, BOOL paused)
{
    player->control->Stop();
    if (player->seeking) {
        player->seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    }
    player->ended = FALSE;
    if (paused) player->control->Pause();
    else player->control->Run();
    PlayerWaitState(player);
}

} // namespace

void PlayerPlay(Player* player)
{
    if (player->session) SessionPlay(player);
    if (!player->graph) return;
    if (player->ended) {
        ReplayFrom(player, 0, FALSE);  // play after the end plays the file again
        return;
    }
    player->control->Run();
    PlayerWaitState(player);
}

void PlayerTogglePause(Player* player)
{
    if (!PlayerHasMedia(player)) return;
    // The stored state decides: after the end of the media a toggle plays again.
    if (player->filterState != State_Running) {
        PlayerPlay(player);
        return;
    }
    PlayerPause(player);
    PlayerWaitState(player);
}

void PlayerHandleEvents(Player* player)
{
    if (player->session) SessionHandleEvents(player);
    if (!player->graph) return;
    long code;
    LONG_PTR param1, param2;
    while (SUCCEEDED(player->events->GetEvent(&code, &param1, &param2, 0))) {
        player->events->FreeEventParams(code, param1, param2);
        player->eventMask |= 1UL << (code & 31);
        wsprintfW(g_statusLine, L"State:%x", player->eventMask);
        if (code == EC_COMPLETE) {
            player->filterState = State_Stopped;
            player->ended = TRUE;
        }
    }
}

void PlayerPollEvents(Player* player)
{
    if (player->session) SessionHandleEvents(player);
}

void PlayerStop(Player* player)
{
    if (!player->graph) return;
    PlayerPause(player);
    player->control->Stop();
    if (IVideoWindow* video = player->videoWindow) {
        video->put_Visible(OAFALSE);
        video->put_MessageDrain(0);
        video->put_Owner(0);
    }
}

void PlayerRelease(Player* player)
{
    if (player->session) SessionRelease(player);
    if (!player->graph) return;
    PlayerStop(player);
    ReleaseInterface(player->videoWindow);
    ReleaseAll(player);
    player->filterState = State_Stopped;
    player->ended = FALSE;
}

void PlayerSeekTo(Player* player, LONGLONG position)
{
    if (!player->session && !(player->graph && player->seeking)) return;
    if (position > g_duration && g_duration > 0) position = g_duration;  // no duration: the graph knows the end
    if (position < 0) position = 0;
    if (player->session) {
        SessionSeekTo(player, position);
        return;
    }
    if (player->ended) {
        // After the end it plays from there, unless the user paused it since.
        ReplayFrom(player, position, player->filterState == State_Paused);
        return;
    }
    // Running plays on from there; paused stays paused there.
    player->seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
}

void PlayerSeekBy(Player* player, LONGLONG change)
{
    if (!player->session && !(player->graph && player->seeking)) return;
    LONGLONG position = g_position;  // the last tick's, should a fresh read fail
    PlayerGetPosition(player, &position);
    PlayerSeekTo(player, position + change);
}

BOOL PlayerGetPosition(Player* player, LONGLONG* position)
{
    if (player->session) return SessionGetPosition(player, position);
    return player->graph && player->seeking && SUCCEEDED(player->seeking->GetCurrentPosition(position));
}

#pragma once
// The application: brings the program up with its single-document template (song document, main
// frame, converter form), opens a song named on the command line, and owns the sequencer player
// so that the form can close it on its way out.

#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "sequencer_player.h"
#include "win_app.h"

class CTarvel1App : public CWinApp
{
public:
    CTarvel1App();
    ~CTarvel1App() override;

    bool InitInstance() override;
    int ExitInstance() override;

    // Starts making the player (synthesizer, SoundFont, audio libraries) on the loading thread;
    // does nothing once it has started. The window's thread never waits for it.
    void LoadPlayerInBackground();
    // The player once it is ready, nullptr while it loads.
    CSequencerPlayer* GetReadyPlayer() const { return m_pPlayer.get(); }
    // Called on the window's thread once the player is ready (at once when it is). One handler:
    // the form's; an empty one removes it.
    void SetPlayerReadyHandler(std::function<void()> handler);
    // Waits for the loading thread and returns the player. For callers that may wait: the
    // program's exit and the tests.
    CSequencerPlayer& GetPlayer();
    // The player is made again, on the loading thread at its next use, with `options`; whoever
    // holds the present one must have let it go.
    void SetPlayerOptions(const PlayerOptions& options);
    // True when the player, made or still to be made, is one with `options`.
    bool IsPlayerMadeWith(const PlayerOptions& options) const;

    // What the loading thread runs to make the player; by default a player on the system's
    // audio with the SoundFont loaded. The tests hold the loading back with their own.
    using PlayerFactory = std::function<std::unique_ptr<CSequencerPlayer>()>;
    void SetPlayerFactory(PlayerFactory factory) { m_makePlayer = std::move(factory); }

private:
    void OnHelpAbout(wxCommandEvent& event);
    // Takes the loading thread's player over once it has handed it over, or with `wait` waits
    // for it; runs on the window's thread.
    void AdoptLoadedPlayer(bool wait);

    std::thread m_loader;
    std::mutex m_loadedMutex;
    std::unique_ptr<CSequencerPlayer> m_pLoaded; // handed over by the loading thread
    std::unique_ptr<CSequencerPlayer> m_pPlayer; // the window's, once adopted
    std::function<void()> m_onPlayerReady;
    PlayerFactory m_makePlayer;
    PlayerOptions m_playerOptions; // the playback settings the player is made with

    wxDECLARE_EVENT_TABLE();
};

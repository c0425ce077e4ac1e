#pragma once
// The application: brings the program up with its single-document template (song document, main
// frame, converter form), opens a song named on the command line, and owns the sequencer player
// so that the form can close it on its way out.

#include <memory>

#include "sequencer_player.h"
#include "win_app.h"

class CTarvel1App : public CWinApp
{
public:
    CTarvel1App();
    ~CTarvel1App() override;

    bool InitInstance() override;
    int ExitInstance() override;

    // The player the form drives; made just after start-up, kept until the application ends.
    CSequencerPlayer& GetPlayer();
    // The player is made again, on first use, with `options`; whoever holds the present one
    // must have let it go.
    void SetPlayerOptions(const PlayerOptions& options);
    // True when the player there is was made with `options`.
    bool IsPlayerMadeWith(const PlayerOptions& options) const;

private:
    void OnHelpAbout(wxCommandEvent& event);

    std::unique_ptr<CSequencerPlayer> m_pPlayer;
    PlayerOptions m_playerOptions; // the playback settings the player was made with

    wxDECLARE_EVENT_TABLE();
};

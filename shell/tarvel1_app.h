#pragma once
// The application: brings the program up with its single-document template (song document, main
// frame, converter form), opens a song named on the command line, and owns the sequencer player
// so that the form can close it on its way out.

#include <memory>

#include "win_app.h"

class CSequencerPlayer;

class CTarvel1App : public CWinApp
{
public:
    CTarvel1App();
    ~CTarvel1App() override;

    bool InitInstance() override;
    int ExitInstance() override;

    // The player the form drives; made just after start-up, kept until the application ends.
    CSequencerPlayer& GetPlayer();

private:
    void OnHelpAbout(wxCommandEvent& event);

    std::unique_ptr<CSequencerPlayer> m_pPlayer;

    wxDECLARE_EVENT_TABLE();
};

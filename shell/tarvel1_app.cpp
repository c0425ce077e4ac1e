#include "tarvel1_app.h"

#include "about_dialog.h"
#include "main_frame.h"
#include "playback_settings.h"
#include "resource.h"
#include "sequencer_player.h"
#include "song_document.h"
#include "tarvel1_view.h"

wxBEGIN_EVENT_TABLE(CTarvel1App, CWinApp)
    ON_COMMAND(ID_APP_ABOUT, CTarvel1App::OnHelpAbout)
    ON_COMMAND(ID_FILE_NEW, CWinApp::OnFileNew)
    ON_COMMAND(ID_FILE_OPEN, CWinApp::OnFileOpen)
    ON_COMMAND(ID_FILE_PRINT_SETUP, CWinApp::OnFilePrintSetup)
wxEND_EVENT_TABLE()

CTarvel1App::CTarvel1App() = default;

CTarvel1App::~CTarvel1App() = default;

CSequencerPlayer& CTarvel1App::GetPlayer()
{
    if (!m_pPlayer)
        m_pPlayer = std::make_unique<CSequencerPlayer>(m_playerOptions);
    return *m_pPlayer;
}

void CTarvel1App::SetPlayerOptions(const PlayerOptions& options)
{
    m_pPlayer.reset();
    m_playerOptions = options;
}

bool CTarvel1App::IsPlayerMadeWith(const PlayerOptions& options) const
{
    return m_pPlayer && SamePlayerOptions(options, m_playerOptions);
}

bool CTarvel1App::InitInstance()
{
    SetRegistryKey("Local AppWizard-Generated Applications");
    LoadStdProfileSettings(4);
    // The SoundFont that loads at start-up is the one the settings name.
    m_playerOptions = CPlaybackSettings::Load(GetProfilePath()).ToPlayerOptions();

    AddDocTemplate(new CSingleDocTemplate(IDR_MAINFRAME, CreateDocument<CTarvel1Doc>,
                                          CreateFrame<CMainFrame>, CreateView<CTarvel1View>));

    CCommandLineInfo cmdInfo;
    ParseCommandLine(cmdInfo);
    if (!ProcessShellCommand(cmdInfo))
        return false;

    m_pMainWnd->Show(true);
    m_pMainWnd->Update();
    // The SoundFont loads on the player's own thread once the window is up, so that neither
    // the start-up nor the first START waits for it.
    CallAfter([this] { GetPlayer(); });
    return true;
}

int CTarvel1App::ExitInstance()
{
    // The form closes the device as it goes, so the player is released after the template.
    const int status = CWinApp::ExitInstance();
    m_pPlayer.reset();
    return status;
}

void CTarvel1App::OnHelpAbout(wxCommandEvent&)
{
    CAboutDialog aboutDlg;
    aboutDlg.DoModal();
}

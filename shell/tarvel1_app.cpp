#include "tarvel1_app.h"

#include <malloc.h>

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

CTarvel1App::~CTarvel1App()
{
    if (m_loader.joinable())
        m_loader.join();
}

void CTarvel1App::LoadPlayerInBackground()
{
    if (m_pPlayer || m_loader.joinable())
        return;
    m_loader = std::thread(
        [this, make = m_makePlayer, options = m_playerOptions]
        {
            // Making the synthesizer loads its libraries and takes milliseconds; the SoundFont
            // takes up to a second. Both happen here, never on the window's thread.
            std::unique_ptr<CSequencerPlayer> player;
            if (make)
                player = make();
            else
            {
                player = std::make_unique<CSequencerPlayer>(options);
                player->WaitForSoundFont();
            }
            // Loading a SoundFont reads and converts it through buffers it frees at once; the
            // allocator keeps them in this thread's arena unless told to give them back.
            malloc_trim(0);
            {
                std::lock_guard<std::mutex> lock(m_loadedMutex);
                m_pLoaded = std::move(player);
            }
            CallAfter([this] { AdoptLoadedPlayer(false); });
        });
}

void CTarvel1App::AdoptLoadedPlayer(bool wait)
{
    if (m_pPlayer || !m_loader.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_loadedMutex);
        // Not handed over yet: its own call comes once it is (unless the caller may wait). A
        // call left over from a loader that a change of settings replaced lands here too.
        if (!m_pLoaded && !wait)
            return;
    }
    // The thread has handed its player over, or is about to: it does nothing after that.
    m_loader.join();
    {
        std::lock_guard<std::mutex> lock(m_loadedMutex);
        m_pPlayer = std::move(m_pLoaded);
    }
    if (m_onPlayerReady)
        m_onPlayerReady();
}

void CTarvel1App::SetPlayerReadyHandler(std::function<void()> handler)
{
    m_onPlayerReady = std::move(handler);
    if (m_pPlayer && m_onPlayerReady)
        m_onPlayerReady();
}

CSequencerPlayer& CTarvel1App::GetPlayer()
{
    LoadPlayerInBackground();
    AdoptLoadedPlayer(true);
    return *m_pPlayer;
}

void CTarvel1App::SetPlayerOptions(const PlayerOptions& options)
{
    // A player still loading with the old settings is let finish and dropped: only a change of
    // settings during the first moments waits for it.
    if (m_loader.joinable())
        m_loader.join();
    {
        std::lock_guard<std::mutex> lock(m_loadedMutex);
        m_pLoaded.reset();
    }
    m_pPlayer.reset();
    m_playerOptions = options;
}

bool CTarvel1App::IsPlayerMadeWith(const PlayerOptions& options) const
{
    return SamePlayerOptions(options, m_playerOptions);
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
    // The player is made after the form's first paint (CTarvel1View::OnDraw), so that the window
    // comes up without the synthesizer's libraries.
    return true;
}

int CTarvel1App::ExitInstance()
{
    // The form closes the device as it goes, so the player is released after the template.
    const int status = CWinApp::ExitInstance();
    m_onPlayerReady = nullptr;
    if (m_loader.joinable())
        m_loader.join();
    m_pLoaded.reset();
    m_pPlayer.reset();
    return status;
}

void CTarvel1App::OnHelpAbout(wxCommandEvent&)
{
    CAboutDialog aboutDlg;
    aboutDlg.DoModal();
}

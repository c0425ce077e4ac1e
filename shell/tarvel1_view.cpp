#include "tarvel1_view.h"

#include <cassert>

#include <wx/frame.h>
#include <wx/textctrl.h>

#include "conversion.h"
#include "message_box.h"
#include "frame_wnd.h"
#include "gtk_native.h"
#include "main_frame.h"
#include "piano_roll_wnd.h"
#include "playback_settings.h"
#include "player_control.h"
#include "resource.h"
#include "sequencer_player.h"
#include "string_table.h"
#include "tarvel1_app.h"
#include "win_app.h"
#include "wx_text.h"

bool g_bFirstUpdate = true;

namespace
{

CTarvel1App& App()
{
    auto* app = dynamic_cast<CTarvel1App*>(AfxGetApp());
    assert(app != nullptr && "the form lives in the tarvel1 application");
    return *app;
}

} // namespace

wxBEGIN_EVENT_TABLE(CTarvel1View, CFormView)
    ON_BN_CLICKED(IDC_CONVERT, CTarvel1View::OnConvert)
    ON_BN_CLICKED(IDC_START, CTarvel1View::OnStart)
    ON_BN_CLICKED(IDC_PAUSE, CTarvel1View::OnPause)
    ON_COMMAND(ID_VIEW_USE_ESTIMATED_KEY, CTarvel1View::OnUseEstimatedKey)
    ON_UPDATE_COMMAND_UI(ID_VIEW_USE_ESTIMATED_KEY, CTarvel1View::OnUpdateUseEstimatedKey)
    ON_COMMAND(ID_FILE_PRINT, CView::OnFilePrint)
    ON_COMMAND(ID_FILE_PRINT_DIRECT, CView::OnFilePrintDirect)
    ON_COMMAND(ID_FILE_PRINT_PREVIEW, CView::OnFilePrintPreview)
wxEND_EVENT_TABLE()

CTarvel1View::CTarvel1View() : CFormView(IDD_CONVERTER_FORM) {}

CPlayerControl& CTarvel1View::GetPlayerControl()
{
    if (!m_pPlayerControl)
    {
        App().GetPlayer();
        OnPlayerReady();
    }
    return *m_pPlayerControl;
}

void CTarvel1View::WithPlayer(std::function<void(CPlayerControl&)> command)
{
    if (m_pPlayerControl)
        return command(*m_pPlayerControl);
    m_deferred.push_back(std::move(command));
    App().SetPlayerReadyHandler([this] { OnPlayerReady(); });
    App().LoadPlayerInBackground();
}

void CTarvel1View::OnPlayerReady()
{
    CSequencerPlayer* player = App().GetReadyPlayer();
    if (player == nullptr)
        return;
    App().SetPlayerReadyHandler(nullptr);
    if (!m_pPlayerControl)
    {
        m_pPlayerControl = std::make_unique<CPlayerControl>(*player);
        m_pPlayerControl->SetOpenErrorPresenter(
            [this, player](const std::string& error)
            {
                // The song's own faults are shown as they are; when the sound output is what
                // failed, the libraries' reasons mean nothing to the user. (The check replaces
                // the player's error text, which `error` refers to.)
                const std::string reason = error;
                if (player->CheckAudioOutput())
                    AfxMessageBox(reason);
                else
                    OfferPlaybackSettings(GetParentFrame(), App().GetProfilePath());
            });
        m_pPlayerControl->SetCaptionObserver(
            [this](const std::string& caption)
            {
                if (m_btnPause.GetSafeHwnd() != nullptr)
                    m_btnPause.SetWindowText(caption);
            });
    }
    // A command may show a message box, whose loop may deliver more presses: those run after.
    while (!m_deferred.empty())
    {
        auto command = std::move(m_deferred.front());
        m_deferred.erase(m_deferred.begin());
        command(*m_pPlayerControl);
    }
}

// The player control closes the device if it is open as it goes.
CTarvel1View::~CTarvel1View()
{
    if (CWinApp* app = AfxGetApp())
        static_cast<CTarvel1App*>(app)->SetPlayerReadyHandler(nullptr);
}

CTarvel1Doc* CTarvel1View::GetDocument() const
{
    return static_cast<CTarvel1Doc*>(CFormView::GetDocument());
}

void CTarvel1View::DoDataExchange(CDataExchange* pDX)
{
    CFormView::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PAUSE, m_btnPause);
    DDX_Control(pDX, IDC_KEY, m_cmbKey);
    DDX_Control(pDX, IDC_MODE, m_cmbMode);
}

void CTarvel1View::FillBox(CComboBox& box, UINT firstId, UINT count)
{
    box.ResetContent();
    std::string choices;
    for (UINT i = 0; i < count; ++i)
    {
        box.InsertString(-1, LoadResString(firstId + i));
        choices += (i > 0 ? ", " : "") + LoadResString(firstId + i);
    }
    box.SetWindowText(LoadResString(firstId));
    // wx draws this combo box itself: screen readers are told that it is one, and its choices,
    // which its closed list does not show them.
    AfxSetAccessibleRole(box.GetComboBox(), "combo box");
    AfxSetAccessibleDescription(box.GetComboBox(), choices);
    AfxSetAccessibleDescription(box.GetComboBox()->GetTextCtrl(), choices);
}

void CTarvel1View::OnInitialUpdate()
{
    CFormView::OnInitialUpdate();
    // What a screen reader announces for the boxes, whose fields have no label of their own.
    for (auto [box, name] : {std::pair{&m_cmbKey, IDS_ACCNAME_KEY}, {&m_cmbMode, IDS_ACCNAME_MODE}})
    {
        AfxSetAccessibleName(box->GetComboBox(), LoadResString(name));
        AfxSetAccessibleName(box->GetComboBox()->GetTextCtrl(), LoadResString(name));
    }
    GetParentFrame()->RecalcLayout();
    ResizeParentToFit();

    // Conversion comes before the boxes are reset: a newly opened song is converted with the
    // texts that were showing. A write failure leaves from here, with the boxes as they were.
    if (!g_bFirstUpdate)
        StopAndConvert();
    EstimateKeyOfSong();

    g_bFirstUpdate = false;
    if (m_pPlayerControl || !m_deferred.empty())
        WithPlayer([](CPlayerControl& control) { control.ResetForInitialUpdate(); });
    FillBox(m_cmbMode, IDS_MODE_FIRST, IDS_MODE_COUNT);
    FillBox(m_cmbKey, IDS_KEY_FIRST, IDS_KEY_COUNT);
}

void CTarvel1View::OnDraw(wxDC&)
{
    if (!m_bPainted)
    {
        // The window is on the screen: wx's texts, the player's libraries and the SoundFont
        // may load now, once this paint has gone out.
        m_bPainted = true;
        CallAfter(
            []
            {
                AfxInitTranslations();
                App().LoadPlayerInBackground();
            });
    }
    if (wxFrame* frame = AfxGetMainWnd())
    {
        const wxString title = FromUtf8(LoadResString(IDS_MAIN_WINDOW_TITLE));
        if (frame->GetTitle() != title)
            frame->SetTitle(title);
    }
}

bool CTarvel1View::OnPreparePrinting(CPrintInfo* info)
{
    return CFormView::OnPreparePrinting(info);
}

// The form prints nothing: one empty page.
void CTarvel1View::OnBeginPrinting(wxDC&, CPrintInfo*) {}
void CTarvel1View::OnPrint(wxDC&, CPrintInfo*) {}
void CTarvel1View::OnEndPrinting(wxDC&, CPrintInfo*) {}

void CTarvel1View::StopAndConvert()
{
    if (m_pPlayerControl || !m_deferred.empty())
        WithPlayer([](CPlayerControl& control) { control.CloseDevice(); });
    ConvertAndWrite();
}

void CTarvel1View::ConvertAndWrite()
{
    ConvertWith(m_cmbMode.GetWindowText());
}

void CTarvel1View::ConvertWith(const std::string& mode)
{
    // A failed write leaves the older temp.mid in place: START must not play it.
    m_bTempWriteFailed = true;
    try
    {
        ::ConvertAndWrite(*GetDocument(), mode, m_cmbKey.GetWindowText(), m_nKeyOffset,
                          m_strTempPath);
    }
    catch (...)
    {
        // The song was converted before the write failed: the roll shows what the song is now.
        SongConverted(mode);
        throw;
    }
    m_bTempWriteFailed = false;
    SongConverted(mode);
}

void CTarvel1View::SongConverted(const std::string& mode)
{
    if (auto* frame = dynamic_cast<CMainFrame*>(GetParentFrame()))
        frame->GetPianoRoll().SongChanged(*GetDocument(), true, mode, m_nKeyOffset);
}

void CTarvel1View::EstimateKeyOfSong()
{
    const CTarvel1Doc& doc = *GetDocument();
    m_keyEstimate = EstimateKey(doc);
    auto* frame = dynamic_cast<CMainFrame*>(GetParentFrame());
    if (frame == nullptr)
        return;
    // Until the next prompt takes the pane; nothing to say before a song was read.
    if (doc.m_bLoaded == 1)
        frame->SetMessageText(m_keyEstimate.nNotes == 0
                                  ? LoadResString(IDS_NO_ESTIMATED_KEY)
                                  : FormatResString(IDS_ESTIMATED_KEY, KeyText(m_keyEstimate.key)));
    // The roll names the key and shades its scale until the next conversion names its own.
    if (m_keyEstimate.nNotes > 0)
        frame->GetPianoRoll().SetHeaderKey(
            FormatResString(IDS_ESTIMATED_KEY, KeyText(m_keyEstimate.key)),
            m_keyEstimate.key.bMinor ? ConversionMode::Minor : ConversionMode::Major,
            -m_keyEstimate.key.nTonic);
}

// Only the key box: the mode stays the user's choice, and nothing converts until 変換！.
void CTarvel1View::OnUseEstimatedKey(wxCommandEvent&)
{
    if (m_keyEstimate.nNotes > 0)
        m_cmbKey.SetWindowText(KeyNameFromTonic(m_keyEstimate.key.nTonic));
}

void CTarvel1View::OnUpdateUseEstimatedKey(wxUpdateUIEvent& event)
{
    event.Enable(m_keyEstimate.nNotes > 0);
}

void CTarvel1View::OnConvert(wxCommandEvent&)
{
    StopAndConvert();
}

void CTarvel1View::OnStart(wxCommandEvent&)
{
    if (GetDocument()->m_bLoaded == 0)
    {
        // Answered at once, even while the player loads.
        AfxMessageBox(IDS_LOAD_MIDI_FILE);
        return;
    }
    if (m_strTempPath.empty() && !m_bTempWriteFailed)
    {
        // Only a song named on the command line gets here: no conversion has run yet, so it
        // plays as read ("Non convert") rather than failing on a file that was never written.
        ConvertWith(LoadResString(IDS_MODE_FIRST));
    }
    if (!ApplyPlaybackSettings())
        return;
    // After a failed write the player is given no file, and says that nothing was converted.
    const std::string path = m_bTempWriteFailed ? std::string() : m_strTempPath;
    WithPlayer([path](CPlayerControl& control) { control.OnStart(true, path); });
}

void CTarvel1View::OnPause(wxCommandEvent&)
{
    if (GetDocument()->m_bLoaded == 0)
    {
        AfxMessageBox(IDS_LOAD_MIDI_FILE);
        return;
    }
    WithPlayer([](CPlayerControl& control) { control.OnPause(true); });
}

bool CTarvel1View::ApplyPlaybackSettings()
{
    auto* app = dynamic_cast<CTarvel1App*>(AfxGetApp());
    PlayerOptions options;
    if (app == nullptr || !ChooseOutputForStart(app->GetProfilePath(), options))
        return false;
    if (!app->IsPlayerMadeWith(options))
    {
        // New settings make a new player; the control closes the old one's device and goes
        // with it.
        m_pPlayerControl.reset();
        app->SetPlayerOptions(options);
    }
    return true;
}

#include "tarvel1_view.h"

#include <cassert>

#include <wx/frame.h>

#include "conversion.h"
#include "frame_wnd.h"
#include "main_frame.h"
#include "piano_roll_wnd.h"
#include "playback_settings.h"
#include "player_control.h"
#include "resource.h"
#include "string_table.h"
#include "tarvel1_app.h"
#include "win_app.h"
#include "wx_text.h"

bool g_bFirstUpdate = true;

wxBEGIN_EVENT_TABLE(CTarvel1View, CFormView)
    ON_BN_CLICKED(IDC_CONVERT, CTarvel1View::OnConvert)
    ON_BN_CLICKED(IDC_START, CTarvel1View::OnStart)
    ON_BN_CLICKED(IDC_PAUSE, CTarvel1View::OnPause)
    ON_COMMAND(ID_FILE_PRINT, CView::OnFilePrint)
    ON_COMMAND(ID_FILE_PRINT_DIRECT, CView::OnFilePrintDirect)
    ON_COMMAND(ID_FILE_PRINT_PREVIEW, CView::OnFilePrintPreview)
wxEND_EVENT_TABLE()

CTarvel1View::CTarvel1View() : CFormView(IDD_CONVERTER_FORM) {}

CPlayerControl& CTarvel1View::GetPlayerControl()
{
    // The synthesizer and its SoundFont are loaded when the player is first needed, not while
    // the window comes up.
    if (!m_pPlayerControl)
    {
        auto* app = dynamic_cast<CTarvel1App*>(AfxGetApp());
        assert(app != nullptr && "the form lives in the tarvel1 application");
        m_pPlayerControl = std::make_unique<CPlayerControl>(app->GetPlayer());
        m_pPlayerControl->SetCaptionObserver(
            [this](const std::string& caption)
            {
                if (m_btnPause.GetSafeHwnd() != nullptr)
                    m_btnPause.SetWindowText(caption);
            });
    }
    return *m_pPlayerControl;
}

// The player control closes the device if it is open as it goes.
CTarvel1View::~CTarvel1View() = default;

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
    for (UINT i = 0; i < count; ++i)
        box.InsertString(-1, LoadResString(firstId + i));
    box.SetWindowText(LoadResString(firstId));
}

void CTarvel1View::OnInitialUpdate()
{
    CFormView::OnInitialUpdate();
    GetParentFrame()->RecalcLayout();
    ResizeParentToFit();

    // Conversion comes before the boxes are reset: a newly opened song is converted with the
    // texts that were showing. A write failure leaves from here, with the boxes as they were.
    if (!g_bFirstUpdate)
        StopAndConvert();

    g_bFirstUpdate = false;
    if (m_pPlayerControl)
        m_pPlayerControl->ResetForInitialUpdate();
    FillBox(m_cmbMode, IDS_MODE_FIRST, IDS_MODE_COUNT);
    FillBox(m_cmbKey, IDS_KEY_FIRST, IDS_KEY_COUNT);
}

void CTarvel1View::OnDraw(wxDC&)
{
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
    if (m_pPlayerControl)
        m_pPlayerControl->CloseDevice();
    ConvertAndWrite();
}

void CTarvel1View::ConvertAndWrite()
{
    const std::string mode = m_cmbMode.GetWindowText();
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
    SongConverted(mode);
}

void CTarvel1View::SongConverted(const std::string& mode)
{
    if (auto* frame = dynamic_cast<CMainFrame*>(GetParentFrame()))
        frame->GetPianoRoll().SongChanged(*GetDocument(), true, mode, m_nKeyOffset);
}

void CTarvel1View::OnConvert(wxCommandEvent&)
{
    StopAndConvert();
}

void CTarvel1View::OnStart(wxCommandEvent&)
{
    CTarvel1Doc* document = GetDocument();
    const bool loaded = document->m_bLoaded != 0;
    if (loaded && m_strTempPath.empty())
    {
        // Only a song named on the command line gets here: no conversion has run yet, so it
        // plays as read ("Non convert") rather than failing on a file that was never written.
        ::ConvertAndWrite(*document, LoadResString(IDS_MODE_FIRST), m_cmbKey.GetWindowText(),
                          m_nKeyOffset, m_strTempPath);
        SongConverted(LoadResString(IDS_MODE_FIRST));
    }
    if (loaded && !ApplyPlaybackSettings())
        return;
    GetPlayerControl().OnStart(loaded, m_strTempPath);
}

void CTarvel1View::OnPause(wxCommandEvent&)
{
    GetPlayerControl().OnPause(GetDocument()->m_bLoaded != 0);
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

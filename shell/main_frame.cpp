#include "main_frame.h"

#include "piano_roll_wnd.h"
#include "playback_settings.h"
#include "resource.h"
#include "win_app.h"

namespace
{

const UINT indicators[] = {
    ID_SEPARATOR, // the message pane
    ID_INDICATOR_KANA, ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL,
};

} // namespace

wxBEGIN_EVENT_TABLE(CMainFrame, CFrameWnd)
    ON_COMMAND(ID_VIEW_PIANO_ROLL, CMainFrame::OnViewPianoRoll)
    ON_UPDATE_COMMAND_UI(ID_VIEW_PIANO_ROLL, CMainFrame::OnUpdateViewPianoRoll)
    ON_COMMAND(ID_VIEW_PLAYBACK_SETTINGS, CMainFrame::OnViewPlaybackSettings)
wxEND_EVENT_TABLE()

CMainFrame::CMainFrame() = default;
CMainFrame::~CMainFrame() = default;

bool CMainFrame::PreCreateWindow(CREATESTRUCT& cs)
{
    return CFrameWnd::PreCreateWindow(cs);
}

int CMainFrame::OnCreate()
{
    if (CFrameWnd::OnCreate() == -1)
        return -1;

    m_pToolBar = new CToolBar();
    if (!m_pToolBar->CreateEx(this, TBSTYLE_FLAT,
                              WS_CHILD | WS_VISIBLE | CBRS_TOP | CBRS_GRIPPER | CBRS_TOOLTIPS |
                                  CBRS_FLYBY | CBRS_SIZE_DYNAMIC,
                              AFX_IDW_TOOLBAR) ||
        !m_pToolBar->LoadToolBar(IDR_MAINFRAME))
        return -1;

    m_pStatusBar = new CStatusBar();
    if (!m_pStatusBar->Create(this) ||
        !m_pStatusBar->SetIndicators(indicators, sizeof indicators / sizeof indicators[0]))
        return -1;

    m_pToolBar->EnableDocking(CBRS_ALIGN_ANY);
    EnableDocking(CBRS_ALIGN_ANY);
    DockControlBar(m_pToolBar);

    m_pPianoRoll = std::make_unique<CPianoRollHost>(this);
    // After the window is up, so that the roll floats over it where it was left.
    CallAfter([this] { m_pPianoRoll->RestoreFromSettings(); });
    return 0;
}

void CMainFrame::OnViewPianoRoll(wxCommandEvent&)
{
    m_pPianoRoll->Toggle();
}

void CMainFrame::OnUpdateViewPianoRoll(wxUpdateUIEvent& event)
{
    event.Check(m_pPianoRoll->IsShown());
}

void CMainFrame::OnViewPlaybackSettings(wxCommandEvent&)
{
    EditPlaybackSettings(this, AfxGetApp()->GetProfilePath());
}

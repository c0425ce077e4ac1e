#include "main_frame.h"

#include "resource.h"

namespace
{

const UINT indicators[] = {
    ID_SEPARATOR, // the message pane
    ID_INDICATOR_KANA, ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL,
};

} // namespace

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
    return 0;
}

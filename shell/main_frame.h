#pragma once
// The main window: menu, accelerators, a flat toolbar that docks on any side, and a status bar
// with the message pane and the kana, caps, num and scroll indicators.

#include "frame_wnd.h"

class CMainFrame : public CFrameWnd
{
public:
    CMainFrame() = default;

protected:
    bool PreCreateWindow(CREATESTRUCT& cs) override;
    int OnCreate() override;

private:
    // Owned by the frame's window, as every child window is.
    CStatusBar* m_pStatusBar = nullptr;
    CToolBar* m_pToolBar = nullptr;
};

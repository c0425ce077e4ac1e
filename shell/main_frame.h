#pragma once
// The main window: menu, accelerators, a flat toolbar that docks on any side, and a status bar
// with the message pane and the kana, caps, num and scroll indicators.

#include <memory>

#include "frame_wnd.h"

class CPianoRollHost;

class CMainFrame : public CFrameWnd
{
public:
    CMainFrame();
    ~CMainFrame() override;

    // The piano roll, shown or not; made with the frame.
    CPianoRollHost& GetPianoRoll() { return *m_pPianoRoll; }

protected:
    bool PreCreateWindow(CREATESTRUCT& cs) override;
    int OnCreate() override;

private:
    // Owned by the frame's window, as every child window is.
    CStatusBar* m_pStatusBar = nullptr;
    CToolBar* m_pToolBar = nullptr;
    std::unique_ptr<CPianoRollHost> m_pPianoRoll;

    void OnViewPianoRoll(wxCommandEvent& event);
    void OnUpdateViewPianoRoll(wxUpdateUIEvent& event);
    void OnViewPlaybackSettings(wxCommandEvent& event);

    wxDECLARE_EVENT_TABLE();
};

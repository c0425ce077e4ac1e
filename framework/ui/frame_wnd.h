#pragma once
// The main frame: menu, accelerators, icon and title from its resource id, docked control bars
// (wx's AUI manages the docking), one view, and the routing of commands: view, document, frame,
// application, in that order.

#include <functional>
#include <string>

#include <wx/aui/framemanager.h>
#include <wx/frame.h>

#include "control_bars.h"

class CView;
class CDocument;

// The creation parameters a frame's PreCreateWindow may change.
struct CREATESTRUCT
{
    wxPoint pos = wxDefaultPosition;
    wxSize size = wxSize(640, 480);
    long style = wxDEFAULT_FRAME_STYLE;
    std::string title;
};

// What the template hands the frame so that it can make its view.
struct CCreateContext
{
    std::function<CView*()> m_pNewViewClass;
    CDocument* m_pCurrentDoc = nullptr;
    // Where the document's own commands (Save, Save As) are handled.
    wxEvtHandler* m_pDocCommands = nullptr;
};

class CFrameWnd : public wxFrame
{
public:
    CFrameWnd();
    ~CFrameWnd() override;

    // Creates the window with the menu, accelerators, icon and title of resource `id`, calls
    // OnCreate, then makes the view of `context`. False if any step failed.
    bool LoadFrame(UINT nIDResource, CCreateContext* context);

    CView* GetActiveView() const { return m_pViewActive; }
    CDocument* GetActiveDocument() const;

    // Lays the bars and the view out again.
    void RecalcLayout();
    // The sides of the frame that bars may dock on (CBRS_ALIGN_ bits).
    void EnableDocking(unsigned dockStyle) { m_nDockStyle = dockStyle; }
    // Docks the bar at the side its style names (the top by default).
    void DockControlBar(CToolBar* bar);
    // Shows or hides a bar; a toolbar shown again docks where it was last docked.
    void ShowControlBar(wxWindow* bar, bool show);
    bool IsControlBarVisible(wxWindow* bar) const;
    wxAuiManager& GetDockManager() { return m_mgr; }
    CToolBar* GetDockToolBar() const;
    CStatusBar* GetMessageBar() const;

    // The message pane's text; SetMessageText(AFX_IDS_IDLEMESSAGE) shows the idle text.
    void SetMessageText(const std::string& text);
    void SetMessageText(UINT id);

    // "document - application", from the document's path and the document string.
    virtual void OnUpdateFrameTitle();

protected:
    // May change the creation parameters; false cancels the creation.
    virtual bool PreCreateWindow(CREATESTRUCT& cs);
    // The bars are made here. Returns 0, or -1 to fail the creation.
    virtual int OnCreate();
    virtual bool OnCreateClient(CCreateContext* context);

    bool TryBefore(wxEvent& event) override;

    void OnViewToolBar(wxCommandEvent& event);
    void OnUpdateViewToolBar(wxUpdateUIEvent& event);
    void OnViewStatusBar(wxCommandEvent& event);
    void OnUpdateViewStatusBar(wxUpdateUIEvent& event);
    void OnIdle(wxIdleEvent& event);
    void OnDropFiles(wxDropFilesEvent& event);
    void OnCloseWindow(wxCloseEvent& event);
    void OnPaneClose(wxAuiManagerEvent& event);

private:
    bool LoadMenu(UINT nIDResource);
    bool LoadAccelTable(UINT nIDResource);
    // Grows the frame until the view has its template's size and a docked toolbar its whole
    // length, wherever the toolbar went.
    void FitToBars();
    // What the last layout depended on: the panes' places and the client size.
    std::string LayoutSignature();
    // Brings a toolbar that the user wants but that is hidden or off every screen back to the
    // side where it was last docked.
    void KeepToolBarInReach();

    UINT m_nIDHelp = 0;
    CView* m_pViewActive = nullptr;
    wxEvtHandler* m_pDocCommands = nullptr;
    wxAuiManager m_mgr;
    unsigned m_nDockStyle = 0;
    bool m_bRouting = false;
    CToolBar* m_pDockToolBar = nullptr; // owned by the frame or by its floating window
    bool m_bToolBarWanted = true;       // shown unless the user hid it
    wxSize m_sizeTriedGrowing;          // the client size a growth was last asked from
    std::string m_strLastLayout;        // the bars and the size of the last layout

    wxDECLARE_EVENT_TABLE();
};

template <class T> CFrameWnd* CreateFrame()
{
    return new T();
}

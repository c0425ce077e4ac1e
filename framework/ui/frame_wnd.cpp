#include "frame_wnd.h"

#include <algorithm>

#include <wx/accel.h>
#include <wx/display.h>
#include <wx/iconbndl.h>
#include <wx/menu.h>

#include "message_box.h"
#include "string_table.h"
#include "ui_hooks.h"
#include "ui_resources.h"
#include "view.h"
#include "win_app.h"
#include "wx_text.h"

namespace
{

int WxKeyFromVirtualKey(std::uint16_t key)
{
    switch (key)
    {
    case VK_BACK:
        return WXK_BACK;
    case VK_INSERT:
        return WXK_INSERT;
    case VK_DELETE:
        return WXK_DELETE;
    case VK_F6:
        return WXK_F6;
    default:
        // Letters and digits are their own codes in both tables.
        return key;
    }
}

// The n-th line-feed separated part of a document string.
std::string DocStringPart(UINT id, int part)
{
    const std::string& text = LoadResString(id);
    std::size_t begin = 0;
    for (int i = 0; i < part; ++i)
    {
        begin = text.find('\n', begin);
        if (begin == std::string::npos)
            return {};
        ++begin;
    }
    return text.substr(begin, text.find('\n', begin) - begin);
}

} // namespace

wxBEGIN_EVENT_TABLE(CFrameWnd, wxFrame)
    ON_COMMAND(ID_VIEW_TOOLBAR, CFrameWnd::OnViewToolBar)
    ON_UPDATE_COMMAND_UI(ID_VIEW_TOOLBAR, CFrameWnd::OnUpdateViewToolBar)
    ON_COMMAND(ID_VIEW_STATUS_BAR, CFrameWnd::OnViewStatusBar)
    ON_UPDATE_COMMAND_UI(ID_VIEW_STATUS_BAR, CFrameWnd::OnUpdateViewStatusBar)
    EVT_IDLE(CFrameWnd::OnIdle)
    EVT_DROP_FILES(CFrameWnd::OnDropFiles)
    EVT_CLOSE(CFrameWnd::OnCloseWindow)
    EVT_AUI_PANE_CLOSE(CFrameWnd::OnPaneClose)
wxEND_EVENT_TABLE()

CFrameWnd::CFrameWnd() = default;

CFrameWnd::~CFrameWnd()
{
    m_mgr.UnInit();
}

bool CFrameWnd::PreCreateWindow(CREATESTRUCT&)
{
    return true;
}

int CFrameWnd::OnCreate()
{
    return 0;
}

bool CFrameWnd::LoadFrame(UINT nIDResource, CCreateContext* context)
{
    m_nIDHelp = nIDResource;
    CREATESTRUCT cs;
    cs.title = DocStringPart(nIDResource, 0);
    if (!PreCreateWindow(cs))
        return false;
    if (!Create(nullptr, wxID_ANY, FromUtf8(cs.title), cs.pos, cs.size, cs.style))
        return false;

    wxIconBundle icons;
    for (int size : {16, 32})
        if (const char* const* xpm = FindIconXpm(nIDResource, size))
            icons.AddIcon(wxIcon(xpm));
    SetIcons(icons);

    if (!LoadMenu(nIDResource) || !LoadAccelTable(nIDResource))
        return false;
    m_mgr.SetManagedWindow(this);
    if (OnCreate() == -1)
        return false;
    if (context != nullptr && !OnCreateClient(context))
        return false;
    DragAcceptFiles(true);
    RecalcLayout();
    return true;
}

bool CFrameWnd::LoadMenu(UINT nIDResource)
{
    const MenuResource* resource = FindMenuResource(nIDResource);
    if (resource == nullptr)
        return true;
    auto* bar = new wxMenuBar();
    for (const PopupMenuResource& popup : resource->popups)
    {
        auto* menu = new wxMenu();
        for (const MenuItemResource& item : popup.items)
        {
            if (item.nId == ID_SEPARATOR)
            {
                menu->AppendSeparator();
                continue;
            }
            // The bar commands show their bar's state as a check mark.
            const bool check =
                item.bCheck || item.nId == ID_VIEW_TOOLBAR || item.nId == ID_VIEW_STATUS_BAR;
            menu->Append(AfxWxId(item.nId), FromUtf8(item.text),
                         FromUtf8(AfxStatusPrompt(item.nId)), check ? wxITEM_CHECK : wxITEM_NORMAL);
        }
        bar->Append(menu, FromUtf8(popup.text));
    }
    SetMenuBar(bar);
    return true;
}

bool CFrameWnd::LoadAccelTable(UINT nIDResource)
{
    const AccelTableResource* resource = FindAccelResource(nIDResource);
    if (resource == nullptr)
        return true;
    std::vector<wxAcceleratorEntry> entries;
    for (const AccelResource& accel : resource->entries)
    {
        int flags = wxACCEL_NORMAL;
        if (accel.fVirt & FCONTROL)
            flags |= wxACCEL_CTRL;
        if (accel.fVirt & FSHIFT)
            flags |= wxACCEL_SHIFT;
        if (accel.fVirt & FALT)
            flags |= wxACCEL_ALT;
        entries.emplace_back(flags, WxKeyFromVirtualKey(accel.key), AfxWxId(accel.cmd));
    }
    SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(entries.size()), entries.data()));
    return true;
}

bool CFrameWnd::OnCreateClient(CCreateContext* context)
{
    if (!context->m_pNewViewClass)
        return true;
    CView* view = context->m_pNewViewClass();
    if (view == nullptr || !view->Create(this, context->m_pCurrentDoc))
    {
        delete view;
        return false;
    }
    m_pViewActive = view;
    m_pDocCommands = context->m_pDocCommands;
    m_mgr.AddPane(view, wxAuiPaneInfo().Name("view").CenterPane().PaneBorder(false));
    return true;
}

CDocument* CFrameWnd::GetActiveDocument() const
{
    return m_pViewActive != nullptr ? m_pViewActive->GetDocument() : nullptr;
}

void CFrameWnd::RecalcLayout()
{
    // Laying out again costs the window's thread tens of milliseconds; every File New and Open
    // asks for it, while the bars and the size have mostly not changed.
    if (LayoutSignature() == m_strLastLayout)
        return;
    m_mgr.Update();
    FitToBars();
    m_strLastLayout = LayoutSignature();
}

std::string CFrameWnd::LayoutSignature()
{
    const wxSize client = GetClientSize();
    const bool status = GetStatusBar() != nullptr && GetStatusBar()->IsShown();
    return ToUtf8(m_mgr.SavePerspective()) + ":" + std::to_string(client.x) + "x" +
           std::to_string(client.y) + (status ? ":status" : "");
}

void CFrameWnd::FitToBars()
{
    wxSize deficit(0, 0);
    auto need = [&deficit](const wxSize& wanted, const wxSize& has)
    {
        deficit.x = std::max(deficit.x, wanted.x - has.x);
        deficit.y = std::max(deficit.y, wanted.y - has.y);
    };
    if (auto* form = dynamic_cast<CFormView*>(m_pViewActive))
        need(form->GetTemplateSize() + (form->GetSize() - form->GetClientSize()), form->GetSize());
    if (CToolBar* bar = GetDockToolBar())
    {
        const wxAuiPaneInfo& pane = m_mgr.GetPane(bar);
        if (pane.IsOk() && pane.IsShown() && pane.IsDocked())
            need(bar->GetHintSize(pane.dock_direction), bar->GetSize());
    }
    // A window manager may refuse the size (a maximized frame): asked once, not on every idle.
    if ((deficit.x <= 0 && deficit.y <= 0) || GetClientSize() == m_sizeTriedGrowing)
        return;
    m_sizeTriedGrowing = GetClientSize();
    SetClientSize(GetClientSize() + wxSize(std::max(deficit.x, 0), std::max(deficit.y, 0)));
    m_mgr.Update();
}

void CFrameWnd::KeepToolBarInReach()
{
    CToolBar* bar = GetDockToolBar();
    if (bar == nullptr || !m_bToolBarWanted)
        return;
    wxAuiPaneInfo& pane = m_mgr.GetPane(bar);
    if (!pane.IsOk())
        return;
    bool lost = !pane.IsShown();
    if (!lost && pane.IsFloating())
    {
        // A floating toolbar dragged where no screen shows it cannot be dragged back.
        const wxWindow* floating = wxGetTopLevelParent(bar);
        lost = floating == nullptr || !floating->IsShown();
        if (!lost)
        {
            // Enough of it on some screen to take hold of its grip.
            const wxRect rect = bar->GetScreenRect();
            lost = true;
            for (unsigned i = 0; i < wxDisplay::GetCount() && lost; ++i)
            {
                const wxRect shown = wxDisplay(i).GetGeometry().Intersect(rect);
                lost = shown.width < 16 || shown.height < 16;
            }
        }
    }
    if (!lost)
        return;
    pane.Dock().Show();
    RecalcLayout();
}

CToolBar* CFrameWnd::GetDockToolBar() const
{
    // A floating toolbar is a child of its own little window, not of the frame.
    if (m_pDockToolBar != nullptr)
        return m_pDockToolBar;
    return dynamic_cast<CToolBar*>(FindWindow(static_cast<long>(AfxWxId(AFX_IDW_TOOLBAR))));
}

CStatusBar* CFrameWnd::GetMessageBar() const
{
    return dynamic_cast<CStatusBar*>(GetStatusBar());
}

void CFrameWnd::DockControlBar(CToolBar* bar)
{
    const unsigned sides = bar->GetDockStyle() & m_nDockStyle;
    wxAuiPaneInfo info;
    info.Name("toolbar").ToolbarPane().Floatable(true).Gripper(
        (bar->GetBarStyle() & CBRS_GRIPPER) != 0);
    info.TopDockable((sides & CBRS_ALIGN_TOP) != 0)
        .BottomDockable((sides & CBRS_ALIGN_BOTTOM) != 0)
        .LeftDockable((sides & CBRS_ALIGN_LEFT) != 0)
        .RightDockable((sides & CBRS_ALIGN_RIGHT) != 0);
    const unsigned side = bar->GetBarStyle() & CBRS_ALIGN_ANY;
    if (side & CBRS_ALIGN_TOP)
        info.Top();
    else if (side & CBRS_ALIGN_BOTTOM)
        info.Bottom();
    else if (side & CBRS_ALIGN_LEFT)
        info.Left();
    else if (side & CBRS_ALIGN_RIGHT)
        info.Right();
    else
        info.Top();
    m_mgr.AddPane(bar, info);
    m_pDockToolBar = bar;
}

void CFrameWnd::ShowControlBar(wxWindow* bar, bool show)
{
    if (bar == nullptr)
        return;
    if (bar == GetStatusBar())
    {
        bar->Show(show);
        SendSizeEvent();
    }
    else
    {
        wxAuiPaneInfo& pane = m_mgr.GetPane(bar);
        if (show && pane.IsFloating())
            pane.Dock();
        pane.Show(show);
        if (bar == GetDockToolBar())
            m_bToolBarWanted = show;
    }
    RecalcLayout();
}

bool CFrameWnd::IsControlBarVisible(wxWindow* bar) const
{
    if (bar == nullptr)
        return false;
    if (bar == GetStatusBar())
        return bar->IsShown();
    return const_cast<wxAuiManager&>(m_mgr).GetPane(bar).IsShown();
}

void CFrameWnd::SetMessageText(const std::string& text)
{
    if (GetStatusBar() != nullptr)
        SetStatusText(FromUtf8(text), 0);
}

void CFrameWnd::SetMessageText(UINT id)
{
    SetMessageText(LoadResString(id));
}

void CFrameWnd::OnUpdateFrameTitle()
{
    const std::string appTitle = DocStringPart(m_nIDHelp, 0);
    CDocument* document = GetActiveDocument();
    if (document == nullptr)
    {
        SetTitle(FromUtf8(appTitle));
        return;
    }
    std::string name = document->GetPathName();
    name = name.empty() ? LoadResString(AFX_IDS_UNTITLED) : name.substr(name.rfind('/') + 1);
    SetTitle(FromUtf8(name + " - " + appTitle));
}

bool CFrameWnd::TryBefore(wxEvent& event)
{
    // Menu items, accelerators and toolbar buttons reach the frame first; the view and then the
    // document get them before the frame's own table, and wx hands what is left to the
    // application.
    const wxEventType type = event.GetEventType();
    if (!m_bRouting && (type == wxEVT_MENU || type == wxEVT_UPDATE_UI))
    {
        m_bRouting = true;
        bool handled = m_pViewActive != nullptr && m_pViewActive->ProcessWindowEventLocally(event);
        if (!handled && m_pDocCommands != nullptr)
            handled = m_pDocCommands->ProcessEventLocally(event);
        m_bRouting = false;
        if (handled)
            return true;
    }
    return wxFrame::TryBefore(event);
}

void CFrameWnd::OnViewToolBar(wxCommandEvent&)
{
    CToolBar* bar = GetDockToolBar();
    ShowControlBar(bar, !IsControlBarVisible(bar));
}

void CFrameWnd::OnUpdateViewToolBar(wxUpdateUIEvent& event)
{
    event.Check(IsControlBarVisible(GetDockToolBar()));
}

void CFrameWnd::OnViewStatusBar(wxCommandEvent&)
{
    ShowControlBar(GetStatusBar(), !IsControlBarVisible(GetStatusBar()));
}

void CFrameWnd::OnUpdateViewStatusBar(wxUpdateUIEvent& event)
{
    event.Check(IsControlBarVisible(GetStatusBar()));
}

void CFrameWnd::OnIdle(wxIdleEvent& event)
{
    KeepToolBarInReach();
    FitToBars();
    if (CStatusBar* bar = GetMessageBar())
        bar->UpdateIndicators();
    event.Skip();
}

void CFrameWnd::OnDropFiles(wxDropFilesEvent& event)
{
    // A file dropped on the window opens as File Open would; of several, the first.
    if (event.GetNumberOfFiles() <= 0)
        return;
    if (CWinApp* app = AfxGetApp())
        app->OpenDocumentFile(ToFileName(event.GetFiles()[0]));
}

void CFrameWnd::OnPaneClose(wxAuiManagerEvent& event)
{
    // Closing the floating toolbar's window is hiding it, as the View menu does.
    if (event.GetPane() != nullptr && event.GetPane()->window == GetDockToolBar())
        m_bToolBarWanted = false;
    event.Skip();
}

void CFrameWnd::OnCloseWindow(wxCloseEvent& event)
{
    if (CWinApp* app = AfxGetApp())
        app->OnMainFrameClosing(this);
    event.Skip();
}

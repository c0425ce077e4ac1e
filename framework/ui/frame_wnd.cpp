#include "frame_wnd.h"

#include <wx/accel.h>
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
    m_mgr.Update();
}

CToolBar* CFrameWnd::GetDockToolBar() const
{
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
        m_mgr.GetPane(bar).Show(show);
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
        app->OpenDocumentFile(ToUtf8(event.GetFiles()[0]));
}

void CFrameWnd::OnCloseWindow(wxCloseEvent& event)
{
    if (CWinApp* app = AfxGetApp())
        app->OnMainFrameClosing(this);
    event.Skip();
}

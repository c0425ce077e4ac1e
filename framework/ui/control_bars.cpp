#include "control_bars.h"

#include <algorithm>

#include <dlfcn.h>

#include <wx/aui/framemanager.h>
#include <wx/bitmap.h>
#include <wx/bmpbuttn.h>
#include <wx/frame.h>
#include <wx/utils.h>

#include "gtk_native.h"
#include "resource.h"
#include "string_table.h"
#include "ui_hooks.h"
#include "ui_resources.h"
#include "wx_text.h"

namespace
{

// GDK keeps the lock states that XKB reports; wx has no call for Scroll Lock's, so the three are
// asked of GDK, which wx has already loaded, without needing its headers.
using KeymapForDisplay = void* (*)(void*);
using DefaultDisplay = void* (*)();
using LockState = int (*)(void*);

void* GdkSymbol(const char* name)
{
    return dlsym(RTLD_DEFAULT, name);
}

// The status bar asks on every idle pass, so each function is looked up once.
bool GdkLockState(LockState state)
{
    static const auto display =
        reinterpret_cast<DefaultDisplay>(GdkSymbol("gdk_display_get_default"));
    static const auto keymapFor =
        reinterpret_cast<KeymapForDisplay>(GdkSymbol("gdk_keymap_get_for_display"));
    if (display == nullptr || keymapFor == nullptr || state == nullptr)
        return false;
    void* current = display();
    void* keymap = current != nullptr ? keymapFor(current) : nullptr;
    return keymap != nullptr && state(keymap) != 0;
}

// A toolbar button made of a real widget, so that assistive technologies see it as a push button
// with a name and an action. Like the bar, it is for the mouse: it never takes the keyboard's
// focus, neither by Tab nor by a click.
class CToolButton : public wxBitmapButton
{
public:
    CToolButton(wxWindow* parent, int id, const wxBitmapBundle& images)
        : wxBitmapButton(parent, id, images, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE)
    {
        DisableFocusFromKeyboard();
        AfxNeverTakeFocus(this);
    }

    bool AcceptsFocus() const override { return false; }
    bool AcceptsFocusFromKeyboard() const override { return false; }
};

} // namespace

bool AfxIsCapsLockOn()
{
    static const auto state =
        reinterpret_cast<LockState>(GdkSymbol("gdk_keymap_get_caps_lock_state"));
    return GdkLockState(state);
}

bool AfxIsNumLockOn()
{
    static const auto state =
        reinterpret_cast<LockState>(GdkSymbol("gdk_keymap_get_num_lock_state"));
    return GdkLockState(state);
}

bool AfxIsScrollLockOn()
{
    static const auto state =
        reinterpret_cast<LockState>(GdkSymbol("gdk_keymap_get_scroll_lock_state"));
    return GdkLockState(state);
}

bool CToolBar::CreateEx(wxWindow* parent, unsigned ctrlStyle, unsigned style, UINT id)
{
    m_nBarStyle = style | ctrlStyle;
    long auiStyle = wxAUI_TB_DEFAULT_STYLE | wxAUI_TB_PLAIN_BACKGROUND;
    if (style & CBRS_GRIPPER)
        auiStyle |= wxAUI_TB_GRIPPER;
    if (!wxAuiToolBar::Create(parent, AfxWxId(id), wxDefaultPosition, wxDefaultSize, auiStyle))
        return false;
    Bind(wxEVT_MOTION, &CToolBar::OnMotion, this);
    if (style & CBRS_FLYBY)
        Bind(wxEVT_LEAVE_WINDOW, &CToolBar::OnLeave, this);
    Bind(wxEVT_LEFT_DOWN, &CToolBar::OnLeftDown, this);
    Bind(wxEVT_LEFT_UP, &CToolBar::OnLeftUp, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &CToolBar::OnCaptureLost, this);
    Bind(wxEVT_BUTTON, &CToolBar::OnButtonClicked, this);
    return true;
}

bool CToolBar::LoadToolBar(UINT id)
{
    const ToolBarResource* resource = FindToolBarResource(id);
    if (resource == nullptr || resource->bitmapXpm == nullptr)
        return false;
    const wxBitmap strip(resource->bitmapXpm);
    if (!strip.IsOk())
        return false;
    const wxBitmap strip2x =
        resource->bitmapXpm2x != nullptr ? wxBitmap(resource->bitmapXpm2x) : wxBitmap();
    SetToolBitmapSize(wxSize(resource->nButtonWidth, resource->nButtonHeight));
    int image = 0;
    for (UINT command : resource->buttons)
    {
        if (command == ID_SEPARATOR)
        {
            AddSeparator();
            continue;
        }
        const wxRect cell(image * resource->nButtonWidth, 0, resource->nButtonWidth,
                          resource->nButtonHeight);
        if (cell.GetRight() >= strip.GetWidth())
            return false;
        const wxRect cell2x(cell.x * 2, 0, cell.width * 2, cell.height * 2);
        // wx picks the image that fits the screen's scale; without a sharp one it scales up.
        wxBitmapBundle images = strip.GetSubBitmap(cell);
        if (strip2x.IsOk() && cell2x.GetRight() < strip2x.GetWidth() &&
            cell2x.GetBottom() < strip2x.GetHeight())
            images =
                wxBitmapBundle::FromBitmaps(strip.GetSubBitmap(cell), strip2x.GetSubBitmap(cell2x));
        ++image;
        const int tool = AfxWxId(command);
        auto* button = new CToolButton(this, tool, images);
        if (m_nBarStyle & CBRS_TOOLTIPS)
            button->SetToolTip(FromUtf8(AfxToolTipPrompt(command)));
        // The bar draws no tools of its own: each button is a widget, which a screen reader
        // announces by the tooltip's text and can press.
        AfxSetAccessibleName(button, AfxToolTipPrompt(command));
        button->Bind(wxEVT_ENTER_WINDOW, &CToolBar::OnButtonEnter, this);
        button->Bind(wxEVT_LEAVE_WINDOW, &CToolBar::OnButtonLeave, this);
        // The item keeps the images too, for whoever asks the bar what its tools look like.
        AddControl(button)->SetBitmap(images);
        SetToolLongHelp(tool, FromUtf8(AfxStatusPrompt(command)));
    }
    Realize();
    AfxSetAccessibleRole(this, "tool bar");
    return true;
}

std::vector<UINT> CToolBar::GetButtonIds() const
{
    std::vector<UINT> ids;
    for (std::size_t i = 0; i < GetToolCount(); ++i)
    {
        const wxAuiToolBarItem* item = FindToolByIndex(static_cast<int>(i));
        ids.push_back(item->GetKind() == wxITEM_SEPARATOR ? ID_SEPARATOR
                                                          : AfxCommandId(item->GetId()));
    }
    return ids;
}

void CToolBar::OnLeftDown(wxMouseEvent& event)
{
    // A floating toolbar is moved by its grip here rather than by the window manager, whose
    // moves AUI does not always see: the drop is ours to judge, at any edge.
    wxAuiManager* manager = wxAuiManager::GetManager(this);
    wxWindow* floating = wxGetTopLevelParent(this);
    if (manager == nullptr || !manager->GetPane(this).IsFloating() || floating == nullptr ||
        m_gripperSizerItem == nullptr ||
        !m_gripperSizerItem->GetRect().Contains(event.GetPosition()))
        return event.Skip();
    m_bFloatingDrag = true;
    m_ptDragOffset = ClientToScreen(event.GetPosition()) - floating->GetPosition();
    CaptureMouse();
}

void CToolBar::OnLeftUp(wxMouseEvent& event)
{
    if (!m_bFloatingDrag)
        return event.Skip();
    m_bFloatingDrag = false;
    if (HasCapture())
        ReleaseMouse();
    EndFloatingDrag(ClientToScreen(event.GetPosition()));
}

void CToolBar::OnCaptureLost(wxMouseCaptureLostEvent&)
{
    m_bFloatingDrag = false;
}

void CToolBar::EndFloatingDrag(const wxPoint& screen)
{
    wxAuiManager* manager = wxAuiManager::GetManager(this);
    wxWindow* frame = manager != nullptr ? manager->GetManagedWindow() : nullptr;
    if (frame == nullptr)
        return;
    wxAuiPaneInfo& pane = manager->GetPane(this);
    if (wxWindow* floating = wxGetTopLevelParent(this))
        pane.FloatingPosition(floating->GetPosition());
    // An edge takes the toolbar when the pointer is over it, from a little inside the form to
    // a little outside it (the menu bar for the top); the nearest edge wins.
    constexpr int kInside = 24;
    constexpr int kOutside = 48;
    const wxRect client(frame->ClientToScreen(wxPoint(0, 0)), frame->GetClientSize());
    const struct
    {
        int distance; // how far inside the client area the pointer is from this edge
        bool along;   // the pointer lies along this edge
        int direction;
        unsigned allowed;
    } edges[] = {
        {screen.x - client.GetLeft(), screen.y >= client.GetTop() && screen.y <= client.GetBottom(),
         wxAUI_DOCK_LEFT, CBRS_ALIGN_LEFT},
        {client.GetRight() - screen.x,
         screen.y >= client.GetTop() && screen.y <= client.GetBottom(), wxAUI_DOCK_RIGHT,
         CBRS_ALIGN_RIGHT},
        {screen.y - client.GetTop(), screen.x >= client.GetLeft() && screen.x <= client.GetRight(),
         wxAUI_DOCK_TOP, CBRS_ALIGN_TOP},
        {client.GetBottom() - screen.y,
         screen.x >= client.GetLeft() && screen.x <= client.GetRight(), wxAUI_DOCK_BOTTOM,
         CBRS_ALIGN_BOTTOM},
    };
    int side = -1;
    int nearest = kInside;
    for (const auto& edge : edges)
    {
        if (edge.along && (m_nDockStyle & edge.allowed) != 0 && edge.distance >= -kOutside &&
            edge.distance < nearest)
        {
            nearest = std::max(edge.distance, -1);
            side = edge.direction;
        }
    }
    if (side >= 0)
        pane.Dock().Direction(side).Row(0).Position(0);
    manager->Update();
    // The frame grows around a docked toolbar on its next idle pass.
    frame->Refresh();
}

void CToolBar::OnMotion(wxMouseEvent& event)
{
    if (m_bFloatingDrag)
    {
        if (wxWindow* floating = wxGetTopLevelParent(this))
            floating->Move(ClientToScreen(event.GetPosition()) - m_ptDragOffset);
        return;
    }
    // Between the buttons and on the grip no button is under the pointer.
    ShowPrompt(-1);
    event.Skip();
}

void CToolBar::OnLeave(wxMouseEvent& event)
{
    // GTK says the bar is left also when the pointer goes onto one of its buttons, which then
    // shows its own prompt.
    if (!wxRect(GetClientSize()).Contains(event.GetPosition()))
        ShowPrompt(-1);
    event.Skip();
}

void CToolBar::OnButtonEnter(wxMouseEvent& event)
{
    ShowPrompt(event.GetId());
    event.Skip();
}

void CToolBar::OnButtonLeave(wxMouseEvent& event)
{
    if (event.GetId() == m_nPromptTool)
        ShowPrompt(-1);
    event.Skip();
}

void CToolBar::ShowPrompt(int tool)
{
    // The prompt of the button under the pointer goes to the frame's message pane, as a menu
    // item's does while it is highlighted.
    if ((m_nBarStyle & CBRS_FLYBY) == 0 || tool == m_nPromptTool)
        return;
    m_nPromptTool = tool;
    // Floating, the bar sits in a small frame of its own: the message pane is the managed frame's.
    wxAuiManager* manager = wxAuiManager::GetManager(this);
    auto* frame = dynamic_cast<wxFrame*>(manager != nullptr ? manager->GetManagedWindow()
                                                            : wxGetTopLevelParent(this));
    if (frame == nullptr || frame->GetStatusBar() == nullptr)
        return;
    frame->SetStatusText(tool >= 0 ? GetToolLongHelp(tool)
                                   : FromUtf8(LoadResString(AFX_IDS_IDLEMESSAGE)));
}

void CToolBar::OnButtonClicked(wxCommandEvent& event)
{
    // A button is its command, sent as the menu item of the same id is, so that the frame's
    // command and update handlers serve both.
    wxCommandEvent command(wxEVT_MENU, event.GetId());
    command.SetEventObject(this);
    GetEventHandler()->ProcessEvent(command);
}

bool CStatusBar::Create(wxWindow* parent, unsigned style, UINT id)
{
    (void)style;
    if (!wxStatusBar::Create(parent, AfxWxId(id), wxSTB_DEFAULT_STYLE))
        return false;
    if (auto* frame = dynamic_cast<wxFrame*>(parent))
        frame->SetStatusBar(this);
    return true;
}

bool CStatusBar::SetIndicators(const UINT* ids, int count)
{
    if (count <= 0)
        return false;
    m_indicators.assign(ids, ids + count);
    for (UINT indicator : m_indicators)
        if (indicator != ID_SEPARATOR && LoadResString(indicator).empty())
            return false;
    SetFieldsCount(count);
    AfxSetAccessibleRole(this, "status bar");
    m_shown.clear(); // the first update sets the widths
    SetStatusText(FromUtf8(LoadResString(AFX_IDS_IDLEMESSAGE)), 0);
    UpdateIndicators();
    return true;
}

void CStatusBar::UpdateWidths()
{
    // An indicator that shows nothing gives its room to the message pane, so that a prompt or
    // the moved-note count shows whole in a window of the form's width.
    std::vector<int> widths;
    for (std::size_t i = 0; i < m_indicators.size(); ++i)
    {
        if (m_indicators[i] == ID_SEPARATOR)
            widths.push_back(-1);
        else
            widths.push_back(
                m_shown[i] ? GetTextExtent(FromUtf8(LoadResString(m_indicators[i]))).x + 16 : 0);
    }
    SetStatusWidths(static_cast<int>(widths.size()), widths.data());
}

void CStatusBar::DoUpdateStatusText(int number)
{
    wxStatusBar::DoUpdateStatusText(number);
    if (number == 0)
        AfxSetAccessibleName(this, ToUtf8(GetStatusText(0)));
}

UINT CStatusBar::GetItemID(int index) const
{
    return index >= 0 && static_cast<std::size_t>(index) < m_indicators.size()
               ? m_indicators[static_cast<std::size_t>(index)]
               : ID_SEPARATOR;
}

void CStatusBar::UpdateIndicators()
{
    for (std::size_t i = 0; i < m_indicators.size(); ++i)
    {
        bool on = false;
        switch (m_indicators[i])
        {
        case ID_INDICATOR_CAPS:
            on = AfxIsCapsLockOn();
            break;
        case ID_INDICATOR_NUM:
            on = AfxIsNumLockOn();
            break;
        case ID_INDICATOR_SCRL:
            on = AfxIsScrollLockOn();
            break;
        default:
            // The message pane is the frame's; kana lock has no state on this desktop.
            continue;
        }
        const wxString text = on ? FromUtf8(LoadResString(m_indicators[i])) : wxString();
        if (GetStatusText(static_cast<int>(i)) != text)
            SetStatusText(text, static_cast<int>(i));
    }
    std::vector<bool> shown(m_indicators.size(), false);
    for (std::size_t i = 0; i < m_indicators.size(); ++i)
        shown[i] = m_indicators[i] == ID_SEPARATOR || !GetStatusText(static_cast<int>(i)).empty();
    if (shown != m_shown)
    {
        m_shown = shown;
        UpdateWidths();
    }
}

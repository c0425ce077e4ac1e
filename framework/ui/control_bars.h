#pragma once
// The frame's control bars: a toolbar that docks on any side of the frame or floats (wx's AUI
// does the docking), and a status bar with a message pane and key-state indicators.

#include <string>
#include <vector>

#include <wx/aui/auibar.h>
#include <wx/statusbr.h>

#include "command_ids.h"

using UINT = unsigned int;

// Window and bar styles of the creation calls, with their Windows values.
constexpr unsigned WS_CHILD = 0x40000000;
constexpr unsigned WS_VISIBLE = 0x10000000;
constexpr unsigned TBSTYLE_FLAT = 0x0800;
constexpr unsigned CBRS_ALIGN_LEFT = 0x1000;
constexpr unsigned CBRS_ALIGN_TOP = 0x2000;
constexpr unsigned CBRS_ALIGN_RIGHT = 0x4000;
constexpr unsigned CBRS_ALIGN_BOTTOM = 0x8000;
constexpr unsigned CBRS_ALIGN_ANY = 0xF000;
constexpr unsigned CBRS_TOP = CBRS_ALIGN_TOP | 0x0400;
constexpr unsigned CBRS_BOTTOM = CBRS_ALIGN_BOTTOM | 0x0100;
constexpr unsigned CBRS_TOOLTIPS = 0x0010;
constexpr unsigned CBRS_FLYBY = 0x0020;
constexpr unsigned CBRS_SIZE_DYNAMIC = 0x0800;
constexpr unsigned CBRS_GRIPPER = 0x00400000;

class CToolBar : public wxAuiToolBar
{
public:
    CToolBar() = default;

    // `ctrlStyle` TBSTYLE_FLAT gives flat buttons (the only kind made); `style` takes the
    // CBRS_ bits: CBRS_GRIPPER, CBRS_TOOLTIPS (short help), CBRS_FLYBY (status prompts).
    bool CreateEx(wxWindow* parent, unsigned ctrlStyle, unsigned style, UINT id);
    // Loads the buttons, images, tooltips and prompts of the toolbar resource `id`. Each button
    // is a control of the bar (a borderless button widget with the tool's id) that sends its
    // command as a menu command.
    bool LoadToolBar(UINT id);
    // The sides the toolbar may dock on (CBRS_ALIGN_ bits).
    void EnableDocking(unsigned dockStyle) { m_nDockStyle = dockStyle; }
    unsigned GetDockStyle() const { return m_nDockStyle; }
    unsigned GetBarStyle() const { return m_nBarStyle; }

    // The command id of each button, ID_SEPARATOR for a gap.
    std::vector<UINT> GetButtonIds() const;

    // The buttons are for the mouse: the keyboard's focus stays on the form, and Tab never
    // stops on a bar that shows no focus.
    bool AcceptsFocus() const override { return false; }
    bool AcceptsFocusFromKeyboard() const override { return false; }

private:
    void OnMotion(wxMouseEvent& event);
    void OnLeave(wxMouseEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
    void OnButtonEnter(wxMouseEvent& event);
    void OnButtonLeave(wxMouseEvent& event);
    void OnButtonClicked(wxCommandEvent& event);
    // Shows the status prompt of the button `tool`, or the idle message for -1.
    void ShowPrompt(int tool);
    // Ends a drag of the floating toolbar: dropped at an edge of the frame, it docks there.
    void EndFloatingDrag(const wxPoint& screen);

    unsigned m_nBarStyle = 0;
    unsigned m_nDockStyle = 0;
    int m_nPromptTool = -1; // the button whose prompt the message pane shows
    bool m_bFloatingDrag = false;
    wxPoint m_ptDragOffset; // from the pointer to the floating window's corner
};

class CStatusBar : public wxStatusBar
{
public:
    CStatusBar() = default;

    bool Create(wxWindow* parent, unsigned style = WS_CHILD | WS_VISIBLE | CBRS_BOTTOM,
                UINT id = 0xE801);
    // The first id is the message pane (ID_SEPARATOR); each other is an indicator whose text is
    // the string of its id, shown while its key state is on.
    bool SetIndicators(const UINT* ids, int count);
    UINT GetItemID(int index) const;
    // Brings the indicators up to the keyboard's lock states.
    void UpdateIndicators();

protected:
    // wx draws the panes itself, so screen readers see no text there: the message pane's text
    // (a prompt, the moved-note count) is also the bar's accessible name.
    void DoUpdateStatusText(int number) override;

private:
    // The panes' widths for which indicators show their text now.
    void UpdateWidths();

    std::vector<UINT> m_indicators;
    std::vector<bool> m_shown; // by pane: the message pane, and indicators that show a text
};

// The keyboard's lock states as the display server reports them.
bool AfxIsCapsLockOn();
bool AfxIsNumLockOn();
bool AfxIsScrollLockOn();

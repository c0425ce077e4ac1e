// The window on a desktop: the keyboard's path through the form, the toolbar's docking, the
// combo fields' limit, a player that loads without stopping the window, and file names of any
// bytes.

#include <wx/button.h>
#include <wx/odcombo.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "gui_test.h"
#include "player_control.h"
#include "resource.h"
#include "sequencer_player.h"

namespace
{

std::string ToUtf8(const wxString& text)
{
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return std::string(utf8.data(), utf8.length());
}

class DesktopTest : public GuiTest
{
protected:
    wxWindow* Control(UINT id) const { return View()->FindWindow(AfxWxId(id)); }
    wxOwnerDrawnComboBox* Box(UINT id) const
    {
        return dynamic_cast<wxOwnerDrawnComboBox*>(Control(id));
    }
    // The form's control that holds the keyboard's focus (a combo box for its field).
    UINT FocusedControl() const
    {
        for (wxWindow* window = wxWindow::FindFocus(); window != nullptr;
             window = window->GetParent())
            if (window->GetParent() == View())
                return AfxCommandId(window->GetId());
        return 0;
    }
};

TEST_F(DesktopTest, KeyboardStartsOnConvertAndTabCyclesTheFormsControls)
{
    ASSERT_TRUE(StartApp());
    EXPECT_EQ(FocusedControl(), IDC_CONVERT);
    const std::vector<UINT> order = {IDC_CONVERT, IDC_MODE, IDC_KEY, IDC_START, IDC_PAUSE};
    // Twice round, so that the wrap from the last control to the first is seen.
    for (std::size_t i = 1; i <= 2 * order.size(); ++i)
    {
        PressKey(WXK_TAB);
        EXPECT_EQ(FocusedControl(), order[i % order.size()]) << "Tab " << i;
    }
    for (std::size_t i = 1; i <= 2 * order.size(); ++i)
    {
        PressKey(WXK_TAB, wxMOD_SHIFT);
        EXPECT_EQ(FocusedControl(), order[(2 * order.size() - i) % order.size()])
            << "Shift+Tab " << i;
    }
    // One Tab from the start reaches the mode field, which takes what is typed.
    PressKey(WXK_TAB);
    ASSERT_EQ(FocusedControl(), IDC_MODE);
    Box(IDC_MODE)->SelectAll();
    wxUIActionSimulator().Text("minor");
    Pump(100);
    EXPECT_EQ(ToUtf8(Box(IDC_MODE)->GetValue()), "minor");
    EXPECT_FALSE(Frame()->GetDockToolBar()->AcceptsFocusFromKeyboard());
}

} // namespace

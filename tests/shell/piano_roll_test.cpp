// The piano roll window: reached from the 表示 menu, following the document, remembered across
// runs; and the moved-note count in the status bar.

#include <cmath>

#include <wx/menu.h>
#include <wx/odcombo.h>
#include <wx/statusbr.h>
#include <wx/uiaction.h>

#include "gui_test.h"
#include "piano_roll_wnd.h"
#include "resource.h"
#include "string_table.h"

namespace
{

std::string ToUtf8(const wxString& text)
{
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return std::string(utf8.data(), utf8.length());
}

class PianoRollTest : public GuiTest
{
protected:
    CPianoRollWnd* Roll() const { return Frame()->GetPianoRoll().GetWindow(); }
    bool Checked() const
    {
        Frame()->UpdateWindowUI(wxUPDATE_UI_RECURSE);
        Frame()->GetMenuBar()->GetMenu(1)->UpdateUI(Frame());
        return Frame()->GetMenuBar()->IsChecked(AfxWxId(ID_VIEW_PIANO_ROLL));
    }
    void Convert(const std::string& mode)
    {
        auto* box = dynamic_cast<wxOwnerDrawnComboBox*>(View()->FindWindow(AfxWxId(IDC_MODE)));
        box->SetValue(wxString::FromUTF8(mode));
        Click(View()->FindWindow(AfxWxId(IDC_CONVERT)));
    }
    std::string MovedText() const
    {
        const MovedNoteCount counts = CountMovedNotes(*Doc());
        return FormatResString(IDS_NOTES_MOVED, std::to_string(counts.nMoved),
                               std::to_string(counts.nNotes));
    }
};

} // namespace

TEST_F(PianoRollTest, AltVThenPOpensTheRollWhichFollowsOpenNewAndConvert)
{
    ASSERT_TRUE(StartApp({DataPath("bossa.mid")}));
    EXPECT_FALSE(Checked());
    Frame()->Raise();
    Frame()->SetFocus();
    Pump(100);
    PressKey('V', wxMOD_ALT);
    PressKey('P');
    Pump(300);
    ASSERT_NE(Roll(), nullptr);
    EXPECT_TRUE(Roll()->IsShown());
    EXPECT_EQ(ToUtf8(Roll()->GetTitle()), "ﾋﾟｱﾉﾛｰﾙ");
    EXPECT_TRUE(Checked());
    // Read from the command line and not converted: nothing has moved, the whole song fits.
    EXPECT_GT(Roll()->GetModel().Notes().size(), 100u);
    EXPECT_EQ(Roll()->GetModel().Counts().nMoved, 0u);
    const CRollViewport& view = Roll()->GetViewport();
    const int width = Roll()->GetCanvas()->GetClientSize().x;
    EXPECT_NEAR(CPianoRollPainter::XAtSeconds(view, Roll()->GetModel().TotalSeconds()), width, 12);

    Convert("minor");
    EXPECT_EQ(Roll()->GetModel().Counts().nMoved, CountMovedNotes(*Doc()).nMoved);
    EXPECT_GT(Roll()->GetModel().Counts().nMoved, 0u);
    EXPECT_EQ(ToUtf8(Frame()->GetStatusBar()->GetStatusText(0)), MovedText());
    EXPECT_NE(MovedText().find(std::to_string(CountMovedNotes(*Doc()).nNotes)), std::string::npos);
    Screenshot("piano_roll_fitted");
    Roll()->ZoomBy(6, CPianoRollPainter::kKeyboardWidth);
    Pump(200);
    Screenshot("piano_roll_zoomed");

    // File New converts again with the texts showing ("major" here) and fits the song again.
    auto* box = dynamic_cast<wxOwnerDrawnComboBox*>(View()->FindWindow(AfxWxId(IDC_MODE)));
    box->SetValue("major");
    SendCommand(ID_FILE_NEW);
    Pump(100);
    EXPECT_TRUE(Roll()->GetModel().HasScale());
    EXPECT_EQ(Roll()->GetModel().Counts().nMoved, CountMovedNotes(*Doc()).nMoved);
    EXPECT_NEAR(
        CPianoRollPainter::XAtSeconds(Roll()->GetViewport(), Roll()->GetModel().TotalSeconds()),
        width, 12);

    // Another song: the roll shows it.
    const double bossaSeconds = Roll()->GetModel().TotalSeconds();
    ASSERT_NE(App().OpenDocumentFile(DataPath("round.mid")), nullptr);
    Pump(100);
    EXPECT_NE(Roll()->GetModel().TotalSeconds(), bossaSeconds);
    EXPECT_EQ(Roll()->GetModel().Counts().nNotes, CountMovedNotes(*Doc()).nNotes);

    // The window's own close button hides it and clears the check mark.
    Roll()->Close();
    Pump(100);
    EXPECT_FALSE(Roll()->IsShown());
    EXPECT_FALSE(Checked());
    SendCommand(ID_VIEW_PIANO_ROLL);
    EXPECT_TRUE(Roll()->IsShown());
    EXPECT_TRUE(Record().messages.empty());
}

TEST_F(PianoRollTest, ShownSizeAndPlaceSurviveARestart)
{
    ASSERT_TRUE(StartApp());
    SendCommand(ID_VIEW_PIANO_ROLL);
    ASSERT_NE(Roll(), nullptr);
    Roll()->SetSize(500, 40, 640, 360);
    Pump(200);
    const wxRect rect = Roll()->GetRect();
    StopApp();

    ASSERT_TRUE(StartApp());
    Pump(200);
    ASSERT_NE(Roll(), nullptr);
    EXPECT_TRUE(Roll()->IsShown());
    EXPECT_EQ(Roll()->GetRect(), rect);
    SendCommand(ID_VIEW_PIANO_ROLL);
    EXPECT_FALSE(Roll()->IsShown());
    StopApp();

    ASSERT_TRUE(StartApp());
    Pump(200);
    EXPECT_EQ(Roll(), nullptr);
}

// The converter form and the about box, driven as a user does: entries picked and typed, buttons
// pressed through the display server, with the real document, conversion and player (silent
// audio output).

#include <cstdio>
#include <sys/stat.h>

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/odcombo.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "about_dialog.h"
#include "conversion.h"
#include "gui_test.h"
#include "message_box.h"
#include "player_control.h"
#include "resource.h"
#include "sequencer_player.h"
#include "ui_resources.h"

namespace
{

std::string ToUtf8(const wxString& text)
{
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return std::string(utf8.data(), utf8.length());
}

bool Exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

const std::vector<std::string> kModes = {"Non convert", "major", "minor", "aug", "dim", "invert"};
const std::vector<std::string> kKeys = {"C",  "C#", "D",  "D#", "E",  "F",
                                        "F#", "G",  "G#", "A",  "A#", "B"};

class ConverterFormTest : public GuiTest
{
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        m_strTempPath = TempSongPath();
        std::remove(m_strTempPath.c_str());
    }

    wxOwnerDrawnComboBox* Box(UINT id) const
    {
        return dynamic_cast<wxOwnerDrawnComboBox*>(View()->FindWindow(AfxWxId(id)));
    }
    wxButton* Button(UINT id) const
    {
        return dynamic_cast<wxButton*>(View()->FindWindow(AfxWxId(id)));
    }
    std::vector<std::string> Entries(UINT id) const
    {
        std::vector<std::string> entries;
        for (unsigned i = 0; i < Box(id)->GetCount(); ++i)
            entries.push_back(ToUtf8(Box(id)->GetString(i)));
        return entries;
    }
    std::string Text(UINT id) const { return ToUtf8(Box(id)->GetValue()); }
    std::string PauseCaption() const { return ToUtf8(Button(IDC_PAUSE)->GetLabel()); }

    // Replaces a box's text by typing, as a user does after selecting the field's text.
    void TypeText(UINT id, const std::string& text)
    {
        wxOwnerDrawnComboBox* box = Box(id);
        box->GetTextCtrl()->SetFocus();
        Pump(50);
        box->SelectAll();
        TypeInto(box->GetTextCtrl(), text);
    }

    // What the command-line converter writes for the same song and texts.
    std::vector<std::uint8_t> ConvertedByTheTool(const std::string& song, const std::string& mode,
                                                 const std::string& key)
    {
        const std::string out = m_scratch.File("tool.mid");
        const std::string command = std::string("'") + TARVEL1_CONVERT_EXE + "' --mode '" + mode +
                                    "' --key '" + key + "' -o '" + out + "' '" + song +
                                    "' > /dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return ReadBytes(out);
    }

    CSequencerPlayer& Player() { return App().GetPlayer(); }

    std::string m_strTempPath;
};

TEST_F(ConverterFormTest, ControlsStandWhereTheTemplatePutsThemInTabOrder)
{
    ASSERT_TRUE(StartApp());
    const DialogTemplate* tmpl = FindDialogTemplate(IDD_CONVERTER_FORM);
    ASSERT_NE(tmpl, nullptr);
    const wxWindowList& children = View()->GetChildren();
    ASSERT_EQ(children.size(), tmpl->controls.size());
    const std::vector<std::string> captions = {"変換！", "",      "",    "ZANTO MIDI PLAYER",
                                               "",       "START", "STOP"};
    std::size_t i = 0;
    for (wxWindow* child : children)
    {
        const ControlTemplate& control = tmpl->controls[i];
        if (control.nId != IDC_STATIC)
        {
            EXPECT_EQ(AfxCommandId(child->GetId()), control.nId) << i;
        }
        EXPECT_EQ(child->GetPosition(),
                  View()->ConvertDialogToPixels(wxPoint(control.x, control.y)))
            << i;
        if (control.kind == ControlKind::PushButton)
        {
            EXPECT_EQ(child->GetSize(),
                      View()->ConvertDialogToPixels(wxSize(control.cx, control.cy)));
        }
        if (!captions[i].empty())
        {
            EXPECT_EQ(ToUtf8(child->GetLabel()), captions[i]);
        }
        ++i;
    }
    // The form has its template's size, in the template's Japanese Gothic, and the frame fits it.
    EXPECT_EQ(View()->GetClientSize(), View()->ConvertDialogToPixels(wxSize(199, 74)));
    EXPECT_EQ(ToUtf8(View()->GetFont().GetFaceName()), "IPAPGothic");
    EXPECT_EQ(View()->GetFont().GetPointSize(), 9);
    EXPECT_EQ(Frame()->GetClientSize().x, View()->GetSize().x);
}

TEST_F(ConverterFormTest, BoxesShowTheirEntriesAfterEveryInitialUpdate)
{
    ASSERT_TRUE(StartApp());
    EXPECT_EQ(Entries(IDC_MODE), kModes);
    EXPECT_EQ(Entries(IDC_KEY), kKeys);
    EXPECT_EQ(Text(IDC_MODE), "Non convert");
    EXPECT_EQ(Text(IDC_KEY), "C");
    // The first initial update converts nothing and writes nothing.
    EXPECT_FALSE(Exists(m_strTempPath));
    EXPECT_TRUE(View()->m_strTempPath.empty());

    // File New: the same song (none) is converted with the texts showing, then the boxes reset.
    TypeText(IDC_MODE, "dim");
    TypeText(IDC_KEY, "G");
    PressKey('N', wxMOD_CONTROL);
    EXPECT_EQ(Entries(IDC_MODE), kModes);
    EXPECT_EQ(Entries(IDC_KEY), kKeys);
    EXPECT_EQ(Text(IDC_MODE), "Non convert");
    EXPECT_EQ(Text(IDC_KEY), "C");
    EXPECT_EQ(View()->m_nKeyOffset, -7);
    // With no song read, the converted copy is the one zero byte of a new document.
    EXPECT_EQ(ReadBytes(m_strTempPath), std::vector<std::uint8_t>{0});
    EXPECT_TRUE(Record().messages.empty());
}

TEST_F(ConverterFormTest, ConvertButtonWritesWhatTheCommandLineConverterWrites)
{
    ASSERT_TRUE(StartApp({DataPath("round.mid")}));
    TypeText(IDC_MODE, "minor");
    // "D" picked from the key box's list with the arrow keys: the text "C" is not a selection,
    // so the first press selects the first entry and two more reach "D".
    Box(IDC_KEY)->GetTextCtrl()->SetFocus();
    for (int i = 0; i < 3; ++i)
        PressKey(WXK_DOWN);
    ASSERT_EQ(Text(IDC_KEY), "D");
    EXPECT_EQ(Text(IDC_MODE), "minor");

    Click(Button(IDC_CONVERT));
    ASSERT_EQ(View()->m_strTempPath, m_strTempPath);
    EXPECT_EQ(View()->m_nKeyOffset, -2);
    const std::vector<std::uint8_t> written = ReadBytes(m_strTempPath);
    EXPECT_EQ(written, ConvertedByTheTool(DataPath("round.mid"), "minor", "D"));
    EXPECT_NE(written, ReadBytes(DataPath("round.mid")));
    // Converting leaves the boxes alone.
    EXPECT_EQ(Text(IDC_MODE), "minor");
    EXPECT_TRUE(Record().messages.empty());
}

TEST_F(ConverterFormTest, SecondOpenConvertsWithTheShownTextsThenResetsTheBoxes)
{
    ASSERT_TRUE(StartApp({DataPath("bossa.mid")}));
    TypeText(IDC_MODE, "invert");
    TypeText(IDC_KEY, "E");
    Record().fileAnswers.push_back(DataPath("round.mid"));
    View()->FindWindow(AfxWxId(IDC_START))->SetFocus();
    PressKey('O', wxMOD_CONTROL);
    ASSERT_EQ(Doc()->GetPathName(), DataPath("round.mid"));
    EXPECT_EQ(ReadBytes(m_strTempPath), ConvertedByTheTool(DataPath("round.mid"), "invert", "E"));
    EXPECT_EQ(Text(IDC_MODE), "Non convert");
    EXPECT_EQ(Text(IDC_KEY), "C");
    // The title is the program's again once the form has been painted after the open.
    Pump(200);
    EXPECT_EQ(ToUtf8(Frame()->GetTitle()), "ZANTO MIDI PLAYER");
}

TEST_F(ConverterFormTest, FileNewKeepsTheSongAndConvertsItWithTheShownTexts)
{
    ASSERT_TRUE(StartApp({DataPath("bossa.mid")}));
    TypeText(IDC_MODE, "aug");
    TypeText(IDC_KEY, "A#");
    SendCommand(ID_FILE_NEW);
    EXPECT_EQ(Doc()->m_bLoaded, 1);
    EXPECT_TRUE(Doc()->GetPathName().empty());
    EXPECT_EQ(ReadBytes(m_strTempPath), ConvertedByTheTool(DataPath("bossa.mid"), "aug", "A#"));
    EXPECT_EQ(Text(IDC_MODE), "Non convert");
    EXPECT_EQ(Text(IDC_KEY), "C");
    EXPECT_TRUE(Record().messages.empty());
}

TEST_F(ConverterFormTest, TempFileThatCannotBeWrittenIsReportedAndTheBoxesKeepTheirTexts)
{
    ASSERT_TRUE(StartApp({DataPath("round.mid")}));
    // A folder where temp.mid should go: the write fails whoever runs the test.
    ASSERT_EQ(mkdir(m_strTempPath.c_str(), 0700), 0);
    TypeText(IDC_MODE, "dim");
    Click(Button(IDC_CONVERT));
    ASSERT_EQ(Record().messages.size(), 1u);
    EXPECT_NE(Record().messages[0].find(m_strTempPath), std::string::npos) << Record().messages[0];
    EXPECT_NE(Record().messages[0].find("書きこめません"), std::string::npos);
    // The system's own reason in Japanese too, in characters rather than "?????".
    EXPECT_NE(Record().messages[0].find("ディレクトリです"), std::string::npos)
        << Record().messages[0];

    // An open still succeeds, but its initial update stops at the write: the boxes are not reset.
    Record().fileAnswers.push_back(DataPath("bossa.mid"));
    SendCommand(ID_FILE_OPEN);
    EXPECT_EQ(Doc()->GetPathName(), DataPath("bossa.mid"));
    EXPECT_EQ(Record().messages.size(), 2u);
    EXPECT_EQ(Text(IDC_MODE), "dim");
    rmdir(m_strTempPath.c_str());
}

TEST_F(ConverterFormTest, TypedTextStopsAtTheFieldsWidth)
{
    ASSERT_TRUE(StartApp());
    TypeText(IDC_KEY, "ABCDEFGHIJKLMNOP");
    const std::string shown = Text(IDC_KEY);
    EXPECT_FALSE(shown.empty());
    EXPECT_LT(shown.size(), 16u) << shown;
    EXPECT_EQ(std::string("ABCDEFGHIJKLMNOP").compare(0, shown.size(), shown), 0) << shown;
    wxTextCtrl* field = Box(IDC_KEY)->GetTextCtrl();
    EXPECT_LE(field->GetTextExtent(field->GetValue()).x, field->GetClientSize().x);
    // A text that fits is taken whole.
    TypeText(IDC_MODE, "major");
    EXPECT_EQ(Text(IDC_MODE), "major");
}

TEST_F(ConverterFormTest, StartWithNoSongShowsTheLoadPromptAndChangesNothing)
{
    ASSERT_TRUE(StartApp());
    Click(Button(IDC_START));
    EXPECT_EQ(Record().messages, std::vector<std::string>{"ＭＩＤＩファイルを読みこんでください"});
    EXPECT_FALSE(Player().IsOpen());
    EXPECT_EQ(View()->GetPlayerControl().m_bDeviceOpen, 0);
    EXPECT_EQ(PauseCaption(), "STOP");
    Click(Button(IDC_PAUSE));
    EXPECT_EQ(Record().messages.size(), 2u);
    EXPECT_EQ(PauseCaption(), "STOP");
    EXPECT_EQ(View()->GetPlayerControl().m_bPaused, 0);
}

TEST_F(ConverterFormTest, StartStopContinueAndStartAgainFollowThePlayersStates)
{
    ASSERT_TRUE(StartApp({DataPath("round.mid")}));
    Click(Button(IDC_CONVERT));
    CPlayerControl& control = View()->GetPlayerControl();

    Click(Button(IDC_START));
    ASSERT_TRUE(Record().messages.empty()) << Record().messages.front();
    EXPECT_TRUE(Player().IsOpen());
    EXPECT_FALSE(Player().IsPaused());
    EXPECT_EQ(control.m_bDeviceOpen, 1);
    EXPECT_EQ(control.m_bPaused, 0);
    EXPECT_EQ(PauseCaption(), "STOP");

    Click(Button(IDC_PAUSE));
    EXPECT_TRUE(Player().IsPaused());
    EXPECT_EQ(control.m_bPaused, 1);
    EXPECT_EQ(PauseCaption(), "CONTINUE");
    const int pausedAt = Player().CurrentTick();
    Pump(200);
    EXPECT_EQ(Player().CurrentTick(), pausedAt);

    Click(Button(IDC_PAUSE));
    EXPECT_FALSE(Player().IsPaused());
    EXPECT_EQ(control.m_bPaused, 0);
    EXPECT_EQ(PauseCaption(), "STOP");

    Click(Button(IDC_PAUSE));
    EXPECT_EQ(PauseCaption(), "CONTINUE");
    Click(Button(IDC_START));
    EXPECT_TRUE(Player().IsOpen());
    EXPECT_FALSE(Player().IsPaused());
    EXPECT_EQ(control.m_bPaused, 0);
    EXPECT_EQ(PauseCaption(), "STOP");
    EXPECT_TRUE(Record().messages.empty());

    // The convert button closes the device and leaves the pause state and caption alone.
    Click(Button(IDC_PAUSE));
    Click(Button(IDC_CONVERT));
    EXPECT_FALSE(Player().IsOpen());
    EXPECT_EQ(control.m_bDeviceOpen, 0);
    EXPECT_EQ(control.m_bPaused, 1);
    EXPECT_EQ(PauseCaption(), "CONTINUE");
}

TEST_F(ConverterFormTest, SongFromTheCommandLinePlaysAsReadOnStart)
{
    ASSERT_TRUE(StartApp({DataPath("fanfare.mid")}));
    Click(Button(IDC_START));
    EXPECT_TRUE(Record().messages.empty()) << Record().messages.front();
    EXPECT_TRUE(Player().IsOpen());
    EXPECT_EQ(ReadBytes(m_strTempPath), ReadBytes(DataPath("fanfare.mid")));
    Pump(300);
    EXPECT_GT(Player().CurrentTick(), 0);
}

TEST_F(ConverterFormTest, EndOfTheSongChangesNothing)
{
    ASSERT_TRUE(StartApp({DataPath("fanfare.mid")}));
    Click(Button(IDC_START));
    ASSERT_TRUE(Player().IsOpen());
    const double seconds = Player().TotalSeconds();
    ASSERT_LT(seconds, 20.0) << "the song is too long for this test";
    for (int waited = 0; !Player().IsFinished() && waited < 25000; waited += 100)
        Pump(100);
    ASSERT_TRUE(Player().IsFinished());
    Pump(200);
    EXPECT_EQ(View()->GetPlayerControl().m_bDeviceOpen, 1);
    EXPECT_EQ(View()->GetPlayerControl().m_bPaused, 0);
    EXPECT_EQ(PauseCaption(), "STOP");
    EXPECT_TRUE(Record().messages.empty());
}

TEST_F(ConverterFormTest, OpeningASongWhileOnePlaysStopsIt)
{
    ASSERT_TRUE(StartApp({DataPath("round.mid")}));
    Click(Button(IDC_START));
    ASSERT_TRUE(Player().IsOpen());
    Click(Button(IDC_PAUSE));
    ASSERT_EQ(View()->GetPlayerControl().m_bPaused, 1);

    Record().fileAnswers.push_back(DataPath("bossa.mid"));
    SendCommand(ID_FILE_OPEN);
    EXPECT_FALSE(Player().IsOpen());
    EXPECT_EQ(View()->GetPlayerControl().m_bDeviceOpen, 0);
    EXPECT_EQ(View()->GetPlayerControl().m_bPaused, 0);
    // The caption is left as it was until the next START.
    EXPECT_EQ(PauseCaption(), "CONTINUE");
}

TEST_F(ConverterFormTest, ClosingTheWindowClosesTheDevice)
{
    ASSERT_TRUE(StartApp({DataPath("round.mid")}));
    Click(Button(IDC_START));
    ASSERT_TRUE(Player().IsOpen());
    Frame()->Close();
    Pump(100);
    EXPECT_EQ(Frame(), nullptr);
    EXPECT_FALSE(Player().IsOpen());
}

TEST_F(ConverterFormTest, AboutBoxShowsTheProductAndOpensExactlyItsAddress)
{
    ASSERT_TRUE(StartApp());
    bool shown = false;
    Record().onModal = [&](wxDialog* dialog) -> int
    {
        shown = true;
        EXPECT_NE(dynamic_cast<CAboutDialog*>(dialog), nullptr);
        EXPECT_EQ(ToUtf8(dialog->GetTitle()), "SMF ZantoArrangerのﾊﾞｰｼﾞｮﾝ情報");
        std::vector<std::string> labels;
        for (wxWindow* child : dialog->GetChildren())
            if (dynamic_cast<wxStaticText*>(child) != nullptr)
                labels.push_back(ToUtf8(child->GetLabel()));
        EXPECT_EQ(labels.at(0), "ZANTO MIDI PLAYER Version 1.0");
        auto* ok = dynamic_cast<wxButton*>(dialog->FindWindow(IDOK));
        auto* home = dynamic_cast<wxButton*>(dialog->FindWindow(AfxWxId(IDC_HOMEPAGE)));
        EXPECT_TRUE(ok != nullptr && home != nullptr);
        if (ok == nullptr || home == nullptr)
            return wxID_CANCEL;
        EXPECT_EQ(ToUtf8(ok->GetLabel()), "OK");
        EXPECT_EQ(dialog->GetDefaultItem(), ok);
        EXPECT_EQ(ToUtf8(home->GetLabel()), HomePageUrl());

        dialog->Show();
        dialog->Raise();
        Pump(300);
        Screenshot("about_box");
        Click(home);
        EXPECT_EQ(Record().openedUrls, std::vector<std::string>{HomePageUrl()});
        EXPECT_TRUE(dialog->IsShown());
        dialog->Hide();
        return static_cast<int>(IDOK);
    };
    SendCommand(ID_APP_ABOUT);
    EXPECT_TRUE(shown);
    EXPECT_EQ(std::string(HomePageUrl()).rfind("http", 0), 0u);

    // The toolbar's button brings up the same box.
    shown = false;
    Record().onModal = [&](wxDialog* dialog) -> int
    {
        shown = dynamic_cast<CAboutDialog*>(dialog) != nullptr;
        return static_cast<int>(IDOK);
    };
    CToolBar* bar = Frame()->GetDockToolBar();
    const wxRect tool = bar->GetToolRect(AfxWxId(ID_APP_ABOUT));
    wxUIActionSimulator sim;
    sim.MouseMove(
        bar->ClientToScreen(tool.GetPosition() + wxPoint(tool.width / 2, tool.height / 2)));
    Pump(50);
    sim.MouseClick();
    Pump(200);
    EXPECT_TRUE(shown);
}

TEST_F(ConverterFormTest, AboutBoxEndsWithItsOkButtonOrEscape)
{
    ASSERT_TRUE(StartApp());
    for (const bool escape : {false, true})
    {
        // The box runs its own modal loop; the user's key or click comes from inside it.
        Record().onModal = [&](wxDialog* dialog) -> int
        {
            wxTheApp->CallAfter(
                [this, dialog, escape]
                {
                    dialog->Raise();
                    Pump(200);
                    if (escape)
                        PressKey(WXK_ESCAPE);
                    else
                        Click(dialog->FindWindow(IDOK));
                });
            return wxID_NONE;
        };
        CAboutDialog about;
        EXPECT_EQ(about.DoModal(), escape ? IDCANCEL : static_cast<int>(IDOK));
    }
    EXPECT_TRUE(Record().openedUrls.empty());
}

} // namespace

// The 表示 menu's piano roll window (following the document and playback, remembered across runs,
// the moved-note count in the status bar) and playback settings dialog.

#include <cmath>

#include <wx/choice.h>
#include <wx/filepicker.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/odcombo.h>
#include <wx/statusbr.h>
#include <wx/uiaction.h>

#include "gtk_native.h"
#include "gui_test.h"
#include "key_songs.h"
#include "piano_roll_wnd.h"
#include "playback_settings.h"
#include "resource.h"
#include "sequencer_player.h"
#include "sound_font.h"
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
    // What screen readers get: the count as the status bar's text, the roll's length and count,
    // the boxes as combo boxes with their choices.
    EXPECT_EQ(AfxGetAccessibleName(Frame()->GetStatusBar()), MovedText());
    EXPECT_NE(AfxGetAccessibleDescription(Roll()->GetCanvas()).find(MovedText()),
              std::string::npos);
    EXPECT_NE(AfxGetAccessibleDescription(Roll()->GetCanvas()).find("1:14"), std::string::npos);
    auto* mode = dynamic_cast<wxOwnerDrawnComboBox*>(View()->FindWindow(AfxWxId(IDC_MODE)));
    EXPECT_EQ(AfxGetAccessibleDescription(mode), "Non convert, major, minor, aug, dim, invert");
    Screenshot("piano_roll_fitted");

    // Keys as drawing programs have them: + zooms in, → scrolls on, Home fits the song again.
    const double fitted = Roll()->GetViewport().dPixelsPerSecond;
    Roll()->Raise();
    Roll()->GetCanvas()->SetFocus();
    Pump(100);
    PressKey('+');
    EXPECT_GT(Roll()->GetViewport().dPixelsPerSecond, fitted * 1.2);
    PressKey(WXK_RIGHT);
    EXPECT_GT(Roll()->GetViewport().dFirstSecond, 0);
    PressKey(WXK_HOME);
    EXPECT_DOUBLE_EQ(Roll()->GetViewport().dPixelsPerSecond, fitted);
    EXPECT_EQ(Roll()->GetViewport().dFirstSecond, 0);

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

// The key of each song opened, or made anew, is in the status bar and the roll's header; the
// roll shades its scale until a conversion shades the chosen one. The menu item fills the key
// box only.
TEST_F(PianoRollTest, TheEstimatedKeyFollowsOpenAndNewAndFillsTheKeyBox)
{
    const std::string song = m_scratch.File("d-minor.mid");
    const std::string drums = m_scratch.File("drums.mid");
    WriteBytes(song, MakeKeySong(2, true, KeySongKind::ScaleAndCadence));
    WriteBytes(drums, MakeSmf({Concat({{0x00, 0x99, 36, 100, 0x60, 0x89, 36, 0}, kEndOfTrack})}));
    ASSERT_TRUE(StartApp({song}));
    const auto statusText = [this] { return ToUtf8(Frame()->GetStatusBar()->GetStatusText(0)); };
    const auto comboText = [this](UINT id)
    {
        return ToUtf8(
            dynamic_cast<wxOwnerDrawnComboBox*>(View()->FindWindow(AfxWxId(id)))->GetValue());
    };
    const auto enabled = [this]
    {
        Frame()->GetMenuBar()->GetMenu(1)->UpdateUI(Frame());
        return Frame()->GetMenuBar()->IsEnabled(AfxWxId(ID_VIEW_USE_ESTIMATED_KEY));
    };
    EXPECT_EQ(statusText(), "推定キー: D minor");
    SendCommand(ID_VIEW_PIANO_ROLL);
    ASSERT_NE(Roll(), nullptr);
    EXPECT_EQ(Roll()->GetModel().KeyCaption(), "推定キー: D minor");
    // D minor's scale: D and F are on it, D# and F# are not.
    EXPECT_TRUE(Roll()->GetModel().IsScaleNote(62) && Roll()->GetModel().IsScaleNote(65));
    EXPECT_FALSE(Roll()->GetModel().IsScaleNote(63) || Roll()->GetModel().IsScaleNote(66));
    Pump(300);
    Screenshot("piano_roll_estimated_key");

    ASSERT_TRUE(enabled());
    SendCommand(ID_VIEW_USE_ESTIMATED_KEY);
    EXPECT_EQ(comboText(IDC_KEY), "D");
    EXPECT_EQ(comboText(IDC_MODE), "Non convert");

    Convert("major");
    EXPECT_EQ(statusText(), MovedText());
    EXPECT_TRUE(Roll()->GetModel().IsScaleNote(66)); // F#, on D major's scale
    EXPECT_NE(Roll()->GetModel().KeyCaption(), "推定キー: D minor");

    SendCommand(ID_FILE_NEW);
    Pump(100);
    EXPECT_EQ(statusText(), "推定キー: D minor");
    EXPECT_EQ(comboText(IDC_KEY), "C");
    EXPECT_FALSE(Roll()->GetModel().IsScaleNote(66));
    EXPECT_EQ(Roll()->GetModel().KeyCaption(), "推定キー: D minor");

    ASSERT_NE(App().OpenDocumentFile(drums), nullptr);
    Pump(100);
    EXPECT_EQ(statusText(), LoadResString(IDS_NO_ESTIMATED_KEY));
    EXPECT_FALSE(enabled());
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

TEST_F(PianoRollTest, AClickInTheRulerSeeksWhilePlayingOrPaused)
{
    ASSERT_TRUE(StartApp({DataPath("bossa.mid")}));
    SendCommand(ID_VIEW_PIANO_ROLL);
    ASSERT_NE(Roll(), nullptr);
    Pump(200);
    CSequencerPlayer& player = App().GetPlayer();
    const auto clickRulerAt = [&](double seconds)
    {
        const double x = CPianoRollPainter::XAtSeconds(Roll()->GetViewport(), seconds);
        const CRollViewport& view = Roll()->GetViewport();
        const int y =
            (CPianoRollPainter::RulerTop(view) + CPianoRollPainter::RulerBottom(view)) / 2;
        const wxPoint at = Roll()->GetCanvas()->ClientToScreen(wxPoint(int(x), y));
        wxUIActionSimulator sim;
        sim.MouseMove(at);
        Pump(50);
        sim.MouseClick();
        Pump(150);
    };

    // Nothing plays yet: a click moves nothing.
    clickRulerAt(30);
    EXPECT_FALSE(player.IsOpen());

    Click(View()->FindWindow(AfxWxId(IDC_START)));
    ASSERT_TRUE(player.IsOpen()) << (Record().messages.empty() ? "" : Record().messages[0]);
    clickRulerAt(40);
    EXPECT_NEAR(player.ElapsedSeconds(), 40, 1.5);
    EXPECT_FALSE(player.IsPaused());
    Pump(200);
    EXPECT_NEAR(Roll()->GetViewport().dPlayhead, player.ElapsedSeconds(), 0.5);

    Click(View()->FindWindow(AfxWxId(IDC_PAUSE)));
    ASSERT_TRUE(player.IsPaused());
    clickRulerAt(20);
    EXPECT_NEAR(player.ElapsedSeconds(), 20, 1.0);
    EXPECT_TRUE(player.IsPaused());
    EXPECT_TRUE(Record().messages.empty());
}

TEST_F(PianoRollTest, PlaybackSettingsSurviveARestart)
{
    const std::string soundFont = FindSoundFont("");
    ASSERT_FALSE(soundFont.empty());
    ASSERT_TRUE(StartApp());
    Record().onModal = [&](wxDialog* dialog)
    {
        auto* settings = dynamic_cast<CPlaybackSettingsDlg*>(dialog);
        if (settings == nullptr)
            return int(wxID_CANCEL);
        EXPECT_EQ(ToUtf8(settings->m_pOutput->GetString(0)), "内蔵シンセサイザー");
        settings->m_pSoundFont->SetPath(wxString::FromUTF8(soundFont));
        settings->m_pDriver->SetStringSelection("sdl2");
        return int(wxID_OK);
    };
    SendCommand(ID_VIEW_PLAYBACK_SETTINGS);
    StopApp();

    ASSERT_TRUE(StartApp());
    bool shown = false;
    Record().onModal = [&](wxDialog* dialog)
    {
        auto* settings = dynamic_cast<CPlaybackSettingsDlg*>(dialog);
        if (settings == nullptr)
            return int(wxID_CANCEL);
        shown = true;
        EXPECT_EQ(settings->m_pOutput->GetSelection(), 0);
        EXPECT_EQ(ToUtf8(settings->m_pSoundFont->GetPath()), soundFont);
        EXPECT_EQ(ToUtf8(settings->m_pDriver->GetStringSelection()), "sdl2");
        return int(wxID_CANCEL);
    };
    SendCommand(ID_VIEW_PLAYBACK_SETTINGS);
    EXPECT_TRUE(shown);
    const CPlaybackSettings saved = CPlaybackSettings::Load(App().GetProfilePath());
    EXPECT_EQ(saved.strSoundFont, soundFont);
    EXPECT_EQ(saved.strAudioDriver, "sdl2");
    EXPECT_EQ(saved.strMidiPort, "");
}

TEST_F(PianoRollTest, AGoneSoundFontOrPortIsNamedAtStartAndTheDefaultOffered)
{
    ASSERT_TRUE(StartApp({DataPath("round.mid")}));
    const std::string gone = m_scratch.File("gone.sf2");
    CPlaybackSettings settings;
    settings.strSoundFont = gone;
    ASSERT_TRUE(settings.Save(App().GetProfilePath()));
    std::vector<std::string> questions;
    int answer = wxID_NO;
    Record().onModal = [&](wxDialog* dialog)
    {
        if (auto* question = dynamic_cast<wxMessageDialog*>(dialog))
            questions.push_back(ToUtf8(question->GetMessage()));
        return answer;
    };
    wxWindow* start = View()->FindWindow(AfxWxId(IDC_START));

    // Declined: nothing plays and the setting stays.
    Click(start);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_NE(questions[0].find(gone), std::string::npos) << questions[0];
    EXPECT_FALSE(App().GetPlayer().IsOpen());
    EXPECT_EQ(CPlaybackSettings::Load(App().GetProfilePath()).strSoundFont, gone);

    // Taken: the default SoundFont plays, and is what the settings say from now on.
    answer = wxID_YES;
    Click(start);
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_TRUE(App().GetPlayer().IsOpen()) << App().GetPlayer().ErrorText();
    EXPECT_EQ(CPlaybackSettings::Load(App().GetProfilePath()).strSoundFont, "");
    EXPECT_TRUE(Record().messages.empty());

    // A port that is not there is named the same way.
    settings.strSoundFont.clear();
    settings.strMidiPort = "no such port 42";
    ASSERT_TRUE(settings.Save(App().GetProfilePath()));
    answer = wxID_NO;
    Click(start);
    ASSERT_EQ(questions.size(), 3u);
    EXPECT_NE(questions[2].find("no such port 42"), std::string::npos) << questions[2];
}

// The roll was kept above the main window, and a place over it was restored as it was: the
// form could be hidden for good. A place that would cover it is moved beside it.
TEST_F(PianoRollTest, ARestoredPlaceNeverCoversTheMainWindow)
{
    ASSERT_TRUE(StartApp());
    SendCommand(ID_VIEW_PIANO_ROLL);
    ASSERT_NE(Roll(), nullptr);
    EXPECT_FALSE(Roll()->HasFlag(wxFRAME_FLOAT_ON_PARENT));
    Roll()->SetSize(Frame()->GetRect().Inflate(20));
    Pump(200);
    StopApp();

    ASSERT_TRUE(StartApp());
    Pump(300);
    ASSERT_NE(Roll(), nullptr);
    EXPECT_TRUE(Roll()->IsShown());
    EXPECT_FALSE(Roll()->GetRect().Intersects(Frame()->GetRect()))
        << Roll()->GetRect().x << "," << Roll()->GetRect().y;

    // A song dropped on the roll opens as on the main window.
    auto* files = new wxString[1]{wxString::FromUTF8(DataPath("round.mid"))};
    wxDropFilesEvent drop(wxEVT_DROP_FILES, 1, files);
    drop.SetEventObject(Roll());
    Roll()->ProcessWindowEvent(drop);
    Pump(100);
    EXPECT_EQ(Doc()->GetPathName(), DataPath("round.mid"));
    EXPECT_EQ(Roll()->GetModel().Counts().nNotes, CountMovedNotes(*Doc()).nNotes);
}

// With no sound card, START showed four raw library errors. One question in the program's words,
// which leads to the playback settings.
TEST_F(PianoRollTest, StartWithoutASoundOutputSaysSoOnceAndOffersTheSettings)
{
    ASSERT_TRUE(StartApp({DataPath("round.mid")}));
    CPlaybackSettings settings;
    settings.strAudioDriver = "alsa"; // no sound card here
    ASSERT_TRUE(settings.Save(App().GetProfilePath()));
    std::vector<std::string> shown;
    Record().onModal = [&](wxDialog* dialog)
    {
        if (auto* question = dynamic_cast<wxMessageDialog*>(dialog))
        {
            shown.push_back(ToUtf8(question->GetMessage()));
            return int(wxID_YES);
        }
        if (dynamic_cast<CPlaybackSettingsDlg*>(dialog) != nullptr)
            shown.push_back("settings");
        return int(wxID_CANCEL);
    };
    Click(View()->FindWindow(AfxWxId(IDC_START)));
    // START waits for the player, which loads in the background.
    for (int i = 0; i < 30 && shown.empty(); ++i)
        Pump(100);
    ASSERT_EQ(shown.size(), 2u) << (Record().messages.empty() ? "" : Record().messages.front());
    EXPECT_EQ(shown[0], LoadResString(IDS_NO_SOUND_OUTPUT));
    EXPECT_EQ(shown[1], "settings");
    EXPECT_TRUE(Record().messages.empty()) << Record().messages.front();
    EXPECT_FALSE(App().GetPlayer().IsOpen());
}

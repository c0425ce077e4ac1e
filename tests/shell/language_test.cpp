// The program's language follows the locale: English under en_US.UTF-8, the Japanese source texts
// under C. The window half checks the language this test process was started in (shell_tests
// runs once under each); the converter is started under both. And the toolbar's buttons stay
// sharp on a screen scaled by 2.

#include <array>
#include <cstdio>
#include <fstream>
#include <libintl.h>

#include <wx/bmpbuttn.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/menu.h>
#include <wx/stockitem.h>

#include "gui_test.h"
#include "control_bars.h"
#include "resource.h"
#include "string_table.h"
#include "ui_resources.h"

namespace
{

std::string ToUtf8(const wxString& text)
{
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return std::string(utf8.data(), utf8.length());
}

bool EnglishExpected()
{
    const char* locale = std::getenv("LC_ALL");
    return locale != nullptr && std::string(locale).rfind("en_", 0) == 0;
}

// What the converter prints on stderr for `song` under the locale `lcAll`.
std::string ConverterError(const std::string& lcAll, const std::string& song)
{
    const std::string command = "LANGUAGE= LC_ALL=" + lcAll + " '" + TARVEL1_CONVERT_EXE +
                                "' -o /dev/null '" + song + "' 2>&1";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r"))
    {
        std::array<char, 256> buffer;
        while (fgets(buffer.data(), buffer.size(), pipe) != nullptr)
            out += buffer.data();
        pclose(pipe);
    }
    return out;
}

} // namespace

class LanguageTest : public GuiTest
{
};

class ScaledToolbarTest : public GuiTest
{
};

TEST_F(LanguageTest, MenusAboutBoxAndStockButtonsShareOneLanguage)
{
    const bool english = EnglishExpected();
    // wx's and GTK's texts are set up once the window has painted: nothing is asked of them here.
    ASSERT_TRUE(StartApp());
    wxMenuBar* bar = Frame()->GetMenuBar();
    EXPECT_EQ(ToUtf8(bar->GetMenuLabel(0)), english ? "&File" : "ﾌｧｲﾙ(&F)");
    EXPECT_EQ(ToUtf8(bar->GetMenu(0)->FindItemByPosition(0)->GetItemLabel()),
              english ? "&Open MIDI File...\tCtrl+O" : "midファイルを開く(&O)...\tCtrl+O");
    EXPECT_EQ(ToUtf8(Frame()->GetStatusBar()->GetStatusText(0)), english ? "Ready" : "ﾚﾃﾞｨ");
    auto* convert = dynamic_cast<wxButton*>(View()->FindWindow(AfxWxId(IDC_CONVERT)));
    ASSERT_NE(convert, nullptr);
    EXPECT_EQ(ToUtf8(convert->GetLabel()), english ? "Convert!" : "変換！");
    // GTK's dialogs take their buttons from wx's stock texts: they must speak the same language.
    EXPECT_EQ(ToUtf8(wxGetStockLabel(wxID_CANCEL, wxSTOCK_NOFLAGS)),
              english ? "Cancel" : "キャンセル");
    // GTK's own buttons too (this needs the ja_JP.UTF-8 locale, which scripts/deps.sh makes).
    EXPECT_EQ(std::string(dgettext("gtk30", "_Cancel")), english ? "_Cancel" : "キャンセル(_C)");

    Screenshot(english ? "main_window_en" : "main_window_ja");

    bool shown = false;
    Record().onModal = [&](wxDialog* dialog) -> int
    {
        shown = true;
        EXPECT_EQ(ToUtf8(dialog->GetTitle()),
                  english ? "About SMF ZantoArranger" : "SMF ZantoArrangerのﾊﾞｰｼﾞｮﾝ情報");
        dialog->Show();
        Pump(300);
        Screenshot(english ? "about_box_en" : "about_box_ja");
        dialog->Hide();
        return wxID_OK;
    };
    SendCommand(ID_APP_ABOUT);
    EXPECT_TRUE(shown);
}

// At the window's first size, each prompt of the menus and the moved-note count show whole in
// the message pane: English prompts were cut to "Show or hide the …", all three alike.
TEST_F(LanguageTest, PromptsAndTheMovedNoteCountFitTheMessagePane)
{
    ASSERT_TRUE(StartApp({DataPath("bossa.mid")}));
    wxStatusBar* bar = Frame()->GetStatusBar();
    std::vector<std::string> texts;
    for (UINT id : {ID_FILE_OPEN, ID_FILE_SAVE_AS, ID_APP_EXIT, ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR,
                    ID_VIEW_PIANO_ROLL, ID_VIEW_PLAYBACK_SETTINGS, ID_APP_ABOUT})
    {
        const std::string& prompt = LoadResString(id);
        texts.push_back(prompt.substr(0, prompt.find('\n')));
    }
    texts.push_back(FormatResString(IDS_NOTES_MOVED, "12345", "123456"));
    Pump(200);
    wxRect pane;
    ASSERT_TRUE(bar->GetFieldRect(0, pane));
    for (const std::string& text : texts)
    {
        // GTK's label keeps a few pixels of padding on each side.
        EXPECT_LE(bar->GetTextExtent(wxString::FromUTF8(text)).x + 8, pane.width)
            << text << " in " << pane.width << " px";
    }
}

TEST_F(LanguageTest, ConverterSpeaksTheLanguageOfItsLocale)
{
    const std::string song = m_scratch.File("text.mid");
    std::ofstream(song) << "not a song";
    EXPECT_NE(ConverterError("en_US.UTF-8", song).find(": This is not a MIDI file"),
              std::string::npos);
    EXPECT_NE(ConverterError("C", song).find(": これはＭＩＤＩファイルではありません"),
              std::string::npos);
    EXPECT_NE(ConverterError("ja_JP.UTF-8", song).find(": これはＭＩＤＩファイルではありません"),
              std::string::npos);
}

// A screen scaled by 2 gets the buttons drawn at that size, not the small ones blown up (which
// would give every 2x2 block of pixels one colour, or a blur).
TEST_F(ScaledToolbarTest, ButtonsHaveTheirOwnImagesAtTwiceTheSize)
{
    ASSERT_TRUE(StartApp());
    CToolBar* bar = Frame()->GetDockToolBar();
    ASSERT_NE(bar, nullptr);
    const ToolBarResource* resource = FindToolBarResource(IDR_MAINFRAME);
    const wxImage strip2x = wxBitmap(resource->bitmapXpm2x).ConvertToImage();
    int image = 0;
    for (UINT command : resource->buttons)
    {
        if (command == ID_SEPARATOR)
            continue;
        wxAuiToolBarItem* tool = bar->FindTool(AfxWxId(command));
        auto* button = dynamic_cast<wxBitmapButton*>(bar->FindControl(AfxWxId(command)));
        ASSERT_NE(tool, nullptr);
        ASSERT_NE(button, nullptr);
        auto differing = [](const wxImage& shown, const wxImage& drawn)
        {
            int count = 0;
            for (int y = 0; y < drawn.GetHeight(); ++y)
                for (int x = 0; x < drawn.GetWidth(); ++x)
                    count += shown.GetRed(x, y) != drawn.GetRed(x, y) ||
                             shown.GetBlue(x, y) != drawn.GetBlue(x, y) ||
                             shown.IsTransparent(x, y) != drawn.IsTransparent(x, y);
            return count;
        };
        const wxSize size(2 * resource->nButtonWidth, 2 * resource->nButtonHeight);
        const wxImage shown = tool->GetBitmapBundle().GetBitmap(size).ConvertToImage();
        const wxImage drawn = strip2x.GetSubImage(wxRect(wxPoint(image * size.x, 0), size));
        ASSERT_EQ(shown.GetSize(), size);
        EXPECT_EQ(differing(shown, drawn), 0) << "button " << image;
        // The button shows the same images as the tool's at the screen's own scale.
        const wxImage small = button->GetBitmapLabel().ConvertToImage();
        ASSERT_EQ(small.GetSize(), size / 2);
        EXPECT_EQ(differing(small, tool->GetBitmapBundle().GetBitmap(size / 2).ConvertToImage()), 0)
            << "button " << image;
        ++image;
    }
}

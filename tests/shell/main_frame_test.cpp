// The application and its main frame: start-up, menus, accelerators, toolbar, status bar, the
// recent-file list and File Open, Save As through the real window.

#include <fstream>

#include <wx/dialog.h>
#include <wx/menu.h>
#include <wx/uiaction.h>

#include "gui_test.h"
#include "resource.h"
#include "sequencer_player.h"
#include "string_table.h"

namespace
{

std::string ToUtf8(const wxString& text)
{
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return std::string(utf8.data(), utf8.length());
}

// Records every menu command that reaches the frame and keeps it from going further, so that
// keys can be tried without opening dialogs or printing.
class CCommandRecorder : public wxEvtHandler
{
public:
    std::vector<UINT> commands;

protected:
    bool TryBefore(wxEvent& event) override
    {
        if (event.GetEventType() == wxEVT_MENU)
        {
            commands.push_back(AfxCommandId(event.GetId()));
            return true;
        }
        return wxEvtHandler::TryBefore(event);
    }
};

struct ExpectedItem
{
    const char* text;
    UINT id;
};

using MainFrameTest = GuiTest;

TEST_F(MainFrameTest, StartsWithTheMenusOfTheProgram)
{
    ASSERT_TRUE(StartApp());
    wxMenuBar* bar = Frame()->GetMenuBar();
    ASSERT_NE(bar, nullptr);

    const std::vector<std::pair<const char*, std::vector<ExpectedItem>>> expected = {
        {"ﾌｧｲﾙ(&F)",
         {{"midファイルを開く(&O)...\tCtrl+O", ID_FILE_OPEN},
          {"名前を付けて保存(&A)...", ID_FILE_SAVE_AS},
          {nullptr, 0},
          {"ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)", ID_APP_EXIT}}},
        {"表示(&V)",
         {{"ﾂｰﾙ ﾊﾞｰ(&T)", ID_VIEW_TOOLBAR},
          {"ｽﾃｰﾀｽ ﾊﾞｰ(&S)", ID_VIEW_STATUS_BAR},
          {"ﾋﾟｱﾉﾛｰﾙ(&P)", ID_VIEW_PIANO_ROLL},
          {"演奏設定(&O)...", ID_VIEW_PLAYBACK_SETTINGS},
          {"推定キーを使う(&E)", ID_VIEW_USE_ESTIMATED_KEY}}},
        {"ﾍﾙﾌﾟ(&H)", {{"ﾊﾞｰｼﾞｮﾝ情報(&A)...", ID_APP_ABOUT}}},
    };
    ASSERT_EQ(bar->GetMenuCount(), expected.size());
    for (std::size_t m = 0; m < expected.size(); ++m)
    {
        EXPECT_EQ(ToUtf8(bar->GetMenuLabel(m)), expected[m].first);
        wxMenu* menu = bar->GetMenu(m);
        ASSERT_EQ(menu->GetMenuItemCount(), expected[m].second.size()) << expected[m].first;
        for (std::size_t i = 0; i < expected[m].second.size(); ++i)
        {
            const wxMenuItem* item = menu->FindItemByPosition(i);
            const ExpectedItem& want = expected[m].second[i];
            if (want.text == nullptr)
            {
                EXPECT_TRUE(item->IsSeparator());
                continue;
            }
            EXPECT_EQ(ToUtf8(item->GetItemLabel()), want.text);
            EXPECT_EQ(AfxCommandId(item->GetId()), want.id) << want.text;
        }
    }
    // wx gives an exit item Ctrl+Q of its own accord; this one must not have it.
    EXPECT_EQ(ToUtf8(bar->FindItem(AfxWxId(ID_APP_EXIT))->GetItemLabel()), "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)");
}

TEST_F(MainFrameTest, TitleReadsTheProgramsNameOnceTheFormIsPainted)
{
    ASSERT_TRUE(StartApp());
    EXPECT_TRUE(Frame()->IsShown());
    Frame()->Refresh();
    Pump(200);
    EXPECT_EQ(ToUtf8(Frame()->GetTitle()), "ZANTO MIDI PLAYER");
}

TEST_F(MainFrameTest, AcceleratorsSendTheirCommands)
{
    ASSERT_TRUE(StartApp());
    Frame()->Raise();
    wxWindow* start = View()->FindWindow(IDC_START);
    ASSERT_NE(start, nullptr);
    start->SetFocus();
    Pump(100);

    auto* recorder = new CCommandRecorder();
    Frame()->PushEventHandler(recorder);
    const struct
    {
        int key;
        int modifiers;
        UINT command;
    } keys[] = {
        {'N', wxMOD_CONTROL, ID_FILE_NEW},
        {'O', wxMOD_CONTROL, ID_FILE_OPEN},
        {'S', wxMOD_CONTROL, ID_FILE_SAVE},
        {'P', wxMOD_CONTROL, ID_FILE_PRINT},
        {'Z', wxMOD_CONTROL, ID_EDIT_UNDO},
        {'X', wxMOD_CONTROL, ID_EDIT_CUT},
        {'C', wxMOD_CONTROL, ID_EDIT_COPY},
        {'V', wxMOD_CONTROL, ID_EDIT_PASTE},
        {WXK_BACK, wxMOD_ALT, ID_EDIT_UNDO},
        {WXK_DELETE, wxMOD_SHIFT, ID_EDIT_CUT},
        {WXK_INSERT, wxMOD_CONTROL, ID_EDIT_COPY},
        {WXK_INSERT, wxMOD_SHIFT, ID_EDIT_PASTE},
        {WXK_F6, 0, ID_NEXT_PANE},
        {WXK_F6, wxMOD_SHIFT, ID_PREV_PANE},
    };
    for (const auto& key : keys)
    {
        recorder->commands.clear();
        PressKey(key.key, key.modifiers);
        EXPECT_EQ(recorder->commands, std::vector<UINT>{key.command})
            << "key " << key.key << " with modifiers " << key.modifiers;
    }
    Frame()->PopEventHandler(true);
}

TEST_F(MainFrameTest, CtrlOReachesFileOpenAndOpensTheSong)
{
    ASSERT_TRUE(StartApp());
    Record().fileAnswers.push_back(DataPath("round.mid"));
    View()->FindWindow(IDC_START)->SetFocus();
    PressKey('O', wxMOD_CONTROL);
    ASSERT_EQ(Record().filePrompts, std::vector<std::string>{"open:開く"});
    EXPECT_EQ(Doc()->m_bLoaded, 1);
    EXPECT_EQ(Doc()->GetPathName(), DataPath("round.mid"));
    EXPECT_TRUE(Record().messages.empty());
}

TEST_F(MainFrameTest, ClipboardKeysStillWorkInsideAComboBoxField)
{
    ASSERT_TRUE(StartApp());
    wxWindow* mode = View()->FindWindow(IDC_MODE);
    auto* field = dynamic_cast<wxTextEntry*>(mode);
    ASSERT_NE(field, nullptr);
    field->ChangeValue("");
    TypeInto(mode, "dim");
    field->SelectAll();
    PressKey('C', wxMOD_CONTROL);
    field->SetInsertionPointEnd();
    PressKey('V', wxMOD_CONTROL);
    EXPECT_EQ(ToUtf8(field->GetValue()), "dimdim");
    field->SetSelection(0, 3);
    PressKey('X', wxMOD_CONTROL);
    EXPECT_EQ(ToUtf8(field->GetValue()), "dim");
    field->SetInsertionPointEnd();
    PressKey(WXK_INSERT, wxMOD_SHIFT);
    EXPECT_EQ(ToUtf8(field->GetValue()), "dimdim");
}

TEST_F(MainFrameTest, ToolbarHasItsButtonsTooltipsAndPromptsAndDocksAnywhere)
{
    ASSERT_TRUE(StartApp());
    CToolBar* bar = Frame()->GetDockToolBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetButtonIds(), (std::vector<UINT>{ID_FILE_OPEN, ID_SEPARATOR, ID_APP_ABOUT}));
    for (const auto& [id, tip] :
         {std::pair<UINT, const char*>{ID_FILE_OPEN, "開く"}, {ID_APP_ABOUT, "ﾊﾞｰｼﾞｮﾝ情報"}})
    {
        wxControl* button = bar->FindControl(AfxWxId(id));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(ToUtf8(button->GetToolTipText()), tip);
    }

    const wxAuiPaneInfo& pane = Frame()->GetDockManager().GetPane(bar);
    ASSERT_TRUE(pane.IsOk());
    EXPECT_TRUE(pane.IsToolbar());
    EXPECT_TRUE(pane.IsFloatable());
    EXPECT_TRUE(pane.IsTopDockable() && pane.IsBottomDockable() && pane.IsLeftDockable() &&
                pane.IsRightDockable());
    EXPECT_EQ(pane.dock_direction, wxAUI_DOCK_TOP);

    // The pointer on the open button shows its prompt; off the toolbar, the idle text returns.
    const wxRect tool = bar->GetToolRect(AfxWxId(ID_FILE_OPEN));
    const wxPoint onTool =
        bar->ClientToScreen(tool.GetPosition() + wxPoint(tool.width / 2, tool.height / 2));
    wxUIActionSimulator sim;
    sim.MouseMove(onTool);
    Pump(200);
    EXPECT_EQ(ToUtf8(Frame()->GetStatusBar()->GetStatusText(0)), "既存のﾌｧｲﾙを開く");
    sim.MouseMove(View()->GetScreenRect().GetBottomRight() - wxPoint(5, 5));
    Pump(200);
    EXPECT_EQ(ToUtf8(Frame()->GetStatusBar()->GetStatusText(0)), "ﾚﾃﾞｨ");

    // A click on the open button is File Open.
    Record().fileAnswers.push_back("");
    sim.MouseMove(onTool);
    Pump(50);
    sim.MouseClick();
    Pump(200);
    EXPECT_EQ(Record().filePrompts, std::vector<std::string>{"open:開く"});

    // Docked on the left and floated, it still has its buttons, and a floating button's
    // prompt goes to the window's message pane (its own small frame has none).
    Frame()->GetDockManager().GetPane(bar).Left();
    Frame()->RecalcLayout();
    Pump(100);
    EXPECT_EQ(Frame()->GetDockManager().GetPane(bar).dock_direction, wxAUI_DOCK_LEFT);
    Frame()->GetDockManager().GetPane(bar).Float();
    Frame()->RecalcLayout();
    Pump(100);
    EXPECT_TRUE(Frame()->GetDockManager().GetPane(bar).IsFloating());
    EXPECT_EQ(bar->GetToolCount(), 3u);
    sim.MouseMove(View()->GetScreenRect().GetBottomRight() - wxPoint(5, 5));
    Pump(100);
    const wxRect floating = bar->FindControl(AfxWxId(ID_APP_ABOUT))->GetScreenRect();
    sim.MouseMove(floating.GetPosition() + floating.GetSize() / 2);
    Pump(200);
    EXPECT_EQ(ToUtf8(Frame()->GetStatusBar()->GetStatusText(0)),
              "ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示");
    EXPECT_TRUE(Record().unexpected.empty());
    // Off the toolbar, so that the next window does not open under the pointer on a button.
    sim.MouseMove(View()->GetScreenRect().GetBottomRight() - wxPoint(5, 5));
    Pump(50);
}

TEST_F(MainFrameTest, MenuItemsShowTheirPromptsInTheMessagePane)
{
    ASSERT_TRUE(StartApp());
    const std::pair<UINT, const char*> prompts[] = {
        {ID_FILE_OPEN, "既存のﾌｧｲﾙを開く"},
        {ID_FILE_SAVE_AS, "作業中のﾌｧｲﾙを新しい名前で保存"},
        {ID_APP_EXIT, "ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示"},
        {ID_VIEW_TOOLBAR, "ﾂｰﾙ ﾊﾞｰの 表示/非表示"},
        {ID_VIEW_STATUS_BAR, "ｽﾃｰﾀｽ ﾊﾞｰの 表示/非表示"},
        {ID_VIEW_PIANO_ROLL, "ﾋﾟｱﾉﾛｰﾙの 表示/非表示"},
        {ID_VIEW_PLAYBACK_SETTINGS, "演奏の出力、SoundFont、ｵｰﾃﾞｨｵ ﾄﾞﾗｲﾊﾞの設定"},
        {ID_APP_ABOUT, "ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示"},
    };
    for (const auto& [id, prompt] : prompts)
    {
        wxMenuEvent highlight(wxEVT_MENU_HIGHLIGHT, AfxWxId(id));
        highlight.SetEventObject(Frame());
        Frame()->ProcessWindowEvent(highlight);
        EXPECT_EQ(ToUtf8(Frame()->GetStatusBar()->GetStatusText(0)), prompt);
    }
}

TEST_F(MainFrameTest, StatusBarHasFivePanesAndFollowsTheLockKeys)
{
    ASSERT_TRUE(StartApp());
    CStatusBar* bar = Frame()->GetMessageBar();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->GetFieldsCount(), 5);
    const UINT ids[] = {ID_SEPARATOR, ID_INDICATOR_KANA, ID_INDICATOR_CAPS, ID_INDICATOR_NUM,
                        ID_INDICATOR_SCRL};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(bar->GetItemID(i), ids[i]);
    EXPECT_EQ(ToUtf8(bar->GetStatusText(0)), "ﾚﾃﾞｨ");

    // Each lock key turns its indicator on and, pressed again, off, as the display reports it.
    const std::tuple<int, int, const char*, bool (*)()> locks[] = {
        {WXK_CAPITAL, 2, "CAP", AfxIsCapsLockOn},
        {WXK_NUMLOCK, 3, "NUM", AfxIsNumLockOn},
    };
    for (const auto& [key, pane, text, isOn] : locks)
    {
        const bool before = isOn();
        EXPECT_EQ(ToUtf8(bar->GetStatusText(pane)), before ? text : "");
        PressKey(key);
        Pump(200);
        EXPECT_NE(isOn(), before) << text;
        EXPECT_EQ(ToUtf8(bar->GetStatusText(pane)), !before ? text : "") << text;
        PressKey(key);
        Pump(200);
        EXPECT_EQ(ToUtf8(bar->GetStatusText(pane)), before ? text : "") << text;
    }
    EXPECT_EQ(ToUtf8(bar->GetStatusText(1)), "");
    // X keeps no Scroll Lock state unless the keymap gives it an indicator (Xvfb's does not):
    // the pane shows what the display reports.
    EXPECT_EQ(ToUtf8(bar->GetStatusText(4)), AfxIsScrollLockOn() ? "SCRL" : "");
    Screenshot("main_window");
}

TEST_F(MainFrameTest, ViewMenuHidesAndShowsTheBarsWithCheckMarks)
{
    ASSERT_TRUE(StartApp());
    wxMenuBar* menus = Frame()->GetMenuBar();
    auto checked = [&](UINT id)
    {
        Frame()->UpdateWindowUI(wxUPDATE_UI_RECURSE);
        menus->GetMenu(1)->UpdateUI(Frame());
        return menus->IsChecked(AfxWxId(id));
    };
    CToolBar* toolbar = Frame()->GetDockToolBar();
    EXPECT_TRUE(checked(ID_VIEW_TOOLBAR));
    EXPECT_TRUE(checked(ID_VIEW_STATUS_BAR));

    SendCommand(ID_VIEW_TOOLBAR);
    EXPECT_FALSE(toolbar->IsShown());
    EXPECT_FALSE(checked(ID_VIEW_TOOLBAR));
    SendCommand(ID_VIEW_TOOLBAR);
    EXPECT_TRUE(toolbar->IsShown());
    EXPECT_TRUE(checked(ID_VIEW_TOOLBAR));

    SendCommand(ID_VIEW_STATUS_BAR);
    EXPECT_FALSE(Frame()->GetStatusBar()->IsShown());
    EXPECT_FALSE(checked(ID_VIEW_STATUS_BAR));
    SendCommand(ID_VIEW_STATUS_BAR);
    EXPECT_TRUE(Frame()->GetStatusBar()->IsShown());
    EXPECT_TRUE(checked(ID_VIEW_STATUS_BAR));
}

TEST_F(MainFrameTest, StartedWithAMissingFileReportsItAndEnds)
{
    const std::string missing = m_scratch.File("no-such-song.mid");
    EXPECT_FALSE(StartApp({missing}));
    ASSERT_EQ(Record().messages.size(), 1u);
    EXPECT_NE(Record().messages[0].find(missing), std::string::npos) << Record().messages[0];
    EXPECT_NE(Record().messages[0].find("見つかりません"), std::string::npos);
    EXPECT_EQ(Frame(), nullptr);
    EXPECT_EQ(App().m_pMainWnd, nullptr);
}

TEST_F(MainFrameTest, StartedWithASongOpensItWithoutConverting)
{
    ASSERT_TRUE(StartApp({DataPath("bossa.mid")}));
    EXPECT_EQ(Doc()->m_bLoaded, 1);
    EXPECT_EQ(Doc()->GetPathName(), DataPath("bossa.mid"));
    EXPECT_TRUE(View()->m_strTempPath.empty());
    EXPECT_TRUE(Record().messages.empty());
}

TEST_F(MainFrameTest, CommandLineSkipsTheToolkitsOptionsAndKeepsTheFileNameAsGiven)
{
    // A name that is not ASCII reaches the document byte for byte, whatever the locale.
    const std::string song = m_scratch.File("曲 ｿﾝｸﾞ.mid");
    WriteBytes(song, ReadBytes(DataPath("round.mid")));
    ASSERT_TRUE(StartApp({"--display", ":0", "--name=tarvel1", "--g-fatal-warnings", "-x", song}));
    EXPECT_EQ(Doc()->GetPathName(), song);
    EXPECT_EQ(Doc()->m_bLoaded, 1);
    EXPECT_TRUE(Record().messages.empty());
}

TEST_F(MainFrameTest, FailedOpenKeepsTheLoadedSongAndTheForm)
{
    ASSERT_TRUE(StartApp({DataPath("round.mid")}));
    const std::vector<std::uint8_t> song(Doc()->m_original.begin(),
                                         Doc()->m_original.begin() + Doc()->m_nLastIndex + 1);
    View()->m_cmbMode.SetWindowText("minor");

    std::vector<std::uint8_t> cut = ReadBytes(DataPath("bossa.mid"));
    cut.resize(40);
    const std::string truncated = m_scratch.File("cut.mid");
    WriteBytes(truncated, cut);
    Record().fileAnswers.push_back(truncated);
    SendCommand(ID_FILE_OPEN);

    ASSERT_EQ(Record().messages.size(), 1u);
    EXPECT_NE(Record().messages[0].find(truncated), std::string::npos) << Record().messages[0];
    EXPECT_EQ(Doc()->m_bLoaded, 1);
    EXPECT_EQ(Doc()->GetPathName(), DataPath("round.mid"));
    EXPECT_TRUE(std::equal(song.begin(), song.end(), Doc()->m_original.begin()));
    EXPECT_EQ(static_cast<std::size_t>(Doc()->m_nLastIndex) + 1, song.size());
    // No initial update followed: the boxes keep what they showed.
    EXPECT_EQ(View()->m_cmbMode.GetWindowText(), "minor");
}

TEST_F(MainFrameTest, SaveAsIsRefusedWithNoSong)
{
    ASSERT_TRUE(StartApp());
    SendCommand(ID_FILE_SAVE_AS);
    EXPECT_EQ(Record().messages, std::vector<std::string>{"ＭＩＤＩファイルを読みこんでください"});
    EXPECT_TRUE(Record().filePrompts.empty());
    PressKey('S', wxMOD_CONTROL);
    EXPECT_EQ(Record().messages.size(), 2u);
    EXPECT_TRUE(Record().filePrompts.empty());
}

TEST_F(MainFrameTest, SaveAsWritesTheConvertedSongAndCtrlSWritesOverIt)
{
    ASSERT_TRUE(StartApp({DataPath("round.mid")}));
    View()->m_cmbMode.SetWindowText("invert");
    View()->StopAndConvert();
    const std::string saved = m_scratch.File("saved.mid");
    Record().fileAnswers.push_back(saved);
    SendCommand(ID_FILE_SAVE_AS);
    ASSERT_EQ(Record().filePrompts, std::vector<std::string>{"save:名前を付けて保存"});
    const std::vector<std::uint8_t> converted(Doc()->m_converted.begin(),
                                              Doc()->m_converted.begin() + Doc()->m_nLastIndex + 1);
    EXPECT_EQ(ReadBytes(saved), converted);
    EXPECT_EQ(Doc()->GetPathName(), saved);
    EXPECT_EQ(App().GetRecentFileList()->GetEntries().front(), saved);

    WriteBytes(saved, {1, 2, 3});
    PressKey('S', wxMOD_CONTROL);
    EXPECT_EQ(ReadBytes(saved), converted);
    EXPECT_EQ(Record().filePrompts.size(), 1u);
    EXPECT_TRUE(Record().messages.empty());
}

TEST_F(MainFrameTest, RecentFilesAreKeptAcrossRunsAndGoneFilesDropped)
{
    const std::string gone = m_scratch.File("gone.mid");
    WriteBytes(gone, ReadBytes(DataPath("drum.mid")));

    ASSERT_TRUE(StartApp());
    for (const char* name : {"round.mid", "bossa.mid", "fanfare.mid"})
        ASSERT_NE(App().OpenDocumentFile(DataPath(name)), nullptr);
    ASSERT_NE(App().OpenDocumentFile(gone), nullptr);
    ASSERT_NE(App().OpenDocumentFile(DataPath("start-with-middle-c.mid")), nullptr);
    // Four at most, newest first: the oldest fell off.
    EXPECT_EQ(App().GetRecentFileList()->GetEntries(),
              (std::vector<std::string>{DataPath("start-with-middle-c.mid"), gone,
                                        DataPath("fanfare.mid"), DataPath("bossa.mid")}));
    StopApp();

    const std::string profile =
        ConfigHome() + "/Local AppWizard-Generated Applications/tarvel1.conf";
    std::ifstream in(profile);
    ASSERT_TRUE(in.good()) << profile;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("File1=" + DataPath("start-with-middle-c.mid")), std::string::npos) << text;

    std::remove(gone.c_str());
    Record() = GuiRecord();
    ASSERT_TRUE(StartApp());
    EXPECT_EQ(App().GetRecentFileList()->GetEntries(),
              (std::vector<std::string>{DataPath("start-with-middle-c.mid"),
                                        DataPath("fanfare.mid"), DataPath("bossa.mid")}));
    EXPECT_TRUE(Record().messages.empty());
    // The menu lists no recent files.
    EXPECT_EQ(Frame()->GetMenuBar()->GetMenu(0)->GetMenuItemCount(), 4u);
}

TEST_F(MainFrameTest, CtrlPOpensThePrintDialogOfTheForm)
{
    ASSERT_TRUE(StartApp({DataPath("round.mid")}));
    std::vector<std::string> dialogs;
    Record().onModal = [&](wxDialog* dialog) -> int
    {
        dialogs.push_back(ToUtf8(dialog->GetClassInfo()->GetClassName()));
        return wxID_CANCEL;
    };
    View()->FindWindow(AfxWxId(IDC_START))->SetFocus();
    PressKey('P', wxMOD_CONTROL);
    EXPECT_EQ(dialogs, std::vector<std::string>{"wxGtkPrintDialog"});
    // A cancelled print is no failure, and the form keeps its song.
    EXPECT_TRUE(Record().messages.empty());
    EXPECT_EQ(Doc()->m_bLoaded, 1);
    CPrintInfo info;
    EXPECT_TRUE(View()->OnPreparePrinting(&info));
    EXPECT_EQ(info.m_nToPage - info.m_nFromPage + 1, 1);
}

TEST_F(MainFrameTest, ExitCommandClosesTheWindow)
{
    ASSERT_TRUE(StartApp());
    SendCommand(ID_APP_EXIT);
    Pump(100);
    EXPECT_EQ(Frame(), nullptr);
    EXPECT_EQ(App().m_pMainWnd, nullptr);
}

TEST_F(MainFrameTest, DroppedFileOpensAsFileOpenWould)
{
    ASSERT_TRUE(StartApp());
    // The event owns the array of names, as the window system's drop does.
    auto* files = new wxString[1]{wxString::FromUTF8(DataPath("fanfare.mid").c_str())};
    wxDropFilesEvent drop(wxEVT_DROP_FILES, 1, files);
    drop.SetEventObject(Frame());
    Frame()->ProcessWindowEvent(drop);
    Pump(100);
    EXPECT_EQ(Doc()->GetPathName(), DataPath("fanfare.mid"));
    EXPECT_EQ(Doc()->m_bLoaded, 1);
}

TEST(RecentFileList, KeepsNamesAsWrittenAndMovesARepeatToTheFront)
{
    ScratchFolder folder;
    // Characters a configuration file might take for syntax or variables.
    const std::vector<std::string> names = {"$HOME.mid", "a=b;c.mid", "曲 [1].mid",
                                            "back\\slash.mid"};
    std::vector<std::string> paths;
    for (const std::string& name : names)
    {
        paths.push_back(folder.File(name));
        WriteBytes(paths.back(), {0});
    }
    const std::string profile = folder.File("config/sub/tarvel1.conf");
    CRecentFileList list(profile, 4);
    for (const std::string& path : paths)
        list.Add(path);
    list.Add(paths[1]);
    const std::vector<std::string> expected = {paths[1], paths[3], paths[2], paths[0]};
    EXPECT_EQ(list.GetEntries(), expected);
    ASSERT_TRUE(list.WriteList());

    CRecentFileList again(profile, 4);
    again.ReadList();
    EXPECT_EQ(again.GetEntries(), expected);
    // A shorter list read from the same profile keeps the newest.
    CRecentFileList shorter(profile, 2);
    shorter.ReadList();
    EXPECT_EQ(shorter.GetEntries(), (std::vector<std::string>{paths[1], paths[3]}));
}

} // namespace

// The window on a desktop: the keyboard's path through the form, the toolbar's docking, the
// combo fields' limit, a player that loads without stopping the window, and file names of any
// bytes.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <dlfcn.h>
#include <sys/stat.h>

#include <wx/button.h>
#include <wx/clipbrd.h>
#include <wx/dialog.h>
#include <wx/odcombo.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "conversion.h"
#include "gtk_native.h"
#include "gui_test.h"
#include "message_box.h"
#include "player_control.h"
#include "resource.h"
#include "sequencer_player.h"
#include "string_table.h"
#include "ui_hooks.h"
#include "wx_text.h"

namespace
{

template <class F> F AtkSymbol(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_DEFAULT, name));
}

// What a screen reader finds under a window: the role and name of each child of its
// accessible object, read from the ATK that GTK has loaded.
struct AccessibleChild
{
    std::string role;
    std::string name;
};

void* Accessible(wxWindow* window)
{
    static const auto get = AtkSymbol<void* (*)(void*)>("gtk_widget_get_accessible");
    return get != nullptr ? get(window->GetHandle()) : nullptr;
}

std::string AccessibleRole(void* object)
{
    static const auto role = AtkSymbol<int (*)(void*)>("atk_object_get_role");
    static const auto roleName = AtkSymbol<const char* (*)(int)>("atk_role_get_name");
    const char* name = object != nullptr && role && roleName ? roleName(role(object)) : nullptr;
    return name != nullptr ? name : "";
}

std::vector<AccessibleChild> AccessibleChildren(wxWindow* window)
{
    static const auto count = AtkSymbol<int (*)(void*)>("atk_object_get_n_accessible_children");
    static const auto child = AtkSymbol<void* (*)(void*, int)>("atk_object_ref_accessible_child");
    static const auto name = AtkSymbol<const char* (*)(void*)>("atk_object_get_name");
    static const auto unref = AtkSymbol<void (*)(void*)>("g_object_unref");
    std::vector<AccessibleChild> children;
    void* parent = Accessible(window);
    if (parent == nullptr || !count || !child || !name || !unref)
        return children;
    for (int i = 0; i < count(parent); ++i)
    {
        void* object = child(parent, i);
        const char* text = object != nullptr ? name(object) : nullptr;
        children.push_back({AccessibleRole(object), text != nullptr ? text : ""});
        if (object != nullptr)
            unref(object);
    }
    return children;
}

// Does the first action of child `index` (a push button's is its click), as a screen reader
// does when its user presses the button. False when the child has no actions.
bool DoAccessibleAction(wxWindow* window, int index)
{
    static const auto child = AtkSymbol<void* (*)(void*, int)>("atk_object_ref_accessible_child");
    static const auto isA = AtkSymbol<int (*)(void*, unsigned long)>("g_type_check_instance_is_a");
    static const auto actionType = AtkSymbol<unsigned long (*)()>("atk_action_get_type");
    static const auto doAction = AtkSymbol<int (*)(void*, int)>("atk_action_do_action");
    static const auto unref = AtkSymbol<void (*)(void*)>("g_object_unref");
    void* parent = Accessible(window);
    if (parent == nullptr || !child || !isA || !actionType || !doAction || !unref)
        return false;
    void* object = child(parent, index);
    if (object == nullptr)
        return false;
    const bool done = isA(object, actionType()) && doAction(object, 0);
    unref(object);
    return done;
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

    // Drags with the mouse held down, in small steps, as a hand does.
    void Drag(const wxPoint& from, const wxPoint& to)
    {
        wxUIActionSimulator sim;
        sim.MouseMove(from);
        Pump(50);
        sim.MouseDown();
        Pump(50);
        for (int step = 1; step <= 10; ++step)
        {
            sim.MouseMove(from + (to - from) * step / 10);
            Pump(30);
        }
        sim.MouseUp();
        Pump(200);
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

    // What a screen reader announces for the boxes and the toolbar.
    EXPECT_EQ(AfxGetAccessibleName(Box(IDC_KEY)->GetTextCtrl()), "ｷｰ");
    EXPECT_EQ(AfxGetAccessibleName(Box(IDC_MODE)->GetTextCtrl()), "変換ﾓｰﾄﾞ");

    // Each toolbar button is a push button of its own, by its name, that a screen reader can
    // press; pressed, it runs its command. A click of the mouse leaves the focus where it was.
    CToolBar* bar = Frame()->GetDockToolBar();
    EXPECT_EQ(AccessibleRole(Accessible(bar)), "tool bar");
    const std::vector<AccessibleChild> buttons = AccessibleChildren(bar);
    ASSERT_EQ(buttons.size(), 2u);
    for (const auto& [index, name] : {std::pair<int, const char*>{0, "開く"}, {1, "ﾊﾞｰｼﾞｮﾝ情報"}})
    {
        EXPECT_EQ(buttons[index].role, "push button") << name;
        EXPECT_EQ(buttons[index].name, name);
    }
    Record().fileAnswers.push_back("");
    EXPECT_TRUE(DoAccessibleAction(bar, 0));
    Pump(100);
    EXPECT_EQ(Record().filePrompts, std::vector<std::string>{"open:開く"});
    int abouts = 0;
    Record().onModal = [&](wxDialog*) -> int
    {
        ++abouts;
        return static_cast<int>(IDOK);
    };
    EXPECT_TRUE(DoAccessibleAction(bar, 1));
    Pump(100);
    EXPECT_EQ(abouts, 1);
    wxWindow* about = bar->FindControl(AfxWxId(ID_APP_ABOUT));
    Click(about);
    EXPECT_EQ(abouts, 2);
    EXPECT_EQ(FocusedControl(), IDC_MODE);
    // A command its update handler disables is pressed by neither.
    Frame()->Bind(
        wxEVT_UPDATE_UI, [](wxUpdateUIEvent& event) { event.Enable(false); },
        AfxWxId(ID_APP_ABOUT));
    Frame()->UpdateWindowUI(wxUPDATE_UI_RECURSE);
    Pump(100);
    EXPECT_FALSE(about->IsEnabled());
    EXPECT_FALSE(DoAccessibleAction(bar, 1));
    Click(about);
    EXPECT_EQ(abouts, 2);
}

TEST_F(DesktopTest, ToolbarDocksOnEverySideFloatsAndComesBackWholeWithTheForm)
{
    ASSERT_TRUE(StartApp());
    CToolBar* bar = Frame()->GetDockToolBar();
    auto pane = [&]() -> wxAuiPaneInfo& { return Frame()->GetDockManager().GetPane(bar); };
    auto gripper = [&]
    {
        const wxRect rect = bar->GetScreenRect();
        const bool vertical = rect.height > rect.width;
        return vertical ? wxPoint(rect.x + rect.width / 2, rect.y + 3)
                        : wxPoint(rect.x + 3, rect.y + rect.height / 2);
    };
    // Nothing of the form or the toolbar is cut off, the About button included.
    auto expectWhole = [&](const char* where)
    {
        Pump(100);
        const wxSize form = View()->GetSize();
        const wxSize wanted = View()->GetTemplateSize() + form - View()->GetClientSize();
        EXPECT_GE(form.x, wanted.x) << where;
        EXPECT_GE(form.y, wanted.y) << where;
        const wxRect about = bar->GetToolRect(AfxWxId(ID_APP_ABOUT));
        EXPECT_TRUE(wxRect(bar->GetClientSize()).Contains(about)) << where;
        wxWindow* button = bar->FindControl(AfxWxId(ID_APP_ABOUT));
        EXPECT_TRUE(button->IsShownOnScreen()) << where;
        EXPECT_TRUE(wxRect(bar->GetClientSize()).Contains(button->GetRect())) << where;
        if (pane().IsDocked())
        {
            EXPECT_TRUE(Frame()->GetClientRect().Contains(bar->GetRect())) << where;
        }
    };
    expectWhole("top");

    // Room around the window: a toolbar docks where its grip is dropped just outside the
    // form's edge (on the menu bar for the top).
    Frame()->Move(300, 200);
    Pump(200);
    auto client = [&]
    { return wxRect(Frame()->ClientToScreen(wxPoint(0, 0)), Frame()->GetClientSize()); };
    Drag(gripper(), wxPoint(client().x - 10, gripper().y));
    EXPECT_TRUE(pane().IsDocked() && pane().dock_direction == wxAUI_DOCK_LEFT);
    expectWhole("left");
    Screenshot("toolbar_left");
    Drag(gripper(), wxPoint(gripper().x, client().y - 10));
    EXPECT_TRUE(pane().IsDocked() && pane().dock_direction == wxAUI_DOCK_TOP);
    expectWhole("top again");
    for (int side : {wxAUI_DOCK_RIGHT, wxAUI_DOCK_BOTTOM})
    {
        pane().Direction(side);
        Frame()->RecalcLayout();
        expectWhole(side == wxAUI_DOCK_RIGHT ? "right" : "bottom");
    }
    pane().Top();
    Frame()->RecalcLayout();

    // Floating above the window, it docks again when its grip is dragged to an edge.
    pane().FloatingPosition(client().x + 40, client().y - 160).Float();
    Frame()->RecalcLayout();
    Pump(200);
    ASSERT_TRUE(pane().IsFloating());
    EXPECT_TRUE(bar->IsShownOnScreen());
    Drag(gripper(), wxPoint(gripper().x, client().y - 10));
    EXPECT_TRUE(pane().IsDocked() && pane().dock_direction == wxAUI_DOCK_TOP);
    expectWhole("top from floating");

    // Hidden while floating and shown again from the View menu: docked where it last was.
    pane().Float();
    Frame()->RecalcLayout();
    SendCommand(ID_VIEW_TOOLBAR);
    EXPECT_FALSE(pane().IsShown());
    SendCommand(ID_VIEW_TOOLBAR);
    EXPECT_TRUE(pane().IsShown() && pane().IsDocked());
    EXPECT_EQ(pane().dock_direction, wxAUI_DOCK_TOP);
    expectWhole("shown again");

    // Floated where no screen shows it, it comes back docked rather than vanish.
    pane().FloatingPosition(-5000, -5000).Float();
    Frame()->RecalcLayout();
    Pump(200);
    EXPECT_TRUE(pane().IsShown() && pane().IsDocked());
    Screenshot("toolbar_docking");
}
TEST_F(DesktopTest, ComboFieldsTakeWhatTheirTextAreaShowsAndStayClearOfTheButtons)
{
    ASSERT_TRUE(StartApp());
    // One letter over and over: where the typing stops says where the limit is.
    const wxString typed(wxUniChar('M'), 40);
    const wxString pasted = "abcdefghijklmnopqrstuvwxyzabcdefghij";
    for (UINT id : {IDC_KEY, IDC_MODE})
    {
        wxTextCtrl* field = Box(id)->GetTextCtrl();
        const int room = AfxEntryTextAreaWidth(field);
        ASSERT_GT(room, 0);
        auto expectShownWhole = [&](const wxString& source, const char* how)
        {
            const wxString value = field->GetValue();
            ASSERT_FALSE(value.empty()) << how;
            EXPECT_TRUE(source.StartsWith(value)) << how << ": " << value;
            EXPECT_LE(AfxEntryTextWidth(field, value), room) << how << ": " << value;
            // Up to the text area's edge, not short of it.
            EXPECT_GT(AfxEntryTextWidth(field, source.Left(value.length() + 1)), room) << how;
            EXPECT_EQ(AfxEntryScrollOffset(field), 0) << how << ": " << value;
        };
        field->SetFocus();
        Pump(50);
        field->SelectAll();
        wxUIActionSimulator().Text(typed.c_str());
        Pump(100);
        expectShownWhole(typed, "typed");

        ASSERT_TRUE(wxTheClipboard->Open());
        wxTheClipboard->SetData(new wxTextDataObject(pasted));
        wxTheClipboard->Close();
        field->SelectAll();
        PressKey('V', wxMOD_CONTROL);
        expectShownWhole(pasted, "pasted");

        for (UINT button : {IDC_START, IDC_PAUSE})
            EXPECT_FALSE(Box(id)->GetRect().Intersects(Control(button)->GetRect()))
                << Box(id)->GetRect().GetBottom() << " " << Control(button)->GetRect().GetTop();
    }
}

TEST_F(DesktopTest, StartWhileThePlayerLoadsPlaysOnceItIsReady)
{
    // The loading thread waits for the test's word, as a large SoundFont would keep it.
    std::mutex mutex;
    std::condition_variable released;
    bool go = false;
    std::thread::id loader;
    App().SetPlayerFactory(
        [&]
        {
            std::unique_lock<std::mutex> lock(mutex);
            loader = std::this_thread::get_id();
            released.wait(lock, [&] { return go; });
            auto player = std::make_unique<CSequencerPlayer>();
            player->WaitForSoundFont();
            return player;
        });
    const bool started = StartApp({DataPath("round.mid")});
    auto release = [&]
    {
        std::lock_guard<std::mutex> lock(mutex);
        go = true;
        released.notify_all();
    };
    if (!started)
        release();
    ASSERT_TRUE(started);
    auto* start = dynamic_cast<wxButton*>(Control(IDC_START));
    auto* pause = dynamic_cast<wxButton*>(Control(IDC_PAUSE));
    Click(start);
    Click(pause);
    // The window went on while the player was still being made, on a thread of its own.
    EXPECT_EQ(App().GetReadyPlayer(), nullptr);
    EXPECT_EQ(View()->PendingPlayerCommands(), 2u);
    EXPECT_NE(loader, std::this_thread::get_id());
    EXPECT_TRUE(Record().messages.empty());
    // Once ready, both presses take effect in their order: played from the start, then paused.
    release();
    for (int waited = 0; App().GetReadyPlayer() == nullptr && waited < 5000; waited += 50)
        Pump(50);
    ASSERT_NE(App().GetReadyPlayer(), nullptr);
    EXPECT_EQ(View()->PendingPlayerCommands(), 0u);
    CPlayerControl& control = View()->GetPlayerControl();
    EXPECT_EQ(control.m_bDeviceOpen, 1);
    EXPECT_EQ(control.m_bPaused, 1);
    EXPECT_TRUE(App().GetReadyPlayer()->IsPaused());
    EXPECT_EQ(ToUtf8(pause->GetLabel()), "CONTINUE");
    Click(pause);
    EXPECT_EQ(ToUtf8(pause->GetLabel()), "STOP");
    Pump(300);
    EXPECT_GT(App().GetReadyPlayer()->CurrentTick(), 0);
    EXPECT_TRUE(Record().messages.empty()) << Record().messages.front();
    App().SetPlayerFactory(nullptr);
}

TEST_F(DesktopTest, FileNamesAreKeptAsTheirBytesAndShownReadably)
{
    // "曲.mid" in Shift-JIS: not UTF-8.
    const std::string song = m_scratch.File("\x8b\xc8.mid");
    WriteBytes(song, ReadBytes(DataPath("round.mid")));
    ASSERT_TRUE(StartApp({song}));
    EXPECT_EQ(Doc()->GetPathName(), song);
    EXPECT_EQ(Doc()->m_bLoaded, 1);
    EXPECT_TRUE(Record().messages.empty());
    // Shown with the bytes that are not UTF-8 replaced, never as an empty text.
    EXPECT_EQ(ToUtf8(FromUtf8(song)), m_scratch.File("\xEF\xBF\xBD\xEF\xBF\xBD.mid"));

    // Dropped on the window, and kept in the recent-file list across runs.
    const std::string other = m_scratch.File("\x89\xb9\x8a\x79 \xff.mid");
    WriteBytes(other, ReadBytes(DataPath("bossa.mid")));
    auto* files = new wxString[1]{FromFileName(other)};
    wxDropFilesEvent drop(wxEVT_DROP_FILES, 1, files);
    drop.SetEventObject(Frame());
    Frame()->ProcessWindowEvent(drop);
    Pump(100);
    EXPECT_EQ(Doc()->GetPathName(), other);
    StopApp();
    ASSERT_TRUE(StartApp({other}));
    EXPECT_EQ(App().GetRecentFileList()->GetEntries(), (std::vector<std::string>{other, song}));

    // A pipe, a device or a folder named as a song is refused at once, and the song stays.
    const std::string fifo = m_scratch.File("pipe.mid");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero"), m_scratch.Path()})
    {
        Record().messages.clear();
        Record().fileAnswers.push_back(path);
        const auto before = std::chrono::steady_clock::now();
        SendCommand(ID_FILE_OPEN);
        EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2)) << path;
        ASSERT_EQ(Record().messages.size(), 1u) << path;
        EXPECT_NE(Record().messages[0].find(path), std::string::npos) << Record().messages[0];
        EXPECT_EQ(Doc()->GetPathName(), other) << path;
        EXPECT_EQ(Doc()->m_bLoaded, 1);
    }
    StopApp();
    Record().messages.clear();
    EXPECT_FALSE(StartApp({fifo}));
    EXPECT_EQ(Record().messages.size(), 1u);
    EXPECT_EQ(Frame(), nullptr);

    // A write of temp.mid that fails leaves START with nothing to play, not an older file.
    ASSERT_TRUE(StartApp());
    Record().messages.clear();
    const std::string temp = TempSongPath();
    std::remove(temp.c_str()); // a file, or a folder left by an earlier run that failed
    ASSERT_NE(App().OpenDocumentFile(song), nullptr);
    ASSERT_EQ(ReadBytes(temp), ReadBytes(song));
    std::remove(temp.c_str());
    ASSERT_EQ(mkdir(temp.c_str(), 0700), 0);
    Click(Control(IDC_CONVERT));
    ASSERT_EQ(Record().messages.size(), 1u);
    Click(Control(IDC_START));
    EXPECT_EQ(Record().messages.size(), 2u);
    EXPECT_EQ(Record().messages.back(), LoadResString(IDS_PLAYER_NO_SONG_PATH));
    EXPECT_FALSE(App().GetPlayer().IsOpen());
    rmdir(temp.c_str());
}

} // namespace

// The GTK file dialog hands wx a name as text, and a Shift-JIS name did not survive that: the
// working folder was opened instead. The real dialog, left on such a file.
TEST_F(DesktopTest, TheOpenDialogKeepsANameThatIsNotUtf8)
{
    const std::string song = m_scratch.File("\x83\x65\x83\x58\x83\x67.mid"); // テスト, Shift-JIS
    WriteBytes(song, ReadBytes(DataPath("round.mid")));
    ASSERT_TRUE(StartApp());
    const FilePrompter recorder = AfxSetFilePrompter(nullptr);
    using SetFileName = int (*)(void*, const char*);
    const auto setFileName =
        reinterpret_cast<SetFileName>(dlsym(RTLD_DEFAULT, "gtk_file_chooser_set_filename"));
    ASSERT_NE(setFileName, nullptr);
    Record().onModal = [&](wxDialog* dialog)
    {
        dialog->Show();
        Pump(300);
        EXPECT_TRUE(setFileName(dialog->GetHandle(), song.c_str()));
        Pump(500);
        dialog->Hide();
        return int(wxID_OK);
    };
    SendCommand(ID_FILE_OPEN);
    AfxSetFilePrompter(recorder);
    EXPECT_EQ(Doc()->GetPathName(), song);
    EXPECT_EQ(Doc()->m_bLoaded, 1);
    EXPECT_TRUE(Record().messages.empty()) << Record().messages.front();
}

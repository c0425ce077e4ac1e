#pragma once
// Window tests run the real application object, frame, form and about box in a real window on
// the test's display. Nothing modal may hang a run: message boxes are recorded, file dialogs
// answered from a queue, the browser replaced, and any other modal dialog or wx assertion fails
// the test. Each test starts and ends one run of the application.

#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/frame.h>

#include "command_ids.h"
#include "main_frame.h"
#include "song_document.h"
#include "tarvel1_app.h"
#include "tarvel1_view.h"
#include "test_files.h"

class wxDialog;

// What the hooks saw; cleared before every test.
struct GuiRecord
{
    std::vector<std::string> messages;    // texts of AfxMessageBox
    std::deque<std::string> fileAnswers;  // answers for file prompts; "" cancels
    std::vector<std::string> filePrompts; // "open:TITLE" or "save:TITLE" per prompt
    std::vector<std::string> openedUrls;  // addresses given to the browser
    std::vector<std::string> unexpected;  // modal dialogs nobody expected, and wx assertions
    // Runs while a modal dialog is up, instead of showing it; returns its result.
    std::function<int(wxDialog*)> onModal;
};
GuiRecord& Record();

class GuiTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // One run of the program with these arguments after the program's name. Returns what
    // InitInstance returned.
    bool StartApp(const std::vector<std::string>& args = {});
    // Closes the main window as the user does and ends the run.
    void StopApp();

    static CTarvel1App& App();
    CMainFrame* Frame() const;
    CTarvel1View* View() const;
    CTarvel1Doc* Doc() const;

    // Lets the window system and wx deliver what is pending, for about `ms` milliseconds.
    static void Pump(int ms = 100);
    // A command as a menu item sends it to the frame.
    void SendCommand(UINT id);
    // Mouse and keyboard, through the display server, as a user does.
    void Click(wxWindow* window);
    void TypeInto(wxWindow* field, const std::string& text);
    static void PressKey(int keyCode, int modifiers = 0);
    // The whole screen as a PNG in the build's screenshots folder; returns the path.
    static std::string Screenshot(const std::string& name);

    // Where this test's configuration goes ($XDG_CONFIG_HOME).
    std::string ConfigHome() const { return m_config.Path(); }
    ScratchFolder m_scratch;

private:
    ScratchFolder m_config;
};

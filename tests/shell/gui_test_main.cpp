// The window tests' own main: one wx start-up for the whole program, a throwaway HOME, the silent
// audio output, and hooks so that nothing modal can hang the run.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/modalhook.h>
#include <wx/uiaction.h>

#include "gui_test.h"
#include "message_box.h"
#include "ui_hooks.h"

namespace
{

std::string ToUtf8(const wxString& text)
{
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return std::string(utf8.data(), utf8.length());
}

class CModalRecorder : public wxModalDialogHook
{
protected:
    int Enter(wxDialog* dialog) override
    {
        if (Record().onModal)
            return Record().onModal(dialog);
        Record().unexpected.push_back("modal dialog: " + ToUtf8(dialog->GetTitle()));
        return wxID_CANCEL;
    }
    void Exit(wxDialog*) override {}
};

void RecordAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& msg)
{
    Record().unexpected.push_back("wx assertion " + ToUtf8(cond) + " in " + ToUtf8(func) + " at " +
                                  ToUtf8(file) + ":" + std::to_string(line) + ": " + ToUtf8(msg));
}

} // namespace

GuiRecord& Record()
{
    static GuiRecord record;
    return record;
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (std::getenv("DISPLAY") == nullptr)
    {
        std::fprintf(stderr, "shell_tests: no display; run them through xvfb-run\n");
        return 1;
    }

    // Nothing of the user's: the recent files, GTK's recently-used list and temp.mid's fallback
    // folder all go below a HOME of the test's own.
    const std::string home = std::string(TARVEL1_GUI_TEST_HOME);
    if (std::system(("rm -rf '" + home + "' && mkdir -p '" + home + "'").c_str()) != 0)
        std::fprintf(stderr, "could not make the test's home %s\n", home.c_str());
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
    setenv("TARVEL1_AUDIO_DRIVER", "none", 1);

    wxApp::SetInstance(new CTarvel1App());
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    if (!wxEntryStart(wxArgc, wxArgv))
        return 1;
    wxTheApp->SetExitOnFrameDelete(false);
    wxSetAssertHandler(RecordAssert);
    CModalRecorder modalRecorder;
    modalRecorder.Register();
    AfxSetMessagePresenter([](const std::string& text) { Record().messages.push_back(text); });
    AfxSetFilePrompter(
        [](bool open, const std::string& title, std::string& path)
        {
            Record().filePrompts.push_back(std::string(open ? "open:" : "save:") + title);
            if (Record().fileAnswers.empty())
                return false;
            path = Record().fileAnswers.front();
            Record().fileAnswers.pop_front();
            return !path.empty();
        });
    AfxSetUrlOpener(
        [](const std::string& url)
        {
            Record().openedUrls.push_back(url);
            return true;
        });

    int status;
    {
        wxEventLoop loop;
        wxEventLoopActivator activate(&loop);
        status = RUN_ALL_TESTS();
    }
    modalRecorder.Unregister();
    wxEntryCleanup();
    return status;
}

// Drives the real window program in this process, on the display it is given (xvfb-run), and
// measures what its user would feel:
// - the longest pause of the window's thread at START, STOP, 変換！ and File Open: a 1 ms timer
//   on the event loop notes every gap between its ticks while each command runs;
// - resident memory over N cycles of File New, START, STOP (default 300).
// Usage: xvfb-run -a build/bench/window_responsiveness [CYCLES] [SONG.mid]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <wx/evtloop.h>
#include <wx/timer.h>

#include "message_box.h"
#include "resource.h"
#include "sequencer_player.h"
#include "tarvel1_app.h"
#include "tarvel1_view.h"
#include "ui_hooks.h"

namespace
{

using Clock = std::chrono::steady_clock;

long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// Ticks every millisecond; the longest gap between two ticks is the longest time the event loop
// was kept from running.
class CPauseMeter : public wxTimer
{
public:
    void Reset()
    {
        m_longest = Clock::duration::zero();
        m_last = Clock::now();
    }
    double LongestMs() const
    {
        return std::chrono::duration<double, std::milli>(m_longest).count();
    }
    void Notify() override
    {
        const Clock::time_point now = Clock::now();
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
    }

private:
    Clock::time_point m_last = Clock::now();
    Clock::duration m_longest{};
};

// Runs the event loop for `ms` milliseconds.
void RunFor(int ms)
{
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end)
    {
        while (loop->Pending())
            loop->Dispatch();
        loop->DispatchTimeout(1);
        wxTheApp->ProcessPendingEvents();
    }
}

} // namespace

int main(int argc, char** argv)
{
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 300;
    const std::string song = argc > 2 ? argv[2] : std::string(TARVEL1_DATA_DIR) + "/round.mid";
    char home[] = "/tmp/tarvel1-bench-XXXXXX";
    if (mkdtemp(home) == nullptr)
        return 1;
    setenv("HOME", home, 1);
    setenv("XDG_CONFIG_HOME", home, 1);
    setenv("XDG_DATA_HOME", home, 1);
    setenv("TARVEL1_AUDIO_DRIVER", "none", 0);
    setenv("GDK_GL", "disable", 0);

    auto* app = new CTarvel1App();
    wxApp::SetInstance(app);
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    if (!wxEntryStart(wxArgc, wxArgv))
        return 1;
    wxTheApp->SetExitOnFrameDelete(false);
    std::vector<std::string> messages;
    AfxSetMessagePresenter([&](const std::string& text) { messages.push_back(text); });
    AfxSetFilePrompter(
        [&](bool, const std::string&, std::string& path)
        {
            path = song;
            return true;
        });

    int status = 0;
    {
        wxEventLoop loop;
        wxEventLoopActivator activate(&loop);
        std::vector<char*> line = {argv[0], const_cast<char*>(song.c_str())};
        CWinApp::SetCommandLine(static_cast<int>(line.size()), line.data());
        if (!app->InitInstance())
            return 1;
        for (int waited = 0; app->GetReadyPlayer() == nullptr && waited < 10000; waited += 50)
            RunFor(50);
        auto* frame = app->GetDocTemplate()->GetFrame();
        auto* view = dynamic_cast<CTarvel1View*>(frame->GetActiveView());

        auto post = [&](wxEventType type, UINT id)
        {
            wxWindow* target = type == wxEVT_BUTTON ? view->FindWindow(AfxWxId(id)) : frame;
            auto* event = new wxCommandEvent(type, AfxWxId(id));
            event->SetEventObject(target);
            target->GetEventHandler()->QueueEvent(event);
        };
        CPauseMeter meter;
        meter.Start(1);
        const struct
        {
            const char* name;
            wxEventType type;
            UINT id;
        } commands[] = {
            {"START", wxEVT_BUTTON, IDC_START},      {"STOP", wxEVT_BUTTON, IDC_PAUSE},
            {"CONTINUE", wxEVT_BUTTON, IDC_PAUSE},   {"変換！", wxEVT_BUTTON, IDC_CONVERT},
            {"File Open", wxEVT_MENU, ID_FILE_OPEN}, {"File New", wxEVT_MENU, ID_FILE_NEW},
        };
        for (const auto& command : commands)
        {
            double longest = 0;
            for (int i = 0; i < 5; ++i)
            {
                RunFor(100);
                meter.Reset();
                post(command.type, command.id);
                RunFor(300);
                longest = std::max(longest, meter.LongestMs());
            }
            std::printf("longest pause of the window's thread at %s: %.1f ms\n", command.name,
                        longest);
            if (longest > 16.0)
                status = 2;
        }

        auto cycle = [&]
        {
            post(wxEVT_MENU, ID_FILE_NEW);
            post(wxEVT_BUTTON, IDC_START);
            RunFor(15);
            post(wxEVT_BUTTON, IDC_PAUSE);
            RunFor(15);
        };
        for (int i = 0; i < 10; ++i)
            cycle();
        RunFor(200);
        const long before = ResidentKiB();
        for (int i = 0; i < cycles; ++i)
            cycle();
        RunFor(200);
        const long after = ResidentKiB();
        std::printf("resident memory after 10 warm-up cycles: %ld KiB; after %d more cycles of "
                    "File New, START, STOP: %ld KiB; growth %ld KiB\n",
                    before, cycles, after, after - before);
        if (after - before > 3 * 1024)
            status = 3;
        meter.Stop();
        if (!messages.empty())
        {
            std::printf("messages shown: %zu, first: %s\n", messages.size(), messages[0].c_str());
            status = 4;
        }
        frame->Close(true);
        RunFor(50);
        // The frame goes at idle time, as in the program's own loop: its view still holds the
        // player, which ExitInstance() frees.
        wxTheApp->ProcessIdle();
        app->ExitInstance();
    }
    wxEntryCleanup();
    if (std::system((std::string("rm -rf '") + home + "'").c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", home);
    return status;
}

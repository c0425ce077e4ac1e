#include "gui_test.h"

#include <chrono>
#include <cstdlib>

#include <wx/uiaction.h>
#include <wx/utils.h>

void GuiTest::SetUp()
{
    Record() = GuiRecord();
    setenv("XDG_CONFIG_HOME", m_config.Path().c_str(), 1);
    // Each test is a fresh run of the program: its first initial update has not happened yet.
    g_bFirstUpdate = true;
}

void GuiTest::TearDown()
{
    StopApp();
    for (const std::string& what : Record().unexpected)
        ADD_FAILURE() << what;
}

bool GuiTest::StartApp(const std::vector<std::string>& args)
{
    std::vector<std::string> line = {"tarvel1"};
    line.insert(line.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : line)
        argv.push_back(arg.data());
    CWinApp::SetCommandLine(static_cast<int>(argv.size()), argv.data());
    const bool started = App().InitInstance();
    if (started)
    {
        Frame()->Raise();
        Pump(300);
    }
    return started;
}

void GuiTest::StopApp()
{
    if (CMainFrame* frame = Frame())
    {
        frame->Close(true);
        Pump(50);
    }
    App().ExitInstance();
    Pump(20);
}

CTarvel1App& GuiTest::App()
{
    return *static_cast<CTarvel1App*>(wxTheApp);
}

CMainFrame* GuiTest::Frame() const
{
    CSingleDocTemplate* tmpl = App().GetDocTemplate();
    return tmpl != nullptr ? dynamic_cast<CMainFrame*>(tmpl->GetFrame()) : nullptr;
}

CTarvel1View* GuiTest::View() const
{
    CMainFrame* frame = Frame();
    return frame != nullptr ? dynamic_cast<CTarvel1View*>(frame->GetActiveView()) : nullptr;
}

CTarvel1Doc* GuiTest::Doc() const
{
    CSingleDocTemplate* tmpl = App().GetDocTemplate();
    return tmpl != nullptr ? dynamic_cast<CTarvel1Doc*>(tmpl->GetDocument()) : nullptr;
}

void GuiTest::Pump(int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do
    {
        wxTheApp->Yield(true);
        wxTheApp->ProcessPendingEvents();
        wxTheApp->ProcessIdle();
        wxMilliSleep(10);
    } while (std::chrono::steady_clock::now() < end);
}

void GuiTest::SendCommand(UINT id)
{
    wxCommandEvent event(wxEVT_MENU, AfxWxId(id));
    event.SetEventObject(Frame());
    Frame()->ProcessWindowEvent(event);
    Pump(50);
}

void GuiTest::Click(wxWindow* window)
{
    wxUIActionSimulator sim;
    const wxRect rect = window->GetScreenRect();
    sim.MouseMove(rect.GetLeft() + rect.GetWidth() / 2, rect.GetTop() + rect.GetHeight() / 2);
    Pump(50);
    sim.MouseClick();
    Pump(150);
}

void GuiTest::TypeInto(wxWindow* field, const std::string& text)
{
    field->SetFocus();
    Pump(50);
    wxUIActionSimulator sim;
    sim.Text(text.c_str());
    Pump(100);
}

void GuiTest::PressKey(int keyCode, int modifiers)
{
    wxUIActionSimulator sim;
    sim.Char(keyCode, modifiers);
    Pump(100);
}

std::string GuiTest::Screenshot(const std::string& name)
{
    const std::string folder = TARVEL1_GUI_SCREENSHOTS;
    const std::string path = folder + "/" + name + ".png";
    const std::string command =
        "mkdir -p '" + folder + "' && import -window root '" + path + "' 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << "ImageMagick's import failed for " << path;
    return path;
}

// The yardstick for the window program's start-up: the least a wx program with a window does
// (one frame, a menu, a button). Its title becomes "bare wx window" at its first paint, as the
// window program's becomes "ZANTO MIDI PLAYER", so that one script times both the same way.

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/wx.h>

namespace
{

class CBarePanel : public wxPanel
{
public:
    explicit CBarePanel(wxFrame* frame) : wxPanel(frame), m_pFrame(frame)
    {
        new wxButton(this, wxID_OK, "OK", wxPoint(20, 20));
        Bind(wxEVT_PAINT, &CBarePanel::OnPaint, this);
    }

private:
    void OnPaint(wxPaintEvent&)
    {
        wxPaintDC dc(this);
        if (m_pFrame->GetTitle() != "bare wx window")
            m_pFrame->SetTitle("bare wx window");
    }

    wxFrame* m_pFrame;
};

class CBareApp : public wxApp
{
public:
    bool OnInit() override
    {
        auto* frame = new wxFrame(nullptr, wxID_ANY, "starting");
        auto* menu = new wxMenu();
        menu->Append(wxID_EXIT, "E&xit");
        auto* bar = new wxMenuBar();
        bar->Append(menu, "&File");
        frame->SetMenuBar(bar);
        new CBarePanel(frame);
        frame->Show();
        return true;
    }
};

} // namespace

wxIMPLEMENT_APP(CBareApp);

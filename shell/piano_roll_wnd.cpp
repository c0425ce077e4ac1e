#include "piano_roll_wnd.h"

#include <cmath>
#include <memory>

#include <wx/dcclient.h>
#include <wx/display.h>
#include <wx/fileconf.h>
#include <wx/filename.h>
#include <wx/graphics.h>

#include "frame_wnd.h"
#include "profile.h"
#include "sequencer_player.h"
#include "string_table.h"
#include "tarvel1_app.h"
#include "win_app.h"
#include "wx_text.h"

namespace
{

constexpr int kTimerMillis = 40;
constexpr double kWheelZoom = 1.25;
constexpr double kKeyZoom = 1.5;
// One wheel notch or arrow key scrolls this share of the visible time.
constexpr double kScrollShare = 0.1;
constexpr const char* kSettingsGroup = "/PianoRoll";
const wxSize kDefaultSize(900, 420);

// The application's player, asked for each time: a change of the playback settings replaces it.
// None while it loads: the roll never waits for it.
CSequencerPlayer* AppPlayer()
{
    auto* app = dynamic_cast<CTarvel1App*>(AfxGetApp());
    return app != nullptr ? app->GetReadyPlayer() : nullptr;
}

bool IsPlaying(const CSequencerPlayer& player)
{
    return player.IsOpen() && !player.IsPaused() && !player.IsFinished();
}

// The drawing surface: paints with cairo through wx's own graphics context and hands mouse and
// keys to the window.
class CRollCanvas : public wxWindow
{
public:
    explicit CRollCanvas(CPianoRollWnd* owner)
        : wxWindow(owner, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxWANTS_CHARS),
          m_pOwner(owner)
    {
        SetBackgroundStyle(wxBG_STYLE_PAINT);
    }

private:
    void OnPaint(wxPaintEvent&)
    {
        wxPaintDC dc(this);
        std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
        if (!gc)
            return;
        const wxSize size = GetClientSize();
        m_pOwner->Paint(gc->GetNativeContext(), size.x, size.y);
    }

    void OnWheel(wxMouseEvent& event)
    {
        const int delta = event.GetWheelDelta() > 0 ? event.GetWheelDelta() : 120;
        const double notches = double(event.GetWheelRotation()) / delta;
        if (event.ControlDown())
            m_pOwner->ZoomBy(std::pow(kWheelZoom, notches), event.GetX());
        else
        {
            // Both wheels move along the time: the pitch rows always fit the window.
            const double width = GetClientSize().x;
            const double sign = event.GetWheelAxis() == wxMOUSE_WHEEL_HORIZONTAL ? 1 : -1;
            m_pOwner->ScrollBy(sign * notches * kScrollShare * width);
        }
    }

    void OnLeftDown(wxMouseEvent& event)
    {
        SetFocus();
        m_pOwner->ClickAt(event.GetX(), event.GetY());
    }

    void OnKey(wxKeyEvent& event)
    {
        const double width = GetClientSize().x;
        const double centre = (CPianoRollPainter::kKeyboardWidth + width) / 2;
        switch (event.GetKeyCode())
        {
        case '+':
        case '=':
        case WXK_NUMPAD_ADD:
            m_pOwner->ZoomBy(kKeyZoom, centre);
            break;
        case '-':
        case WXK_NUMPAD_SUBTRACT:
            m_pOwner->ZoomBy(1 / kKeyZoom, centre);
            break;
        case WXK_LEFT:
            m_pOwner->ScrollBy(-kScrollShare * width);
            break;
        case WXK_RIGHT:
            m_pOwner->ScrollBy(kScrollShare * width);
            break;
        case WXK_HOME:
        case '0':
            m_pOwner->FitAll();
            break;
        default:
            event.Skip();
        }
    }

    CPianoRollWnd* m_pOwner;

    wxDECLARE_EVENT_TABLE();
};

wxBEGIN_EVENT_TABLE(CRollCanvas, wxWindow)
    EVT_PAINT(CRollCanvas::OnPaint)
    EVT_MOUSEWHEEL(CRollCanvas::OnWheel)
    EVT_LEFT_DOWN(CRollCanvas::OnLeftDown)
    EVT_CHAR(CRollCanvas::OnKey)
wxEND_EVENT_TABLE()

} // namespace

wxBEGIN_EVENT_TABLE(CPianoRollWnd, wxFrame)
    EVT_TIMER(wxID_ANY, CPianoRollWnd::OnTimer)
    EVT_CLOSE(CPianoRollWnd::OnClose)
    EVT_SHOW(CPianoRollWnd::OnShow)
    EVT_SIZE(CPianoRollWnd::OnSize)
wxEND_EVENT_TABLE()

CPianoRollWnd::CPianoRollWnd(wxWindow* parent)
    : wxFrame(parent, wxID_ANY, FromUtf8(LoadResString(IDS_PIANO_ROLL_TITLE)), wxDefaultPosition,
              kDefaultSize, wxDEFAULT_FRAME_STYLE | wxFRAME_FLOAT_ON_PARENT),
      m_timer(this)
{
    m_pCanvas = new CRollCanvas(this);
    SetMinSize(wxSize(320, 200));
}

int CPianoRollWnd::CanvasWidth() const
{
    return m_pCanvas->GetClientSize().x;
}

void CPianoRollWnd::SetSong(const CTarvel1Doc& doc, bool converted, const std::string& mode,
                            int keyOffset, const std::string& caption)
{
    m_model.Build(doc, converted, mode, keyOffset);
    m_view.strCaption = doc.m_bLoaded == 1 ? caption : LoadResString(IDS_LOAD_MIDI_FILE);
    FitAll();
}

void CPianoRollWnd::FitAll()
{
    const wxSize size = m_pCanvas->GetClientSize();
    CRollViewport fitted = CPianoRollPainter::FitAll(m_model, size.x, size.y);
    fitted.strCaption = m_view.strCaption;
    fitted.dPlayhead = m_view.dPlayhead;
    m_view = fitted;
    m_bFitOnSize = true;
    m_pCanvas->Refresh();
}

void CPianoRollWnd::Paint(void* cairoContext, int width, int height)
{
    CPianoRollPainter::Paint(static_cast<cairo_t*>(cairoContext), width, height, m_model, m_view);
}

void CPianoRollWnd::ZoomBy(double factor, double x)
{
    CPianoRollPainter::ZoomAround(m_view, factor, x);
    CPianoRollPainter::ClampScroll(m_view, m_model, CanvasWidth());
    m_bFitOnSize = false;
    m_pCanvas->Refresh();
}

void CPianoRollWnd::ScrollBy(double pixels)
{
    m_view.dFirstSecond += pixels / m_view.dPixelsPerSecond;
    CPianoRollPainter::ClampScroll(m_view, m_model, CanvasWidth());
    m_bFitOnSize = false;
    m_pCanvas->Refresh();
}

void CPianoRollWnd::ClickAt(double x, double y)
{
    // Seeking is for a song that is playing or paused; a closed player has nothing to move.
    CSequencerPlayer* player = AppPlayer();
    if (!CPianoRollPainter::IsInRuler(x, y) || player == nullptr || !player->IsOpen())
        return;
    if (player->Seek(std::max(0.0, CPianoRollPainter::SecondsAtX(m_view, x))))
        FollowPlayer();
}

void CPianoRollWnd::FollowPlayer()
{
    const double before = m_view.dPlayhead;
    CSequencerPlayer* player = AppPlayer();
    if (player == nullptr || !player->IsOpen())
        m_view.dPlayhead = -1;
    else
    {
        m_view.dPlayhead = player->ElapsedSeconds();
        const int width = CanvasWidth();
        const double x = CPianoRollPainter::XAtSeconds(m_view, m_view.dPlayhead);
        if (IsPlaying(*player) && (x < CPianoRollPainter::kKeyboardWidth || x > width))
        {
            // Page along with the song, the playhead a little in from the left edge.
            const double visible =
                (width - CPianoRollPainter::kKeyboardWidth) / m_view.dPixelsPerSecond;
            m_view.dFirstSecond = m_view.dPlayhead - visible * 0.05;
            CPianoRollPainter::ClampScroll(m_view, m_model, width);
            m_pCanvas->Refresh();
            return;
        }
    }
    // Repaint only when the playhead moved by a pixel or more.
    if (std::floor(before * m_view.dPixelsPerSecond) !=
        std::floor(m_view.dPlayhead * m_view.dPixelsPerSecond))
        m_pCanvas->Refresh();
}

void CPianoRollWnd::OnTimer(wxTimerEvent&)
{
    FollowPlayer();
}

void CPianoRollWnd::OnShow(wxShowEvent& event)
{
    // The timer runs only while the roll can be seen.
    if (event.IsShown())
        m_timer.Start(kTimerMillis);
    else
        m_timer.Stop();
    event.Skip();
}

void CPianoRollWnd::OnSize(wxSizeEvent& event)
{
    event.Skip();
    if (m_bFitOnSize)
        CallAfter([this] { FitAll(); });
    else
        m_pCanvas->Refresh();
}

void CPianoRollWnd::OnClose(wxCloseEvent& event)
{
    // Closing only hides: the roll keeps its place and zoom for the next time, and the main
    // frame destroys it with itself.
    if (!event.CanVeto())
    {
        event.Skip();
        return;
    }
    event.Veto();
    Hide();
    if (m_onHidden)
        m_onHidden();
}

CPianoRollHost::CPianoRollHost(CFrameWnd* frame) : m_pFrame(frame)
{
    // The frame's own close handler runs after this one and ends the program; the roll's
    // state is written first.
    m_pFrame->Bind(wxEVT_CLOSE_WINDOW,
                   [this](wxCloseEvent& event)
                   {
                       SaveSettings();
                       event.Skip();
                   });
}

bool CPianoRollHost::IsShown() const
{
    return m_pWindow != nullptr && m_pWindow->IsShown();
}

void CPianoRollHost::Toggle()
{
    Show(!IsShown());
    SaveSettings();
}

void CPianoRollHost::Show(bool show)
{
    if (!show)
    {
        if (m_pWindow != nullptr)
            m_pWindow->Hide();
        return;
    }
    if (m_pWindow == nullptr)
    {
        m_pWindow = new CPianoRollWnd(m_pFrame);
        m_pWindow->SetHiddenHandler([this] { SaveSettings(); });
        // Where and how large it was last time.
        // The first time, beside the main window rather than over its form.
        const wxRect frame = m_pFrame->GetScreenRect();
        m_pWindow->Move(frame.GetRight() + 8, frame.GetTop());
        const wxString path = FromUtf8(AfxGetApp()->GetProfilePath());
        if (wxFileName::FileExists(path))
        {
            wxFileConfig config(wxEmptyString, wxEmptyString, path, wxEmptyString,
                                wxCONFIG_USE_LOCAL_FILE, wxConvUTF8);
            config.SetPath(kSettingsGroup);
            long x = 0, y = 0, width = 0, height = 0;
            if (config.Read("Width", &width) && config.Read("Height", &height) && width > 0 &&
                height > 0)
                m_pWindow->SetSize(width, height);
            // A place on a screen that is no longer there is not taken.
            if (config.Read("X", &x) && config.Read("Y", &y) &&
                wxDisplay::GetFromPoint(wxPoint(x, y)) != wxNOT_FOUND)
                m_pWindow->Move(x, y);
        }
    }
    if (m_pDoc != nullptr)
        m_pWindow->SetSong(*m_pDoc, m_bConverted, m_strMode, m_nKeyOffset, m_strCaption);
    else if (auto* doc = dynamic_cast<CTarvel1Doc*>(m_pFrame->GetActiveDocument()))
        m_pWindow->SetSong(*doc, false, m_strMode, 0, m_strCaption);
    m_pWindow->Show();
    m_pWindow->Raise();
}

void CPianoRollHost::SongChanged(const CTarvel1Doc& doc, bool converted, const std::string& mode,
                                 int keyOffset)
{
    m_pDoc = &doc;
    m_bConverted = converted;
    m_strMode = mode;
    m_nKeyOffset = keyOffset;
    const MovedNoteCount counts = CountMovedNotes(doc);
    m_strCaption = FormatResString(IDS_NOTES_MOVED, std::to_string(counts.nMoved),
                                   std::to_string(counts.nNotes));
    if (doc.m_bLoaded == 1 && converted)
        m_pFrame->SetMessageText(m_strCaption);
    // A hidden roll is brought up to date when it is shown again.
    if (m_pWindow != nullptr && m_pWindow->IsShown())
        m_pWindow->SetSong(doc, converted, mode, keyOffset, m_strCaption);
}

void CPianoRollHost::RestoreFromSettings()
{
    const wxString path = FromUtf8(AfxGetApp()->GetProfilePath());
    if (!wxFileName::FileExists(path))
        return;
    wxFileConfig config(wxEmptyString, wxEmptyString, path, wxEmptyString, wxCONFIG_USE_LOCAL_FILE,
                        wxConvUTF8);
    config.SetPath(kSettingsGroup);
    bool shown = false;
    if (config.Read("Shown", &shown) && shown)
        Show(true);
}

void CPianoRollHost::SaveSettings() const
{
    const std::string path = AfxGetApp()->GetProfilePath();
    const std::unique_ptr<wxFileConfig> config = OpenProfile(path);
    config->SetPath(kSettingsGroup);
    config->Write("Shown", IsShown());
    if (m_pWindow != nullptr)
    {
        const wxRect rect = m_pWindow->GetRect();
        config->Write("X", long(rect.x));
        config->Write("Y", long(rect.y));
        config->Write("Width", long(rect.width));
        config->Write("Height", long(rect.height));
    }
    SaveProfile(*config, path);
}

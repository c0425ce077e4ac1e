#include "piano_roll_wnd.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include <wx/dcclient.h>
#include <wx/display.h>
#include <wx/fileconf.h>
#include <wx/filename.h>
#include <wx/graphics.h>
#include <wx/settings.h>
#include <wx/time.h>

#include "frame_wnd.h"
#include "profile.h"
#include "gtk_native.h"
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
// How long after the roll is first placed a move of the main window is taken for the window
// manager's placement of it.
constexpr long kSettleMillis = 3000;
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
        case 'b':
        case 'B':
        case 't':
        case 'T':
            m_pOwner->SetRulerInBars(event.GetKeyCode() == 'b' || event.GetKeyCode() == 'B');
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
    EVT_DROP_FILES(CPianoRollWnd::OnDropFiles)
wxEND_EVENT_TABLE()

CPianoRollWnd::CPianoRollWnd(wxWindow* parent)
    // A normal window, not one kept above the main window: either can be brought forward by a
    // click, and neither can hide the other for good.
    : wxFrame(parent, wxID_ANY, FromUtf8(LoadResString(IDS_PIANO_ROLL_TITLE)), wxDefaultPosition,
              kDefaultSize, wxDEFAULT_FRAME_STYLE),
      m_timer(this)
{
    m_pCanvas = new CRollCanvas(this);
    SetMinSize(wxSize(320, 200));
    // Labels at the size of the menus' text: the toolkit's font, in the pixels cairo draws in.
    const wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    if (font.IsOk() && font.GetFractionalPointSize() > 0)
        m_view.dFontSize = std::ceil(font.GetFractionalPointSize() * 96.0 / 72.0);
    m_view.strDrums = LoadResString(IDS_ROLL_DRUMS);
    m_view.strBarsUnit = LoadResString(IDS_ROLL_BARS);
    m_view.strTimeUnit = LoadResString(IDS_ROLL_TIME);
    DragAcceptFiles(true);
    m_pCanvas->DragAcceptFiles(true);
    AfxSetAccessibleName(m_pCanvas, LoadResString(IDS_PIANO_ROLL_TITLE));
}

int CPianoRollWnd::CanvasWidth() const
{
    return m_pCanvas->GetClientSize().x;
}

void CPianoRollWnd::SetSong(const CTarvel1Doc& doc, bool converted, const std::string& mode,
                            int keyOffset, const std::string& caption)
{
    m_model.Build(doc, converted, mode, keyOffset);
    m_model.SetKey(m_keyMode, m_nHeaderKeyOffset, m_strKeyCaption);
    // The count and the prompt have places of their own: the count in the header, the prompt
    // over the empty roll.
    m_view.strCaption = doc.m_bLoaded == 1 ? caption : std::string();
    m_view.strPrompt = doc.m_bLoaded == 1 ? std::string() : LoadResString(IDS_LOAD_MIDI_FILE);
    FitAll();
    Describe();
}

void CPianoRollWnd::SetHeaderKey(const std::string& caption, ConversionMode mode, int keyOffset)
{
    m_strKeyCaption = caption;
    m_keyMode = mode;
    m_nHeaderKeyOffset = keyOffset;
    m_model.SetKey(mode, keyOffset, caption);
    m_pCanvas->Refresh();
}

void CPianoRollWnd::Describe()
{
    const bool hours = m_model.TotalSeconds() >= 3600;
    AfxSetAccessibleDescription(
        m_pCanvas,
        m_view.strPrompt.empty()
            ? FormatResString(IDS_ROLL_DESCRIPTION,
                              CPianoRollPainter::TimeText(m_model.TotalSeconds(), 0, hours),
                              m_view.strCaption)
            : m_view.strPrompt);
}

void CPianoRollWnd::OnDropFiles(wxDropFilesEvent& event)
{
    // A song dropped on the roll opens as one dropped on the main window.
    if (wxWindow* frame = GetParent())
        frame->GetEventHandler()->ProcessEvent(event);
}

void CPianoRollWnd::FitAll()
{
    const wxSize size = m_pCanvas->GetClientSize();
    CRollViewport fitted = CPianoRollPainter::FitAll(m_model, size.x, size.y);
    fitted.strCaption = m_view.strCaption;
    fitted.strPrompt = m_view.strPrompt;
    fitted.strDrums = m_view.strDrums;
    fitted.strBarsUnit = m_view.strBarsUnit;
    fitted.strTimeUnit = m_view.strTimeUnit;
    fitted.bBars = m_view.bBars;
    fitted.dFontSize = m_view.dFontSize;
    fitted.dPlayhead = m_view.dPlayhead;
    m_view = fitted;
    m_bFitOnSize = true;
    m_pCanvas->Refresh();
}

void CPianoRollWnd::Paint(void* cairoContext, int width, int height)
{
    CPianoRollPainter::Paint(static_cast<cairo_t*>(cairoContext), width, height, m_model, m_view,
                             &m_layerCache);
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

void CPianoRollWnd::SetRulerInBars(bool bars)
{
    m_view.bBars = bars;
    m_pCanvas->Refresh();
}

void CPianoRollWnd::ClickAt(double x, double y)
{
    if (CPianoRollPainter::IsInRulerCorner(m_view, x, y))
    {
        ToggleRuler();
        if (m_onHidden)
            m_onHidden(); // saves the choice with the window's place
        return;
    }
    // Seeking is for a song that is playing or paused; a closed player has nothing to move.
    CSequencerPlayer* player = AppPlayer();
    if (!CPianoRollPainter::IsInRuler(m_view, x, y) || player == nullptr || !player->IsOpen())
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
    // A window manager places the main window itself, after the roll was placed clear of
    // where it was at start-up: the roll makes room again where the main window lands.
    m_pFrame->Bind(wxEVT_MOVE,
                   [this](wxMoveEvent& event)
                   {
                       event.Skip();
                       if (m_pWindow != nullptr && m_pWindow->IsShown() &&
                           wxGetLocalTimeMillis() - m_placedAt < kSettleMillis)
                           KeepClearOfFrame();
                   });
}

void CPianoRollHost::KeepClearOfFrame()
{
    const int display = wxDisplay::GetFromWindow(m_pFrame);
    const wxRect screen =
        wxDisplay(display != wxNOT_FOUND ? unsigned(display) : 0u).GetClientArea();
    wxRect place = m_pWindow->GetRect();
    place.SetSize(
        wxSize(std::min(place.width, screen.width), std::min(place.height, screen.height)));
    // The rectangles leave out the title bars that a window manager adds above each window.
    wxRect frame = m_pFrame->GetRect();
    frame.Inflate(0, 32);
    place = PlaceClearOf(place, frame, screen);
    if (place.IsEmpty())
        return; // a main window as large as the screen: nowhere is clear
    if (place != m_pWindow->GetRect())
        m_pWindow->SetSize(place);
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
        // Where and how large it was last time; the first time, beside the main window. Either
        // way never over the main window nor off the screen, so that both can be seen.
        const wxRect frame = m_pFrame->GetScreenRect();
        wxRect place(frame.GetRight() + 8, frame.GetTop(), m_pWindow->GetSize().x,
                     m_pWindow->GetSize().y);
        const wxString path = FromUtf8(AfxGetApp()->GetProfilePath());
        if (wxFileName::FileExists(path))
        {
            wxFileConfig config(wxEmptyString, wxEmptyString, path, wxEmptyString,
                                wxCONFIG_USE_LOCAL_FILE, wxConvUTF8);
            config.SetPath(kSettingsGroup);
            long x = 0, y = 0, width = 0, height = 0;
            if (config.Read("Width", &width) && config.Read("Height", &height) && width > 0 &&
                height > 0)
                place.SetSize(wxSize(width, height));
            if (config.Read("X", &x) && config.Read("Y", &y))
                place.SetPosition(wxPoint(x, y));
            wxString ruler;
            if (config.Read("Ruler", &ruler))
                m_pWindow->SetRulerInBars(ruler != "time");
        }
        m_pWindow->SetSize(place);
        KeepClearOfFrame();
        m_placedAt = wxGetLocalTimeMillis();
    }
    m_pWindow->SetHeaderKey(m_strKeyCaption, m_keyMode, m_nHeaderKeyOffset);
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
    {
        m_pFrame->SetMessageText(m_strCaption);
        // The key index counts up from C as the offset counts down; a typed key that is not
        // one of the twelve converts as "B", and is named so.
        const int key = std::clamp(-keyOffset, 0, 11);
        SetHeaderKey(FormatResString(IDS_ROLL_KEY, LoadResString(IDS_KEY_FIRST + key), mode),
                     ModeFromText(mode), keyOffset);
    }
    else if (doc.m_bLoaded != 1)
        SetHeaderKey({}, ConversionMode::None, 0);
    // A hidden roll is brought up to date when it is shown again.
    if (m_pWindow != nullptr && m_pWindow->IsShown())
        m_pWindow->SetSong(doc, converted, mode, keyOffset, m_strCaption);
}

void CPianoRollHost::SetHeaderKey(const std::string& caption, ConversionMode mode, int keyOffset)
{
    m_strKeyCaption = caption;
    m_keyMode = mode;
    m_nHeaderKeyOffset = keyOffset;
    if (m_pWindow != nullptr)
        m_pWindow->SetHeaderKey(caption, mode, keyOffset);
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
        config->Write("Ruler", m_pWindow->GetViewport().bBars ? "bars" : "time");
    }
    SaveProfile(*config, path);
}

wxRect PlaceClearOf(const wxRect& wanted, const wxRect& avoid, const wxRect& screen)
{
    const auto fits = [&](const wxRect& r) { return screen.Contains(r) && !r.Intersects(avoid); };
    if (fits(wanted))
        return wanted;
    constexpr int kGap = 8;
    const wxSize size = wanted.GetSize();
    const wxPoint candidates[] = {
        {avoid.GetRight() + 1 + kGap, std::clamp(avoid.y, screen.y, screen.GetBottom() - size.y)},
        {avoid.x - kGap - size.x, std::clamp(avoid.y, screen.y, screen.GetBottom() - size.y)},
        {std::clamp(avoid.x, screen.x, screen.GetRight() - size.x), avoid.GetBottom() + 1 + kGap},
        {std::clamp(avoid.x, screen.x, screen.GetRight() - size.x), avoid.y - kGap - size.y},
    };
    for (const wxPoint& at : candidates)
        if (fits(wxRect(at, size)))
            return wxRect(at, size);
    // No side has room for the whole window: the largest free side of the screen, the window
    // made smaller to fit it.
    const wxRect sides[] = {
        wxRect(wxPoint(avoid.GetRight() + 1 + kGap, screen.y), screen.GetBottomRight()),
        wxRect(screen.GetTopLeft(), wxPoint(avoid.x - 1 - kGap, screen.GetBottom())),
        wxRect(wxPoint(screen.x, avoid.GetBottom() + 1 + kGap), screen.GetBottomRight()),
        wxRect(screen.GetTopLeft(), wxPoint(screen.GetRight(), avoid.y - 1 - kGap)),
    };
    wxRect best;
    for (const wxRect& side : sides)
    {
        const wxRect free = side.Intersect(screen);
        if (free.width > 0 && free.height > 0 &&
            1LL * free.width * free.height > 1LL * best.width * best.height)
            best = free;
    }
    return wxRect(best.GetTopLeft(),
                  wxSize(std::min(size.x, best.width), std::min(size.y, best.height)));
}

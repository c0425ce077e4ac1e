#pragma once
// The piano roll window: a normal, resizable window of its own beside the main window that draws
// the last conversion with the shared cairo painter, follows playback with a playhead, seeks on
// a click in its time ruler, opens a song dropped on it, and is remembered (shown or not, size
// and place) in the settings file.

#include <functional>
#include <string>

#include <wx/frame.h>
#include <wx/gdicmn.h>
#include <wx/longlong.h>
#include <wx/timer.h>

#include "piano_roll_painter.h"
#include "song_document.h"

class CFrameWnd;

class CPianoRollWnd : public wxFrame
{
public:
    explicit CPianoRollWnd(wxWindow* parent);

    // Rebuilds the model from the document and fits the whole song into the window. The header
    // keeps the key last given to SetHeaderKey.
    void SetSong(const CTarvel1Doc& doc, bool converted, const std::string& mode, int keyOffset,
                 const std::string& caption);
    // The key named in the header (`caption`, UTF-8, "" for none) and whose scale rows are
    // shaded (`mode` None for none).
    void SetHeaderKey(const std::string& caption, ConversionMode mode, int keyOffset);
    const CPianoRollModel& GetModel() const { return m_model; }
    const CRollViewport& GetViewport() const { return m_view; }
    wxWindow* GetCanvas() const { return m_pCanvas; }
    // Called when the user closes the window, which only hides it.
    void SetHiddenHandler(std::function<void()> handler) { m_onHidden = std::move(handler); }

    // The size of the note area's drawing, for the canvas.
    void Paint(void* cairoContext, int width, int height);
    // Mouse and keys, from the canvas. `x` and `y` are the canvas's pixels.
    void ZoomBy(double factor, double x);
    void ScrollBy(double pixels);
    void FitAll();
    void ClickAt(double x, double y);
    // Counts the ruler in bars or in time; the choice is kept in the settings file.
    void SetRulerInBars(bool bars);
    void ToggleRuler() { SetRulerInBars(!m_view.bBars); }
    // Moves the playhead to where the player is; scrolls to keep it in sight while playing.
    void FollowPlayer();

private:
    void OnTimer(wxTimerEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnShow(wxShowEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnDropFiles(wxDropFilesEvent& event);
    int CanvasWidth() const;
    // Tells screen readers the song's length, note count and moved count.
    void Describe();

    CPianoRollModel m_model;
    CRollViewport m_view;
    CRollLayerCache m_layerCache; // the notes as last painted, for the playhead's repaints
    wxWindow* m_pCanvas = nullptr;
    wxTimer m_timer;
    bool m_bFitOnSize = true; // until the user zooms or scrolls, a resize fits the song again
    std::string m_strKeyCaption;
    ConversionMode m_keyMode = ConversionMode::None;
    int m_nHeaderKeyOffset = 0;
    std::function<void()> m_onHidden;

    wxDECLARE_EVENT_TABLE();
};

// What the main frame keeps of the roll: the window, made when first shown, and the last
// conversion, so that the roll follows every open, File New and conversion.
class CPianoRollHost
{
public:
    explicit CPianoRollHost(CFrameWnd* frame);

    // The 表示 menu's item and its check mark.
    void Toggle();
    bool IsShown() const;
    // After every conversion (open, File New, the convert button): the status bar's message
    // pane tells how many notes moved, and the roll redraws.
    void SongChanged(const CTarvel1Doc& doc, bool converted, const std::string& mode,
                     int keyOffset);
    // The key in the roll's header and its shaded scale, kept across songs until it is set
    // again. Every conversion sets it to its own key and mode; before the first one a caller
    // may set an estimated key here.
    void SetHeaderKey(const std::string& caption, ConversionMode mode, int keyOffset);
    // Shows the roll at start-up when it was shown at the last exit.
    void RestoreFromSettings();
    // Writes whether the roll is shown, and its place and size, to the settings file.
    void SaveSettings() const;

    CPianoRollWnd* GetWindow() const { return m_pWindow; }

private:
    void Show(bool show);
    // Moves the roll beside the main window when it covers any of it or leaves the screen.
    void KeepClearOfFrame();

    CFrameWnd* m_pFrame;
    CPianoRollWnd* m_pWindow = nullptr; // a child of the frame, which destroys it
    const CTarvel1Doc* m_pDoc = nullptr;
    bool m_bConverted = false;
    std::string m_strMode;
    int m_nKeyOffset = 0;
    std::string m_strCaption;
    std::string m_strKeyCaption;
    ConversionMode m_keyMode = ConversionMode::None;
    int m_nHeaderKeyOffset = 0;
    wxLongLong m_placedAt = 0; // when the roll was first placed
};

// Where a window goes when `wanted` would cover any part of `avoid` or leave the screen area
// `screen`: beside `avoid` on the right, else on the left, below, above; where no side has room,
// on the largest free side, made smaller to fit (empty when there is none). `wanted` itself
// when it is clear.
wxRect PlaceClearOf(const wxRect& wanted, const wxRect& avoid, const wxRect& screen);

#pragma once
// The piano roll window: a modeless, resizable frame beside the main window that draws the last
// conversion with the shared cairo painter, follows playback with a playhead, seeks on a click
// in its time ruler, and is remembered (shown or not, size and place) in the settings file.

#include <functional>
#include <string>

#include <wx/frame.h>
#include <wx/timer.h>

#include "key_finder.h"
#include "piano_roll_painter.h"
#include "song_document.h"

class CFrameWnd;

class CPianoRollWnd : public wxFrame
{
public:
    explicit CPianoRollWnd(wxWindow* parent);

    // Rebuilds the model from the document and fits the whole song into the window.
    void SetSong(const CTarvel1Doc& doc, bool converted, const std::string& mode, int keyOffset,
                 const std::string& caption);
    // Shades the scale of `key` instead of the conversion's; the caption stays.
    void ShowKeyScale(const MusicalKey& key);
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
    // Moves the playhead to where the player is; scrolls to keep it in sight while playing.
    void FollowPlayer();

private:
    void OnTimer(wxTimerEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnShow(wxShowEvent& event);
    void OnSize(wxSizeEvent& event);
    int CanvasWidth() const;

    CPianoRollModel m_model;
    CRollViewport m_view;
    wxWindow* m_pCanvas = nullptr;
    wxTimer m_timer;
    bool m_bFitOnSize = true; // until the user zooms or scrolls, a resize fits the song again
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
    // After every open and File New, once its conversion is done: the header names the song's
    // estimated key, and its scale is shaded until the next conversion.
    void KeyEstimated(const CTarvel1Doc& doc, const KeyEstimate& estimate);
    // Shows the roll at start-up when it was shown at the last exit.
    void RestoreFromSettings();
    // Writes whether the roll is shown, and its place and size, to the settings file.
    void SaveSettings() const;

    CPianoRollWnd* GetWindow() const { return m_pWindow; }

private:
    void Show(bool show);
    // Brings a shown roll up to date with the song, its conversion and its estimated key.
    void UpdateWindow();
    std::string Caption() const;

    CFrameWnd* m_pFrame;
    CPianoRollWnd* m_pWindow = nullptr; // a child of the frame, which destroys it
    const CTarvel1Doc* m_pDoc = nullptr;
    bool m_bConverted = false;
    std::string m_strMode;
    int m_nKeyOffset = 0;
    std::string m_strCaption;
    std::string m_strKeyCaption;    // the estimated key, for the header
    bool m_bEstimatedScale = false; // shade the estimated key's scale, not the conversion's
    MusicalKey m_estimatedKey;
};

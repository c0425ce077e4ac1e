#pragma once
// The converter form's player state and its START and STOP/CONTINUE buttons, without the window:
// the form forwards its button presses here and shows the pause button's caption it is told.
//
// Contract:
// - m_bDeviceOpen: 1 from a successful open until the next close. m_bPaused: 1 while paused.
//   PauseCaption(): the action the pause button offers, "STOP" or "CONTINUE".
// - OnStart(songLoaded, tempPath): with no song, the load prompt and nothing else; otherwise the
//   caption becomes "STOP", the device is closed, tempPath is opened and played from tick 0 and
//   m_bPaused becomes 0. A failed open is reported and leaves m_bPaused as it was.
// - OnPause(songLoaded): with no song, the load prompt; otherwise pauses ("CONTINUE") or resumes
//   ("STOP"); a failure, such as no open device, is reported, and the flag and caption flip
//   all the same.
// - CloseDevice(): closes the device; m_bPaused and the caption stay. ResetForInitialUpdate():
//   m_bDeviceOpen and m_bPaused become 0, the caption stays.
// - Every message goes through AfxMessageBox: a message box in the window, stderr on the
//   command line, a recorder in the tests.

#include <cstdint>
#include <functional>
#include <string>

class CSequencerPlayer;

constexpr const char* kPauseCaptionStop = "STOP";
constexpr const char* kPauseCaptionContinue = "CONTINUE";

class CPlayerControl
{
public:
    using CaptionObserver = std::function<void(const std::string& caption)>;
    using ErrorPresenter = std::function<void(const std::string& error)>;

    // `player` outlives this object.
    explicit CPlayerControl(CSequencerPlayer& player);
    // Closes the device if it is open, as the form does when it is destroyed.
    ~CPlayerControl();
    CPlayerControl(const CPlayerControl&) = delete;
    CPlayerControl& operator=(const CPlayerControl&) = delete;

    void CloseDevice();
    void OnStart(bool songLoaded, const std::string& tempPath);
    void OnPause(bool songLoaded);
    void ResetForInitialUpdate();

    const std::string& PauseCaption() const { return m_strPauseCaption; }
    // Called with the new caption every time it is set, "STOP" over "STOP" included.
    void SetCaptionObserver(CaptionObserver observer) { m_captionObserver = std::move(observer); }
    // Shows why START could not open the song or its output, instead of a plain message box:
    // the window explains a missing sound output in its own words.
    void SetOpenErrorPresenter(ErrorPresenter presenter) { m_openError = std::move(presenter); }

    CSequencerPlayer& Player() { return m_player; }

    std::int32_t m_bDeviceOpen = 0;
    std::int32_t m_bPaused = 0;

private:
    void SetPauseCaption(const char* caption);

    CSequencerPlayer& m_player;
    std::string m_strPauseCaption = kPauseCaptionStop;
    CaptionObserver m_captionObserver;
    ErrorPresenter m_openError;
};

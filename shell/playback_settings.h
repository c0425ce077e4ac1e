#pragma once
// The playback settings of the window program: where the song goes (the built-in synthesizer or
// a MIDI port), the SoundFont and the audio driver. Kept in the settings file, chosen in a
// dialog of the 表示 menu, and applied at the next START, where a port or SoundFont that has
// gone is named and the built-in default offered.

#include <string>

#include <wx/dialog.h>

#include "sequencer_player.h"

class wxChoice;
class wxFilePickerCtrl;
class wxStaticText;

struct CPlaybackSettings
{
    std::string strMidiPort;    // empty: the built-in synthesizer
    std::string strSoundFont;   // empty: the SoundFont the player finds by itself
    std::string strAudioDriver; // empty: the player's own order

    // What the settings file at `profilePath` holds; all empty when it holds nothing.
    static CPlaybackSettings Load(const std::string& profilePath);
    // False when the file could not be written.
    bool Save(const std::string& profilePath) const;

    PlayerOptions ToPlayerOptions() const;
};

// Whether two sets of options make the same player.
bool SamePlayerOptions(const PlayerOptions& a, const PlayerOptions& b);

// Before START: the saved settings, with a port or SoundFont that has gone reported by name and
// the built-in default offered in its place (and saved when taken). False when the user
// declines, and nothing should play.
bool ChooseOutputForStart(const std::string& profilePath, PlayerOptions& options);

// The 表示 menu's command: the dialog with the saved settings; OK saves what it shows.
void EditPlaybackSettings(wxWindow* parent, const std::string& profilePath);

// When START found no sound output that opens (no sound card, no sound server): says so in one
// message of the user's language, without the libraries' own lines, and offers the dialog.
void OfferPlaybackSettings(wxWindow* parent, const std::string& profilePath);

class CPlaybackSettingsDlg : public wxDialog
{
public:
    // `defaultSoundFont` is what the player finds when no SoundFont is chosen. The list of MIDI
    // ports is asked for afresh.
    CPlaybackSettingsDlg(wxWindow* parent, const CPlaybackSettings& settings,
                         const std::string& defaultSoundFont);

    CPlaybackSettings GetSettings() const;

    wxChoice* m_pOutput = nullptr;
    wxFilePickerCtrl* m_pSoundFont = nullptr;
    wxChoice* m_pDriver = nullptr;
    wxStaticText* m_pPortsError = nullptr; // why the ports could not be listed, or empty
};

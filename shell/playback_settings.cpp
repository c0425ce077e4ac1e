#include "playback_settings.h"

#include <memory>

#include <sys/stat.h>

#include <wx/choice.h>
#include <wx/fileconf.h>
#include <wx/filename.h>
#include <wx/filepicker.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "profile.h"
#include "sound_font.h"
#include "string_table.h"
#include "wx_text.h"

namespace
{

constexpr const char* kSettingsGroup = "/Playback";
// The drivers offered besides the automatic choice, in the player's own order.
const char* const kDrivers[] = {"pulseaudio", "alsa", "jack", "sdl2"};

bool IsRegularFile(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A yes-or-no question; true for yes.
bool Ask(const std::string& text)
{
    wxMessageDialog dialog(nullptr, FromUtf8(text), FromUtf8(LoadResString(IDS_MAIN_WINDOW_TITLE)),
                           wxYES_NO | wxYES_DEFAULT | wxICON_QUESTION);
    return dialog.ShowModal() == wxID_YES;
}

std::string ReadText(wxFileConfig& config, const char* key)
{
    wxString value;
    config.Read(key, &value);
    return ToUtf8(value);
}

} // namespace

CPlaybackSettings CPlaybackSettings::Load(const std::string& profilePath)
{
    CPlaybackSettings settings;
    if (!wxFileName::FileExists(FromUtf8(profilePath)))
        return settings;
    wxFileConfig config(wxEmptyString, wxEmptyString, FromUtf8(profilePath), wxEmptyString,
                        wxCONFIG_USE_LOCAL_FILE, wxConvUTF8);
    // A path is taken as written: a '$' in a file name is not a variable.
    config.SetExpandEnvVars(false);
    config.SetPath(kSettingsGroup);
    settings.strMidiPort = ReadText(config, "MidiPort");
    settings.strSoundFont = ReadText(config, "SoundFont");
    settings.strAudioDriver = ReadText(config, "AudioDriver");
    return settings;
}

bool CPlaybackSettings::Save(const std::string& profilePath) const
{
    const std::unique_ptr<wxFileConfig> config = OpenProfile(profilePath);
    config->SetPath(kSettingsGroup);
    config->Write("MidiPort", FromUtf8(strMidiPort));
    config->Write("SoundFont", FromUtf8(strSoundFont));
    config->Write("AudioDriver", FromUtf8(strAudioDriver));
    return SaveProfile(*config, profilePath);
}

PlayerOptions CPlaybackSettings::ToPlayerOptions() const
{
    PlayerOptions options;
    options.strMidiPort = strMidiPort;
    options.strSoundFont = strSoundFont;
    options.strAudioDriver = strAudioDriver;
    return options;
}

bool SamePlayerOptions(const PlayerOptions& a, const PlayerOptions& b)
{
    return a.strMidiPort == b.strMidiPort && a.strSoundFont == b.strSoundFont &&
           a.strAudioDriver == b.strAudioDriver && a.output == b.output;
}

bool ChooseOutputForStart(const std::string& profilePath, PlayerOptions& options)
{
    CPlaybackSettings settings = CPlaybackSettings::Load(profilePath);
    bool changed = false;
    if (!settings.strMidiPort.empty())
    {
        // The player takes the first port whose full name contains the saved one.
        std::string error;
        bool found = false;
        for (const std::string& port : ListMidiPorts(error))
            found = found || port.find(settings.strMidiPort) != std::string::npos;
        if (!found)
        {
            if (!Ask(FormatResString(IDS_PLAYBACK_PORT_GONE, settings.strMidiPort)))
                return false;
            settings.strMidiPort.clear();
            changed = true;
        }
    }
    if (settings.strMidiPort.empty() && !settings.strSoundFont.empty() &&
        !IsRegularFile(settings.strSoundFont))
    {
        if (!Ask(FormatResString(IDS_PLAYBACK_SOUNDFONT_GONE, settings.strSoundFont)))
            return false;
        settings.strSoundFont.clear();
        changed = true;
    }
    if (changed)
        settings.Save(profilePath);
    options = settings.ToPlayerOptions();
    return true;
}

void OfferPlaybackSettings(wxWindow* parent, const std::string& profilePath)
{
    if (Ask(LoadResString(IDS_NO_SOUND_OUTPUT)))
        EditPlaybackSettings(parent, profilePath);
}

void EditPlaybackSettings(wxWindow* parent, const std::string& profilePath)
{
    CPlaybackSettingsDlg dialog(parent, CPlaybackSettings::Load(profilePath), FindSoundFont(""));
    if (dialog.ShowModal() == wxID_OK)
        dialog.GetSettings().Save(profilePath);
}

CPlaybackSettingsDlg::CPlaybackSettingsDlg(wxWindow* parent, const CPlaybackSettings& settings,
                                           const std::string& defaultSoundFont)
    : wxDialog(parent, wxID_ANY, FromUtf8(LoadResString(IDS_PLAYBACK_TITLE)), wxDefaultPosition,
               wxDefaultSize, wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER)
{
    auto* grid = new wxFlexGridSizer(2, wxSize(8, 8));
    grid->AddGrowableCol(1);

    // The output: the built-in synthesizer, then the ports there are now.
    grid->Add(new wxStaticText(this, wxID_ANY, FromUtf8(LoadResString(IDS_PLAYBACK_OUTPUT))), 0,
              wxALIGN_CENTER_VERTICAL);
    m_pOutput = new wxChoice(this, wxID_ANY);
    m_pOutput->Append(FromUtf8(LoadResString(IDS_PLAYBACK_BUILTIN)));
    std::string error;
    for (const std::string& port : ListMidiPorts(error))
        m_pOutput->Append(FromUtf8(port));
    m_pOutput->SetSelection(0);
    if (!settings.strMidiPort.empty())
    {
        // A saved port that is not there now stays chosen, so that OK does not drop it.
        int index = m_pOutput->FindString(FromUtf8(settings.strMidiPort), true);
        if (index == wxNOT_FOUND)
            index = m_pOutput->Append(FromUtf8(settings.strMidiPort));
        m_pOutput->SetSelection(index);
    }
    grid->Add(m_pOutput, 1, wxEXPAND);
    grid->AddSpacer(0);
    // A short line: the library's own reason (one long English sentence) stretched the dialog
    // across the screen; it stays at hand as the line's tooltip.
    m_pPortsError = new wxStaticText(
        this, wxID_ANY,
        error.empty() ? wxString() : FromUtf8(LoadResString(IDS_PLAYBACK_NO_PORTS_SHORT)));
    if (!error.empty())
        m_pPortsError->SetToolTip(FromUtf8(FormatResString(IDS_PLAYBACK_NO_PORTS, error)));
    grid->Add(m_pPortsError, 0, wxEXPAND);

    grid->Add(new wxStaticText(this, wxID_ANY, FromUtf8(LoadResString(IDS_PLAYBACK_SOUNDFONT))), 0,
              wxALIGN_CENTER_VERTICAL);
    m_pSoundFont = new wxFilePickerCtrl(this, wxID_ANY, FromUtf8(settings.strSoundFont),
                                        FromUtf8(LoadResString(IDS_PLAYBACK_SOUNDFONT)),
                                        FromUtf8(LoadResString(IDS_PLAYBACK_SOUNDFONT_FILTER)),
                                        wxDefaultPosition, wxSize(420, -1),
                                        wxFLP_OPEN | wxFLP_FILE_MUST_EXIST | wxFLP_USE_TEXTCTRL);
    grid->Add(m_pSoundFont, 1, wxEXPAND);
    grid->AddSpacer(0);
    grid->Add(new wxStaticText(
                  this, wxID_ANY,
                  FromUtf8(FormatResString(IDS_PLAYBACK_SOUNDFONT_DEFAULT, defaultSoundFont))),
              0, wxEXPAND);

    grid->Add(new wxStaticText(this, wxID_ANY, FromUtf8(LoadResString(IDS_PLAYBACK_DRIVER))), 0,
              wxALIGN_CENTER_VERTICAL);
    m_pDriver = new wxChoice(this, wxID_ANY);
    m_pDriver->Append(FromUtf8(LoadResString(IDS_PLAYBACK_DRIVER_AUTO)));
    for (const char* driver : kDrivers)
        m_pDriver->Append(driver);
    m_pDriver->SetSelection(0);
    if (!settings.strAudioDriver.empty())
    {
        int index = m_pDriver->FindString(FromUtf8(settings.strAudioDriver), true);
        if (index == wxNOT_FOUND)
            index = m_pDriver->Append(FromUtf8(settings.strAudioDriver));
        m_pDriver->SetSelection(index);
    }
    grid->Add(m_pDriver, 1, wxEXPAND);

    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(grid, 1, wxEXPAND | wxALL, 12);
    top->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxBOTTOM | wxRIGHT, 12);
    SetSizerAndFit(top);
}

CPlaybackSettings CPlaybackSettingsDlg::GetSettings() const
{
    CPlaybackSettings settings;
    if (m_pOutput->GetSelection() > 0)
        settings.strMidiPort = ToUtf8(m_pOutput->GetStringSelection());
    settings.strSoundFont = ToUtf8(m_pSoundFont->GetPath());
    if (m_pDriver->GetSelection() > 0)
        settings.strAudioDriver = ToUtf8(m_pDriver->GetStringSelection());
    return settings;
}

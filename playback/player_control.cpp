#include "player_control.h"

#include "message_box.h"
#include "sequencer_player.h"
#include "string_table.h"

CPlayerControl::CPlayerControl(CSequencerPlayer& player) : m_player(player) {}

CPlayerControl::~CPlayerControl()
{
    if (m_bDeviceOpen == 1)
        CloseDevice();
}

void CPlayerControl::SetPauseCaption(const char* caption)
{
    m_strPauseCaption = caption;
    if (m_captionObserver)
        m_captionObserver(m_strPauseCaption);
}

void CPlayerControl::CloseDevice()
{
    // Closing cannot fail in a way the user could act on; it is never reported.
    m_player.Close();
    m_bDeviceOpen = 0;
}

void CPlayerControl::OnStart(bool songLoaded, const std::string& tempPath)
{
    if (!songLoaded)
    {
        AfxMessageBox(IDS_LOAD_MIDI_FILE);
        return;
    }
    SetPauseCaption(kPauseCaptionStop);
    CloseDevice();
    if (!m_player.Open(tempPath))
    {
        if (m_openError)
            m_openError(m_player.ErrorText());
        else
            AfxMessageBox(m_player.ErrorText());
        return;
    }
    m_bDeviceOpen = 1;
    if (!m_player.Play())
        AfxMessageBox(m_player.ErrorText());
    m_bPaused = 0;
}

void CPlayerControl::OnPause(bool songLoaded)
{
    if (!songLoaded)
    {
        AfxMessageBox(IDS_LOAD_MIDI_FILE);
        return;
    }
    bool done;
    if (m_bPaused == 0)
    {
        SetPauseCaption(kPauseCaptionContinue);
        done = m_player.Pause();
    }
    else
    {
        SetPauseCaption(kPauseCaptionStop);
        done = m_player.Resume();
    }
    if (!done)
        AfxMessageBox(m_player.ErrorText());
    m_bPaused = m_bPaused == 0 ? 1 : 0;
}

void CPlayerControl::ResetForInitialUpdate()
{
    // The flag must not say "closed" over a song that still plays and that nothing could then
    // close; the form closes before this anyway, except on its very first update.
    if (m_player.IsOpen())
        m_player.Close();
    m_bDeviceOpen = 0;
    m_bPaused = 0;
}

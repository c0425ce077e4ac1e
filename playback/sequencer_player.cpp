// The program's side of the player: forwards to the player module, which it loads on first use.

#include "sequencer_player.h"

#include <cstdlib>
#include <mutex>


#include "player_engine.h"
#include "program_module.h"
#include "song_reader.h"
#include "string_table.h"
#include "system.h"

namespace
{

struct LoadedModule
{
    const PlayerModuleApi* pApi = nullptr;
    std::string strError;
};

LoadedModule LoadOnce()
{
    LoadedModule loaded;
    const char* named = std::getenv(kPlayerModuleVariable);
    // Loaded for good: its threads and the synthesizer's drivers may run until the end.
    const CProgramModule module =
        OpenProgramModule(kPlayerModuleFile, TARVEL1_PLAYER_MODULE_SUBDIR,
                          TARVEL1_PLAYER_MODULE_BUILT, named != nullptr ? named : "");
    if (module.pHandle == nullptr)
    {
        loaded.strError = FormatResString(
            IDS_PLAYER_NO_MODULE, module.strPath.empty() ? kPlayerModuleFile : module.strPath,
            module.strError);
        return loaded;
    }
    using Entry = const PlayerModuleApi* (*)();
    auto entry = reinterpret_cast<Entry>(FindModuleSymbol(module.pHandle, kPlayerModuleEntry));
    const PlayerModuleApi* api = entry != nullptr ? entry() : nullptr;
    if (api == nullptr || api->nVersion != kPlayerModuleVersion)
    {
        loaded.strError = FormatResString(IDS_PLAYER_NO_MODULE, module.strPath, kPlayerModuleEntry);
        return loaded;
    }
    loaded.pApi = api;
    return loaded;
}

} // namespace

const PlayerModuleApi* LoadPlayerModule(std::string& error)
{
    static std::once_flag once;
    static LoadedModule loaded;
    std::call_once(once, [] { loaded = LoadOnce(); });
    if (loaded.pApi == nullptr)
        error = loaded.strError;
    return loaded.pApi;
}

std::vector<std::string> ListMidiPorts(std::string& error)
{
    const PlayerModuleApi* api = LoadPlayerModule(error);
    if (api == nullptr)
        return {};
    return api->ListMidiPorts(error);
}

CSequencerPlayer::CSequencerPlayer(PlayerOptions options)
{
    if (const PlayerModuleApi* api = LoadPlayerModule(m_strError))
        m_engine.reset(api->CreatePlayer(options));
}

CSequencerPlayer::~CSequencerPlayer() = default;

// Without the module every operation fails with the reason, and every query reads as closed.
bool CSequencerPlayer::WaitForSoundFont()
{
    m_bOwnError = false;
    return m_engine && m_engine->WaitForSoundFont();
}

const std::string& CSequencerPlayer::SoundFontPath() const
{
    return m_engine ? m_engine->SoundFontPath() : m_strNone;
}

bool CSequencerPlayer::CheckAudioOutput()
{
    m_bOwnError = false;
    return m_engine && m_engine->CheckAudioOutput();
}

bool CSequencerPlayer::Open(const std::string& path)
{
    m_bOwnError = false;
    if (!m_engine)
        return false;
    if (path.empty())
        return OwnFailure(LoadResString(IDS_PLAYER_NO_SONG_PATH));
    SongBytes song;
    std::string message;
    if (!ReadSongFile(path, song, message))
        return OwnFailure(std::move(message));
    return m_engine->Open(song.bytes.data(), song.bytes.size(), path);
}

bool CSequencerPlayer::OpenSong(const std::uint8_t* bytes, std::size_t size,
                                const std::string& name)
{
    m_bOwnError = false;
    if (!m_engine)
        return false;
    // The same scan as File Open: bytes after the last end-of-track are not the song.
    const SongScan scan = ScanSong(bytes, size);
    if (scan.result != SongScanResult::Song)
        return OwnFailure(SongScanMessage(scan, name));
    return m_engine->Open(bytes, scan.nLastIndex + 1, name);
}

bool CSequencerPlayer::OwnFailure(std::string text)
{
    // The engine keeps its song closed, as after any failed open.
    m_engine->Close();
    m_strOwnError = std::move(text);
    m_bOwnError = true;
    return false;
}

bool CSequencerPlayer::Play()
{
    m_bOwnError = false;
    return m_engine && m_engine->Play();
}

bool CSequencerPlayer::Seek(double seconds)
{
    m_bOwnError = false;
    return m_engine && m_engine->Seek(seconds);
}

bool CSequencerPlayer::Pause()
{
    m_bOwnError = false;
    return m_engine && m_engine->Pause();
}

bool CSequencerPlayer::Resume()
{
    m_bOwnError = false;
    return m_engine && m_engine->Resume();
}

void CSequencerPlayer::Close()
{
    if (m_engine)
        m_engine->Close();
}

bool CSequencerPlayer::IsOpen() const
{
    return m_engine && m_engine->IsOpen();
}

bool CSequencerPlayer::IsPaused() const
{
    return m_engine && m_engine->IsPaused();
}

bool CSequencerPlayer::IsFinished() const
{
    return m_engine && m_engine->IsFinished();
}

int CSequencerPlayer::CurrentTick() const
{
    return m_engine ? m_engine->CurrentTick() : 0;
}

int CSequencerPlayer::TotalTicks() const
{
    return m_engine ? m_engine->TotalTicks() : 0;
}

double CSequencerPlayer::ElapsedSeconds() const
{
    return m_engine ? m_engine->ElapsedSeconds() : 0.0;
}

double CSequencerPlayer::TotalSeconds() const
{
    return m_engine ? m_engine->TotalSeconds() : 0.0;
}

void CSequencerPlayer::Render(std::int16_t* stereo, std::size_t frames)
{
    if (m_engine)
        m_engine->Render(stereo, frames);
    else
        std::fill(stereo, stereo + 2 * frames, std::int16_t{0});
}

bool CSequencerPlayer::RenderSong(std::vector<std::int16_t>& stereo)
{
    m_bOwnError = false;
    return m_engine && m_engine->RenderSong(stereo);
}

bool CSequencerPlayer::RenderSongTo(const AudioSink& sink)
{
    m_bOwnError = false;
    return m_engine && m_engine->RenderSongTo(sink);
}

bool CSequencerPlayer::RenderSongToFloat(const FloatAudioSink& sink)
{
    m_bOwnError = false;
    return m_engine && m_engine->RenderSongToFloat(sink);
}

double CSequencerPlayer::RenderSecondsLimit() const
{
    return m_engine ? m_engine->RenderSecondsLimit() : 0.0;
}

int CSequencerPlayer::ActiveVoices() const
{
    return m_engine ? m_engine->ActiveVoices() : 0;
}

std::uint64_t CSequencerPlayer::RenderedFrames() const
{
    return m_engine ? m_engine->RenderedFrames() : 0;
}

const std::string& CSequencerPlayer::AudioDriverName() const
{
    return m_engine ? m_engine->AudioDriverName() : m_strNone;
}

const std::string& CSequencerPlayer::ErrorText() const
{
    if (m_bOwnError)
        return m_strOwnError;
    return m_engine ? m_engine->ErrorText() : m_strError;
}

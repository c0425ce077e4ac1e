#pragma once
// What the player tests share: a converted song written the way the convert button writes it,
// rendering into memory, and a watch on what reaches stderr.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "conversion.h"
#include "message_box.h"
#include "message_recorder.h"
#include "sequencer_player.h"
#include "song_document.h"
#include "test_files.h"

// Reads a song from tests/data, converts it and writes it to `folder` as temp.mid.
inline std::string WriteConvertedSong(const ScratchFolder& folder, const std::string& song,
                                      const std::string& mode = "minor",
                                      const std::string& key = "D")
{
    auto doc = std::make_unique<CTarvel1Doc>();
    EXPECT_TRUE(doc->OnOpenDocument(DataPath(song))) << song;
    doc->Convert(mode, KeyOffsetFromName(key));
    const std::string path = folder.File(kTempSongName);
    WriteConvertedSong(*doc, path);
    return path;
}

inline std::vector<std::int16_t> RenderFrames(CSequencerPlayer& player, std::size_t frames)
{
    std::vector<std::int16_t> stereo(2 * frames);
    player.Render(stereo.data(), frames);
    return stereo;
}

inline int Peak(const std::vector<std::int16_t>& stereo, std::size_t fromFrame = 0)
{
    int peak = 0;
    for (std::size_t i = 2 * fromFrame; i < stereo.size(); ++i)
        peak = std::max(peak, std::abs(static_cast<int>(stereo[i])));
    return peak;
}

inline std::size_t FramesOf(double seconds)
{
    return static_cast<std::size_t>(seconds * kPlayerSampleRate);
}

// A player that renders into memory, with its SoundFont found by the program's own search. No
// SoundFont is a failure of the test machine's set-up, never a reason to skip.
inline std::unique_ptr<CSequencerPlayer> MakeManualPlayer()
{
    PlayerOptions options;
    options.output = AudioOutput::Manual;
    auto player = std::make_unique<CSequencerPlayer>(options);
    if (!player->WaitForSoundFont())
        ADD_FAILURE() << "No usable General MIDI SoundFont: " << player->ErrorText()
                      << "\nInstall one with scripts/deps.sh (timgm6mb-soundfont).";
    return player;
}

// Collects what the code under test writes to file descriptor 2.
class CStderrWatch
{
public:
    CStderrWatch()
    {
        std::fflush(stderr);
        m_file = std::tmpfile();
        m_saved = dup(2);
        dup2(fileno(m_file), 2);
    }
    ~CStderrWatch() { Stop(); }
    CStderrWatch(const CStderrWatch&) = delete;
    CStderrWatch& operator=(const CStderrWatch&) = delete;

    std::string Stop()
    {
        if (m_saved >= 0)
        {
            std::fflush(stderr);
            dup2(m_saved, 2);
            close(m_saved);
            m_saved = -1;
            std::rewind(m_file);
            int c;
            while ((c = std::fgetc(m_file)) != EOF)
                m_text += static_cast<char>(c);
            std::fclose(m_file);
        }
        return m_text;
    }

private:
    std::FILE* m_file = nullptr;
    int m_saved = -1;
    std::string m_text;
};

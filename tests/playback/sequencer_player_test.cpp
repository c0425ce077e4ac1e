#include "sequencer_player.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "playback_test_support.h"
#include "smf_builder.h"
#include "sound_font.h"
#include "song_reader.h"
#include "string_table.h"

namespace
{

// Ticks the player may move on during one render block after a resume: the longest block
// rendered here is 1024 frames, about 23 ms, far less than a quarter note in any test song.
constexpr int kTickSlack = 32;

// The fixed part of a message whose variable reason is marked by "\x01" among its arguments.
std::string FramePart(const std::string& formatted)
{
    return formatted.substr(0, formatted.find('\x01'));
}

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

class SequencerPlayer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_player = MakeManualPlayer();
        m_strSong = WriteConvertedSong(m_folder, "bossa.mid");
    }

    void OpenAndPlay()
    {
        ASSERT_TRUE(m_player->Open(m_strSong)) << m_player->ErrorText();
        ASSERT_TRUE(m_player->Play()) << m_player->ErrorText();
    }

    ScratchFolder m_folder;
    std::unique_ptr<CSequencerPlayer> m_player;
    std::string m_strSong;
};

TEST_F(SequencerPlayer, PlayingAConvertedSongSoundsAndKeepsTime)
{
    OpenAndPlay();
    EXPECT_EQ(m_player->CurrentTick(), 0);
    const auto audio = RenderFrames(*m_player, FramesOf(2.0));
    EXPECT_GT(Peak(audio), 1000) << "two seconds of a converted song are silent";
    EXPECT_GT(m_player->CurrentTick(), 0);
    // The elapsed time is our own reading of the song's tempo map at the synthesizer's tick:
    // the two must agree with the audio actually rendered.
    EXPECT_NEAR(m_player->ElapsedSeconds(), 2.0, 0.01);
    EXPECT_GT(m_player->TotalSeconds(), 60.0);
    EXPECT_FALSE(m_player->IsFinished());
}

TEST_F(SequencerPlayer, PauseKeepsTheTickAndSilencesEveryVoiceAtOnce)
{
    OpenAndPlay();
    const auto playing = RenderFrames(*m_player, FramesOf(1.5));
    ASSERT_GT(m_player->ActiveVoices(), 0);
    ASSERT_TRUE(m_player->Pause());
    const int tick = m_player->CurrentTick();
    EXPECT_TRUE(m_player->IsPaused());

    // 128 frames are 3 ms: every voice must be gone by then; what remains is the reverb's tail.
    const auto first = RenderFrames(*m_player, 128);
    EXPECT_EQ(m_player->ActiveVoices(), 0);
    const auto after = RenderFrames(*m_player, FramesOf(1.0));
    EXPECT_LT(Peak(after), Peak(playing) / 10);
    EXPECT_LE(Peak(after, FramesOf(0.5)), 8) << "sound goes on during a pause";
    EXPECT_EQ(m_player->CurrentTick(), tick);
    EXPECT_FALSE(m_player->IsFinished());

    // Pausing again changes nothing.
    EXPECT_TRUE(m_player->Pause());
    RenderFrames(*m_player, 1024);
    EXPECT_EQ(m_player->CurrentTick(), tick);
}

// Middle C struck and let go at once, then E from tick 960 to 1200, the song ending at tick
// 3840 (division 480, 120 beats a minute), with or without the sustain pedal held from tick 0.
Bytes PedalSong(bool pedal)
{
    Bytes events;
    if (pedal)
        events.insert(events.end(), {0x00, 0xB0, 64, 127});
    events.insert(events.end(),
                  {0x00, 0x90, 60,   100,  0x81, 0x70, 0x80, 60,   0,    0x85, 0x50, 0x90,
                   64,   100,  0x81, 0x70, 0x80, 64,   0,    0x94, 0x60, 0xFF, 0x2F, 0x00});
    return MakeSmf({events});
}

TEST_F(SequencerPlayer, PauseLetsThePedalGoAndResumePutsItBack)
{
    int voicesAfterRelease[2] = {};
    for (const bool pedal : {true, false})
    {
        const std::string song = m_folder.File(pedal ? "pedal.mid" : "no-pedal.mid");
        WriteBytes(song, PedalSong(pedal));
        ASSERT_TRUE(m_player->Open(song)) << m_player->ErrorText();
        ASSERT_TRUE(m_player->Play());
        RenderFrames(*m_player, FramesOf(0.5));
        if (pedal)
        {
            ASSERT_EQ(m_player->ActiveVoices(), 1) << "the pedal does not hold middle C";
        }
        ASSERT_TRUE(m_player->Pause());
        RenderFrames(*m_player, 128);
        EXPECT_EQ(m_player->ActiveVoices(), 0) << "a note held by the pedal rings on in a pause";
        RenderFrames(*m_player, FramesOf(0.5));
        ASSERT_TRUE(m_player->Resume());
        // Tick 2640, more than half a second after E was let go.
        RenderFrames(*m_player, FramesOf(2.25));
        voicesAfterRelease[pedal ? 0 : 1] = m_player->ActiveVoices();
    }
    EXPECT_GT(voicesAfterRelease[0], 0) << "the pedal was not put back on resume";
    EXPECT_EQ(voicesAfterRelease[1], 0);
}

TEST_F(SequencerPlayer, ResumeGoesOnFromThePausedTick)
{
    OpenAndPlay();
    RenderFrames(*m_player, FramesOf(3.0));
    ASSERT_TRUE(m_player->Pause());
    const int tick = m_player->CurrentTick();
    const double elapsed = m_player->ElapsedSeconds();
    RenderFrames(*m_player, FramesOf(0.5));

    ASSERT_TRUE(m_player->Resume());
    EXPECT_FALSE(m_player->IsPaused());
    RenderFrames(*m_player, 1024);
    EXPECT_GE(m_player->CurrentTick(), tick);
    EXPECT_LE(m_player->CurrentTick(), tick + kTickSlack);
    const auto audio = RenderFrames(*m_player, FramesOf(1.0));
    EXPECT_GT(Peak(audio), 1000) << "no sound after resuming";
    EXPECT_NEAR(m_player->ElapsedSeconds(), elapsed + 1.0 + 1024.0 / kPlayerSampleRate, 0.02);
}

TEST_F(SequencerPlayer, PlayAgainStartsFromTickZero)
{
    OpenAndPlay();
    RenderFrames(*m_player, FramesOf(2.0));
    ASSERT_GT(m_player->CurrentTick(), kTickSlack);
    ASSERT_TRUE(m_player->Play());
    RenderFrames(*m_player, 256);
    EXPECT_LE(m_player->CurrentTick(), kTickSlack);

    // From a pause too, and the pause is over.
    RenderFrames(*m_player, FramesOf(2.0));
    ASSERT_TRUE(m_player->Pause());
    ASSERT_TRUE(m_player->Play());
    EXPECT_FALSE(m_player->IsPaused());
    RenderFrames(*m_player, 256);
    EXPECT_LE(m_player->CurrentTick(), kTickSlack);
    EXPECT_GT(Peak(RenderFrames(*m_player, FramesOf(1.0))), 1000);
}

TEST_F(SequencerPlayer, CloseSilencesEverythingAndForgetsTheSong)
{
    OpenAndPlay();
    RenderFrames(*m_player, FramesOf(1.5));
    ASSERT_GT(m_player->ActiveVoices(), 0);
    m_player->Close();
    EXPECT_FALSE(m_player->IsOpen());
    RenderFrames(*m_player, 128);
    EXPECT_EQ(m_player->ActiveVoices(), 0);
    EXPECT_LE(Peak(RenderFrames(*m_player, FramesOf(1.0)), FramesOf(0.5)), 8);
    EXPECT_EQ(m_player->CurrentTick(), 0);
    EXPECT_EQ(m_player->TotalTicks(), 0);
    EXPECT_FALSE(m_player->Pause());
    EXPECT_EQ(m_player->ErrorText(), LoadResString(IDS_PLAYER_DEVICE_NOT_OPEN));
    EXPECT_FALSE(m_player->Resume());
    EXPECT_FALSE(m_player->Play());
}

TEST_F(SequencerPlayer, ASongPlaysToItsEndAndStaysOpen)
{
    const std::string song = WriteConvertedSong(m_folder, "fanfare.mid", "invert", "C");
    ASSERT_TRUE(m_player->Open(song)) << m_player->ErrorText();
    std::vector<std::int16_t> audio;
    ASSERT_TRUE(m_player->RenderSong(audio));
    const double seconds = audio.size() / 2.0 / kPlayerSampleRate;
    EXPECT_GE(seconds, m_player->TotalSeconds());
    EXPECT_LT(seconds, m_player->TotalSeconds() + 10.0);
    EXPECT_TRUE(m_player->IsFinished());
    EXPECT_TRUE(m_player->IsOpen());
    EXPECT_NEAR(m_player->ElapsedSeconds(), m_player->TotalSeconds(), 1e-9);
    // At the end a resume does nothing and a play starts over.
    EXPECT_TRUE(m_player->Resume());
    EXPECT_TRUE(m_player->Play());
    RenderFrames(*m_player, 256);
    EXPECT_LE(m_player->CurrentTick(), kTickSlack);
}

// Program 40 and middle C struck at tick 0 and never let go; the song ends at tick 3840 (4 s).
Bytes HeldNoteSong()
{
    return MakeSmf({{0x00, 0xC0, 40, 0x00, 0x90, 60, 100, 0x9E, 0x00, 0xFF, 0x2F, 0x00}});
}

TEST_F(SequencerPlayer, ResumeAndSeekStrikeTheHeldNotesAgainAndTheEndLetsThemGo)
{
    const std::string song = m_folder.File("held.mid");
    WriteBytes(song, HeldNoteSong());
    ASSERT_TRUE(m_player->Open(song)) << m_player->ErrorText();
    ASSERT_TRUE(m_player->Play());
    RenderFrames(*m_player, FramesOf(1.0));
    ASSERT_GT(m_player->ActiveVoices(), 0);

    ASSERT_TRUE(m_player->Pause());
    RenderFrames(*m_player, 128);
    ASSERT_EQ(m_player->ActiveVoices(), 0);
    ASSERT_TRUE(m_player->Resume());
    EXPECT_GT(Peak(RenderFrames(*m_player, FramesOf(0.2))), 1000) << "the held note is not heard";

    // Seeking while playing and while paused lands on the time asked, with the note sounding.
    ASSERT_TRUE(m_player->Seek(3.0));
    EXPECT_NEAR(m_player->ElapsedSeconds(), 3.0, 1e-6);
    EXPECT_GT(Peak(RenderFrames(*m_player, FramesOf(0.2))), 1000);
    ASSERT_TRUE(m_player->Pause());
    ASSERT_TRUE(m_player->Seek(1.0));
    RenderFrames(*m_player, FramesOf(0.2));
    EXPECT_EQ(m_player->ActiveVoices(), 0);
    EXPECT_NEAR(m_player->ElapsedSeconds(), 1.0, 1e-6);
    ASSERT_TRUE(m_player->Resume());
    EXPECT_GT(Peak(RenderFrames(*m_player, FramesOf(0.2))), 1000);

    // The song leaves its note on: at the end it is let go and the player finishes.
    std::vector<std::int16_t> rest;
    ASSERT_TRUE(m_player->RenderSong(rest));
    EXPECT_TRUE(m_player->IsFinished());
    EXPECT_EQ(m_player->ActiveVoices(), 0);
    EXPECT_LT(rest.size() / 2.0 / kPlayerSampleRate, 2.8 + 5.0) << "the note drones on";
    EXPECT_TRUE(m_player->IsOpen());
}

// A song in bytes made here: the header chunk is `6 + extra` bytes long.
Bytes OddSmf(int format, std::uint16_t division, std::size_t extra,
             const std::vector<Bytes>& bodies)
{
    Bytes smf = MakeSmf(bodies, -1, format);
    smf[7] = static_cast<std::uint8_t>(6 + extra);
    smf[12] = static_cast<std::uint8_t>(division >> 8);
    smf[13] = static_cast<std::uint8_t>(division & 0xFF);
    smf.insert(smf.begin() + 14, extra, 0x00);
    return smf;
}

TEST_F(SequencerPlayer, EveryKindOfValidSongPlaysForItsOwnLength)
{
    // At 120 beats a minute and 480 ticks a quarter, 960 ticks (0x87 0x40) are one second.
    const Bytes second = {0x00, 0x90, 60, 100, 0x87, 0x40, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00};
    struct Case
    {
        const char* name;
        Bytes song;
        double seconds;
        int notesAtHalf; // notes sounding half a second in
    };
    const Case cases[] = {
        // 25 frames a second, 40 ticks a frame: 1000 ticks a second; 2000 ticks = 0x8F 0x50.
        {"smpte",
         OddSmf(0, 0xE728, 0,
                {{0x00, 0x90, 60, 100, 0x8F, 0x50, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00}}),
         2.0, 1},
        // Two patterns of one second each, one after the other.
        {"format 2", OddSmf(2, 480, 0, {second, second}), 2.0, 1},
        // A GM reset sent in two packets (F0 ... then F7 ...), then the note.
        {"packets",
         OddSmf(0, 480, 0,
                {Concat(
                    {{0x00, 0xF0, 0x03, 0x7E, 0x7F, 0x09, 0x00, 0xF7, 0x02, 0x01, 0xF7}, second})}),
         1.0, 1},
        {"long header", OddSmf(1, 480, 2, {second, second}), 1.0, 2},
    };
    int voicesOfOneNote = 0;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::string path = m_folder.File("odd.mid");
        WriteBytes(path, c.song);
        ASSERT_TRUE(m_player->Open(path)) << m_player->ErrorText();
        EXPECT_NEAR(m_player->TotalSeconds(), c.seconds, 1e-3);
        ASSERT_TRUE(m_player->Play());
        RenderFrames(*m_player, FramesOf(0.5));
        if (voicesOfOneNote == 0)
            voicesOfOneNote = m_player->ActiveVoices();
        ASSERT_GT(voicesOfOneNote, 0);
        EXPECT_EQ(m_player->ActiveVoices(), c.notesAtHalf * voicesOfOneNote);
        std::vector<std::int16_t> audio;
        ASSERT_TRUE(m_player->RenderSong(audio));
        const double rendered = 0.5 + audio.size() / 2.0 / kPlayerSampleRate;
        EXPECT_GE(rendered, c.seconds);
        EXPECT_LT(rendered, c.seconds + 5.0);
    }
}

// The text the song loader shows for `path` when File Open reads it.
std::string LoaderMessage(const std::string& path)
{
    CMessageRecorder recorder;
    auto doc = std::make_unique<CTarvel1Doc>();
    doc->OnOpenDocument(path);
    const auto messages = recorder.Take();
    return messages.empty() ? std::string() : messages.front();
}

TEST_F(SequencerPlayer, AFailedOpenSaysWhyAndLeavesThePlayerClosedAndUsable)
{
    const std::string missing = m_folder.File("gone.mid");
    const std::string text = m_folder.File("notes.txt");
    WriteBytes(text, Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'});
    const std::string truncated = m_folder.File("truncated.mid");
    Bytes bytes = ReadBytes(m_strSong);
    bytes.resize(bytes.size() / 2);
    WriteBytes(truncated, bytes);
    // The song loader only counts end-of-track events; an F1 status byte inside a track is
    // something the synthesizer refuses.
    const std::string unplayable = m_folder.File("unplayable.mid");
    WriteBytes(unplayable, MakeSmf({{0x00, 0xF1, 0x00, 0x00, 0xFF, 0x2F, 0x00}}));

    struct Case
    {
        std::string path;
        std::string expected;
    };
    const Case cases[] = {
        {missing, LoaderMessage(missing)},
        {text, LoadResString(IDS_NOT_MIDI_FILE)},
        {truncated, LoaderMessage(truncated)},
        {unplayable, FormatResString(IDS_PLAYER_CANNOT_PLAY, unplayable,
                                     FormatResString(IDS_SMF_BAD_EVENT, "1"))},
        {"", LoadResString(IDS_PLAYER_NO_SONG_PATH)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.path);
        ASSERT_FALSE(c.expected.empty());
        CMessageRecorder recorder;
        OpenAndPlay();
        RenderFrames(*m_player, 1024);
        EXPECT_FALSE(m_player->Open(c.path));
        EXPECT_EQ(m_player->ErrorText(), c.expected);
        EXPECT_FALSE(m_player->IsOpen());
        EXPECT_TRUE(recorder.Take().empty()) << "the player showed a message itself";
        RenderFrames(*m_player, 256);
        EXPECT_EQ(m_player->ActiveVoices(), 0) << "the song played before goes on";
    }
    // A song in memory is found by the same scan: a cut one is refused with the loader's words,
    // and bytes after the last end of track are not part of the song.
    const Bytes cut = ReadBytes(truncated);
    EXPECT_FALSE(m_player->OpenSong(cut.data(), cut.size(), "memory"));
    EXPECT_EQ(m_player->ErrorText(), SongScanMessage(ScanSong(cut.data(), cut.size()), "memory"));
    Bytes whole = ReadBytes(m_strSong);
    whole.insert(whole.end(), {0x00, 0xF1, 0x00});
    ASSERT_TRUE(m_player->OpenSong(whole.data(), whole.size(), "memory")) << m_player->ErrorText();
    ASSERT_TRUE(m_player->Play());
    EXPECT_GT(Peak(RenderFrames(*m_player, FramesOf(1.5))), 1000);
}

TEST(SequencerPlayerSoundFont, OneThatIsNotASoundFontIsRefusedQuietly)
{
    ScratchFolder folder;
    const std::string song = WriteConvertedSong(folder, "round.mid");
    const std::string missing = folder.File("missing.sf2");
    // A RIFF file of the right form whose chunks are garbage gets past the header check.
    const std::string broken = folder.File("broken.sf2");
    Bytes riff = {'R', 'I', 'F', 'F', 40,  0,   0,   0, 's', 'f',
                  'b', 'k', 'L', 'I', 'S', 'T', 200, 0, 0,   0};
    riff.resize(48, 0x55);
    WriteBytes(broken, riff);

    struct Case
    {
        std::string soundFont;
        std::string expected; // "\x01" stands for the synthesizer's own words
    };
    const Case cases[] = {
        {DataPath("round.mid"), FormatResString(IDS_PLAYER_BAD_SOUNDFONT, DataPath("round.mid"),
                                                LoadResString(IDS_PLAYER_NOT_A_SOUNDFONT))},
        {missing, FormatResString(IDS_PLAYER_BAD_SOUNDFONT, missing, std::strerror(ENOENT))},
        {broken, FormatResString(IDS_PLAYER_BAD_SOUNDFONT, broken, "\x01")},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.soundFont);
        CStderrWatch watch;
        PlayerOptions options;
        options.strSoundFont = c.soundFont;
        options.output = AudioOutput::Manual;
        CSequencerPlayer player(options);
        EXPECT_FALSE(player.WaitForSoundFont());
        const std::string frame = FramePart(c.expected);
        if (frame.size() == c.expected.size())
            EXPECT_EQ(player.ErrorText(), c.expected);
        else
        {
            EXPECT_TRUE(StartsWith(player.ErrorText(), frame)) << player.ErrorText();
            EXPECT_GT(player.ErrorText().size(), frame.size() + 6) << "no reason given";
        }
        EXPECT_FALSE(player.Open(song));
        EXPECT_TRUE(StartsWith(player.ErrorText(), frame)) << player.ErrorText();
        EXPECT_FALSE(player.IsOpen());
        EXPECT_FALSE(player.Pause());
        EXPECT_EQ(watch.Stop(), "") << "a library wrote to the terminal";
    }
}

TEST(SequencerPlayerSoundFont, TheSearchPrefersAnExplicitChoiceThenTheSystemDefault)
{
    const auto candidates = SoundFontCandidates("/x/choice.sf2", "/x/env.sf2");
    ASSERT_GE(candidates.size(), 5u);
    EXPECT_EQ(candidates[0], "/x/choice.sf2");
    EXPECT_EQ(candidates[1], "/usr/share/sounds/sf3/default-GM.sf3");
    EXPECT_EQ(candidates[2], "/usr/share/sounds/sf2/default-GM.sf2");
    EXPECT_NE(std::find(candidates.begin(), candidates.end(), "/usr/share/sounds/sf2/TimGM6mb.sf2"),
              candidates.end());
    EXPECT_EQ(SoundFontCandidates("", "/x/env.sf2")[0], "/x/env.sf2");
    EXPECT_EQ(SoundFontCandidates("", "")[0], "/usr/share/sounds/sf3/default-GM.sf3");

    ScratchFolder folder;
    const std::string second = folder.File("second.sf2");
    WriteBytes(second, Bytes{1});
    EXPECT_EQ(FindSoundFont({folder.File("first.sf2"), second}, false), second);
    EXPECT_EQ(FindSoundFont({folder.File("first.sf2")}, false), "");
    // A wrong explicit choice is reported, not quietly replaced by another SoundFont.
    EXPECT_EQ(FindSoundFont({folder.File("first.sf2"), second}, true), folder.File("first.sf2"));
}

TEST(SequencerPlayerOutput, ADriverThatCannotOpenSaysWhyQuietly)
{
    ScratchFolder folder;
    const std::string song = WriteConvertedSong(folder, "round.mid");
    struct Case
    {
        std::string driver;
        std::string expected; // "\x01" stands for the reason
    };
    const Case cases[] = {
        {"no-such-driver", FormatResString(IDS_PLAYER_UNKNOWN_DRIVER, "no-such-driver", "\x01")},
        // No machine of ours has an OSS device any more.
        {"oss", FormatResString(IDS_PLAYER_NO_AUDIO_DEVICE, "oss: \x01")},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.driver);
        CStderrWatch watch;
        PlayerOptions options;
        options.strAudioDriver = c.driver;
        CSequencerPlayer player(options);
        ASSERT_TRUE(player.WaitForSoundFont()) << player.ErrorText();
        for (int attempt = 0; attempt < 2; ++attempt)
        {
            EXPECT_FALSE(player.Open(song));
            EXPECT_TRUE(StartsWith(player.ErrorText(), FramePart(c.expected)))
                << player.ErrorText();
            EXPECT_GT(player.ErrorText().size(), FramePart(c.expected).size() + 6);
            EXPECT_FALSE(player.IsOpen());
            EXPECT_EQ(player.AudioDriverName(), "");
        }
        EXPECT_EQ(watch.Stop(), "") << "a library wrote to the terminal";
    }
}

TEST(SequencerPlayerOutput, TheSilentOutputPlaysInRealTimeWithoutASoundCard)
{
    ScratchFolder folder;
    const std::string song = WriteConvertedSong(folder, "bossa.mid");
    ASSERT_EQ(setenv(kAudioDriverVariable, kNoAudioDriver, 1), 0);
    CSequencerPlayer player;
    unsetenv(kAudioDriverVariable);
    ASSERT_TRUE(player.Open(song)) << player.ErrorText();
    EXPECT_EQ(player.AudioDriverName(), kNoAudioDriver);
    ASSERT_TRUE(player.Play());
    const auto start = std::chrono::steady_clock::now();
    while (player.CurrentTick() < 200 &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const double waited =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_GE(player.CurrentTick(), 200);
    // Real time, never faster: the song's time cannot run ahead of the clock. (A busy machine
    // may make it fall behind, which is no fault of the player.)
    EXPECT_LT(player.ElapsedSeconds(), waited + 0.05);

    ASSERT_TRUE(player.Pause());
    const int tick = player.CurrentTick();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(player.CurrentTick(), tick);
    EXPECT_EQ(player.ActiveVoices(), 0);
    const std::uint64_t frames = player.RenderedFrames();
    ASSERT_TRUE(player.Resume());
    const auto resumed = std::chrono::steady_clock::now();
    while (player.CurrentTick() == tick &&
           std::chrono::steady_clock::now() - resumed < std::chrono::seconds(5))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GT(player.CurrentTick(), tick);
    player.Close();
    EXPECT_GT(player.RenderedFrames(), frames);
    EXPECT_EQ(player.AudioDriverName(), "");
}

} // namespace

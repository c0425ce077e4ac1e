#include "player_control.h"

#include "playback_test_support.h"
#include "string_table.h"

namespace
{

// The form's player state over the real player, rendering into memory: each test walks rows of
// the state table and checks the flags, the caption the pause button shows, the messages, and
// what the synthesizer really does.
class PlayerControl : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_player = MakeManualPlayer();
        m_control = std::make_unique<CPlayerControl>(*m_player);
        m_control->SetCaptionObserver([this](const std::string& caption)
                                      { m_captions.push_back(caption); });
        m_strSong = WriteConvertedSong(m_folder, "bossa.mid");
    }

    void ExpectState(int deviceOpen, int paused, const char* caption)
    {
        EXPECT_EQ(m_control->m_bDeviceOpen, deviceOpen);
        EXPECT_EQ(m_control->m_bPaused, paused);
        EXPECT_EQ(m_control->PauseCaption(), caption);
    }

    // The captions set since the last call, in order.
    std::vector<std::string> TakeCaptions() { return std::exchange(m_captions, {}); }

    bool Sounds() { return Peak(RenderFrames(*m_player, FramesOf(1.0))) > 1000; }

    ScratchFolder m_folder;
    std::unique_ptr<CSequencerPlayer> m_player;
    std::unique_ptr<CPlayerControl> m_control;
    std::string m_strSong;
    CMessageRecorder m_messages;
    std::vector<std::string> m_captions;
};

using Captions = std::vector<std::string>;

TEST_F(PlayerControl, StartsClosedAndStartPlaysFromTheBeginning)
{
    ExpectState(0, 0, "STOP");
    m_control->OnStart(true, m_strSong);
    ExpectState(1, 0, "STOP");
    EXPECT_EQ(TakeCaptions(), Captions{"STOP"});
    EXPECT_TRUE(m_messages.Take().empty());
    EXPECT_TRUE(m_player->IsOpen());
    EXPECT_TRUE(Sounds());
}

TEST_F(PlayerControl, StartWithNoSongShowsTheLoadPromptAndChangesNothing)
{
    m_control->OnStart(false, m_strSong);
    EXPECT_EQ(m_messages.Take(), Captions{"ＭＩＤＩファイルを読みこんでください"});
    ExpectState(0, 0, "STOP");
    EXPECT_TRUE(TakeCaptions().empty());
    EXPECT_FALSE(m_player->IsOpen());

    // Nor does it touch a song that plays, nor a pause.
    m_control->OnStart(true, m_strSong);
    m_control->OnPause(true);
    TakeCaptions();
    m_control->OnStart(false, m_strSong);
    m_control->OnPause(false);
    EXPECT_EQ(m_messages.Take(),
              (Captions{LoadResString(IDS_LOAD_MIDI_FILE), LoadResString(IDS_LOAD_MIDI_FILE)}));
    ExpectState(1, 1, "CONTINUE");
    EXPECT_TRUE(TakeCaptions().empty());
    EXPECT_TRUE(m_player->IsPaused());
}

TEST_F(PlayerControl, PauseThenContinueStopsAndGoesOnAtTheSameTick)
{
    m_control->OnStart(true, m_strSong);
    RenderFrames(*m_player, FramesOf(2.0));
    TakeCaptions();

    m_control->OnPause(true);
    ExpectState(1, 1, "CONTINUE");
    EXPECT_EQ(TakeCaptions(), Captions{"CONTINUE"});
    const int tick = m_player->CurrentTick();
    EXPECT_FALSE(Sounds());
    EXPECT_EQ(m_player->CurrentTick(), tick);

    m_control->OnPause(true);
    ExpectState(1, 0, "STOP");
    EXPECT_EQ(TakeCaptions(), Captions{"STOP"});
    RenderFrames(*m_player, 256);
    EXPECT_GE(m_player->CurrentTick(), tick);
    EXPECT_LT(m_player->CurrentTick(), tick + 16);
    EXPECT_TRUE(Sounds());
    EXPECT_TRUE(m_messages.Take().empty());
}

TEST_F(PlayerControl, StartAgainOrWhilePausedPlaysFromTheStart)
{
    m_control->OnStart(true, m_strSong);
    RenderFrames(*m_player, FramesOf(2.0));
    m_control->OnStart(true, m_strSong);
    ExpectState(1, 0, "STOP");
    RenderFrames(*m_player, 256);
    EXPECT_LT(m_player->CurrentTick(), 16);

    RenderFrames(*m_player, FramesOf(2.0));
    m_control->OnPause(true);
    ExpectState(1, 1, "CONTINUE");
    TakeCaptions();
    m_control->OnStart(true, m_strSong);
    ExpectState(1, 0, "STOP");
    EXPECT_EQ(TakeCaptions(), Captions{"STOP"});
    RenderFrames(*m_player, 256);
    EXPECT_LT(m_player->CurrentTick(), 16);
    EXPECT_TRUE(Sounds());
    EXPECT_TRUE(m_messages.Take().empty());
}

TEST_F(PlayerControl, ConvertClosesTheDeviceAndKeepsThePauseAndCaption)
{
    m_control->OnStart(true, m_strSong);
    m_control->OnPause(true);
    TakeCaptions();
    m_control->CloseDevice();
    ExpectState(0, 1, "CONTINUE");
    EXPECT_TRUE(TakeCaptions().empty());
    EXPECT_FALSE(m_player->IsOpen());
    EXPECT_FALSE(Sounds());
    EXPECT_TRUE(m_messages.Take().empty());

    // CONTINUE now has no device: the error is shown and the flag and caption flip all the same.
    m_control->OnPause(true);
    EXPECT_EQ(m_messages.Take(), Captions{LoadResString(IDS_PLAYER_DEVICE_NOT_OPEN)});
    ExpectState(0, 0, "STOP");
    EXPECT_EQ(TakeCaptions(), Captions{"STOP"});
}

TEST_F(PlayerControl, InitialUpdateClearsBothFlagsAndKeepsTheCaption)
{
    m_control->OnStart(true, m_strSong);
    m_control->OnPause(true);
    TakeCaptions();
    m_control->ResetForInitialUpdate();
    ExpectState(0, 0, "CONTINUE");
    EXPECT_TRUE(TakeCaptions().empty());
    // The flag says closed, and so is the device: nothing is left that only START could stop.
    EXPECT_FALSE(m_player->IsOpen());
    EXPECT_FALSE(Sounds());
}

TEST_F(PlayerControl, PauseWithNoDeviceOpenReportsAndStillFlips)
{
    m_control->OnPause(true);
    EXPECT_EQ(m_messages.Take(), Captions{LoadResString(IDS_PLAYER_DEVICE_NOT_OPEN)});
    ExpectState(0, 1, "CONTINUE");
    m_control->OnPause(true);
    EXPECT_EQ(m_messages.Take(), Captions{LoadResString(IDS_PLAYER_DEVICE_NOT_OPEN)});
    ExpectState(0, 0, "STOP");
    EXPECT_EQ(TakeCaptions(), (Captions{"CONTINUE", "STOP"}));
}

TEST_F(PlayerControl, AFailedStartShowsWhyAndKeepsThePause)
{
    m_control->OnStart(true, m_strSong);
    m_control->OnPause(true);
    TakeCaptions();
    const std::string missing = m_folder.File("gone.mid");
    m_control->OnStart(true, missing);
    const auto messages = m_messages.Take();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(missing), std::string::npos) << messages[0];
    // The caption was set before the open failed; the pause flag keeps its value.
    ExpectState(0, 1, "STOP");
    EXPECT_EQ(TakeCaptions(), Captions{"STOP"});
    EXPECT_FALSE(Sounds());

    // START before any conversion has written the file has no file name to open.
    m_control->OnStart(true, "");
    EXPECT_EQ(m_messages.Take(), Captions{LoadResString(IDS_PLAYER_NO_SONG_PATH)});
    ExpectState(0, 1, "STOP");

    // And the next good START plays.
    m_control->OnStart(true, m_strSong);
    ExpectState(1, 0, "STOP");
    EXPECT_TRUE(Sounds());
}

TEST_F(PlayerControl, DestroyingTheFormClosesAnOpenDevice)
{
    m_control->OnStart(true, m_strSong);
    RenderFrames(*m_player, FramesOf(1.0));
    m_control.reset();
    EXPECT_FALSE(m_player->IsOpen());
    EXPECT_FALSE(Sounds());
}

} // namespace

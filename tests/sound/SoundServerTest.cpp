#include "sound/SoundServer.h"

#include "core/Config.h"
#include "core/FileLayer.h"
#include "core/Log.h"
#include "platform/Registry.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <string>

namespace {

// Records what the server asks of the audio library. Sample data "bad" does not load; music data
// "len=N" is a track N seconds long, anything else does not load.
class FakeBackend : public Sound::Backend {
  public:
    struct Channel {
        Sound::SampleHandle sample;
        bool loop, paused = false, stopped = false;
    };
    struct Track {
        double length;
        uint32_t volume = 100;
        int plays = 0;
        bool playing = false;
    };

    bool openResult = true;
    int opens = 0, closes = 0, sampleLoads = 0, musicLoads = 0;
    uint32_t masterMusic = 0, masterSound = 0;
    std::map<Sound::SampleHandle, std::string> samples;
    std::map<Sound::ChannelHandle, Channel> channels;
    std::map<Sound::MusicHandle, Track> tracks;

    bool Open() override {
        ++opens;
        return openResult;
    }
    int ErrorCode() override { return 7; }
    std::string ErrorText() override { return openResult ? "" : "no such device"; }
    void Close() override {
        ++closes; // a closed device forgets its playbacks and data
        channels.clear(), tracks.clear(), samples.clear();
    }
    void SetMasterVolumes(uint32_t music, uint32_t sound) override {
        masterMusic = music, masterSound = sound;
    }
    Sound::SampleHandle LoadSample(const uint8_t* data, uint32_t size) override {
        ++sampleLoads;
        const std::string bytes(reinterpret_cast<const char*>(data), size);
        if (bytes == "bad") return 0;
        samples[next_] = bytes;
        return next_++;
    }
    void FreeSample(Sound::SampleHandle) override {}
    int Playbacks(Sound::SampleHandle sample) override {
        return Count([&](const Channel& c) { return c.sample == sample; });
    }
    Sound::ChannelHandle PlaySample(Sound::SampleHandle sample, bool loop) override {
        channels[next_] = {sample, loop};
        return next_++;
    }
    void StopSample(Sound::SampleHandle sample) override {
        for (auto& [h, c] : channels)
            c.stopped |= c.sample == sample;
    }
    void StopChannel(Sound::ChannelHandle channel) override { channels.at(channel).stopped = true; }
    void PauseChannel(Sound::ChannelHandle channel) override { channels.at(channel).paused = true; }
    void ResumeChannel(Sound::ChannelHandle channel) override { channels.at(channel).paused = false; }
    Sound::MusicHandle LoadMusic(const uint8_t* data, uint32_t size) override {
        ++musicLoads;
        const std::string bytes(reinterpret_cast<const char*>(data), size);
        if (bytes.rfind("len=", 0) != 0) return 0;
        tracks[next_] = {std::stod(bytes.substr(4))};
        return next_++;
    }
    void FreeMusic(Sound::MusicHandle) override {}
    void PlayMusic(Sound::MusicHandle music) override {
        ++tracks.at(music).plays, tracks.at(music).playing = true;
    }
    void StopMusic(Sound::MusicHandle music) override { tracks.at(music).playing = false; }
    void SetMusicVolume(Sound::MusicHandle music, uint32_t volume) override {
        tracks.at(music).volume = volume;
    }
    double MusicLength(Sound::MusicHandle music) override { return tracks.at(music).length; }
    double MusicPosition(Sound::MusicHandle) override { return -1.0; }

    // Playbacks of the sample with these bytes that have not been stopped.
    int Sounding(const std::string& data) const {
        return Count([&](const Channel& c) { return samples.at(c.sample) == data; });
    }
    const Track* Playing() const {
        for (auto& [h, t] : tracks)
            if (t.playing) return &t;
        return nullptr;
    }

  private:
    template <class F> int Count(F match) const {
        int n = 0;
        for (auto& [h, c] : channels)
            n += match(c) && !c.stopped;
        return n;
    }
    uint32_t next_ = 1;
};

class SoundServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Platform::SetRegistryRoot(dir / "registry");
        ASSERT_TRUE(g_Settings.OpenKey("Software\\Quillmarsh\\Parlorix\\Options"));
        Log::Start(dir.path() + "/");
        FileLayer::UnmountAll();
    }
    void TearDown() override {
        Sound::Shutdown();
        Log::Reset();
        Platform::SetRegistryRoot("");
    }

    // Starts the server on a fake over `files` (path under Data/Library, contents) and keeps a view
    // of it (owned by the server until Shutdown).
    FakeBackend& Start(std::initializer_list<std::pair<const char*, const char*>> files = {},
                       bool device = true) {
        for (const auto& [path, bytes] : files)
            dir.Write(std::string("Data/Library/") + path, bytes);
        auto fake = std::make_unique<FakeBackend>();
        fake->openResult = device;
        FakeBackend& ref = *fake;
        EXPECT_TRUE(Sound::Start(std::move(fake)));
        return ref;
    }

    // Plays the first of two tracks through to the second.
    static void IntoTheSecondTrack() {
        Sound::Update(0.0f);
        for (int i = 0; i < 70 && Sound::CurrentTrack() == 0; ++i)
            Sound::Update(1.0f);
        Sound::Update(0.0f);
    }

    std::string LogText() const { return dir.Read(Log::Path().substr(dir.path().size() + 1)); }

    TempDir dir;
};

TEST_F(SoundServerTest, StartReadsCappedVolumesAndListsFilesWithoutLoadingThem) {
    g_Settings.WriteDword(250, "SoundVolume");
    g_Settings.WriteDword(70, "MusicVolume");
    FakeBackend& fake = Start({{"Sound/bonuce.ogg", "b"},
                               {"Sound/menu/move_menu.ogg", "m"},
                               {"Sound/readme.txt", "x"},
                               {"Music/a.it", "len=10"},
                               {"Music/b.mo3", "len=10"},
                               {"Music/c.ogg", "len=10"}});
    EXPECT_EQ(Sound::GetSoundVolume(), 100u);
    EXPECT_EQ(Sound::GetMusicVolume(), 70u);
    EXPECT_EQ(fake.masterMusic, 70u);
    EXPECT_EQ(fake.masterSound, 100u);
    EXPECT_EQ(Sound::SampleCount(), 2u);
    EXPECT_EQ(Sound::TrackCount(), 2u);
    EXPECT_EQ(Sound::CurrentTrack(), 0);
    EXPECT_EQ(Sound::CurrentMusicState(), Sound::MusicStart);
    EXPECT_EQ(fake.sampleLoads + fake.musicLoads, 0);

    // Volumes set later are capped and reach the library at the next update.
    Sound::SetMusicVolume(101);
    EXPECT_EQ(Sound::GetMusicVolume(), 100u);
    Sound::SetMusicVolume(30);
    Sound::SetSoundVolume(0);
    EXPECT_EQ(fake.masterMusic, 70u);
    Sound::Update(0.016f);
    EXPECT_EQ(fake.masterMusic, 30u);
    EXPECT_EQ(fake.masterSound, 0u);

    // A sample in a sub-folder is known by its bare file name.
    Sound::Play("move_menu");
    EXPECT_EQ(fake.Sounding("m"), 1);
}

TEST_F(SoundServerTest, SamplesLoadOnceByTheirExactNameAndBrokenOnesAreRetried) {
    FakeBackend& fake = Start({{"Sound/good.ogg", "g"}, {"Sound/broken.ogg", "bad"}});
    EXPECT_EQ(Sound::GetMusicVolume(), 100u) << "nothing stored: full volume";
    Sound::Play("Good");
    EXPECT_EQ(fake.sampleLoads, 0);
    EXPECT_NE(LogText().find("Sound Server: File not found Good\n"), std::string::npos);
    Sound::Play("good");
    Sound::Play("good");
    EXPECT_EQ(fake.sampleLoads, 1);
    EXPECT_EQ(fake.Sounding("g"), 2);

    Sound::Play("broken");
    Sound::Play("broken");
    EXPECT_EQ(fake.sampleLoads, 3);
    EXPECT_NE(LogText().find("Error loading sound: Data\\Library\\Sound\\broken.ogg (7)\n"),
              std::string::npos);
    EXPECT_EQ(fake.channels.size(), 2u);
}

TEST_F(SoundServerTest, AtMostTenPlaybacksOfOneSample) {
    FakeBackend& fake = Start({{"Sound/click.ogg", "c"}, {"Sound/other.ogg", "o"}});
    for (int i = 0; i < 12; ++i)
        Sound::Play("click");
    EXPECT_EQ(fake.Sounding("c"), 10);
    Sound::Play("other");
    EXPECT_EQ(fake.Sounding("o"), 1);
    // When one ends, the next may start.
    fake.channels.begin()->second.stopped = true;
    Sound::Play("click");
    EXPECT_EQ(fake.Sounding("c"), 10);
    EXPECT_EQ(fake.channels.size(), 12u);
}

TEST_F(SoundServerTest, LoopingSoundStopsAtTheUpdateAfterItsFlagClears) {
    FakeBackend& fake = Start({{"Sound/hum.ogg", "h"}, {"Sound/ding.ogg", "d"}});
    uint8_t first = 1, second = 1;
    Sound::Play("hum", &first);
    Sound::Play("hum", &second);
    Sound::Play("hum"); // a one-shot of the same sample
    ASSERT_EQ(fake.channels.size(), 3u);
    EXPECT_TRUE(fake.channels.begin()->second.loop);
    EXPECT_FALSE(fake.channels.rbegin()->second.loop);

    Sound::Update(0.016f);
    EXPECT_EQ(fake.Sounding("h"), 3);
    first = 0;
    EXPECT_EQ(fake.Sounding("h"), 3); // nothing happens before the frame's update
    Sound::Update(0.016f);
    EXPECT_EQ(Sound::LoopingCount(), 1u);
    // Only the playback tied to the cleared flag ends.
    EXPECT_EQ(fake.Sounding("h"), 2);

    // A flag about to disappear is forgotten at once.
    Sound::ForgetFlag(&second);
    EXPECT_EQ(Sound::LoopingCount(), 0u);
    EXPECT_EQ(fake.Sounding("h"), 1);

    // Stopping all samples stops every playback of the looping samples, one-shots included.
    first = 1;
    Sound::Play("hum", &first);
    Sound::Play("ding");
    Sound::StopAllSamples();
    EXPECT_EQ(Sound::LoopingCount(), 0u);
    EXPECT_EQ(fake.Sounding("h"), 0);
    EXPECT_EQ(fake.Sounding("d"), 1);
}

TEST_F(SoundServerTest, PlaylistWithOneTrackFadesOutBeforeItsEndAndStartsAgain) {
    FakeBackend& fake = Start({{"Music/theme.it", "len=10"}});
    Sound::Update(0.0f);
    ASSERT_EQ(Sound::CurrentMusicState(), Sound::MusicFadingIn);
    const FakeBackend::Track* t = fake.Playing();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->plays, 1);

    Sound::Update(0.5f);
    EXPECT_EQ(t->volume, 50u);
    Sound::Update(0.5f);
    EXPECT_EQ(Sound::CurrentMusicState(), Sound::MusicPlaying);
    EXPECT_EQ(t->volume, 100u);

    // 9 s remain after the fade-in; the fade-out begins when fewer than 2 are left.
    Sound::Update(6.5f);
    EXPECT_EQ(Sound::CurrentMusicState(), Sound::MusicPlaying);
    Sound::Update(0.6f);
    EXPECT_EQ(Sound::CurrentMusicState(), Sound::MusicFadingOut);
    Sound::Update(0.25f);
    EXPECT_EQ(t->volume, 75u);
    EXPECT_TRUE(t->playing);
    Sound::Update(0.75f);
    EXPECT_FALSE(t->playing);
    EXPECT_EQ(Sound::CurrentTrack(), 0);
    EXPECT_EQ(Sound::CurrentMusicState(), Sound::MusicStart);

    Sound::Update(0.0f);
    EXPECT_TRUE(t->playing);
    EXPECT_EQ(t->plays, 2);
    EXPECT_EQ(fake.musicLoads, 1);
}

TEST_F(SoundServerTest, PlaylistMovesOnPastATrackThatDoesNotLoad) {
    FakeBackend& fake = Start({{"Music/a.it", "bad"}, {"Music/b.it", "len=5"}});
    Sound::Update(0.0f);
    EXPECT_EQ(Sound::CurrentMusicState(), Sound::MusicFadingIn);
    EXPECT_EQ(fake.Playing(), nullptr);
    for (int i = 0; i < 5 && Sound::CurrentTrack() == 0; ++i)
        Sound::Update(0.6f);
    EXPECT_EQ(Sound::CurrentTrack(), 1);
    Sound::Update(0.0f);
    ASSERT_NE(fake.Playing(), nullptr);
    EXPECT_DOUBLE_EQ(fake.Playing()->length, 5.0);
}

TEST_F(SoundServerTest, DeactivationPausesLoopsAndStopsMusicActivationRestartsTheList) {
    FakeBackend& fake = Start({{"Sound/hum.ogg", "h"},
                               {"Sound/ding.ogg", "d"},
                               {"Music/a.it", "len=60"},
                               {"Music/b.it", "len=60"}});
    uint8_t flag = 1;
    Sound::Play("hum", &flag);
    Sound::Play("ding");
    IntoTheSecondTrack();
    ASSERT_EQ(Sound::CurrentTrack(), 1);
    ASSERT_NE(fake.Playing(), nullptr);

    Sound::PauseAllChannels();
    Sound::StopMusic();
    for (auto& [h, c] : fake.channels)
        EXPECT_EQ(c.paused, c.loop);
    EXPECT_EQ(fake.Playing(), nullptr);

    Sound::ResumeAllChannels();
    Sound::RestartMusic();
    for (auto& [h, c] : fake.channels)
        EXPECT_FALSE(c.paused);
    EXPECT_EQ(Sound::CurrentTrack(), 0);
    EXPECT_EQ(Sound::CurrentMusicState(), Sound::MusicStart);
    Sound::Update(0.0f);
    ASSERT_NE(fake.Playing(), nullptr);
    EXPECT_EQ(fake.Playing()->plays, 2);
    EXPECT_EQ(fake.Sounding("h"), 1);
}

TEST_F(SoundServerTest, SuspendClosesTheDeviceAndResumeBringsBackTheLoopsStillWanted) {
    FakeBackend& fake = Start({{"Sound/hum.ogg", "h"},
                               {"Sound/buzz.ogg", "z"},
                               {"Sound/ding.ogg", "d"},
                               {"Music/a.it", "len=60"},
                               {"Music/b.it", "len=60"}});
    uint8_t hum = 1, buzz = 1, forgotten = 1;
    Sound::Play("hum", &hum);
    Sound::Play("buzz", &buzz);
    Sound::Play("ding", &forgotten);
    IntoTheSecondTrack();
    ASSERT_NE(fake.Playing(), nullptr);

    Sound::Suspend();
    EXPECT_EQ(fake.closes, 1);
    EXPECT_TRUE(fake.channels.empty());
    EXPECT_EQ(fake.Playing(), nullptr);
    // Nothing reaches a closed device, and a second suspend closes nothing more.
    Sound::Play("ding");
    Sound::Update(1.0f);
    Sound::DeviceChanged(true);
    Sound::Suspend();
    EXPECT_EQ(fake.opens, 1);
    EXPECT_EQ(fake.closes, 1);
    EXPECT_TRUE(fake.channels.empty());
    // While away, one loop is no longer wanted and another's owner lets go of it.
    buzz = 0;
    Sound::ForgetFlag(&forgotten);

    Sound::Resume();
    Sound::RestartMusic();
    EXPECT_EQ(fake.opens, 2);
    EXPECT_EQ(fake.Sounding("h"), 1);
    EXPECT_EQ(fake.channels.size(), 1u);
    EXPECT_EQ(Sound::LoopingCount(), 1u);
    EXPECT_EQ(fake.masterSound, 100u);
    Sound::Update(0.0f);
    ASSERT_NE(fake.Playing(), nullptr);
    EXPECT_EQ(Sound::CurrentTrack(), 0);
    hum = 0;
    Sound::Update(0.0f);
    EXPECT_EQ(fake.Sounding("h"), 0);

    // No device on return: silent with the reason, and taken again once one appears.
    Sound::Suspend();
    fake.openResult = false;
    Sound::Resume();
    EXPECT_FALSE(Sound::SamplesAvailable());
    EXPECT_NE(LogText().find("Sound Server: no audio device: no such device\n"), std::string::npos);
    fake.openResult = true;
    Sound::DeviceChanged(false);
    EXPECT_TRUE(Sound::MusicAvailable());
}

TEST_F(SoundServerTest, LostDeviceIsReopenedAndTheMusicGoesOnFromTheCurrentTrack) {
    FakeBackend& fake =
        Start({{"Sound/bonuce.ogg", "b"}, {"Music/a.it", "len=60"}, {"Music/b.it", "len=90"}});
    IntoTheSecondTrack();
    ASSERT_EQ(Sound::CurrentTrack(), 1);
    uint8_t keep = 1;
    Sound::Play("bonuce", &keep);

    // Unplugged, and the default device opens again.
    Sound::DeviceChanged(true);
    EXPECT_EQ(fake.opens, 2);
    EXPECT_EQ(Sound::LoopingCount(), 0u);
    EXPECT_NE(LogText().find("Sound Server: the audio device went away; opening the default device again\n"),
              std::string::npos);
    EXPECT_NE(LogText().find("Sound Server: audio device open\n"), std::string::npos);
    EXPECT_EQ(Sound::CurrentTrack(), 1);
    EXPECT_EQ(Sound::CurrentMusicState(), Sound::MusicStart);
    Sound::Update(0.0f);
    ASSERT_NE(fake.Playing(), nullptr);
    EXPECT_EQ(fake.Playing()->length, 90.0); // the track the playlist stood at, loaded anew
    Sound::Play("bonuce");
    EXPECT_EQ(fake.Sounding("b"), 1);

    // A device appearing while one plays changes nothing.
    Sound::DeviceChanged(false);
    EXPECT_EQ(fake.opens, 2);

    // Gone with nothing to take its place: silent, with the reason; a new device brings it back.
    fake.openResult = false;
    Sound::DeviceChanged(true);
    EXPECT_FALSE(Sound::SamplesAvailable());
    EXPECT_NE(LogText().find("Sound Server: no audio device: no such device\n"), std::string::npos);
    fake.openResult = true;
    Sound::DeviceChanged(false);
    EXPECT_TRUE(Sound::SamplesAvailable());
    EXPECT_TRUE(Sound::MusicAvailable());
}

TEST_F(SoundServerTest, WithoutADeviceEverythingIsSkippedSilentlyUntilOneAppears) {
    FakeBackend& fake = Start({{"Sound/bonuce.ogg", "b"}, {"Music/a.it", "len=60"}}, false);
    EXPECT_NE(LogText().find("Sound Server: BASS failed: 7\n"), std::string::npos);
    EXPECT_NE(LogText().find("Sound Server: no such device\n"), std::string::npos);
    EXPECT_FALSE(Sound::SamplesAvailable());
    EXPECT_FALSE(Sound::MusicAvailable());
    EXPECT_EQ(Sound::SampleCount(), 0u);
    Sound::Play("bonuce");
    Sound::Play("nothing");
    Sound::RestartMusic();
    Sound::Update(1.0f);
    EXPECT_TRUE(fake.channels.empty());
    EXPECT_TRUE(fake.tracks.empty());
    EXPECT_EQ(LogText().find("File not found"), std::string::npos);

    fake.openResult = true;
    Sound::DeviceChanged(false);
    EXPECT_NE(LogText().find("Sound Server: an audio device appeared; opening it\n"), std::string::npos);
    EXPECT_EQ(Sound::SampleCount(), 1u);
    EXPECT_EQ(Sound::TrackCount(), 1u);
    Sound::Play("bonuce");
    EXPECT_EQ(fake.Sounding("b"), 1);
    Sound::Update(0.0f);
    EXPECT_NE(fake.Playing(), nullptr);
}

} // namespace

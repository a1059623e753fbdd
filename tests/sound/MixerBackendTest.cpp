#include "sound/SoundBackend.h"
#include "support/Prerequisite.h"

#include <gtest/gtest.h>

#include <SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

// Two seconds of 8-bit mono silence as a RIFF WAVE file.
std::vector<uint8_t> Wave() {
    const uint32_t rate = 11025, n = rate * 2;
    std::vector<uint8_t> v(44 + n, 0x80);
    std::memcpy(&v[0], "RIFF    WAVEfmt ", 16);
    std::memcpy(&v[36], "data", 4);
    const uint32_t fields[][3] = {{4, 36 + n, 4}, {16, 16, 4}, {20, 1, 2}, {22, 1, 2}, {24, rate, 4},
                                  {28, rate, 4},  {32, 1, 2},  {34, 8, 2}, {40, n, 4}}; // at, value, bytes
    for (const auto& [at, value, bytes] : fields)
        for (uint32_t i = 0; i < bytes; ++i)
            v[at + i] = static_cast<uint8_t>(value >> (8 * i));
    return v;
}

// A file of the generated content ("Music/x.it", "Sound/x.ogg"); empty when missing.
std::vector<uint8_t> Content(const std::string& name) {
    const char* data = std::getenv("PARLORIX_DATA_DIR");
    const std::string path = std::string(data ? data : "") + "/Data/Library/" + name;
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << "no generated content at " << path;
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

// What the mixer hands to the device, seen through its post-mix hook (16-bit samples).
struct MixPeak {
    std::atomic<int> peak{0};
    std::atomic<int> buffers{0};
    std::atomic<int> clipped{0}; // samples at full scale
    static void Hook(void* user, Uint8* stream, int len) {
        auto* self = static_cast<MixPeak*>(user);
        const auto* samples = reinterpret_cast<const int16_t*>(stream);
        int m = 0, full = 0;
        for (int i = 0; i < len / 2; ++i) {
            m = std::max(m, std::abs(static_cast<int>(samples[i])));
            full += samples[i] >= 32767 || samples[i] <= -32767;
        }
        self->peak = std::max(self->peak.load(), m);
        self->clipped += full;
        ++self->buffers;
    }
    // The loudest sample of the next `count` buffers mixed; -1 when the device mixes nothing.
    int Measure(int count) {
        peak = 0;
        clipped = 0;
        const int start = buffers;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (buffers - start < count) {
            if (std::chrono::steady_clock::now() > deadline) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return peak;
    }
};

class MixerBackendTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Headless, whatever the runner passed on.
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        mixer = Sound::CreateMixerBackend();
        if (!mixer->Open()) PARLORIX_MISSING("no audio output, not even the dummy driver");
    }
    void TearDown() override {
        Mix_SetPostMix(nullptr, nullptr);
        if (song) mixer->FreeMusic(song);
        mixer->Close();
    }
    // The game's own music playing at full volume from its first row, as the player hears it, with
    // what the mixer hands to the device measured.
    void PlaySong() {
        std::vector<uint8_t> module = Content("Music/bright_bricks.it");
        ASSERT_FALSE(module.empty());
        song = mixer->LoadMusic(module.data(), static_cast<uint32_t>(module.size()));
        ASSERT_NE(song, 0u) << "no tracker decoder in this SDL_mixer";
        module.assign(module.size(), 0); // the backend keeps its own copy: the decoder reads it while playing
        Mix_SetPostMix(MixPeak::Hook, &mix);
        mixer->SetMasterVolumes(100, 100);
        mixer->PlayMusic(song);
    }
    std::unique_ptr<Sound::Backend> mixer;
    Sound::MusicHandle song = 0;
    MixPeak mix;
};

TEST_F(MixerBackendTest, SamplesPlayStopAndForgetReusedChannels) {
    std::vector<uint8_t> wave = Wave();
    Sound::SampleHandle beep = mixer->LoadSample(wave.data(), static_cast<uint32_t>(wave.size()));
    ASSERT_NE(beep, 0u);
    const uint8_t junk[] = "not a sound";
    EXPECT_EQ(mixer->LoadSample(junk, sizeof junk), 0u);

    Sound::ChannelHandle a = mixer->PlaySample(beep, true);
    Sound::ChannelHandle b = mixer->PlaySample(beep, false);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_EQ(mixer->Playbacks(beep), 2);
    mixer->PauseChannel(a);
    EXPECT_EQ(mixer->Playbacks(beep), 2);
    mixer->ResumeChannel(a);
    mixer->StopChannel(a);
    EXPECT_EQ(mixer->Playbacks(beep), 1);

    mixer->StopSample(beep);
    EXPECT_EQ(mixer->Playbacks(beep), 0);
    // The old handle's channel now plays something else; stopping through it does nothing.
    Sound::ChannelHandle c = mixer->PlaySample(beep, true);
    mixer->StopChannel(a);
    mixer->StopChannel(b);
    EXPECT_EQ(mixer->Playbacks(beep), 1);
    mixer->StopChannel(c);
    EXPECT_EQ(mixer->Playbacks(beep), 0);
    mixer->FreeSample(beep);
    EXPECT_EQ(mixer->PlaySample(beep, false), 0u);
}

TEST_F(MixerBackendTest, MusicAtVolumeZeroMixesNothingAndComesBackAbove) {
    ASSERT_NO_FATAL_FAILURE(PlaySong());
    const double length = mixer->MusicLength(song);
    EXPECT_TRUE(length < 0.0 || length > 5.0) << length << " s; the decoder may not know it: then -1";
    ASSERT_GT(mix.Measure(8), 0) << "the test song is silent, or the device mixes nothing";
    // The tracker player keeps a floor above zero of its own: at 0 not one sample may be heard.
    mixer->SetMasterVolumes(0, 100);
    mix.Measure(2); // the buffer being mixed when the volume changed
    EXPECT_EQ(mix.Measure(8), 0);
    mixer->SetMusicVolume(song, 0);
    mixer->SetMasterVolumes(100, 100);
    EXPECT_EQ(mix.Measure(8), 0) << "the track's own volume is 0 (a fade's start)";
    mixer->SetMusicVolume(song, 100);
    mix.Measure(2);
    EXPECT_GT(mix.Measure(8), 0) << "the music did not come back above 0";
    mixer->StopMusic(song);
    mixer->FreeMusic(song);
    EXPECT_LT(mixer->MusicLength(song), 0.0);
    song = 0;
}

TEST_F(MixerBackendTest, FullVolumeMusicWithEffectsOnTopLeavesHeadroom) {
    ASSERT_NO_FATAL_FAILURE(PlaySong());
    std::vector<Sound::SampleHandle> effects;
    for (const char* name :
         {"bomb1.ogg", "line_delete2.ogg", "next_level1.ogg", "cheers.ogg", "tornado.ogg"}) {
        std::vector<uint8_t> ogg = Content(std::string("Sound/") + name);
        effects.push_back(mixer->LoadSample(ogg.data(), static_cast<uint32_t>(ogg.size())));
        ASSERT_NE(effects.back(), 0u) << name;
    }
    mix.Measure(4);
    // The loudest moment of a game: a bomb, a line, a level-up, cheers and the broom at once.
    for (int round = 0; round < 3; ++round) {
        for (Sound::SampleHandle e : effects)
            mixer->PlaySample(e, false);
        const int peak = mix.Measure(40);
        std::printf("round %d: peak %d (%.1f dBFS), %d samples at full scale\n", round, peak,
                    20.0 * std::log10(std::max(peak, 1) / 32768.0), mix.clipped.load());
        EXPECT_EQ(mix.clipped.load(), 0) << "round " << round;
        EXPECT_GT(peak, 0);
        for (Sound::SampleHandle e : effects)
            mixer->StopSample(e);
    }
    for (Sound::SampleHandle e : effects)
        mixer->FreeSample(e);
}

} // namespace

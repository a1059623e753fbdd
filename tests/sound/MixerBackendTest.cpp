#include "sound/SoundBackend.h"
#include "support/Prerequisite.h"

#include <gtest/gtest.h>

#include <SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

void Put16(std::vector<uint8_t>& v, size_t at, uint16_t x) {
    v[at] = x & 0xFF;
    v[at + 1] = x >> 8;
}
void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v[at + i] = (x >> (8 * i)) & 0xFF;
}

// Two seconds of 8-bit mono silence as a RIFF WAVE file.
std::vector<uint8_t> Wave() {
    const uint32_t rate = 11025, n = rate * 2;
    std::vector<uint8_t> v(44 + n, 0x80);
    std::memcpy(&v[0], "RIFF", 4);
    Put32(v, 4, 36 + n);
    std::memcpy(&v[8], "WAVEfmt ", 8);
    Put32(v, 16, 16);
    Put16(v, 20, 1);
    Put16(v, 22, 1);
    Put32(v, 24, rate);
    Put32(v, 28, rate);
    Put16(v, 32, 1);
    Put16(v, 34, 8);
    std::memcpy(&v[36], "data", 4);
    Put32(v, 40, n);
    return v;
}

// A one-pattern tracker module: one quiet sample, one note, 64 rows at speed 6 / tempo 125.
std::vector<uint8_t> Module() {
    const size_t header = 0xC0, tables = 2 + 4 + 4, sampleAt = header + tables, patternAt = sampleAt + 0x50;
    const std::vector<uint8_t> packed = [] {
        std::vector<uint8_t> p = {0x81, 0x01, 60, 0};
        p.resize(4 + 63, 0);
        return p;
    }();
    const size_t dataAt = patternAt + 8 + packed.size(), pcm = 256;
    std::vector<uint8_t> v(dataAt + pcm, 0);
    std::memcpy(&v[0], "IMPM", 4);
    Put16(v, 0x20, 2);      // orders
    Put16(v, 0x22, 0);      // instruments
    Put16(v, 0x24, 1);      // samples
    Put16(v, 0x26, 1);      // patterns
    Put16(v, 0x28, 0x0214); // made with / compatible with
    Put16(v, 0x2A, 0x0214);
    Put16(v, 0x2C, 0x09); // stereo, linear slides
    v[0x30] = 128;        // global volume
    v[0x31] = 48;         // mixing volume
    v[0x32] = 6;          // speed
    v[0x33] = 125;        // tempo
    v[0x34] = 128;        // separation
    for (int i = 0; i < 64; ++i) {
        v[0x40 + i] = 32;
        v[0x80 + i] = 64;
    }
    v[header] = 0;
    v[header + 1] = 255;
    Put32(v, header + 2, static_cast<uint32_t>(sampleAt));
    Put32(v, header + 6, static_cast<uint32_t>(patternAt));
    std::memcpy(&v[sampleAt], "IMPS", 4);
    v[sampleAt + 0x11] = 64;
    v[sampleAt + 0x12] = 0x01;
    v[sampleAt + 0x13] = 8;
    v[sampleAt + 0x2E] = 0x01;
    Put32(v, sampleAt + 0x30, pcm);
    Put32(v, sampleAt + 0x3C, 8363);
    Put32(v, sampleAt + 0x48, static_cast<uint32_t>(dataAt));
    Put16(v, patternAt, static_cast<uint16_t>(packed.size()));
    Put16(v, patternAt + 2, 64);
    std::memcpy(&v[patternAt + 8], packed.data(), packed.size());
    return v;
}

class MixerBackendTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Headless, whatever the runner passed on.
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        mixer = Sound::CreateMixerBackend();
        if (!mixer->Open()) PARLORIX_MISSING("no audio output, not even the dummy driver");
    }
    void TearDown() override { mixer->Close(); }
    std::unique_ptr<Sound::Backend> mixer;
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

TEST_F(MixerBackendTest, TrackerMusicReportsItsLength) {
    std::vector<uint8_t> module = Module();
    Sound::MusicHandle song = mixer->LoadMusic(module.data(), static_cast<uint32_t>(module.size()));
    if (song == 0) PARLORIX_MISSING("no tracker decoder in this SDL_mixer");
    double length = mixer->MusicLength(song);
    if (length >= 0.0) {
        EXPECT_GT(length, 6.0);
        EXPECT_LT(length, 10.0);
    }
    mixer->SetMasterVolumes(50, 50);
    mixer->SetMusicVolume(song, 20);
    mixer->PlayMusic(song);
    mixer->StopMusic(song);
    mixer->FreeMusic(song);
    EXPECT_LT(mixer->MusicLength(song), 0.0);
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

TEST_F(MixerBackendTest, MusicAtVolumeZeroMixesNothingAndComesBackAbove) {
    // The game's own music: it plays from its first row, as the player hears it.
    std::vector<uint8_t> module = Content("Music/bright_bricks.it");
    ASSERT_FALSE(module.empty());
    Sound::MusicHandle song = mixer->LoadMusic(module.data(), static_cast<uint32_t>(module.size()));
    ASSERT_NE(song, 0u) << "no tracker decoder in this SDL_mixer";
    MixPeak mix;
    Mix_SetPostMix(MixPeak::Hook, &mix);
    mixer->SetMasterVolumes(100, 100);
    mixer->PlayMusic(song);
    const int loud = mix.Measure(8);
    ASSERT_GT(loud, 0) << "the test song is silent, or the device mixes nothing";
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
    Mix_SetPostMix(nullptr, nullptr);
    mixer->StopMusic(song);
    mixer->FreeMusic(song);
}

TEST_F(MixerBackendTest, FullVolumeMusicWithEffectsOnTopLeavesHeadroom) {
    std::vector<uint8_t> module = Content("Music/bright_bricks.it");
    ASSERT_FALSE(module.empty());
    Sound::MusicHandle song = mixer->LoadMusic(module.data(), static_cast<uint32_t>(module.size()));
    ASSERT_NE(song, 0u);
    std::vector<Sound::SampleHandle> effects;
    for (const char* name :
         {"bomb1.ogg", "line_delete2.ogg", "next_level1.ogg", "cheers.ogg", "tornado.ogg"}) {
        std::vector<uint8_t> ogg = Content(std::string("Sound/") + name);
        effects.push_back(mixer->LoadSample(ogg.data(), static_cast<uint32_t>(ogg.size())));
        ASSERT_NE(effects.back(), 0u) << name;
    }
    MixPeak mix;
    Mix_SetPostMix(MixPeak::Hook, &mix);
    mixer->SetMasterVolumes(100, 100);
    mixer->PlayMusic(song);
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
    Mix_SetPostMix(nullptr, nullptr);
    mixer->StopMusic(song);
    mixer->FreeMusic(song);
    for (Sound::SampleHandle e : effects)
        mixer->FreeSample(e);
}

} // namespace

#include <SDL.h>
#include <SDL_mixer.h>
#include <libmodplug/modplug.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "sound/SoundBackend.h"

namespace Sound {
namespace {

// The volume settings (0 to 100) are heard in steps of equal loudness: 3 dB a step of 10, silent
// at 0. Music and effects each leave headroom, so the loudest moment of a game (music at full with
// several effects on top) never reaches full scale.
constexpr double kDbPerPercent = 0.3;
constexpr double kMusicHeadroom = 0.45;  // -7 dB
constexpr double kEffectsHeadroom = 0.3; // -10 dB
int Gain(uint32_t percent, double headroom) {
    if (percent == 0) return 0;
    const double db = (static_cast<double>(std::min<uint32_t>(percent, 100)) - 100.0) * kDbPerPercent;
    return static_cast<int>(std::lround(std::pow(10.0, db / 20.0) * headroom * MIX_MAX_VOLUME));
}

constexpr int kChannels = 64;

// SDL_mixer gives the tracker library its eight-tap resampler, whose mixing of the title music
// was half of what the game costs while idle. The cubic one costs a third less and differs from
// it by -73 dB on our songs. The setting is the library's own, for every song, so it is applied
// after each opening of the mixer, which sets it again.
void UseCubicTrackerResampling() {
    ModPlug_Settings settings;
    ModPlug_GetSettings(&settings);
    settings.mResamplingMode = MODPLUG_RESAMPLE_SPLINE;
    ModPlug_SetSettings(&settings);
}

// Channel handles carry the channel's play count, so a handle kept after its channel was reused
// for another sound does nothing.
ChannelHandle MakeChannelHandle(int channel, uint32_t generation) {
    return ((generation & 0xFFFFFFu) << 8) | static_cast<uint32_t>(channel + 1);
}

class MixerBackend final : public Backend {
  public:
    ~MixerBackend() override {
        if (!leftForExit_) Close();
    }

    bool Open() override {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            error_ = SDL_GetError();
            return false;
        }
        audioInit_ = true;
        Mix_Init(MIX_INIT_OGG | MIX_INIT_MOD);
        if (Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 1024) != 0) {
            error_ = Mix_GetError();
            Mix_Quit();
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            audioInit_ = false;
            return false;
        }
        open_ = true;
        UseCubicTrackerResampling();
        appliedSound_ = appliedMusic_ = appliedTrack_ = kNotApplied;
        Mix_AllocateChannels(kChannels);
        generations_.assign(kChannels, 0);
        return true;
    }

    int ErrorCode() override { return -1; }
    std::string ErrorText() override { return error_; }

    void Close() override {
        if (open_) {
            HaltAndFree();
            Mix_CloseAudio();
            Mix_Quit();
            open_ = false;
        }
        if (audioInit_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audioInit_ = false;
    }

    void CloseForExit() override {
        if (!open_) return Close();
        // Once every channel and the music are halted the mixing callback touches nothing of ours,
        // so what it played can be freed while the device's thread goes on until the process ends.
        HaltAndFree();
        open_ = false;
        leftForExit_ = true;
    }

    void SetMasterVolumes(uint32_t music, uint32_t sound) override {
        masterMusic_ = music;
        // The server passes its volumes on every frame; the channels keep theirs, so only a change
        // reaches the mixer.
        if (sound != appliedSound_) {
            Mix_Volume(-1, Gain(sound, kEffectsHeadroom));
            appliedSound_ = sound;
        }
        ApplyMusicVolume();
    }

    SampleHandle LoadSample(const uint8_t* data, uint32_t size) override {
        SDL_RWops* rw = SDL_RWFromConstMem(data, static_cast<int>(size));
        if (!rw) return 0;
        Mix_Chunk* chunk = Mix_LoadWAV_RW(rw, 1);
        if (!chunk) return 0;
        SampleHandle h = ++nextHandle_;
        samples_[h] = chunk;
        return h;
    }

    void FreeSample(SampleHandle sample) override {
        auto it = samples_.find(sample);
        if (it == samples_.end()) return;
        StopSample(sample);
        Mix_FreeChunk(it->second);
        samples_.erase(it);
    }

    int Playbacks(SampleHandle sample) override {
        Mix_Chunk* chunk = Chunk(sample);
        int n = 0;
        for (int ch = 0; ch < kChannels; ++ch)
            if (chunk && Mix_Playing(ch) && Mix_GetChunk(ch) == chunk) ++n;
        return n;
    }

    ChannelHandle PlaySample(SampleHandle sample, bool loop) override {
        Mix_Chunk* chunk = Chunk(sample);
        if (!chunk) return 0;
        int ch = Mix_PlayChannel(-1, chunk, loop ? -1 : 0);
        if (ch < 0 || ch >= kChannels) return 0;
        return MakeChannelHandle(ch, ++generations_[ch]);
    }

    void StopSample(SampleHandle sample) override {
        Mix_Chunk* chunk = Chunk(sample);
        if (!chunk) return;
        for (int ch = 0; ch < kChannels; ++ch)
            if (Mix_Playing(ch) && Mix_GetChunk(ch) == chunk) Mix_HaltChannel(ch);
    }

    void StopChannel(ChannelHandle channel) override {
        int ch = Channel(channel);
        if (ch >= 0) Mix_HaltChannel(ch);
    }
    void PauseChannel(ChannelHandle channel) override {
        int ch = Channel(channel);
        if (ch >= 0) Mix_Pause(ch);
    }
    void ResumeChannel(ChannelHandle channel) override {
        int ch = Channel(channel);
        if (ch >= 0) Mix_Resume(ch);
    }

    MusicHandle LoadMusic(const uint8_t* data, uint32_t size) override {
        // Tracker decoders may read from the source while playing: keep our own copy alive.
        Track t;
        t.data.assign(data, data + size);
        SDL_RWops* rw = SDL_RWFromConstMem(t.data.data(), static_cast<int>(t.data.size()));
        if (!rw) return 0;
        t.music = Mix_LoadMUS_RW(rw, 1);
        if (!t.music) return 0;
        MusicHandle h = ++nextHandle_;
        music_[h] = std::move(t);
        return h;
    }

    void FreeMusic(MusicHandle music) override {
        auto it = music_.find(music);
        if (it == music_.end()) return;
        if (playing_ == music) {
            Mix_HaltMusic();
            playing_ = 0;
        }
        Mix_FreeMusic(it->second.music);
        music_.erase(it);
    }

    void PlayMusic(MusicHandle music) override {
        auto it = music_.find(music);
        if (it == music_.end()) return;
        if (Mix_PlayMusic(it->second.music, -1) == 0) {
            playing_ = music;
            mutedPause_ = false; // a new track starts unpaused
            ApplyMusicVolume();
        }
    }

    void StopMusic(MusicHandle music) override {
        if (music == 0 || playing_ != music) return;
        Mix_HaltMusic();
        playing_ = 0;
    }

    void SetMusicVolume(MusicHandle music, uint32_t volume) override {
        auto it = music_.find(music);
        if (it == music_.end()) return;
        it->second.volume = volume;
        ApplyMusicVolume();
    }

    double MusicLength(MusicHandle music) override {
        auto it = music_.find(music);
        if (it == music_.end()) return -1.0;
        return Mix_MusicDuration(it->second.music);
    }

    double MusicPosition(MusicHandle music) override {
        auto it = music_.find(music);
        if (it == music_.end() || playing_ != music) return -1.0;
        return Mix_GetMusicPosition(it->second.music);
    }

  private:
    void HaltAndFree() {
        Mix_HaltChannel(-1);
        Mix_HaltMusic();
        for (auto& [h, chunk] : samples_)
            Mix_FreeChunk(chunk);
        for (auto& [h, m] : music_)
            Mix_FreeMusic(m.music);
        samples_.clear();
        music_.clear();
    }

    struct Track {
        std::vector<uint8_t> data;
        Mix_Music* music = nullptr;
        uint32_t volume = 100;
    };

    Mix_Chunk* Chunk(SampleHandle h) const {
        auto it = samples_.find(h);
        return it == samples_.end() ? nullptr : it->second;
    }

    int Channel(ChannelHandle h) const {
        int ch = static_cast<int>(h & 0xFF) - 1;
        if (ch < 0 || ch >= kChannels || (generations_[ch] & 0xFFFFFFu) != (h >> 8)) return -1;
        return ch;
    }

    // SDL_mixer has one music volume: the master music volume times the playing track's own.
    void ApplyMusicVolume() {
        uint32_t track = 100;
        auto it = music_.find(playing_);
        if (it != music_.end()) track = it->second.volume;
        // Every new track takes the mixer's one music volume, so an unchanged one is left alone.
        if (masterMusic_ == appliedMusic_ && track == appliedTrack_ && playing_ == appliedPlaying_) return;
        appliedMusic_ = masterMusic_;
        appliedTrack_ = track;
        appliedPlaying_ = playing_;
        const int volume = static_cast<int>(std::lround(Gain(masterMusic_, kMusicHeadroom) * track / 100.0));
        Mix_VolumeMusic(volume);
        // The tracker player floors its own volume above zero, so music at 0 would still be heard:
        // it is paused instead, and resumed where it stood once the volume is above 0 again.
        if (volume == 0 && playing_ && !mutedPause_) {
            Mix_PauseMusic();
            mutedPause_ = true;
        } else if ((volume > 0 || !playing_) && mutedPause_) {
            Mix_ResumeMusic();
            mutedPause_ = false;
        }
    }

    std::string error_;
    bool audioInit_ = false;
    bool open_ = false;
    bool leftForExit_ = false; // the device stays open and locked until the process ends
    uint32_t nextHandle_ = 0;
    uint32_t masterMusic_ = 100;
    MusicHandle playing_ = 0;
    bool mutedPause_ = false; // the music is paused because its volume is 0
    // What the mixer was last given; kNotApplied after the device (re)opens.
    static constexpr uint32_t kNotApplied = UINT32_MAX;
    uint32_t appliedSound_ = kNotApplied, appliedMusic_ = kNotApplied, appliedTrack_ = kNotApplied;
    MusicHandle appliedPlaying_ = 0;
    std::vector<uint32_t> generations_;
    std::map<SampleHandle, Mix_Chunk*> samples_;
    std::map<MusicHandle, Track> music_;
};

} // namespace

std::unique_ptr<Backend> CreateMixerBackend() {
    return std::make_unique<MixerBackend>();
}

} // namespace Sound

#pragma once
#include <cstdint>
#include <memory>
#include <string>

// The audio library under the sound server. The server's bookkeeping (sample table, looping
// list, playlist states and fades) lives above this seam so it runs without an audio device.
namespace Sound {

using SampleHandle = uint32_t;  // 0 = none
using ChannelHandle = uint32_t; // 0 = none; stale handles are ignored
using MusicHandle = uint32_t;   // 0 = none

class Backend {
  public:
    virtual ~Backend() = default;

    // Opens the output device; false when there is none.
    [[nodiscard]] virtual bool Open() = 0;
    // A number for the log after a failure.
    virtual int ErrorCode() = 0;
    // The library's own words for the last failure ("" when it has none).
    virtual std::string ErrorText() { return {}; }
    virtual void Close() = 0;
    // The process is about to end: playback stops and nothing plays again, but the device is
    // left for the system to close (closing it waits out the device's current buffer).
    virtual void CloseForExit() { Close(); }

    // Master volumes, 0..100 each: music for tracker music, sound for samples.
    virtual void SetMasterVolumes(uint32_t music, uint32_t sound) = 0;

    // Samples are decoded from memory; the caller's buffer may be freed afterwards.
    virtual SampleHandle LoadSample(const uint8_t* data, uint32_t size) = 0;
    virtual void FreeSample(SampleHandle sample) = 0;
    // Playbacks of the sample now sounding (paused ones included).
    virtual int Playbacks(SampleHandle sample) = 0;
    virtual ChannelHandle PlaySample(SampleHandle sample, bool loop) = 0;
    // Stops every playback of the sample.
    virtual void StopSample(SampleHandle sample) = 0;
    virtual void StopChannel(ChannelHandle channel) = 0;
    virtual void PauseChannel(ChannelHandle channel) = 0;
    virtual void ResumeChannel(ChannelHandle channel) = 0;

    // Tracker music; the backend keeps its own copy of the data.
    virtual MusicHandle LoadMusic(const uint8_t* data, uint32_t size) = 0;
    virtual void FreeMusic(MusicHandle music) = 0;
    // From the beginning, looping.
    virtual void PlayMusic(MusicHandle music) = 0;
    virtual void StopMusic(MusicHandle music) = 0;
    // The track's own volume 0..100, on top of the master music volume.
    virtual void SetMusicVolume(MusicHandle music, uint32_t volume) = 0;
    // Seconds; negative when the library cannot tell.
    virtual double MusicLength(MusicHandle music) = 0;
    virtual double MusicPosition(MusicHandle music) = 0;

    // Once per frame, after everything else.
    virtual void Update() {}
};

// SDL2_mixer.
std::unique_ptr<Backend> CreateMixerBackend();

} // namespace Sound

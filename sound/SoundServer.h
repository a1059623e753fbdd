#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "sound/SoundBackend.h"

// Sampled sounds by name ("Data\Library\Sound\*.ogg", names compared exactly) and an endless
// playlist of tracker music ("Data\Library\Music") with fades. Silent when there is no device.
namespace Sound {

// Reads `SoundVolume` and `MusicVolume` from the settings store, opens the device, lists the
// sound and music files (nothing is decoded yet). Always true. nullptr = SDL2_mixer.
[[nodiscard]] bool Start(std::unique_ptr<Backend> backend = nullptr);
// Clears both tables, stops and frees the output. `processEnds`: the process exits next, so the
// device is silenced and left open instead of waited on (the caller must not quit SDL's audio).
void Shutdown(bool processEnds = false);
// An audio output device went away (`removed`) or appeared: the default device is opened again
// (when one appeared, only while the server runs silent), every sound reloads on its next play and
// the playlist's current track starts again. What happened is logged with the library's reason.
void DeviceChanged(bool removed);

// Plays the named sample once. With a flag, it loops until the flag reads 0 at a frame update.
void Play(const char* name, const uint8_t* keepPlaying = nullptr);
// Stops the looping sound tied to this flag at once and forgets the flag; call it before the
// flag's memory goes away.
void ForgetFlag(const uint8_t* keepPlaying);
// Stops every looping sound (every playback of its sample) and empties the looping list.
void StopAllSamples();
// The looping sounds only (application deactivation, game panels).
void PauseAllChannels();
void ResumeAllChannels();

// Application deactivation: closes the output so no audio thread runs while the game is in the
// background, remembering the looping sounds. Resume opens it again and starts those loops whose
// flag is still set; the music starts wherever the playlist is told to (RestartMusic).
void Suspend();
void Resume();

// Back to the first track, which starts at the next update (application activation).
void RestartMusic();
// Stops the current track (application deactivation).
void StopMusic();

// Once per frame with the elapsed seconds: applies the volumes, ends looping sounds whose flag
// was cleared, advances the playlist.
void Update(float dt);

// 0..100; the options screen changes them, the next update applies them.
uint32_t GetSoundVolume();
uint32_t GetMusicVolume();
void SetSoundVolume(uint32_t volume);
void SetMusicVolume(uint32_t volume);

// Both false when no audio device could be opened.
bool SamplesAvailable();
bool MusicAvailable();

// Playlist state of the current track: 0 start, 3 fading in, 1 playing, 2 fading out.
enum MusicState : int { MusicStart = 0, MusicPlaying = 1, MusicFadingOut = 2, MusicFadingIn = 3 };
int CurrentMusicState();
// Index of the current track in the playlist, -1 when there is none.
int CurrentTrack();
size_t TrackCount();
size_t SampleCount();
size_t LoopingCount();

} // namespace Sound

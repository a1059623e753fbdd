#include "sound/SoundServer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/Config.h"
#include "core/FileLayer.h"
#include "core/Log.h"

namespace Sound {
namespace {

constexpr int kMaxPlaybacks = 10;
// Each track starts fading out this long before its end.
constexpr float kFadeOutLead = 2.0f;

struct Record {
    std::string name; // file name without folder and extension
    std::string path;
    uint32_t handle = 0; // 0 until first played
};

struct PlaylistEntry {
    size_t record = 0; // index into the music table
    int state = MusicStart;
    float t = 0.0f;
    MusicHandle channel = 0;
};

struct LoopingSound {
    ChannelHandle channel;
    SampleHandle sample;
    const uint8_t* flag;
};

struct SuspendedLoop {
    size_t record; // index into the sample table
    const uint8_t* flag;
};

struct Server {
    std::unique_ptr<Backend> backend;
    std::vector<Record> samples;
    std::vector<Record> music;
    std::vector<PlaylistEntry> playlist;
    size_t current = 0;
    std::vector<LoopingSound> looping;
    uint32_t soundVolume = 100;
    uint32_t musicVolume = 100;
    bool samplesAvailable = true;
    bool musicAvailable = true;
    bool suspended = false;
    std::vector<SuspendedLoop> suspendedLoops;
};

Server s;

std::string BaseName(const char* path) {
    std::string p(path);
    size_t slash = p.find_last_of("\\/");
    if (slash != std::string::npos) p.erase(0, slash + 1);
    size_t dot = p.find_last_of('.');
    if (dot != std::string::npos) p.erase(dot);
    return p;
}

void AddSample(const char* fileName, void*) {
    s.samples.push_back({BaseName(fileName), fileName, 0});
}

void AddMusic(const char* fileName, void*) {
    s.music.push_back({BaseName(fileName), fileName, 0});
    PlaylistEntry e;
    e.record = s.music.size() - 1;
    s.playlist.push_back(e);
}

uint32_t ReadVolume(const char* name) {
    uint32_t v = 100;
    if (!g_Settings.ReadDword(v, name)) return 100;
    return std::min<uint32_t>(v, 100);
}

void ApplyVolumes() {
    s.backend->SetMasterVolumes(s.musicVolume, s.soundVolume);
}

bool Running() {
    return s.backend != nullptr;
}

uint32_t Percent(float fraction) {
    return static_cast<uint32_t>(std::clamp(fraction * 100.0f, 0.0f, 100.0f));
}

void AdvancePlaylist(float dt) {
    PlaylistEntry& e = s.playlist[s.current];
    Record& rec = s.music[e.record];
    switch (e.state) {
    case MusicStart: {
        e.state = MusicFadingIn;
        if (rec.handle == 0) {
            FileBuffer file(rec.path.c_str());
            if (file.ok()) rec.handle = s.backend->LoadMusic(file.data(), file.size());
        }
        e.channel = rec.handle;
        if (e.channel != 0) {
            // Start silent and let the fade-in raise it.
            s.backend->SetMusicVolume(e.channel, 0);
            s.backend->PlayMusic(e.channel);
            // One line a track: where the playlist stands shows in the log.
            LogMsg("Sound Server: music '%s' started\n", rec.name.c_str());
        }
        e.t = 0.0f;
        break;
    }
    case MusicFadingIn:
        e.t += dt;
        if (e.channel) s.backend->SetMusicVolume(e.channel, Percent(e.t));
        if (e.t >= 1.0f) {
            if (e.channel) s.backend->SetMusicVolume(e.channel, 100);
            e.state = MusicPlaying;
            // Count down the time left in the track, so it fades out just before its end. A track
            // of unknown length loops until something else stops it; one that did not load has
            // nothing left and moves on.
            if (e.channel == 0) {
                e.t = 0.0f;
            } else {
                double length = s.backend->MusicLength(e.channel);
                double pos = s.backend->MusicPosition(e.channel);
                if (pos < 0.0) pos = e.t;
                e.t = length < 0.0 ? std::numeric_limits<float>::max() : static_cast<float>(length - pos);
            }
        }
        break;
    case MusicPlaying:
        e.t -= dt;
        if (e.t < kFadeOutLead) {
            e.t = 0.0f;
            e.state = MusicFadingOut;
        }
        break;
    case MusicFadingOut:
        e.t += dt;
        if (e.channel) s.backend->SetMusicVolume(e.channel, Percent(1.0f - e.t));
        if (e.t >= 1.0f) {
            if (e.channel) s.backend->StopMusic(e.channel);
            s.current = (s.current + 1) % s.playlist.size();
            PlaylistEntry& next = s.playlist[s.current];
            next.state = MusicStart;
            next.t = 0.0f;
        }
        break;
    default:
        e.state = MusicStart;
        break;
    }
}

void ListFiles() {
    FileLayer::Enumerate("Data\\Library\\Sound", "ogg", AddSample, nullptr);
    FileLayer::Enumerate("Data\\Library\\Music", "mo3 it", AddMusic, nullptr);
    s.current = 0;
}

// Whatever the closed device held is gone with it: sounds and tracks load again when next played.
void CloseDevice() {
    s.looping.clear();
    for (Record& r : s.samples)
        r.handle = 0;
    for (Record& r : s.music)
        r.handle = 0;
    for (PlaylistEntry& e : s.playlist)
        e.channel = 0;
    s.backend->Close();
}

// False (silent, with the library's reason logged) when no device opens.
bool ReopenDevice() {
    if (!s.backend->Open()) {
        const std::string why = s.backend->ErrorText();
        LogMsg("Sound Server: no audio device: %s\n", why.empty() ? "unknown reason" : why.c_str());
        s.samplesAvailable = false;
        s.musicAvailable = false;
        return false;
    }
    s.samplesAvailable = true;
    s.musicAvailable = true;
    ApplyVolumes();
    return true;
}

// The sample's handle, loading it on its first play; 0 (logged) when it does not load.
SampleHandle Loaded(Record& rec) {
    if (rec.handle == 0) {
        FileBuffer file(rec.path.c_str());
        if (file.ok()) rec.handle = s.backend->LoadSample(file.data(), file.size());
        if (rec.handle == 0)
            LogMsg("Error loading sound: %s (%d)\n", rec.path.c_str(), s.backend->ErrorCode());
    }
    return rec.handle;
}

} // namespace

bool Start(std::unique_ptr<Backend> backend) {
    if (Running()) Shutdown();
    s = Server{};
    s.soundVolume = ReadVolume("SoundVolume");
    s.musicVolume = ReadVolume("MusicVolume");
    s.backend = backend ? std::move(backend) : CreateMixerBackend();
    if (!s.backend->Open()) {
        LogMsg("Sound Server: BASS failed: %d\n", s.backend->ErrorCode());
        const std::string why = s.backend->ErrorText();
        if (!why.empty()) LogMsg("Sound Server: %s\n", why.c_str());
        s.samplesAvailable = false;
        s.musicAvailable = false;
        return true;
    }
    ApplyVolumes();
    ListFiles();
    return true;
}

void DeviceChanged(bool removed) {
    // A suspended server opens whichever device is the default when it resumes.
    if (!Running() || s.suspended) return;
    const bool open = s.samplesAvailable || s.musicAvailable;
    if (open && !removed) return;
    LogMsg(removed ? "Sound Server: the audio device went away; opening the default device again\n"
                   : "Sound Server: an audio device appeared; opening it\n");
    CloseDevice();
    if (!ReopenDevice()) return;
    if (s.samples.empty() && s.music.empty()) {
        ListFiles(); // started without a device: nothing was listed yet
    } else if (!s.playlist.empty()) {
        // The playlist goes on from the track it stands at.
        s.playlist[s.current].state = MusicStart;
        s.playlist[s.current].t = 0.0f;
    }
    LogMsg("Sound Server: audio device open\n");
}

void Suspend() {
    if (!Running() || s.suspended || !(s.samplesAvailable || s.musicAvailable)) return;
    s.suspendedLoops.clear();
    for (const LoopingSound& l : s.looping) {
        auto it = std::find_if(s.samples.begin(), s.samples.end(),
                               [&](const Record& r) { return r.handle == l.sample; });
        if (it != s.samples.end())
            s.suspendedLoops.push_back({static_cast<size_t>(it - s.samples.begin()), l.flag});
    }
    StopMusic();
    CloseDevice();
    s.suspended = true;
}

void Resume() {
    if (!Running() || !s.suspended) return;
    s.suspended = false;
    std::vector<SuspendedLoop> loops;
    loops.swap(s.suspendedLoops);
    if (!ReopenDevice()) return;
    // A loop's flag outlives the pause only if its owner did not call ForgetFlag meanwhile.
    for (const SuspendedLoop& l : loops) {
        if (*l.flag == 0) continue;
        const SampleHandle sample = Loaded(s.samples[l.record]);
        const ChannelHandle channel = sample ? s.backend->PlaySample(sample, true) : 0;
        if (channel) s.looping.push_back({channel, sample, l.flag});
    }
}

void Shutdown(bool processEnds) {
    if (!Running()) return;
    for (const LoopingSound& l : s.looping)
        s.backend->StopChannel(l.channel);
    s.looping.clear();
    if (!s.playlist.empty() && s.playlist[s.current].channel)
        s.backend->StopMusic(s.playlist[s.current].channel);
    for (const Record& r : s.samples)
        if (r.handle) s.backend->FreeSample(r.handle);
    for (const Record& r : s.music)
        if (r.handle) s.backend->FreeMusic(r.handle);
    s.samples.clear();
    s.music.clear();
    s.playlist.clear();
    if (processEnds)
        s.backend->CloseForExit();
    else
        s.backend->Close();
    s.backend.reset();
}

void Play(const char* name, const uint8_t* keepPlaying) {
    if (!Running() || s.suspended || !s.samplesAvailable || !name) return;
    auto it =
        std::find_if(s.samples.begin(), s.samples.end(), [&](const Record& r) { return r.name == name; });
    if (it == s.samples.end()) {
        LogMsg("Sound Server: File not found %s\n", name);
        return;
    }
    if (Loaded(*it) == 0) return;
    if (s.backend->Playbacks(it->handle) >= kMaxPlaybacks) return;
    ChannelHandle channel = s.backend->PlaySample(it->handle, keepPlaying != nullptr);
    if (keepPlaying && channel) s.looping.push_back({channel, it->handle, keepPlaying});
}

void ForgetFlag(const uint8_t* keepPlaying) {
    if (!Running()) return;
    std::erase_if(s.suspendedLoops, [&](const SuspendedLoop& l) { return l.flag == keepPlaying; });
    std::erase_if(s.looping, [&](const LoopingSound& l) {
        if (l.flag != keepPlaying) return false;
        s.backend->StopChannel(l.channel);
        return true;
    });
}

void StopAllSamples() {
    if (!Running()) return;
    s.suspendedLoops.clear();
    for (const LoopingSound& l : s.looping)
        s.backend->StopSample(l.sample);
    s.looping.clear();
}

void PauseAllChannels() {
    if (!Running()) return;
    for (const LoopingSound& l : s.looping)
        s.backend->PauseChannel(l.channel);
}

void ResumeAllChannels() {
    if (!Running()) return;
    for (const LoopingSound& l : s.looping)
        s.backend->ResumeChannel(l.channel);
}

void RestartMusic() {
    if (!Running() || !s.musicAvailable || s.playlist.empty()) return;
    // Whatever was sounding gives way to the first track.
    PlaylistEntry& cur = s.playlist[s.current];
    if (cur.channel && cur.state != MusicStart) s.backend->StopMusic(cur.channel);
    s.current = 0;
    s.playlist[0].state = MusicStart;
    s.playlist[0].t = 0.0f;
}

void StopMusic() {
    if (!Running() || !s.musicAvailable || s.playlist.empty()) return;
    PlaylistEntry& cur = s.playlist[s.current];
    if (cur.channel) s.backend->StopMusic(cur.channel);
}

void Update(float dt) {
    if (!Running() || s.suspended) return;
    if (s.samplesAvailable || s.musicAvailable) ApplyVolumes();
    // Only the channel tied to the cleared flag stops: other playbacks of the same sample, looping
    // or not, belong to other callers.
    std::erase_if(s.looping, [](const LoopingSound& l) {
        if (*l.flag != 0) return false;
        s.backend->StopChannel(l.channel);
        return true;
    });
    if (!s.playlist.empty() && s.musicAvailable) AdvancePlaylist(dt);
    s.backend->Update();
}

uint32_t GetSoundVolume() {
    return s.soundVolume;
}
uint32_t GetMusicVolume() {
    return s.musicVolume;
}
void SetSoundVolume(uint32_t volume) {
    s.soundVolume = std::min<uint32_t>(volume, 100);
}
void SetMusicVolume(uint32_t volume) {
    s.musicVolume = std::min<uint32_t>(volume, 100);
}

bool SamplesAvailable() {
    return s.samplesAvailable;
}
bool MusicAvailable() {
    return s.musicAvailable;
}

int CurrentMusicState() {
    return s.playlist.empty() ? MusicStart : s.playlist[s.current].state;
}
int CurrentTrack() {
    return s.playlist.empty() ? -1 : static_cast<int>(s.current);
}
size_t TrackCount() {
    return s.playlist.size();
}
size_t SampleCount() {
    return s.samples.size();
}
size_t LoopingCount() {
    return s.looping.size();
}

} // namespace Sound

// gen-sounds: synthesizes the game's sound effects and encodes them as Ogg Vorbis.
//
//   gen-sounds <sounds.ini> <output folder>
//
// Every section of the recipe is one sound, written as <section>.ogg. Its "layerN" keys are the
// voices mixed into it, each "kind key=value ...":
//   tone   FM tone: f0, f1 (pitch glides exponentially from f0 to f1), ratio and index (FM modulator
//          frequency ratio and depth, the depth dying away with the note), vibrato (Hz), attack
//   noise  noise through a resonant band-pass whose centre glides from f0 to f1, with q
//   claps  `count` short filtered noise bursts spread over the layer, around f0
// and the keys every layer has: start, dur (seconds), amp, attack, release (decay shape: the
// envelope falls exponentially, reaching -60 dB at the layer's end; release > 1 holds it longer).
// The mix is soft-clipped and normalised to `peak` (default 0.8). Same recipe, same files.
#include "gen-common/Audio.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr float kPi = 3.14159265f;

struct Noise {
    uint32_t s;
    explicit Noise(uint32_t seed) : s(seed * 747796405u + 2891336453u) {}
    float Next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return float(s & 0xFFFFFF) / float(0x800000) - 1.f;
    }
};

// Chamberlin state-variable filter, band-pass output.
struct Svf {
    float low = 0, band = 0;
    float Run(float in, float freq, float q) {
        float f = 2 * std::sin(kPi * std::min(freq, float(kRate) / 6) / float(kRate));
        float damp = 1.f / std::max(0.5f, q);
        low += f * band;
        float high = in - low - damp * band;
        band += f * high;
        return band;
    }
};

using Params = std::map<std::string, float>;

float P(const Params& p, const char* k, float def) {
    auto it = p.find(k);
    return it == p.end() ? def : it->second;
}

float Envelope(float t, float dur, float attack, float release) {
    if (t < 0 || t > dur) return 0;
    float a = attack > 0 ? std::min(1.f, t / attack) : 1.f;
    // -60 dB at the end, shaped by release
    float d = std::exp(-6.9f * std::pow(t / dur, release));
    float tail = std::min(1.f, (dur - t) / 0.004f); // no click at the cut
    return a * d * tail;
}

void Layer(std::vector<float>& out, const std::string& kind, const Params& p, uint32_t seed) {
    float start = P(p, "start", 0), dur = P(p, "dur", 0.3f), amp = P(p, "amp", 0.5f);
    float attack = P(p, "attack", 0.004f), release = P(p, "release", 1.f);
    float f0 = P(p, "f0", 440), f1 = P(p, "f1", f0);
    size_t first = size_t(start * kRate), n = size_t(dur * kRate);
    if (out.size() < first + n) out.resize(first + n, 0.f);
    if (kind == "tone") {
        float ratio = P(p, "ratio", 0), index = P(p, "index", 0), vib = P(p, "vibrato", 0);
        float phase = 0, mphase = 0;
        for (size_t i = 0; i < n; ++i) {
            float t = float(i) / kRate;
            float f = f0 * std::pow(f1 / f0, t / dur) * (1 + 0.006f * std::sin(2 * kPi * vib * t));
            float env = Envelope(t, dur, attack, release);
            float mod = ratio > 0 ? std::sin(mphase) * index * std::exp(-3.f * t / dur) : 0.f;
            out[first + i] += amp * env * std::sin(phase + mod);
            phase += 2 * kPi * f / kRate;
            mphase += 2 * kPi * f * ratio / kRate;
            if (phase > 2 * kPi) phase -= 2 * kPi;
            if (mphase > 2 * kPi) mphase -= 2 * kPi;
        }
    } else if (kind == "noise") {
        float q = P(p, "q", 2);
        Noise nz(seed);
        Svf svf;
        for (size_t i = 0; i < n; ++i) {
            float t = float(i) / kRate;
            float f = f0 * std::pow(f1 / f0, t / dur);
            out[first + i] += amp * Envelope(t, dur, attack, release) * svf.Run(nz.Next(), f, q);
        }
    } else if (kind == "claps") {
        int count = int(P(p, "count", 20));
        Noise nz(seed);
        Noise place(seed + 77);
        for (int c = 0; c < count; ++c) {
            size_t at = size_t((place.Next() * 0.5f + 0.5f) * float(n) * 0.85f);
            float cf = f0 * (0.7f + 0.6f * (place.Next() * 0.5f + 0.5f));
            float a = amp * (0.5f + 0.5f * (place.Next() * 0.5f + 0.5f));
            Svf svf;
            size_t len = size_t(0.045f * kRate);
            for (size_t i = 0; i < len && at + i < n; ++i) {
                float t = float(i) / kRate;
                // the whole crowd swells and fades with the layer
                float crowd = Envelope(float(at + i) / kRate, dur, attack, release);
                out[first + at + i] += a * crowd * std::exp(-t / 0.008f) * svf.Run(nz.Next(), cf, 1.5f) * 3.f;
            }
        }
    } else {
        std::fprintf(stderr, "gen-sounds: unknown layer kind '%s'\n", kind.c_str());
        std::exit(1);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: gen-sounds <sounds.ini> <output folder>\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "gen-sounds: cannot read %s\n", argv[1]);
        return 1;
    }
    // section -> (key -> value), in file order
    std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> sounds;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            sounds.push_back({line.substr(1, line.find(']') - 1), {}});
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos || sounds.empty()) continue;
        auto trim = [](std::string s) {
            size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
            return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
        };
        sounds.back().second.push_back({trim(line.substr(0, eq)), trim(line.substr(eq + 1))});
    }
    int written = 0;
    for (const auto& [name, keys] : sounds) {
        std::vector<float> mix;
        float peak = 0.8f;
        uint32_t seed = 1;
        for (char c : name)
            seed = seed * 131 + uint32_t(c);
        for (const auto& [k, v] : keys) {
            if (k == "peak") {
                peak = std::stof(v);
                continue;
            }
            if (k.rfind("layer", 0) != 0) continue;
            std::istringstream is(v);
            std::string kind, kv;
            is >> kind;
            Params p;
            while (is >> kv) {
                size_t e = kv.find('=');
                if (e != std::string::npos) p[kv.substr(0, e)] = std::stof(kv.substr(e + 1));
            }
            Layer(mix, kind, p, seed++);
        }
        if (mix.empty()) {
            std::fprintf(stderr, "gen-sounds: %s has no layers\n", name.c_str());
            return 1;
        }
        float m = 0;
        for (float& s : mix) {
            s = std::tanh(s * 1.2f);
            m = std::max(m, std::fabs(s));
        }
        for (float& s : mix)
            s *= m > 0 ? peak / m : 1.f;
        mix.resize(mix.size() + kRate / 50, 0.f); // a short silence so the last block is complete
        std::string path = std::string(argv[2]) + "/" + name + ".ogg";
        if (!Gen::WriteOgg(path, mix, 1, kRate, 0.45f)) {
            std::fprintf(stderr, "gen-sounds: cannot write %s\n", path.c_str());
            return 1;
        }
        ++written;
    }
    std::printf("gen-sounds: %d sounds\n", written);
    return 0;
}

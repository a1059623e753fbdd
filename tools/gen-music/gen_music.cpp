// gen-music: writes the game's music as tracker modules in the Impulse Tracker (".it") format.
//
//   gen-music <output folder> <song file>...
//
// The instruments are synthesized samples (an FM mallet for the lead, a bell for arpeggios, a
// looped additive pad, an FM bass, kick, snare and hi-hat). A song file (content/music/*.song)
// gives the tempo, the key, the chords of each section, the lead melody and the patterns of bass
// and drums; each section becomes one 64-row pattern (4 bars of 16 rows) and the form becomes
// the order list, which the player loops from the end back to the start.
//
// Song file keys ("key = value"; ';' starts a comment line):
//   title, tempo (BPM), speed (ticks per row), key (C, D, Eb, ...), scale (major or minor)
//   form = A A B A ...                      the order of sections
//   chords.<S> = C Am F G                   one chord per bar of section S
//   lead.<S> = 16 steps per bar, 4 bars     1-7 scale degrees, q w e r t y u an octave up,
//                                           '-' hold, '.' rest (the note rings on), x cut, '|' ignored
//   bass.<S>, kick.<S>, snare.<S>, hat.<S>, arp.<S>, pad.<S>   one bar of 16 steps, repeated:
//     bass: R root, F fifth, O octave, T third; drums: x hit, o soft hit; arp: 1 on (chord tones
//     in turn); pad: x (chord held through the bar), anything else off
// A section without a drum/bass/arp/pad pattern plays none of that part.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979;

struct Sample {
    std::string name;
    std::vector<int16_t> pcm;
    double c5speed = kRate;
    bool loop = false;
    uint32_t loopBegin = 0, loopEnd = 0;
    int volume = 64;
};

int16_t Clip(double v) {
    v = std::max(-1.0, std::min(1.0, v));
    return int16_t(std::lround(v * 32000));
}

struct Rng {
    uint32_t s = 12345;
    double Next() {
        s = s * 1664525u + 1013904223u;
        return double(s >> 8) / double(1 << 24) * 2 - 1;
    }
};

// All tonal samples are made at 44100 / 168 = 262.5 Hz, so 168 samples hold one period exactly and
// a harmonic sound loops without a seam; C5Speed retunes the sample to middle C.
constexpr double kBaseHz = double(kRate) / 168.0;
constexpr double kMiddleC = 261.6256;

Sample Mallet() {
    Sample s{"Mallet lead", {}, kRate * kMiddleC / kBaseHz};
    int n = int(0.9 * kRate);
    for (int i = 0; i < n; ++i) {
        double t = double(i) / kRate;
        double env = std::exp(-t * 5.5) * std::min(1.0, t / 0.002);
        double mod = std::sin(2 * kPi * kBaseHz * 4.0 * t) * 2.2 * std::exp(-t * 18);
        double v = std::sin(2 * kPi * kBaseHz * t + mod) * 0.8 +
                   std::sin(2 * kPi * kBaseHz * 2 * t) * 0.15 * std::exp(-t * 8);
        s.pcm.push_back(Clip(v * env));
    }
    return s;
}

Sample Bell() {
    Sample s{"Bell", {}, kRate * kMiddleC / kBaseHz};
    int n = int(1.2 * kRate);
    for (int i = 0; i < n; ++i) {
        double t = double(i) / kRate;
        double env = std::exp(-t * 3.5) * std::min(1.0, t / 0.002);
        double mod = std::sin(2 * kPi * kBaseHz * 3.5 * t) * 1.6 * std::exp(-t * 4);
        s.pcm.push_back(Clip(std::sin(2 * kPi * kBaseHz * t + mod) * 0.7 * env));
    }
    s.volume = 48;
    return s;
}

Sample Pad() {
    // Additive: harmonics with a soft roll-off and slow beating between pairs of partials that
    // share the loop's period; attack in the head, then a loop of whole periods.
    Sample s{"Warm pad", {}, kRate * kMiddleC / kBaseHz};
    int head = 168 * 40, body = 168 * 250;
    for (int i = 0; i < head + body; ++i) {
        double t = double(i) / kRate;
        double v = 0;
        for (int h = 1; h <= 9; ++h) {
            double amp = 1.0 / (h * h * 0.6 + 0.4);
            double wob = 1 + 0.25 * std::sin(2 * kPi * (double(h % 3 + 1) * kBaseHz / 168.0 * 2) * t);
            v += amp * wob * std::sin(2 * kPi * kBaseHz * h * t + h * 0.7);
        }
        double env = std::min(1.0, double(i) / head);
        s.pcm.push_back(Clip(v * 0.35 * env));
    }
    s.loop = true;
    s.loopBegin = uint32_t(head);
    s.loopEnd = uint32_t(head + body);
    s.volume = 40;
    return s;
}

Sample Bass() {
    Sample s{"FM bass", {}, kRate * kMiddleC / kBaseHz};
    int n = int(0.7 * kRate);
    for (int i = 0; i < n; ++i) {
        double t = double(i) / kRate;
        double env = std::exp(-t * 3) * std::min(1.0, t / 0.003);
        double mod = std::sin(2 * kPi * kBaseHz * t) * 1.8 * std::exp(-t * 10);
        s.pcm.push_back(Clip((std::sin(2 * kPi * kBaseHz * t + mod) * 0.9) * env));
    }
    return s;
}

Sample Kick() {
    Sample s{"Kick", {}, kRate};
    int n = int(0.35 * kRate);
    double ph = 0;
    for (int i = 0; i < n; ++i) {
        double t = double(i) / kRate;
        double f = 45 + 110 * std::exp(-t * 30);
        ph += 2 * kPi * f / kRate;
        double click = i < 60 ? (1 - i / 60.0) * 0.3 : 0;
        s.pcm.push_back(Clip((std::sin(ph) * std::exp(-t * 9) + click) * 0.95));
    }
    return s;
}

Sample Snare() {
    Sample s{"Snare", {}, kRate};
    int n = int(0.25 * kRate);
    Rng r;
    double lp = 0, band = 0, low = 0;
    for (int i = 0; i < n; ++i) {
        double t = double(i) / kRate;
        double noise = r.Next();
        // brighten: high band of the noise
        double f = 2 * std::sin(kPi * 3500.0 / kRate);
        low += f * band;
        double high = noise - low - 0.7 * band;
        band += f * high;
        lp = high;
        double tone = std::sin(2 * kPi * 185 * t) * std::exp(-t * 30) * 0.5;
        s.pcm.push_back(Clip((lp * 0.5 * std::exp(-t * 16) + tone) * 0.9));
    }
    return s;
}

Sample Hat() {
    Sample s{"Hi-hat", {}, kRate};
    int n = int(0.08 * kRate);
    Rng r;
    double prev = 0;
    for (int i = 0; i < n; ++i) {
        double t = double(i) / kRate;
        double x = r.Next();
        double hp = x - prev; // a simple high-pass
        prev = x;
        s.pcm.push_back(Clip(hp * 0.45 * std::exp(-t * 55)));
    }
    s.volume = 40;
    return s;
}

enum { kMallet = 1, kBell, kPad, kBass, kKick, kSnare, kHat };

struct Cell {
    int note = -1; // -1 none, 254 cut
    int sample = 0;
    int volume = -1;
};

constexpr int kChannels = 9; // lead, arp, pad x3, bass, kick, snare, hat
constexpr int kRows = 64;

struct Pattern {
    Cell cells[kRows][kChannels];
};

int NoteIndex(const std::string& name, size_t& used) {
    static const int base[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    int n = base[name[0] - 'A'];
    used = 1;
    if (name.size() > 1 && name[1] == '#')
        ++n, ++used;
    else if (name.size() > 1 && name[1] == 'b')
        --n, ++used;
    return (n + 12) % 12;
}

// Chord tones as semitones above C, low to high.
std::vector<int> Chord(const std::string& name) {
    size_t used;
    int root = NoteIndex(name, used);
    std::string q = name.substr(used);
    std::vector<int> iv = {0, 4, 7};
    if (q == "m")
        iv = {0, 3, 7};
    else if (q == "7")
        iv = {0, 4, 7, 10};
    else if (q == "maj7")
        iv = {0, 4, 7, 11};
    else if (q == "m7")
        iv = {0, 3, 7, 10};
    else if (q == "sus4")
        iv = {0, 5, 7};
    else if (!q.empty())
        throw std::runtime_error("unknown chord " + name);
    for (int& v : iv)
        v += root;
    return iv;
}

std::string Clean(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != ' ' && c != '|') out += c;
    return out;
}

void PutU16(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    v[at] = uint8_t(x);
    v[at + 1] = uint8_t(x >> 8);
}
void PutU32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v[at + size_t(i)] = uint8_t(x >> (8 * i));
}

bool WriteIt(const std::string& path, const std::string& title, int tempo, int speed,
             const std::vector<Sample>& samples, const std::vector<Pattern>& patterns,
             const std::vector<int>& orders) {
    std::vector<uint8_t> out(192, 0);
    std::memcpy(out.data(), "IMPM", 4);
    std::memcpy(out.data() + 4, title.c_str(), std::min<size_t>(title.size(), 25));
    PutU16(out, 30, 0x1004);
    size_t ordNum = orders.size() + 1;
    PutU16(out, 32, uint32_t(ordNum));
    PutU16(out, 34, 0);
    PutU16(out, 36, uint32_t(samples.size()));
    PutU16(out, 38, uint32_t(patterns.size()));
    PutU16(out, 40, 0x0214);
    PutU16(out, 42, 0x0200);
    PutU16(out, 44, 0x0009); // stereo, linear slides, sample mode
    out[48] = 128;           // global volume
    out[49] = 80;            // mixing volume
    out[50] = uint8_t(speed);
    out[51] = uint8_t(tempo);
    out[52] = 128;
    const int pan[kChannels] = {28, 40, 18, 32, 46, 32, 32, 30, 38};
    for (int c = 0; c < 64; ++c) {
        out[64 + size_t(c)] = c < kChannels ? uint8_t(pan[c]) : uint8_t(32 | 128);
        out[128 + size_t(c)] = 64;
    }
    for (int o : orders)
        out.push_back(uint8_t(o));
    out.push_back(255);
    size_t offsets = out.size();
    out.resize(out.size() + 4 * (samples.size() + patterns.size()), 0);
    // sample headers, then their data, then patterns
    std::vector<size_t> headerAt;
    for (size_t i = 0; i < samples.size(); ++i) {
        headerAt.push_back(out.size());
        PutU32(out, offsets + 4 * i, uint32_t(out.size()));
        out.resize(out.size() + 80, 0);
    }
    for (size_t i = 0; i < samples.size(); ++i) {
        const Sample& s = samples[i];
        size_t h = headerAt[i];
        std::memcpy(out.data() + h, "IMPS", 4);
        std::string dos = "SMP" + std::to_string(i + 1) + ".RAW";
        std::memcpy(out.data() + h + 4, dos.c_str(), std::min<size_t>(dos.size(), 12));
        out[h + 17] = 64;
        out[h + 18] = uint8_t(1 | 2 | (s.loop ? 16 : 0)); // present, 16-bit, loop
        out[h + 19] = uint8_t(s.volume);
        std::memcpy(out.data() + h + 20, s.name.c_str(), std::min<size_t>(s.name.size(), 25));
        out[h + 46] = 1; // signed samples
        out[h + 47] = 32;
        PutU32(out, h + 48, uint32_t(s.pcm.size()));
        PutU32(out, h + 52, s.loopBegin);
        PutU32(out, h + 56, s.loop ? s.loopEnd : 0);
        PutU32(out, h + 60, uint32_t(std::lround(s.c5speed)));
        PutU32(out, h + 72, uint32_t(out.size()));
        for (int16_t v : s.pcm) {
            out.push_back(uint8_t(uint16_t(v)));
            out.push_back(uint8_t(uint16_t(v) >> 8));
        }
    }
    for (size_t p = 0; p < patterns.size(); ++p) {
        PutU32(out, offsets + 4 * (samples.size() + p), uint32_t(out.size()));
        std::vector<uint8_t> data;
        for (int r = 0; r < kRows; ++r) {
            for (int c = 0; c < kChannels; ++c) {
                const Cell& cell = patterns[p].cells[r][c];
                uint8_t mask = 0;
                if (cell.note >= 0) mask |= 1;
                if (cell.sample > 0) mask |= 2;
                if (cell.volume >= 0) mask |= 4;
                if (!mask) continue;
                data.push_back(uint8_t((c + 1) | 0x80));
                data.push_back(mask);
                if (mask & 1) data.push_back(uint8_t(cell.note));
                if (mask & 2) data.push_back(uint8_t(cell.sample));
                if (mask & 4) data.push_back(uint8_t(cell.volume));
            }
            data.push_back(0);
        }
        size_t at = out.size();
        out.resize(at + 8, 0);
        PutU16(out, at, uint32_t(data.size()));
        PutU16(out, at + 2, kRows);
        out.insert(out.end(), data.begin(), data.end());
    }
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    return bool(f.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size())));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: gen-music <output folder> <song file>...\n");
        return 2;
    }
    std::vector<Sample> samples = {Mallet(), Bell(), Pad(), Bass(), Kick(), Snare(), Hat()};
    for (int a = 2; a < argc; ++a) {
        try {
            std::ifstream in(argv[a]);
            if (!in) throw std::runtime_error("cannot read");
            std::map<std::string, std::string> kv;
            std::string line;
            while (std::getline(in, line)) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                size_t eq = line.find('=');
                if (line.empty() || line[0] == ';' || eq == std::string::npos) continue;
                auto trim = [](std::string s) {
                    size_t x = s.find_first_not_of(' '), y = s.find_last_not_of(' ');
                    return x == std::string::npos ? std::string() : s.substr(x, y - x + 1);
                };
                std::string k = trim(line.substr(0, eq)), v = trim(line.substr(eq + 1));
                // a key given again continues the first (long melodies span several lines)
                kv[k] += kv.count(k) ? " " + v : v;
            }
            int tempo = std::stoi(kv.at("tempo")), speed = std::stoi(kv.at("speed"));
            size_t used;
            int key = NoteIndex(kv.at("key"), used);
            bool minor = kv["scale"] == "minor";
            const int majorSteps[7] = {0, 2, 4, 5, 7, 9, 11}, minorSteps[7] = {0, 2, 3, 5, 7, 8, 10};
            const int* steps = minor ? minorSteps : majorSteps;

            std::vector<std::string> form;
            std::istringstream fs(kv.at("form"));
            for (std::string s; fs >> s;)
                form.push_back(s);
            std::map<std::string, int> patternOf;
            std::vector<Pattern> patterns;
            std::vector<int> orders;
            for (const std::string& sec : form) {
                if (!patternOf.count(sec)) {
                    Pattern p;
                    std::vector<std::string> chords;
                    std::istringstream cs(kv.at("chords." + sec));
                    for (std::string c; cs >> c;)
                        chords.push_back(c);
                    if (chords.size() != 4) throw std::runtime_error("section " + sec + " needs 4 chords");
                    std::string lead = Clean(kv["lead." + sec]);
                    if (!lead.empty() && lead.size() != 64)
                        throw std::runtime_error("lead of " + sec + " is not 64 steps");
                    auto bar = [&](const char* part) {
                        std::string b = Clean(kv[std::string(part) + "." + sec]);
                        if (!b.empty() && b.size() != 16)
                            throw std::runtime_error(std::string(part) + " of " + sec + " is not 16 steps");
                        return b;
                    };
                    std::string bass = bar("bass"), kick = bar("kick"), snare = bar("snare"),
                                hat = bar("hat"), arp = bar("arp"), pad = bar("pad");
                    int arpStep = 0;
                    for (int r = 0; r < kRows; ++r) {
                        int b = r / 16, s = r % 16;
                        std::vector<int> ch = Chord(chords[size_t(b)]);
                        if (!lead.empty()) {
                            char c = lead[size_t(r)];
                            const char* up = "qwertyu";
                            int deg = -1, oct = 0;
                            if (c >= '1' && c <= '7')
                                deg = c - '1';
                            else if (const char* q = std::strchr(up, c); q && c)
                                deg = int(q - up), oct = 12;
                            if (deg >= 0)
                                p.cells[r][0] = {60 + key + steps[deg] + oct + (key > 6 ? -12 : 0), kMallet,
                                                 56};
                            else if (c == 'x')
                                p.cells[r][0].note = 254;
                        }
                        if (!arp.empty() && arp[size_t(s)] != '.') {
                            int t = ch[size_t(arpStep++ % int(ch.size()))];
                            p.cells[r][1] = {72 + t % 12 + (arpStep % 2 ? 0 : 12) - 12, kBell, 30};
                        }
                        if (!pad.empty() && s == 0) {
                            for (int k = 0; k < 3; ++k)
                                p.cells[r][2 + k] =
                                    pad[0] == 'x' ? Cell{48 + ch[size_t(k)] % 12 + (k ? 12 : 0), kPad, 36}
                                                  : Cell{254, 0, -1};
                        }
                        if (!bass.empty()) {
                            char c = bass[size_t(s)];
                            int root = 36 + ch[0] % 12;
                            int n = c == 'R'   ? root
                                    : c == 'F' ? root + 7
                                    : c == 'O' ? root + 12
                                    : c == 'T' ? root + (ch[1] - ch[0])
                                               : -1;
                            if (n >= 0) p.cells[r][5] = {n, kBass, 60};
                        }
                        auto drum = [&](const std::string& pat, int chn, int smp) {
                            if (pat.empty()) return;
                            if (pat[size_t(s)] == 'x')
                                p.cells[r][chn] = {60, smp, 64};
                            else if (pat[size_t(s)] == 'o')
                                p.cells[r][chn] = {60, smp, 34};
                        };
                        drum(kick, 6, kKick);
                        drum(snare, 7, kSnare);
                        drum(hat, 8, kHat);
                    }
                    patternOf[sec] = int(patterns.size());
                    patterns.push_back(p);
                }
                orders.push_back(patternOf[sec]);
            }
            std::string title = kv["title"];
            std::string file = argv[a];
            file = file.substr(file.find_last_of('/') + 1);
            file = file.substr(0, file.rfind('.')) + ".it";
            double seconds = double(orders.size()) * kRows * speed * 2.5 / tempo;
            if (!WriteIt(std::string(argv[1]) + "/" + file, title, tempo, speed, samples, patterns, orders))
                throw std::runtime_error("cannot write " + file);
            std::printf("gen-music: %s, %zu patterns, %.0f seconds\n", file.c_str(), patterns.size(),
                        seconds);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "gen-music: %s: %s\n", argv[a], e.what());
            return 1;
        }
    }
    return 0;
}

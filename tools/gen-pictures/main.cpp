// gen-pictures: draws every picture of the game.
//
//   gen-pictures <content folder> <Data folder> <display font>
//
// What to draw comes from the content sources: the animation files (content/animation/*.ani) name
// each animated GIF with its frame size and count, content/recipes/pictures.ini lists the screen
// pictures, backgrounds and elements, and the library descriptions (content/library/*/library.ini)
// give the file each template uses. The GIFs of the "AniGifs" group must match their library
// entries exactly (name, width, height); a mismatch stops the build, so sources and pictures never
// drift apart.
#include "Items.h"
#include "Screens.h"
#include "gen-common/ImageIO.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace Gen;

namespace {

// The same line syntax the game reads: [section], key = value; no comments, blanks trimmed.
using Ini = std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>>;

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

Ini ReadIni(const fs::path& p) {
    std::ifstream in(p);
    if (!in) throw std::runtime_error("cannot read " + p.string());
    Ini ini{{"Default", {}}};
    std::string line;
    while (std::getline(in, line)) {
        line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
        size_t lb = line.find('[');
        if (lb != std::string::npos && line.find(']', lb) != std::string::npos) {
            ini.push_back({line.substr(lb + 1, line.find(']', lb) - lb - 1), {}});
            continue;
        }
        size_t eq = line.find('=');
        if (line.empty() || eq == std::string::npos || line[0] == ';') continue;
        ini.back().second.push_back({Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))});
    }
    return ini;
}

const std::vector<std::pair<std::string, std::string>>* Section(const Ini& ini, const std::string& name) {
    for (const auto& s : ini)
        if (s.first == name) return &s.second;
    return nullptr;
}

std::string Get(const Ini& ini, const std::string& section, const std::string& key) {
    if (auto* s = Section(ini, section))
        for (const auto& kv : *s)
            if (kv.first == key) return kv.second;
    return {};
}

std::vector<int> Numbers(const std::string& s) {
    std::vector<int> v;
    std::string t = s;
    std::replace(t.begin(), t.end(), ',', ' ');
    std::istringstream is(t);
    int x;
    while (is >> x)
        v.push_back(x);
    return v;
}

struct LibEntry {
    std::string file;
    int w = 0, h = 0;
};

// data name -> file, size; template name -> data name
struct Library {
    std::map<std::string, LibEntry> data;
    std::map<std::string, std::string> templates;
};

Library ReadLibrary(const fs::path& p) {
    Ini ini = ReadIni(p);
    Library lib;
    for (int i = 1;; ++i) {
        std::string v = Get(ini, "data", "data" + std::to_string(i));
        if (v.empty()) break;
        size_t c1 = v.find(','), c2 = v.find(',', c1 + 1);
        LibEntry e{v.substr(0, c1), std::stoi(v.substr(c1 + 1, c2 - c1 - 1)), std::stoi(v.substr(c2 + 1))};
        lib.data[e.file.substr(0, e.file.rfind('.'))] = e;
    }
    for (int i = 1;; ++i) {
        std::string n = Get(ini, "objects", "name" + std::to_string(i));
        if (n.empty()) break;
        lib.templates[n] = Get(ini, "objects", "data" + std::to_string(i));
    }
    return lib;
}

struct Job {
    std::string what;
    std::function<void()> run;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: gen-pictures <content folder> <Data folder> <display font>\n");
        return 2;
    }
    fs::path content = argv[1], data = argv[2];
    std::string font = argv[3];
    try {
        fs::path lib = data / "Library";
        for (const char* g : {"AniGifs", "Background", "Element", "Light"})
            fs::create_directories(lib / g);
        Library gifs = ReadLibrary(content / "library" / "AniGifs" / "library.ini");
        Library backgrounds = ReadLibrary(content / "library" / "Background" / "library.ini");
        Library elements = ReadLibrary(content / "library" / "Element" / "library.ini");
        std::map<std::string, bool> covered; // every AniGifs entry must be drawn once

        std::vector<Job> jobs;
        auto checkGif = [&](const std::string& name, int w, int h) {
            auto it = gifs.data.find(name);
            if (it == gifs.data.end() || it->second.w != w || it->second.h != h ||
                it->second.file != name + ".gif")
                throw std::runtime_error("AniGifs/library.ini has no entry " + name + ".gif," +
                                         std::to_string(w) + "," + std::to_string(h));
            if (gifs.templates.find(name) == gifs.templates.end())
                throw std::runtime_error("AniGifs/library.ini has no template " + name);
            if (covered[name]) throw std::runtime_error("picture " + name + " drawn twice");
            covered[name] = true;
        };

        // Animation frames, as the animation files describe them.
        std::vector<fs::path> anis;
        for (const auto& e : fs::directory_iterator(content / "animation"))
            if (e.path().extension() == ".ani") anis.push_back(e.path());
        std::sort(anis.begin(), anis.end());
        for (const fs::path& p : anis) {
            Ini ini = ReadIni(p);
            std::string item = Get(ini, "Animation", "name");
            for (int a = 1;; ++a) {
                std::string sec = "Action" + std::to_string(a);
                std::string action = Get(ini, sec, "name");
                if (action.empty()) break;
                int pivot = std::stoi(Get(ini, sec, "pivotX"));
                std::string gif = Get(ini, sec, "gif1name");
                std::vector<int> size = Numbers(Get(ini, sec, "gif1size"));
                if (size.size() != 3 || size[0] != size[1])
                    throw std::runtime_error(p.string() + ": bad gif1size in " + sec);
                checkGif(gif, size[0], size[1]);
                float cell =
                    (item.size() == 7 && item.rfind("Brick", 0) == 0 && item.back() == 'h') ? 26.5f : 53.f;
                jobs.push_back({gif, [=] {
                                    auto frames =
                                        Pics::ItemFrames(item, action, size[0], size[2], pivot, cell);
                                    if (!WriteGif((lib / "AniGifs" / (gif + ".gif")).string(), frames,
                                                  Pics::CellColor()))
                                        throw std::runtime_error("cannot write " + gif);
                                }});
            }
        }

        Ini recipes = ReadIni(content / "recipes" / "pictures.ini");
        if (auto* s = Section(recipes, "pictures"))
            for (const auto& [name, value] : *s) {
                std::vector<int> v = Numbers(value);
                checkGif(name, v.at(0), v.at(1));
                jobs.push_back(
                    {name, [=, name = name] {
                         Pics::Framed f = Pics::ScreenPicture(name, v[0], v[1], v[2]);
                         if (!WriteGif((lib / "AniGifs" / (name + ".gif")).string(), f.frames, f.matte))
                             throw std::runtime_error("cannot write " + name);
                     }});
            }
        for (const auto& [name, entry] : gifs.data)
            if (!covered[name])
                throw std::runtime_error("AniGifs/library.ini lists " + name + ", which nothing draws");

        if (auto* s = Section(recipes, "backgrounds"))
            for (const auto& [name, value] : *s) {
                std::vector<int> v = Numbers(value);
                auto t = backgrounds.templates.find(name);
                if (t == backgrounds.templates.end())
                    throw std::runtime_error("Background/library.ini has no template " + name);
                LibEntry e = backgrounds.data.at(t->second);
                if (e.w != v.at(0) || e.h != v.at(1)) throw std::runtime_error("size of background " + name);
                jobs.push_back({name, [=, name = name] {
                                    Image img = Pics::Background(name, v[0], v[1], font);
                                    if (!WriteJpeg((lib / "Background" / e.file).string(), img, 90, Hex(0)))
                                        throw std::runtime_error("cannot write " + e.file);
                                }});
            }
        if (auto* s = Section(recipes, "elements"))
            for (const auto& [name, value] : *s) {
                std::vector<int> v = Numbers(value);
                LibEntry e = elements.data.at(elements.templates.at(name));
                if (e.w != v.at(0) || e.h != v.at(1)) throw std::runtime_error("size of element " + name);
                jobs.push_back(
                    {name, [=, name = name] {
                         if (!WriteTga((lib / "Element" / e.file).string(), Pics::Element(name, v[0], v[1])))
                             throw std::runtime_error("cannot write " + e.file);
                     }});
            }
        jobs.push_back({"light", [=] {
                            if (!WriteTga((lib / "Light" / "light.tga").string(), Pics::LightMap(128)))
                                throw std::runtime_error("cannot write light.tga");
                        }});

        // Run on every core; the biggest jobs (backgrounds) are at the end, so start from there.
        std::atomic<int> next{int(jobs.size()) - 1};
        std::mutex m;
        std::string failure;
        auto worker = [&] {
            for (;;) {
                int i = next--;
                if (i < 0) return;
                try {
                    jobs[size_t(i)].run();
                } catch (const std::exception& e) {
                    std::lock_guard<std::mutex> lock(m);
                    failure = jobs[size_t(i)].what + ": " + e.what();
                }
            }
        };
        unsigned n = std::max(1u, std::thread::hardware_concurrency());
        std::vector<std::thread> threads;
        for (unsigned k = 0; k < n; ++k)
            threads.emplace_back(worker);
        for (auto& t : threads)
            t.join();
        if (!failure.empty()) throw std::runtime_error(failure);
        std::printf("gen-pictures: %zu pictures\n", jobs.size());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gen-pictures: %s\n", e.what());
        return 1;
    }
    return 0;
}

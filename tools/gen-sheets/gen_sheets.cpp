// gen-sheets: contact sheets of the generated content, for reviewing the look at a glance.
//
//   gen-sheets <Data folder> <output folder>
//
// Reads what the game reads (animation files, GIFs, background JPEGs) and writes PNGs:
// bricks.png and bonuses.png (every action of every item, frame by frame, shown on the board's
// cell colour with the GIF's key colour made transparent), pictures.png (the screens' pictures),
// backgrounds.png (all backgrounds at half size) and background-<name>.png at full size.
#include "gen-common/ImageIO.h"
#include "gen-common/TextRaster.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;
using namespace Gen;

namespace {

struct Sheet {
    int w, h;
    std::vector<Rgba8> px;
    Sheet(int width, int height, Rgba8 bg) : w(width), h(height), px(size_t(width) * size_t(height), bg) {}
    void Put(int x, int y, Rgba8 c) {
        if (x >= 0 && y >= 0 && x < w && y < h) px[size_t(y) * size_t(w) + size_t(x)] = c;
    }
    // Blits a picture scaled by an integer; pixels equal to `key` show `keyShow` (or nothing).
    void Blit(const Picture& p, int x, int y, int scale, const Rgba8* key, Rgba8 keyShow) {
        for (int j = 0; j < p.h * scale; ++j)
            for (int i = 0; i < p.w * scale; ++i) {
                Rgba8 c = p.px[size_t(j / scale) * size_t(p.w) + size_t(i / scale)];
                if (key && c.r == key->r && c.g == key->g && c.b == key->b) c = keyShow;
                Put(x + i, y + j, c);
            }
    }
    void Text(const std::string& font, const std::string& s, int x, int y, int size) {
        Image t = RenderText(font, s, size, 0);
        for (int j = 0; j < t.h; ++j)
            for (int i = 0; i < t.w; ++i) {
                float a = t.at(i, j).a;
                if (a <= 0 || x + i >= w || y + j >= h) continue;
                Rgba8& d = px[size_t(y + j) * size_t(w) + size_t(x + i)];
                d = {uint8_t(d.r + (230 - d.r) * a), uint8_t(d.g + (230 - d.g) * a),
                     uint8_t(d.b + (240 - d.b) * a), 255};
            }
    }
};

std::map<std::string, std::map<std::string, std::string>> ReadSections(const fs::path& p,
                                                                       std::vector<std::string>& order) {
    std::map<std::string, std::map<std::string, std::string>> out;
    std::ifstream in(p);
    std::string line, sec = "Default";
    auto trim = [](std::string s) {
        size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
        return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
    };
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find('[') != std::string::npos && line.find(']') != std::string::npos) {
            sec = line.substr(line.find('[') + 1, line.find(']') - line.find('[') - 1);
            order.push_back(sec);
            continue;
        }
        size_t eq = line.find('=');
        if (eq != std::string::npos) out[sec][trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
    }
    return out;
}

const Rgba8 kBg{18, 20, 36, 255};
const Rgba8 kCell{0x1C, 0x22, 0x44, 255};

bool ItemSheet(const fs::path& data, const std::vector<std::string>& items, const std::string& font,
               const fs::path& out) {
    struct Row {
        std::string label;
        std::vector<Picture> frames;
    };
    std::vector<Row> rows;
    const int scale = 2;
    int width = 0;
    for (const std::string& item : items) {
        std::vector<std::string> order;
        auto ani = ReadSections(data / "Library" / "Animation" / (item + ".ani"), order);
        for (const std::string& sec : order) {
            if (sec.rfind("Action", 0) != 0) continue;
            Row r;
            r.label = item + " " + ani[sec]["name"];
            if (!ReadGif((data / "Library" / "AniGifs" / (ani[sec]["gif1name"] + ".gif")).string(),
                         r.frames)) {
                std::fprintf(stderr, "gen-sheets: cannot read GIF of %s\n", r.label.c_str());
                return false;
            }
            int w = 200;
            for (const Picture& p : r.frames)
                w += p.w * scale + 6;
            width = std::max(width, w);
            rows.push_back(std::move(r));
        }
    }
    int height = 10;
    for (const Row& r : rows)
        height += r.frames[0].h * scale + 10;
    Sheet s(width, height, kBg);
    int y = 10;
    for (const Row& r : rows) {
        s.Text(font, r.label, 8, y + 4, 15);
        int x = 200;
        Rgba8 key = r.frames[0].px[0];
        for (const Picture& p : r.frames) {
            s.Blit(p, x, y, scale, &key, kCell);
            x += p.w * scale + 6;
        }
        y += r.frames[0].h * scale + 10;
    }
    return WritePng(out.string(), s.px, s.w, s.h);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: gen-sheets <Data folder> <output folder>\n");
        return 2;
    }
    fs::path data = argv[1], out = argv[2];
    fs::create_directories(out);
    std::string font = (data / "Library" / "Font" / "Tahoma.ttf").string();
    std::vector<std::string> bricks,
        bonuses = {"Clock", "Bomb", "Rainbow", "Switch", "Metla", "Fireball", "Coin"};
    for (const char* s : {"", "h"})
        for (int c = 1; c <= 6; ++c)
            bricks.push_back("Brick" + std::to_string(c) + s);
    if (!ItemSheet(data, bricks, font, out / "bricks.png") ||
        !ItemSheet(data, bonuses, font, out / "bonuses.png"))
        return 1;

    // Pictures of the screens: every AniGifs entry that no animation uses.
    std::vector<std::string> order;
    auto lib = ReadSections(data / "Library" / "AniGifs" / "library.ini", order);
    std::vector<std::pair<std::string, std::vector<Picture>>> pics;
    for (int i = 1;; ++i) {
        auto it = lib["data"].find("data" + std::to_string(i));
        if (it == lib["data"].end()) break;
        std::string file = it->second.substr(0, it->second.find(','));
        std::string stem = file.substr(0, file.find('_'));
        if (file.find('_') != std::string::npos &&
            fs::exists(data / "Library" / "Animation" / (stem + ".ani")))
            continue; // animation frames are on the item sheets
        std::vector<Picture> frames;
        if (!ReadGif((data / "Library" / "AniGifs" / file).string(), frames)) {
            std::fprintf(stderr, "gen-sheets: cannot read %s\n", file.c_str());
            return 1;
        }
        pics.push_back({file, std::move(frames)});
    }
    {
        int width = 1200, x = 10, y = 10, rowH = 0;
        // lay out left to right, wrapping
        std::vector<std::tuple<int, int, size_t>> pos;
        for (size_t k = 0; k < pics.size(); ++k) {
            int scale = pics[k].second[0].w <= 60 ? 2 : 1;
            int w = 0;
            for (const Picture& p : pics[k].second)
                w += p.w * scale + 4;
            w = std::max(w, 120);
            int h = pics[k].second[0].h * scale + 24;
            if (x + w > width) {
                x = 10;
                y += rowH + 10;
                rowH = 0;
            }
            pos.emplace_back(x, y, k);
            x += w + 16;
            rowH = std::max(rowH, h);
        }
        Sheet s(width, y + rowH + 10, Rgba8{40, 44, 70, 255});
        for (auto [px, py, k] : pos) {
            int scale = pics[k].second[0].w <= 60 ? 2 : 1;
            s.Text(font, pics[k].first, px, py, 12);
            Rgba8 key = pics[k].second[0].px[0];
            int x = px;
            for (const Picture& p : pics[k].second) {
                s.Blit(p, x, py + 20, scale, &key, Rgba8{40, 44, 70, 255});
                x += p.w * scale + 4;
            }
        }
        if (!WritePng((out / "pictures.png").string(), s.px, s.w, s.h)) return 1;
    }

    // Backgrounds: full size each, and all of them at half size.
    std::vector<std::string> bgOrder;
    auto bgl = ReadSections(data / "Library" / "Background" / "library.ini", bgOrder);
    std::vector<std::pair<std::string, Picture>> bgs;
    for (int i = 1;; ++i) {
        auto it = bgl["objects"].find("name" + std::to_string(i));
        if (it == bgl["objects"].end()) break;
        std::string dataName = bgl["objects"]["data" + std::to_string(i)];
        Picture p;
        if (!ReadJpeg((data / "Library" / "Background" / (dataName + ".jpg")).string(), p)) {
            std::fprintf(stderr, "gen-sheets: cannot read background %s\n", dataName.c_str());
            return 1;
        }
        WritePng((out / ("background-" + it->second + ".png")).string(), p.px, p.w, p.h);
        bgs.push_back({it->second, std::move(p)});
    }
    int cols = 3, tw = 400, th = 300;
    int rows = int(bgs.size() + size_t(cols) - 1) / cols;
    Sheet s(cols * (tw + 10) + 10, rows * (th + 30) + 10, kBg);
    for (size_t k = 0; k < bgs.size(); ++k) {
        int x = 10 + int(k % size_t(cols)) * (tw + 10), y = 10 + int(k / size_t(cols)) * (th + 30);
        s.Text(font, bgs[k].first, x, y, 14);
        const Picture& p = bgs[k].second;
        for (int j = 0; j < th; ++j)
            for (int i = 0; i < tw; ++i) {
                // 2 x 2 average
                int sx = i * p.w / tw, sy = j * p.h / th;
                int r = 0, g = 0, b = 0;
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx) {
                        const Rgba8& c = p.px[size_t(std::min(p.h - 1, sy + dy)) * size_t(p.w) +
                                              size_t(std::min(p.w - 1, sx + dx))];
                        r += c.r, g += c.g, b += c.b;
                    }
                s.Put(x + i, y + 22 + j, Rgba8{uint8_t(r / 4), uint8_t(g / 4), uint8_t(b / 4), 255});
            }
    }
    if (!WritePng((out / "backgrounds.png").string(), s.px, s.w, s.h)) return 1;
    std::printf("gen-sheets: sheets in %s\n", argv[2]);
    return 0;
}

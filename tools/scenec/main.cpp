// scenec: compiles a readable scene description into the binary scene file (".eed") that
// LoadSceneFile reads, and decompiles such a file back into the description.
//
// The description uses the configuration syntax ("[Section]" lines and "key = value" lines; lines
// starting with ';' are comments). Sections, all numbered from 1 without gaps:
//
//   [Episode]            width, height: the grid of scenes (columns, rows)
//   [Scene<n>]           column, row: the cell (several records may name one cell: the scene gets
//                        the objects of all of them, header values from the later one);
//                        sName (empty keeps the generated "Level_cc_rr"), background (template of
//                        library group Background), cAmbient, vSize.x, vSize.y, bUseParallax,
//                        sParallaxName
//   [Scene<n>.Object<m>] one 128-byte object record: run (1, 2 or 3; default 1), sName, sType
//                        ("Class.template"), vPosition.x, vPosition.y, nScore, nSort, nOpaque,
//                        nLife, nRadius, cColor, bActive, bBreakable, bObstacle, bLadder, bWater,
//                        bVisible, bFlipX, bFlipY, bCastShadow, bFirstPlane, bClosed
//   [Scene<n>.Polygon<m>] one polygon record: the object keys (sType defaults to "Polygon") and
//                        vertex<k> = x, y (relative to the polygon's position), k from 1
//
// Every record field can be given; a missing key takes the value a new object of the class has
// (bActive and bVisible true; Element nSort 50 and nOpaque 100; Light nRadius 100, cColor
// 0xffffff and bCastShadow true; Polygon cColor 0xffffff and bClosed true; everything else 0).
// Colours and integers accept decimal or 0x-prefixed hexadecimal; bools "true", "false", 1 or 0.

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/Config.h"
#include "scene/Level.h"
#include "scene/Object.h"
#include "scene/Variables.h"

using namespace ObjectRecord;
namespace SR = SceneRecord;

namespace {

const char* kHelp =
    R"(Usage: scenec DESCRIPTION.txt OUTPUT.eed     compile a scene description
       scenec -d INPUT.eed [OUTPUT.txt]        decompile (to standard output without OUTPUT)
       scenec --help

Compiles a readable scene description into the scene file that the game loads
("Data\Levels\Board.eed"). The description is in the configuration syntax:
"[Section]" lines, "key = value" lines, and ';' comment lines. Sections are
numbered from 1 without gaps; a section counts only when it has at least one key:

  [Episode]              width, height            grid size (columns, rows)
  [Scene<n>]             column, row              the scene's cell
                         sName                    empty keeps "Level_cc_rr"
                         background               template of library group Background
                         cAmbient                 ambient colour (red bits 0-7, green 8-15, blue 16-23)
                         vSize.x, vSize.y         scene size in pixels
                         bUseParallax, sParallaxName
  [Scene<n>.Object<m>]   run                      1, 2 or 3 (default 1)
                         sName, sType             sName replaces the generated name (give every
                                                  object one); sType is "Class.template"
                                                  (Element, Item, Light, Background, Sound, Actor)
                         vPosition.x, vPosition.y
                         nScore nSort nOpaque nLife nRadius cColor
                         bActive bBreakable bObstacle bLadder bWater bVisible
                         bFlipX bFlipY bCastShadow bFirstPlane bClosed
  [Scene<n>.Polygon<m>]  the object keys (sType defaults to "Polygon") and
                         vertex<k> = x, y         relative to the polygon, k from 1

Missing keys take the values of a new object of the class: bActive and bVisible
true; Element nSort 50, nOpaque 100; Light nRadius 100, cColor 0xffffff,
bCastShadow true; Polygon cColor 0xffffff, bClosed true; everything else 0.
Numbers are decimal or 0x-hexadecimal; bools are true, false, 1 or 0. Names and
types hold at most 31 characters, scene names 63, background 31.

Example:
  [Episode]
  width = 2
  height = 1

  [Scene1]
  column = 0
  row = 0
  background = Title
  cAmbient = 0x202020
  vSize.x = 800
  vSize.y = 600

  [Scene1.Object1]
  sName = Logo
  sType = Element.logo
  vPosition.x = 200
  vPosition.y = 40
  nSort = 10

  [Scene1.Object2]
  sType = Light.lamp
  vPosition.x = 400
  vPosition.y = 300
  nRadius = 250
  cColor = 0x80c0ff

  [Scene1.Polygon1]
  sName = Wall
  vPosition.x = 100
  vPosition.y = 100
  vertex1 = 0, 0
  vertex2 = 50, 0
  vertex3 = 50, 50
)";

struct Error {
    std::string message;
};

[[noreturn]] void Fail(const std::string& message) {
    throw Error{message};
}

// ---------------------------------------------------------------------------------------------
// Compiling

class Section {
  public:
    Section(const ConfigDoc& doc, std::string name) : doc_(doc), name_(std::move(name)) {}
    bool Exists() const { return doc_.FindSection(name_.c_str()) != nullptr; }
    bool Has(const char* key) const { return doc_.Find(key, name_.c_str()) != nullptr; }

    std::string Text(const char* key, size_t maxLength, const std::string& fallback = "") const {
        std::string value;
        if (!doc_.Get(value, key, name_.c_str())) return fallback;
        if (value.size() > maxLength)
            Fail(Where(key) + "longer than " + std::to_string(maxLength) + " characters");
        return value;
    }

    int64_t Integer(const char* key, int64_t fallback, int64_t low, int64_t high) const {
        std::string value;
        if (!doc_.Get(value, key, name_.c_str()) || value.empty()) return fallback;
        return ParseInteger(value, key, low, high);
    }

    float Real(const char* key, float fallback) const {
        std::string value;
        if (!doc_.Get(value, key, name_.c_str()) || value.empty()) return fallback;
        return ParseReal(value, key);
    }

    bool Flag(const char* key, bool fallback) const {
        std::string value;
        if (!doc_.Get(value, key, name_.c_str()) || value.empty()) return fallback;
        if (value == "true") return true;
        if (value == "false") return false;
        return ParseInteger(value, key, 0, 255) != 0;
    }

    int64_t ParseInteger(const std::string& value, const char* key, int64_t low, int64_t high) const {
        errno = 0;
        char* end = nullptr;
        long long v = std::strtoll(value.c_str(), &end, 0);
        if (end == value.c_str() || *end != 0 || errno != 0)
            Fail(Where(key) + "'" + value + "' is not a number");
        if (v < low || v > high)
            Fail(Where(key) + "'" + value + "' lies outside " + std::to_string(low) + ".." +
                 std::to_string(high));
        return v;
    }

    float ParseReal(const std::string& value, const char* key) const {
        char* end = nullptr;
        float v = std::strtof(value.c_str(), &end);
        if (end == value.c_str() || *end != 0 || !std::isfinite(v))
            Fail(Where(key) + "'" + value + "' is not a number");
        return v;
    }

    std::string Where(const char* key) const { return "[" + name_ + "] " + key + ": "; }
    const std::string& Name() const { return name_; }

  private:
    const ConfigDoc& doc_;
    std::string name_;
};

// One object or polygon record from its section.
std::vector<uint8_t> CompileObject(const Section& s, bool polygon) {
    std::string type = s.Text("sType", kTextField - 1, polygon ? "Polygon" : "");
    std::string className, templateName;
    SplitType(type, className, templateName);
    const bool element = className == "Element", light = className == "Light", poly = className == "Polygon";

    std::vector<Vec2> vertices;
    if (polygon) {
        for (size_t k = 1;; ++k) {
            std::string key = "vertex" + std::to_string(k), value;
            if (!s.Has(key.c_str())) break;
            value = s.Text(key.c_str(), 256);
            size_t comma = value.find(',');
            if (comma == std::string::npos) Fail(s.Where(key.c_str()) + "expected \"x, y\"");
            auto trim = [](std::string t) {
                size_t b = t.find_first_not_of(" \t"), e = t.find_last_not_of(" \t");
                return b == std::string::npos ? std::string() : t.substr(b, e - b + 1);
            };
            vertices.push_back({s.ParseReal(trim(value.substr(0, comma)), key.c_str()),
                                s.ParseReal(trim(value.substr(comma + 1)), key.c_str())});
        }
        if (vertices.size() > 0xFFFF) Fail("[" + s.Name() + "] too many vertices");
    }

    std::vector<uint8_t> r(kSize + 8 * vertices.size(), 0);
    PutU32(&r[kLength], static_cast<uint32_t>(r.size()));
    PutText(&r[kName], kTextField, s.Text("sName", kTextField - 1));
    PutText(&r[kType], kTextField, type);
    PutF32(&r[kPosX], s.Real("vPosition.x", 0.0f));
    PutF32(&r[kPosY], s.Real("vPosition.y", 0.0f));
    PutU16(&r[kScore], static_cast<uint16_t>(s.Integer("nScore", 0, 0, 0xFFFF)));
    PutU16(&r[kSort], static_cast<uint16_t>(s.Integer("nSort", element ? 50 : 0, -32768, 32767)));
    PutU16(&r[kOpaque], static_cast<uint16_t>(s.Integer("nOpaque", element ? 100 : 0, 0, 0xFFFF)));
    PutU16(&r[kLife], static_cast<uint16_t>(s.Integer("nLife", 0, 0, 0xFFFF)));
    PutU16(&r[kRadius], static_cast<uint16_t>(s.Integer("nRadius", light ? 100 : 0, 0, 0xFFFF)));
    PutU32(&r[kColor],
           static_cast<uint32_t>(s.Integer("cColor", light || poly ? 0xffffff : 0, 0, 0xFFFFFFFF)));
    PutU16(&r[kVertices], static_cast<uint16_t>(vertices.size()));
    const char* flags1[8] = {"bActive", "bBreakable", "bObstacle", "bLadder",
                             "bWater",  "bVisible",   "bFlipX",    "bFlipY"};
    uint8_t f1 = 0;
    for (int i = 0; i < 8; ++i)
        if (s.Flag(flags1[i], i == 0 || i == 5)) f1 |= static_cast<uint8_t>(1u << i);
    r[kFlags1] = f1;
    r[kFlags2] =
        static_cast<uint8_t>((s.Flag("bCastShadow", light) ? 1 : 0) | (s.Flag("bFirstPlane", false) ? 4 : 0) |
                             (s.Flag("bClosed", poly) ? 8 : 0));
    for (size_t v = 0; v < vertices.size(); ++v) {
        PutF32(&r[kSize + 8 * v], vertices[v].x);
        PutF32(&r[kSize + 8 * v + 4], vertices[v].y);
    }
    return r;
}

std::vector<uint8_t> CompileScene(const ConfigDoc& doc, size_t n, uint32_t width, uint32_t height) {
    Section s(doc, "Scene" + std::to_string(n));
    // The record holds the cell as floats; the loader truncates them toward zero.
    float column = s.Real("column", 0.0f), row = s.Real("row", 0.0f);
    if (!(std::trunc(column) >= 0 && std::trunc(column) < width && std::trunc(row) >= 0 &&
          std::trunc(row) < height))
        std::fprintf(stderr,
                     "scenec: warning: [%s] cell %g,%g lies outside the %ux%u grid; the game skips it\n",
                     s.Name().c_str(), static_cast<double>(column), static_cast<double>(row), width, height);

    std::vector<uint8_t> runs[3];
    uint32_t counts[3] = {0, 0, 0};
    for (size_t m = 1;; ++m) {
        Section o(doc, s.Name() + ".Object" + std::to_string(m));
        if (!o.Exists()) break;
        int64_t run = o.Integer("run", 1, 1, 3);
        std::vector<uint8_t> record = CompileObject(o, false);
        runs[run - 1].insert(runs[run - 1].end(), record.begin(), record.end());
        ++counts[run - 1];
    }
    std::vector<uint8_t> polygons;
    uint32_t polygonCount = 0;
    for (size_t m = 1;; ++m) {
        Section o(doc, s.Name() + ".Polygon" + std::to_string(m));
        if (!o.Exists()) break;
        std::vector<uint8_t> record = CompileObject(o, true);
        polygons.insert(polygons.end(), record.begin(), record.end());
        ++polygonCount;
    }

    std::vector<uint8_t> r(SR::kWrittenHeader, 0);
    PutU32(&r[SR::kHeaderLength], SR::kWrittenHeader);
    PutF32(&r[SR::kColumn], column);
    PutF32(&r[SR::kRow], row);
    PutText(&r[SR::kBackground], SR::kBackgroundField, s.Text("background", SR::kBackgroundField - 1));
    PutU32(&r[SR::kAmbient], static_cast<uint32_t>(s.Integer("cAmbient", 0x202020, 0, 0xFFFFFFFF)));
    PutU32(&r[SR::kRun1], counts[0]);
    PutU32(&r[SR::kRun2], counts[1]);
    PutU32(&r[SR::kRun3], counts[2]);
    PutText(&r[SR::kName], SR::kNameField, s.Text("sName", SR::kNameField - 1));
    PutU32(&r[SR::kPolygons], polygonCount);
    PutF32(&r[SR::kSizeX], s.Real("vSize.x", 800.0f));
    PutF32(&r[SR::kSizeY], s.Real("vSize.y", 600.0f));
    r[SR::kUseParallax] = s.Flag("bUseParallax", false) ? 1 : 0;
    const uint32_t parallaxField = SR::kWrittenHeader - SR::kParallaxName;
    PutText(&r[SR::kParallaxName], parallaxField, s.Text("sParallaxName", parallaxField - 1));
    for (auto& run : runs)
        r.insert(r.end(), run.begin(), run.end());
    r.insert(r.end(), polygons.begin(), polygons.end());
    PutU32(&r[SR::kRecordLength], static_cast<uint32_t>(r.size()));
    return r;
}

std::vector<uint8_t> Compile(const ConfigDoc& doc) {
    Section episode(doc, "Episode");
    if (!episode.Has("width") || !episode.Has("height")) Fail("section [Episode] needs width and height");
    uint32_t width = static_cast<uint32_t>(episode.Integer("width", 1, 1, 0xFFFF));
    uint32_t height = static_cast<uint32_t>(episode.Integer("height", 1, 1, 0xFFFF));
    std::vector<uint8_t> file(SR::kFileHeaderSize, 0);
    PutU32(&file[0], SR::kMagic);
    PutU32(&file[SR::kGridWidth], width);
    PutU32(&file[SR::kGridHeight], height);
    for (size_t n = 1; Section(doc, "Scene" + std::to_string(n)).Exists(); ++n) {
        std::vector<uint8_t> scene = CompileScene(doc, n, width, height);
        file.insert(file.end(), scene.begin(), scene.end());
    }
    return file;
}

// ---------------------------------------------------------------------------------------------
// Decompiling

std::string Real(float v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
    return buf;
}

std::string Hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%06x", v);
    return buf;
}

void DecompileObject(std::string& out, const uint8_t* o, const char* kindName, size_t n, size_t m, int run,
                     size_t vertexCount) {
    out += "[Scene" + std::to_string(n) + "." + kindName + std::to_string(m) + "]\n";
    if (run) out += "run = " + std::to_string(run) + "\n";
    out += "sName = " + GetText(o + kName, kTextField) + "\n";
    out += "sType = " + GetText(o + kType, kTextField) + "\n";
    out += "vPosition.x = " + Real(GetF32(o + kPosX)) + "\n";
    out += "vPosition.y = " + Real(GetF32(o + kPosY)) + "\n";
    out += "nScore = " + std::to_string(GetU16(o + kScore)) + "\n";
    out += "nSort = " + std::to_string(static_cast<int16_t>(GetU16(o + kSort))) + "\n";
    out += "nOpaque = " + std::to_string(GetU16(o + kOpaque)) + "\n";
    out += "nLife = " + std::to_string(GetU16(o + kLife)) + "\n";
    out += "nRadius = " + std::to_string(GetU16(o + kRadius)) + "\n";
    out += "cColor = " + Hex(GetU32(o + kColor)) + "\n";
    const char* flags1[8] = {"bActive", "bBreakable", "bObstacle", "bLadder",
                             "bWater",  "bVisible",   "bFlipX",    "bFlipY"};
    for (int i = 0; i < 8; ++i)
        out += std::string(flags1[i]) + " = " + BoolToText((o[kFlags1] >> i) & 1) + "\n";
    out += "bCastShadow = " + BoolToText(o[kFlags2] & 1) + "\n";
    out += "bFirstPlane = " + BoolToText((o[kFlags2] >> 2) & 1) + "\n";
    out += "bClosed = " + BoolToText((o[kFlags2] >> 3) & 1) + "\n";
    for (size_t v = 0; v < vertexCount; ++v) {
        const uint8_t* p = o + kSize + 8 * v;
        out += "vertex" + std::to_string(v + 1) + " = " + Real(GetF32(p)) + ", " + Real(GetF32(p + 4)) + "\n";
    }
    out += "\n";
}

// Walks the file exactly as the loader does, staying within its bytes.
std::string Decompile(const std::vector<uint8_t>& file) {
    if (file.size() < SR::kFileHeaderSize || GetU32(file.data()) != SR::kMagic)
        Fail("not a scene file (missing \"0DEE\" header)");
    const uint8_t* data = file.data();
    const uint64_t size = file.size();
    if (size > UINT32_MAX) Fail("file too large for a scene file");
    std::string out = "; Scene description (scenec)\n[Episode]\n";
    out += "width = " + std::to_string(GetU32(data + SR::kGridWidth)) + "\n";
    out += "height = " + std::to_string(GetU32(data + SR::kGridHeight)) + "\n\n";

    size_t n = 0;
    SR::ForEachRecord(data, static_cast<uint32_t>(size), [&](const uint8_t* r, uint32_t available) {
        ++n;
        out += "[Scene" + std::to_string(n) + "]\n";
        out += "column = " + Real(GetF32(r + SR::kColumn)) + "\n";
        out += "row = " + Real(GetF32(r + SR::kRow)) + "\n";
        out += "sName = " + GetText(r + SR::kName, SR::kNameField) + "\n";
        out += "background = " + GetText(r + SR::kBackground, SR::kBackgroundField) + "\n";
        out += "cAmbient = " + Hex(GetU32(r + SR::kAmbient)) + "\n";
        out += "vSize.x = " + Real(GetF32(r + SR::kSizeX)) + "\n";
        out += "vSize.y = " + Real(GetF32(r + SR::kSizeY)) + "\n";
        out += "bUseParallax = " + BoolToText(r[SR::kUseParallax] != 0) + "\n";
        out += "sParallaxName = " + SR::ParallaxName(r, available) + "\n\n";
        size_t objects = 0, polygons = 0;
        SR::ForEachObject(r, available, [&](const uint8_t* o, int run, uint32_t vertices) {
            if (run)
                DecompileObject(out, o, "Object", n, ++objects, run, 0);
            else
                DecompileObject(out, o, "Polygon", n, ++polygons, 0, vertices);
        });
    });
    return out;
}

bool ReadAll(const char* path, std::vector<uint8_t>& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool WriteAll(const char* path, const void* data, size_t size) {
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    try {
        if (argc >= 3 && std::strcmp(argv[1], "-d") == 0 && argc <= 4) {
            std::vector<uint8_t> file;
            if (!ReadAll(argv[2], file)) Fail(std::string("cannot read '") + argv[2] + "'");
            std::string text = Decompile(file);
            if (argc == 4) {
                if (!WriteAll(argv[3], text.data(), text.size()))
                    Fail(std::string("cannot write '") + argv[3] + "'");
            } else {
                std::fputs(text.c_str(), stdout);
            }
            return 0;
        }
        if (argc == 3 && argv[1][0] != '-') {
            std::vector<uint8_t> source;
            if (!ReadAll(argv[1], source)) Fail(std::string("cannot read '") + argv[1] + "'");
            ConfigDoc doc;
            doc.Parse(reinterpret_cast<const char*>(source.data()), source.size());
            std::vector<uint8_t> file = Compile(doc);
            if (!WriteAll(argv[2], file.data(), file.size()))
                Fail(std::string("cannot write '") + argv[2] + "'");
            return 0;
        }
    } catch (const Error& e) {
        std::fprintf(stderr, "scenec: %s\n", e.message.c_str());
        return 1;
    }
    std::fputs(kHelp, stderr);
    return 2;
}

// gen-texts: turns the UTF-8 text sources into the game's text files (UTF-16 LE with a byte-order
// mark, CR LF line ends).
//
//   gen-texts <source.txt> <out.txt> [version]
//
// Source lines are "key=text"; blank lines and lines starting with '#' are left out. The game
// splits an entry at its first '=' and ends the text at the line end, so a key must not hold '='
// and every text is one line. A "\n" in a text stays as the two characters backslash and n: the
// game's paragraphs have no line breaks. Keys must be unique within one file. "@VERSION@" in a text
// becomes the version given on the command line (the build passes the project's version).
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

bool DecodeUtf8(const std::string& s, std::vector<uint32_t>& out) {
    for (size_t i = 0; i < s.size();) {
        auto c = uint8_t(s[i]);
        uint32_t cp;
        int extra;
        if (c < 0x80) {
            cp = c;
            extra = 0;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            extra = 3;
        } else {
            return false;
        }
        if (i + size_t(extra) >= s.size()) return false;
        for (int k = 1; k <= extra; ++k) {
            auto d = uint8_t(s[i + size_t(k)]);
            if ((d & 0xC0) != 0x80) return false;
            cp = cp << 6 | (d & 0x3F);
        }
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        out.push_back(cp);
        i += size_t(extra) + 1;
    }
    return true;
}

void PutUnit(std::string& out, uint32_t u) {
    out.push_back(char(u & 0xFF));
    out.push_back(char(u >> 8));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: gen-texts <source.txt> <out.txt> [version]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "gen-texts: cannot read %s\n", argv[1]);
        return 1;
    }
    std::string src((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string out;
    PutUnit(out, 0xFEFF);
    std::set<std::string> keys;
    size_t lineNo = 0;
    size_t pos = 0;
    int failures = 0;
    while (pos < src.size()) {
        size_t end = src.find('\n', pos);
        if (end == std::string::npos) end = src.size();
        std::string line = src.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) {
            std::fprintf(stderr, "%s:%zu: expected key=text\n", argv[1], lineNo);
            ++failures;
            continue;
        }
        std::string key = line.substr(0, eq);
        if (key.find_first_of(" \t") != std::string::npos) {
            std::fprintf(stderr, "%s:%zu: blank in key '%s'\n", argv[1], lineNo, key.c_str());
            ++failures;
        }
        if (!keys.insert(key).second) {
            std::fprintf(stderr, "%s:%zu: key '%s' given twice\n", argv[1], lineNo, key.c_str());
            ++failures;
        }
        for (size_t at; argc == 4 && (at = line.find("@VERSION@")) != std::string::npos;)
            line.replace(at, 9, argv[3]);
        std::vector<uint32_t> cps;
        if (!DecodeUtf8(line, cps)) {
            std::fprintf(stderr, "%s:%zu: not UTF-8\n", argv[1], lineNo);
            ++failures;
            continue;
        }
        for (uint32_t cp : cps) {
            if (cp >= 0x10000) {
                cp -= 0x10000;
                PutUnit(out, 0xD800 + (cp >> 10));
                PutUnit(out, 0xDC00 + (cp & 0x3FF));
            } else {
                PutUnit(out, cp);
            }
        }
        PutUnit(out, '\r');
        PutUnit(out, '\n');
    }
    if (failures) return 1;
    std::ofstream f(argv[2], std::ios::binary | std::ios::trunc);
    if (!f.write(out.data(), std::streamsize(out.size()))) {
        std::fprintf(stderr, "gen-texts: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}

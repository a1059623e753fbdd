// datpack: packs a content folder into one resource archive ("game.dat").
//
//   datpack <folder> <archive> [name prefix]
//
// Every file under <folder> becomes one zlib-compressed entry named by the prefix (default: the
// folder's own name) and its relative path, with backslashes: "Data\Library\Sound\bomb1.ogg".
// Entries are sorted by name so that the same folder always gives the same bytes.
//
// Layout (little-endian u32): a 256-byte header whose bytes 34-37 hold the position of the first
// directory record and 38-41 the number of records; then per entry a 22-byte record (name
// position, 0, next record position, size, packed size, 0), the entry's NUL-terminated name and
// its zlib data. The reader reads up to 256 bytes at every name position, so the file ends with
// enough padding that even the last name can be read that far.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

void PutU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    out[at] = uint8_t(v);
    out[at + 1] = uint8_t(v >> 8);
    out[at + 2] = uint8_t(v >> 16);
    out[at + 3] = uint8_t(v >> 24);
}

bool ReadFile(const fs::path& p, std::vector<uint8_t>& data) {
    std::ifstream in(p, std::ios::binary);
    if (!in) return false;
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

struct Entry {
    std::string name;
    fs::path path;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: datpack <folder> <archive> [name prefix]\n");
        return 2;
    }
    fs::path folder = argv[1];
    fs::path archive = argv[2];
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        std::fprintf(stderr, "datpack: '%s' is not a folder\n", argv[1]);
        return 1;
    }
    std::string prefix = argc == 4 ? argv[3] : fs::absolute(folder).lexically_normal().filename().string();
    if (prefix.empty()) prefix = fs::absolute(folder).lexically_normal().parent_path().filename().string();

    std::vector<Entry> entries;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file()) continue;
        std::string rel = fs::relative(it->path(), folder).generic_string();
        std::replace(rel.begin(), rel.end(), '/', '\\');
        std::string name = prefix.empty() ? rel : prefix + "\\" + rel;
        if (name.size() > 255) {
            std::fprintf(stderr, "datpack: name too long: %s\n", name.c_str());
            return 1;
        }
        entries.push_back({name, it->path()});
    }
    if (ec) {
        std::fprintf(stderr, "datpack: cannot list '%s': %s\n", argv[1], ec.message().c_str());
        return 1;
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });

    std::vector<uint8_t> out(256, 0);
    const char magic[] = "Parlorix resource archive";
    std::copy(magic, magic + sizeof magic - 1, out.begin());
    PutU32(out, 34, entries.empty() ? 0 : 256);
    PutU32(out, 38, uint32_t(entries.size()));

    std::vector<uint8_t> data;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!ReadFile(entries[i].path, data)) {
            std::fprintf(stderr, "datpack: cannot read '%s'\n", entries[i].path.string().c_str());
            return 1;
        }
        uLongf packedSize = compressBound(uLong(data.size()));
        std::vector<uint8_t> packed(packedSize);
        if (compress2(packed.data(), &packedSize, data.data(), uLong(data.size()), 9) != Z_OK) {
            std::fprintf(stderr, "datpack: cannot compress '%s'\n", entries[i].name.c_str());
            return 1;
        }
        size_t rec = out.size();
        size_t namePos = rec + 22;
        size_t next = namePos + entries[i].name.size() + 1 + packedSize;
        if (next > 0xFFFFFFF0u) {
            std::fprintf(stderr, "datpack: archive larger than 4 GB\n");
            return 1;
        }
        out.resize(namePos, 0);
        PutU32(out, rec + 0, uint32_t(namePos));
        PutU32(out, rec + 8, uint32_t(next));
        PutU32(out, rec + 12, uint32_t(data.size()));
        PutU32(out, rec + 16, uint32_t(packedSize));
        out.insert(out.end(), entries[i].name.begin(), entries[i].name.end());
        out.push_back(0);
        out.insert(out.end(), packed.begin(), packed.begin() + long(packedSize));
    }
    out.resize(out.size() + 256, 0);

    fs::path tmp = archive;
    tmp += ".tmp";
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        if (!f.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()))) {
            std::fprintf(stderr, "datpack: cannot write '%s'\n", tmp.string().c_str());
            return 1;
        }
    }
    fs::rename(tmp, archive, ec);
    if (ec) {
        std::fprintf(stderr, "datpack: cannot write '%s': %s\n", argv[2], ec.message().c_str());
        return 1;
    }
    std::printf("datpack: %zu entries, %zu bytes -> %s\n", entries.size(), out.size(), argv[2]);
    return 0;
}

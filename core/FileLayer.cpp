#include "core/FileLayer.h"

#include "core/Log.h"
#include "platform/Files.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <strings.h>
#include <sys/stat.h>
#include <vector>
#include <zlib.h>

namespace FileLayer {

namespace {

uint32_t ReadU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Nothing the game ships comes near this; a larger size in an archive record is damage.
constexpr uint32_t kMaxEntrySize = 256u << 20;

uint8_t* AllocBuffer(uint64_t size) {
    auto* buf = static_cast<uint8_t*>(std::malloc(size + 2));
    if (buf) {
        buf[size] = 0;
        buf[size + 1] = 0;
    }
    return buf;
}

} // namespace

class Archive {
  public:
    struct Entry {
        std::string name;
        uint64_t dataPos = 0;
        uint32_t size = 0;
        uint32_t packedSize = 0;
    };

    ~Archive() {
        if (file_) std::fclose(file_);
    }

    bool Open(const char* name) {
        name_ = name;
        file_ = Platform::OpenFile(name, "rb");
        if (!file_) return false;
        if (std::fseek(file_, 0, SEEK_END) != 0) return false;
        long end = std::ftell(file_);
        if (end < 0) return false;
        fileSize_ = static_cast<uint64_t>(end);
        uint8_t header[256];
        if (!ReadAt(0, header, sizeof header)) return Damaged("header shorter than 256 bytes");
        uint64_t pos = ReadU32(header + 34);
        int32_t count = static_cast<int32_t>(ReadU32(header + 38));
        if (count < 1) return true;
        // Every record takes 22 bytes plus a name: a count the file cannot hold is damage, but
        // the records that are there are still used.
        if (static_cast<uint64_t>(count) > fileSize_ / 23) {
            Damaged("record count larger than the file; the records found are used");
            count = static_cast<int32_t>(fileSize_ / 23);
        }
        entries_.reserve(static_cast<size_t>(count));
        std::set<uint64_t> seen;
        for (int32_t i = 0; i < count; ++i) {
            uint8_t rec[22];
            // The records are a chain: past a record that cannot be read there is no next one.
            if (!seen.insert(pos).second) {
                DamagedEntry(i, "the directory loops back; the records before it are used");
                break;
            }
            if (!ReadAt(pos, rec, sizeof rec)) {
                DamagedEntry(i, "directory record past the end of the file; the records before it are used");
                break;
            }
            const uint64_t here = pos;
            pos = ReadU32(rec + 8);
            // A record whose own fields are damaged is skipped; the chain goes on after it.
            uint64_t namePos = ReadU32(rec + 0);
            if (namePos >= fileSize_) {
                DamagedEntry(i, "entry name past the end of the file; entry skipped");
                continue;
            }
            uint8_t nameBuf[256];
            size_t want = static_cast<size_t>(std::min<uint64_t>(sizeof nameBuf, fileSize_ - namePos));
            const void* zero = ReadAt(namePos, nameBuf, want) ? std::memchr(nameBuf, 0, want) : nullptr;
            if (!zero) {
                DamagedEntry(i, "entry name without its terminating zero; entry skipped");
                continue;
            }
            Entry e;
            e.name.assign(reinterpret_cast<const char*>(nameBuf),
                          static_cast<const uint8_t*>(zero) - nameBuf);
            e.dataPos = here + 22 + e.name.size() + 1;
            e.size = ReadU32(rec + 12);
            e.packedSize = ReadU32(rec + 16);
            if (e.size > kMaxEntrySize || e.packedSize > fileSize_ || e.dataPos > fileSize_ - e.packedSize) {
                DamagedEntry(i, ("entry '" + e.name + "' lies outside the archive; entry skipped").c_str());
                continue;
            }
            entries_.push_back(std::move(e));
        }
        return true;
    }

    const Entry* Find(const std::string& path) const {
        for (const Entry& e : entries_)
            if (::strcasecmp(e.name.c_str(), path.c_str()) == 0) return &e;
        return nullptr;
    }

    // The entry's content in a buffer with two zero bytes after it; nullptr when the entry is
    // damaged (sizes beyond the file, data that does not unpack to the recorded size).
    uint8_t* Extract(const Entry& e) {
        if (e.size > kMaxEntrySize || e.packedSize > fileSize_ || e.dataPos > fileSize_ - e.packedSize) {
            LogMsg("FileLayer: entry '%s' of '%s' lies outside the archive\n", e.name.c_str(), name_.c_str());
            return nullptr;
        }
        std::vector<uint8_t> packed(e.packedSize);
        if (!ReadAt(e.dataPos, packed.data(), packed.size())) {
            LogMsg("FileLayer: cannot read entry '%s' of '%s'\n", e.name.c_str(), name_.c_str());
            return nullptr;
        }
        uint8_t* out = AllocBuffer(e.size);
        if (!out) return nullptr;
        uLongf outLen = e.size;
        int rc = ::uncompress(out, &outLen, packed.data(), packed.size());
        if (rc != Z_OK || outLen != e.size) {
            LogMsg("FileLayer: entry '%s' of '%s' does not unpack (zlib %d)\n", e.name.c_str(), name_.c_str(),
                   rc);
            std::free(out);
            return nullptr;
        }
        return out;
    }

    const std::vector<Entry>& Entries() const { return entries_; }

  private:
    bool ReadAt(uint64_t pos, void* dst, size_t n) {
        if (pos > fileSize_ || n > fileSize_ - pos) return false;
        if (std::fseek(file_, static_cast<long>(pos), SEEK_SET) != 0) return false;
        return std::fread(dst, 1, n, file_) == n;
    }
    bool Damaged(const char* why) {
        LogMsg("FileLayer: damaged archive '%s': %s\n", name_.c_str(), why);
        return false;
    }
    void DamagedEntry(int32_t record, const char* why) {
        LogMsg("FileLayer: damaged archive '%s': record %d: %s\n", name_.c_str(), int(record), why);
    }

    std::string name_;
    FILE* file_ = nullptr;
    uint64_t fileSize_ = 0;
    std::vector<Entry> entries_;
};

namespace {

struct MountRecord {
    std::unique_ptr<Archive> archive;
    std::string prefix;
    uint32_t flags = 0;
    uint32_t id = 0;
};

std::string g_startDir;
uint32_t g_lastSize = 0;
uint32_t g_mountCounter = 0;
std::vector<MountRecord> g_mounts;
uint32_t g_mountGeneration = 0;

// The plain file's path when it is one that Load would read.
bool PlainFile(const std::string& name, std::string& path, uint64_t& size) {
    path = Platform::ResolvePath(name);
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<uint64_t>(st.st_size) > kMaxEntrySize * 4ull)
        return false;
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

uint8_t* LoadPlain(const std::string& name) {
    std::string path;
    uint64_t size = 0;
    if (!PlainFile(name, path, size)) return nullptr;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return nullptr;
    uint8_t* buf = AllocBuffer(size);
    bool ok = buf && std::fread(buf, 1, size, f) == size;
    std::fclose(f);
    if (!ok) {
        std::free(buf);
        return nullptr;
    }
    g_lastSize = static_cast<uint32_t>(size);
    return buf;
}

void ScanFolder(const std::string& hostDir, const std::string& relative, std::vector<std::string>& out) {
    std::vector<Platform::DirEntry> entries;
    if (!Platform::ListDirectory(hostDir, entries)) return;
    for (const auto& e : entries) {
        if (e.isDirectory)
            ScanFolder(hostDir + "/" + e.name, relative + e.name + "\\", out);
        else
            out.push_back(relative + e.name);
    }
}

// The places `name` is looked for, in order: the plain file, then each mount (its archive's entry,
// or for a folder the file under its prefix). `take` is handed each place there is (a path, with
// the archive and its entry when it is in one) and says whether it is the one wanted; the search
// ends at the first it takes.
template <class Take> bool Search(const char* name, Take take) {
    if (take(std::string(name), nullptr, nullptr)) return true;
    for (const auto& m : g_mounts) {
        std::string path = m.prefix + name;
        if (path.size() > 255) path.resize(255);
        if (!m.archive) {
            if (take(path, nullptr, nullptr)) return true;
            continue;
        }
        if (const Archive::Entry* e = m.archive->Find(path); e && take(path, m.archive.get(), e)) return true;
    }
    return false;
}

} // namespace

uintptr_t Mount(const char* archiveName, const char* prefix, uint32_t flags) {
    g_startDir = Platform::CurrentDirectory();
    std::unique_ptr<Archive> archive;
    if (flags & 1) {
        archive = std::make_unique<Archive>();
        if (!archive->Open(archiveName ? archiveName : "")) {
            archive.reset();
            if (!(flags & 2)) return 0;
        }
    }
    MountRecord m;
    m.archive = std::move(archive);
    m.prefix = prefix ? prefix : "";
    m.flags = flags;
    m.id = ++g_mountCounter;
    g_mounts.push_back(std::move(m));
    ++g_mountGeneration;
    const auto& last = g_mounts.back();
    return last.archive ? reinterpret_cast<uintptr_t>(last.archive.get()) : last.id;
}

uint8_t* Load(const char* name) {
    if (!name || !*name) return nullptr;
    uint8_t* buf = nullptr;
    Search(name, [&](const std::string& path, Archive* archive, const Archive::Entry* entry) {
        if (!archive) return (buf = LoadPlain(path)) != nullptr;
        buf = archive->Extract(*entry);
        if (buf) g_lastSize = entry->size;
        return buf != nullptr;
    });
    return buf;
}

uint32_t MountGeneration() {
    return g_mountGeneration;
}

bool Exists(const char* name) {
    if (!name || !*name) return false;
    std::string resolved;
    uint64_t size = 0;
    return Search(name, [&](const std::string& path, Archive* archive, const Archive::Entry*) {
        return archive || PlainFile(path, resolved, size);
    });
}

uint32_t LastLoadedSize() {
    return g_lastSize;
}

void Free(uint8_t* buffer) {
    std::free(buffer);
}

int Enumerate(const char* folder, const char* extensions, EnumCallback callback, void* user) {
    if (!callback) return 0;
    std::vector<std::string> names;
    for (const auto& m : g_mounts)
        if (m.archive)
            for (const auto& e : m.archive->Entries())
                names.push_back(e.name);
    std::string dir = folder ? folder : "";
    if (!dir.empty() && ::strcasecmp(dir.c_str(), "..") != 0 && Platform::IsDirectory(dir))
        ScanFolder(Platform::ResolvePath(dir), dir + "\\", names);

    std::string list = extensions ? extensions : "";
    for (const std::string& n : names) {
        size_t slash = n.rfind('\\');
        std::string base = slash == std::string::npos ? n : n.substr(slash + 1);
        size_t dot = base.rfind('.');
        if (dot == std::string::npos) continue;
        std::string ext = base.substr(dot + 1);
        if (!ext.empty() && list.find(ext) != std::string::npos) callback(n.c_str(), user);
    }
    return 0;
}

void UnmountAll() {
    g_mounts.clear();
    ++g_mountGeneration;
    g_lastSize = 0;
}

} // namespace FileLayer

FileBuffer::FileBuffer(const char* name) {
    data_ = FileLayer::Load(name);
    size_ = data_ ? FileLayer::LastLoadedSize() : 0;
}

FileBuffer::~FileBuffer() {
    FileLayer::Free(data_);
}

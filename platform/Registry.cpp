#include "platform/Registry.h"

#include "platform/AtomicFile.h"
#include "platform/Files.h"
#include "platform/Report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Store format, one value a line (Windows line ends are read too):
//   # Parlorix settings. name=dword:<number> or name=string:<text>
//   name=dword:<decimal>
//   name=string:<text with \\, \n and \r escaped>
//   # end
// The end marker comes last: a file without it was cut short. Lines that do not parse are
// skipped; before a damaged file is rewritten, it is kept beside the store as "<file>.corrupt" so
// that nothing is silently lost.
namespace Platform {

namespace {

constexpr const char* kHeader = "# Parlorix settings. name=dword:<number> or name=string:<text>\n";
constexpr const char* kEndMarker = "# end";

std::string g_root;

void MakeDirs(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '/') ::mkdir(path.substr(0, i).c_str(), 0700);
}

std::string FolderOf(const std::string& file) {
    return file.substr(0, file.rfind('/'));
}

std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

bool Unescape(const std::string& s, std::string& out) {
    out.clear();
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (++i >= s.size()) return false;
        switch (s[i]) {
        case '\\':
            out += '\\';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return false;
        }
    }
    return true;
}

bool ReadWhole(const std::string& path, std::string& text, std::string& reason) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = "not a regular file";
        return false;
    }
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        reason = std::strerror(errno);
        return false;
    }
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) reason = "read error";
    return !failed;
}

} // namespace

namespace {

// A name the file can hold: not empty, no line end or "=", and not read back as a comment.
bool ValidName(const std::string& name) {
    return !name.empty() && name[0] != '#' && name.find_first_of("=\n\r") == std::string::npos;
}

// A name the store's lines cannot hold is a caller's fault: said, and nothing written.
bool WritableName(const std::string& name) {
    if (ValidName(name)) return true;
    Report("Registry: '%s' cannot be a value name; not written\n", name.c_str());
    return false;
}

template <class Value> bool ParseValue(const std::string& rest, Value& v) {
    if (rest.rfind("dword:", 0) == 0) {
        const char* digits = rest.c_str() + 6;
        char* end = nullptr;
        errno = 0;
        unsigned long long n = std::strtoull(digits, &end, 10);
        if (!*digits || *digits == '-' || *end || errno != 0 || n > 0xFFFFFFFFull) return false;
        v.isDword = true;
        v.dword = static_cast<uint32_t>(n);
        return true;
    }
    if (rest.rfind("string:", 0) == 0) return Unescape(rest.substr(7), v.text);
    return false;
}

// Parses a store file's text into `values`; returns the damage found ("" when none).
template <class Values> std::string ParseStore(const std::string& text, Values& values) {
    std::string damage;
    auto note = [&](const std::string& what) {
        if (damage.empty()) damage = what;
    };
    size_t pos = 0;
    int lineNo = 0;
    bool ended = false;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        ++lineNo;
        if (nl == std::string::npos) {
            // A last line without its line end is what a cut-short write leaves: never a value.
            note("its last line is cut short");
            break;
        }
        std::string line = text.substr(pos, nl - pos);
        pos = nl + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (ended) {
            note("text follows its end marker");
            continue;
        }
        if (line == kEndMarker) {
            ended = true;
            continue;
        }
        if (line.empty() || line[0] == '#') continue;
        size_t eq = line.find('=');
        typename Values::mapped_type v;
        if (eq == std::string::npos || eq == 0 || !ParseValue(line.substr(eq + 1), v)) {
            note("line " + std::to_string(lineNo) + " cannot be read");
            continue;
        }
        values[line.substr(0, eq)] = v;
    }
    if (!ended) note("its end marker is missing");
    return damage;
}

} // namespace

void SetRegistryRoot(const std::string& folder) {
    g_root = folder;
}

std::string RegistryRoot() {
    return g_root.empty() ? ConfigDirectory() + "/registry" : g_root;
}

bool RegistryKey::Open(const std::string& path) {
    std::string rel = path;
    for (char& c : rel)
        if (c == '\\') c = '/';
    while (!rel.empty() && rel.front() == '/')
        rel.erase(rel.begin());
    if (rel.empty() || rel.find("..") != std::string::npos) return false;
    file_ = RegistryRoot() + "/" + rel + ".reg";
    open_ = true;
    batch_ = 0;
    pending_ = false;
    lastError_.clear();
    MakeDirs(FolderOf(file_));
    struct stat st;
    if (::stat(FolderOf(file_).c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        Report("Registry: cannot create the folder '%s'; settings will not be kept\n",
               FolderOf(file_).c_str());
    if (int n = RemoveOrphanTemporaries(file_))
        Report("Registry: removed %d temporary file(s) of an interrupted save beside '%s'\n", n,
               file_.c_str());
    Reload();
    return true;
}

void RegistryKey::Reload() {
    values_.clear();
    damaged_ = false;
    if (!open_) return;
    std::string text, reason;
    if (!ReadWhole(file_, text, reason)) {
        if (reason != std::strerror(ENOENT)) {
            damaged_ = true;
            Report("Registry: cannot read '%s': %s\n", file_.c_str(), reason.c_str());
        }
        return;
    }
    std::string damage = ParseStore(text, values_);
    if (damage.empty()) return;

    damaged_ = true;
    const std::string keep = file_ + ".corrupt";
    std::string keepError;
    if (!WriteFileAtomically(keep, text, &keepError))
        Report("Registry: cannot keep the damaged file as '%s': %s\n", keep.c_str(), keepError.c_str());
    const std::string bak = file_ + ".bak";
    std::string bakText;
    std::map<std::string, Value> previous;
    if (ReadWhole(bak, bakText, reason) && ParseStore(bakText, previous).empty()) {
        values_ = previous;
        Report("Registry: '%s' is damaged (%s); read the previous copy '%s' instead, the damaged file is "
               "kept as '%s'\n",
               file_.c_str(), damage.c_str(), bak.c_str(), keep.c_str());
        return;
    }
    Report("Registry: '%s' is damaged (%s) and has no sound previous copy; read as far as valid, a copy is "
           "kept as '%s'\n",
           file_.c_str(), damage.c_str(), keep.c_str());
}

bool RegistryKey::ReadDword(const std::string& name, uint32_t& out) const {
    auto it = values_.find(name);
    if (!open_ || it == values_.end() || !it->second.isDword) return false;
    out = it->second.dword;
    return true;
}

bool RegistryKey::ReadString(const std::string& name, std::string& out) const {
    auto it = values_.find(name);
    if (!open_ || it == values_.end() || it->second.isDword) return false;
    out = it->second.text;
    return true;
}

bool RegistryKey::ReadString(const std::string& name, char* buf, size_t cap) const {
    std::string s;
    if (!buf || cap == 0 || !ReadString(name, s)) return false;
    size_t n = std::min(s.size(), cap - 1);
    std::memcpy(buf, s.data(), n);
    buf[n] = 0;
    return true;
}

bool RegistryKey::WriteDword(const std::string& name, uint32_t value) {
    if (!open_ || !WritableName(name)) return false;
    Value v;
    v.isDword = true;
    v.dword = value;
    values_[name] = v;
    return Save();
}

bool RegistryKey::WriteString(const std::string& name, const std::string& value) {
    if (!open_ || !WritableName(name)) return false;
    Value v;
    v.text = value;
    values_[name] = v;
    return Save();
}

void RegistryKey::Begin() {
    ++batch_;
}

bool RegistryKey::Commit() {
    if (batch_ > 0 && --batch_ > 0) return true;
    if (!pending_) return lastError_.empty();
    return Save();
}

// The file as it is now becomes "<file>.bak": a hard link, so the store's own name never goes
// missing; where links are not possible, a copy.
void RegistryKey::KeepPreviousGeneration() {
    const std::string bak = file_ + ".bak";
    struct stat st;
    if (::lstat(file_.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
    ::unlink(bak.c_str());
    if (::link(file_.c_str(), bak.c_str()) == 0) return;
    std::string text, reason;
    if (!ReadWhole(file_, text, reason) || !WriteFileAtomically(bak, text, &reason))
        Report("Registry: cannot keep the previous copy '%s': %s\n", bak.c_str(), reason.c_str());
}

bool RegistryKey::Save() {
    if (!open_) return false;
    if (batch_ > 0) {
        pending_ = true;
        return true;
    }
    pending_ = false;
    std::string text = kHeader;
    for (const auto& [name, v] : values_)
        text += name + (v.isDword ? "=dword:" + std::to_string(v.dword) : "=string:" + Escape(v.text)) + "\n";
    text += kEndMarker;
    text += "\n";

    MakeDirs(FolderOf(file_));
    if (!damaged_) KeepPreviousGeneration();
    std::string error;
    if (!WriteFileAtomically(file_, text, &error)) {
        // The values stay in memory: the next save writes them all again.
        pending_ = true;
        lastError_ = error;
        Report("Registry: cannot save '%s': %s\n", file_.c_str(), error.c_str());
        return false;
    }
    damaged_ = false;
    lastError_.clear();
    return true;
}

} // namespace Platform

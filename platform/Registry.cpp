#include "platform/Registry.h"

#include "platform/Files.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Store format, one value a line:
//   name=dword:<decimal>
//   name=string:<text with \\, \n and \r escaped>
// Lines that do not parse are skipped on reading; before such a file is rewritten, it is kept
// beside the store as "<file>.corrupt" so that nothing is silently lost.
namespace Platform {

namespace {

std::string g_root;

std::string Root() {
    return g_root.empty() ? ConfigDirectory() + "/registry" : g_root;
}

void MakeDirs(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '/') ::mkdir(path.substr(0, i).c_str(), 0700);
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

} // namespace

void SetRegistryRoot(const std::string& folder) {
    g_root = folder;
}

bool RegistryKey::Open(const std::string& path) {
    std::string rel = path;
    for (char& c : rel)
        if (c == '\\') c = '/';
    while (!rel.empty() && rel.front() == '/')
        rel.erase(rel.begin());
    if (rel.empty() || rel.find("..") != std::string::npos) return false;
    std::string root = Root();
    file_ = root + "/" + rel + ".reg";
    MakeDirs(file_.substr(0, file_.rfind('/')));
    struct stat st;
    if (::stat(file_.substr(0, file_.rfind('/')).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        open_ = false;
        return false;
    }
    open_ = true;
    Reload();
    return true;
}

void RegistryKey::Reload() {
    values_.clear();
    if (!open_) return;
    FILE* f = std::fopen(file_.c_str(), "rb");
    if (!f) return;
    bool corrupt = false;
    std::string line;
    int ch;
    auto take = [&](const std::string& l) {
        if (l.empty() || l[0] == '#') return;
        size_t eq = l.find('=');
        if (eq == std::string::npos || eq == 0) {
            corrupt = true;
            return;
        }
        std::string name = l.substr(0, eq), rest = l.substr(eq + 1);
        Value v;
        if (rest.rfind("dword:", 0) == 0) {
            const char* digits = rest.c_str() + 6;
            char* end = nullptr;
            unsigned long long n = std::strtoull(digits, &end, 10);
            if (!*digits || *end || n > 0xFFFFFFFFull) {
                corrupt = true;
                return;
            }
            v.isDword = true;
            v.dword = static_cast<uint32_t>(n);
        } else if (rest.rfind("string:", 0) == 0) {
            if (!Unescape(rest.substr(7), v.text)) {
                corrupt = true;
                return;
            }
        } else {
            corrupt = true;
            return;
        }
        values_[name] = v;
    };
    bool sawNewline = true;
    while ((ch = std::fgetc(f)) != EOF) {
        if (ch == '\n') {
            take(line);
            line.clear();
            sawNewline = true;
        } else {
            line += static_cast<char>(ch);
            sawNewline = false;
        }
    }
    // A last line without its line end is what a torn write would leave: read it only when it
    // parses completely.
    if (!sawNewline && !line.empty()) take(line);
    std::fclose(f);
    if (corrupt) {
        std::string keep = file_ + ".corrupt";
        std::FILE* in = std::fopen(file_.c_str(), "rb");
        std::FILE* out = std::fopen(keep.c_str(), "wb");
        if (in && out) {
            char buf[4096];
            size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, in)) > 0)
                std::fwrite(buf, 1, n, out);
        }
        if (in) std::fclose(in);
        if (out) std::fclose(out);
        std::fprintf(stderr, "Registry: damaged store '%s' read as far as valid; a copy is kept as '%s'\n",
                     file_.c_str(), keep.c_str());
    }
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
    if (!open_ || name.empty() || name.find_first_of("=\n\r") != std::string::npos) return false;
    Value v;
    v.isDword = true;
    v.dword = value;
    values_[name] = v;
    return Save();
}

bool RegistryKey::WriteString(const std::string& name, const std::string& value) {
    if (!open_ || name.empty() || name.find_first_of("=\n\r") != std::string::npos) return false;
    Value v;
    v.text = value;
    values_[name] = v;
    return Save();
}

bool RegistryKey::Save() {
    std::string text = "# Parlorix settings. name=dword:<number> or name=string:<text>\n";
    for (const auto& [name, v] : values_)
        text += name + (v.isDword ? "=dword:" + std::to_string(v.dword) : "=string:" + Escape(v.text)) + "\n";

    // Temporary file, flush to disk, then rename over the store: readers see the old file or
    // the new one, never a half-written one.
    std::string tmp = file_ + ".tmp" + std::to_string(::getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) {
            ::close(fd);
            ::unlink(tmp.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    if (::rename(tmp.c_str(), file_.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    int dfd = ::open(file_.substr(0, file_.rfind('/')).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

} // namespace Platform

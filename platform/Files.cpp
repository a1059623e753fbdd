#include "platform/Files.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <pwd.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

namespace {

bool Exists(const std::string& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0;
}

// Finds `name` in `dir` ignoring letter case; empty when there is no such entry.
std::string MatchComponent(const std::string& dir, const std::string& name) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return {};
    std::string found;
    while (dirent* e = ::readdir(d)) {
        if (::strcasecmp(e->d_name, name.c_str()) == 0) {
            found = e->d_name;
            break;
        }
    }
    ::closedir(d);
    return found;
}

} // namespace

std::string ResolvePath(const std::string& winPath) {
    std::string p = winPath;
    std::replace(p.begin(), p.end(), '\\', '/');
    if (p.empty() || Exists(p)) return p;

    // Walk the components, keeping the exact name where it exists and a case-insensitive match
    // otherwise; once nothing matches, the rest of the path is kept as given.
    std::string out;
    size_t pos = 0;
    if (p[0] == '/') {
        out = "/";
        pos = 1;
    }
    bool matching = true;
    while (pos <= p.size()) {
        size_t slash = p.find('/', pos);
        std::string comp = p.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
        if (!comp.empty()) {
            std::string base = out.empty() ? std::string() : out;
            std::string candidate = base + comp;
            if (matching && !Exists(candidate)) {
                std::string dir = base.empty() ? "." : base;
                if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
                std::string m = MatchComponent(dir, comp);
                if (!m.empty())
                    candidate = base + m;
                else
                    matching = false;
            }
            out = candidate;
        }
        if (slash == std::string::npos) break;
        if (!comp.empty() || out.empty() || out.back() != '/') out += '/';
        pos = slash + 1;
    }
    return out;
}

FILE* OpenFile(const std::string& winPath, const char* mode) {
    return std::fopen(ResolvePath(winPath).c_str(), mode);
}

bool FileExists(const std::string& winPath) {
    struct stat st;
    return ::stat(ResolvePath(winPath).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& winPath) {
    struct stat st;
    return ::stat(ResolvePath(winPath).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string CurrentDirectory() {
    char buf[4096];
    if (!::getcwd(buf, sizeof buf)) return ".";
    return buf;
}

bool SetCurrentDirectory(const std::string& winPath) {
    return ::chdir(ResolvePath(winPath).c_str()) == 0;
}

bool ListDirectory(const std::string& winPath, std::vector<DirEntry>& out) {
    out.clear();
    std::string path = ResolvePath(winPath);
    DIR* d = ::opendir(path.empty() ? "." : path.c_str());
    if (!d) return false;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st;
        std::string full = (path.empty() ? std::string(".") : path) + "/" + name;
        if (::stat(full.c_str(), &st) != 0) continue;
        out.push_back({name, S_ISDIR(st.st_mode)});
    }
    ::closedir(d);
    std::sort(out.begin(), out.end(), [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    return true;
}

namespace {
// "/tmp/parlorix-<uid>", used only when it is this user's own folder and nobody else's.
std::string PrivateTmpFolder() {
    const std::string path = "/tmp/parlorix-" + std::to_string(::getuid());
    ::mkdir(path.c_str(), 0700);
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0)
        return "/nonexistent";
    return path;
}
std::string EnsureDir(const std::string& path) {
    // mkdir -p, one component at a time.
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') ::mkdir(path.substr(0, i).c_str(), 0700);
    }
    return path;
}
// The user's home: $HOME, else the account's home folder; never a shared folder such as /tmp,
// where anyone could prepare the path beforehand.
std::string Home() {
    const char* home = std::getenv("HOME");
    if (home && *home == '/') return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir == '/') return pw->pw_dir;
    return PrivateTmpFolder();
}
std::string HomeSub(const char* env, const char* fallback) {
    const char* v = std::getenv(env);
    if (v && *v == '/') return v;
    return Home() + fallback;
}
} // namespace

std::string ConfigDirectory() {
    return EnsureDir(HomeSub("XDG_CONFIG_HOME", "/.config") + "/parlorix");
}

std::string DataDirectory() {
    return EnsureDir(HomeSub("XDG_DATA_HOME", "/.local/share") + "/parlorix");
}

std::string ExecutableDirectory() {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return CurrentDirectory();
    std::string path(buf, static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

namespace {
bool HoldsContent(const std::string& dir) {
    return IsDirectory(dir + "/Data") || FileExists(dir + "/game.dat");
}
std::string Parent(const std::string& dir) {
    const size_t slash = dir.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : dir.substr(0, slash);
}
} // namespace

GameLocation LocateGame(const std::string& exeDir) {
    GameLocation at;
    auto runIn = [&at](const std::string& dir) {
        at.workDir = dir;
        at.archive = "game.dat";
        at.settings = dir + "/Game.ini";
        return at;
    };
    if (HoldsContent(exeDir)) return runIn(exeDir);
    std::string dir = exeDir;
    for (int up = 0; up < 3 && dir != "/"; ++up) {
        dir = Parent(dir);
        if (FileExists(dir + "/CMakeCache.txt")) {
            if (HoldsContent(dir)) return runIn(dir);
            break;
        }
    }
    const std::string prefix = Parent(exeDir);
    for (const char* share : {"/share/parlorix", "/share/games/parlorix"}) {
        const std::string folder = (prefix == "/" ? std::string() : prefix) + share;
        if (!FileExists(folder + "/game.dat")) continue;
        at.workDir = DataDirectory();
        at.archive = folder + "/game.dat";
        at.settings = folder + "/Game.ini";
        at.installed = true;
        return at;
    }
    return runIn(exeDir);
}

std::string RuntimeDirectory() {
    const char* v = std::getenv("XDG_RUNTIME_DIR");
    if (v && *v == '/') return v;
    return PrivateTmpFolder();
}

} // namespace Platform

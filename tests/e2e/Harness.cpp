#include "e2e/Harness.h"

#include "picture/Image.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace E2e {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool HaveTool(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0) return true;
    return false;
}

std::string MissingTools(std::initializer_list<const char*> names) {
    std::string missing;
    for (const char* name : names)
        if (!HaveTool(name)) missing += (missing.empty() ? "" : ", ") + std::string(name);
    return missing;
}

void KeepShot(const std::string& label, const std::string& jpeg) {
    if (const char* build = std::getenv("PARLORIX_BUILD_DIR")) {
        std::error_code ec;
        fs::create_directories(std::string(build) + "/e2e-shots", ec);
        std::ofstream(std::string(build) + "/e2e-shots/" + label + ".jpg", std::ios::binary) << jpeg;
    }
}

// ---- Processes ---------------------------------------------------------------------------------------

int RunTool(const std::vector<std::string>& args, const Env& env, int timeoutMs, std::string* output,
            const std::string& cwd) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return -1000;
    // In a process group of its own, so that a timeout ends what it started too.
    Process tool;
    const bool started = tool.Start(args, env, "", cwd, fds[1], [] { setpgid(0, 0); });
    close(fds[1]);
    std::string out;
    char buf[4096];
    ssize_t n = 0;
    int code = -1000;
    bool open = true;
    for (const long long deadline = NowMs() + timeoutMs; started;) {
        pollfd p{fds[0], POLLIN, 0};
        if (!open) {
            Sleep(10);
        } else if (poll(&p, 1, static_cast<int>(std::clamp<long long>(deadline - NowMs(), 0, 50))) > 0) {
            if ((n = read(fds[0], buf, sizeof buf)) > 0)
                out.append(buf, static_cast<size_t>(n));
            else
                open = false;
        }
        if ((code = tool.WaitExit(0)) != -1000) {
            // Ended: what is left in the pipe is collected without waiting on grandchildren.
            fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
            while (open && (n = read(fds[0], buf, sizeof buf)) > 0)
                out.append(buf, static_cast<size_t>(n));
            break;
        }
        if (NowMs() > deadline) {
            kill(-tool.Pid(), SIGKILL);
            tool.Kill();
            out += "\n[timed out]";
            break;
        }
    }
    close(fds[0]);
    if (output) *output = out;
    return code;
}

int XdoOn(const std::string& display, const std::vector<std::string>& args, std::string* output) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunTool(argv, {{"DISPLAY", display}}, 5000, output);
}

bool XServer::Start(std::string& error) {
    int fds[2];
    if (pipe(fds) != 0) {
        error = "pipe failed";
        return false;
    }
    if (!process_.Start({"Xvfb", "-displayfd", "3", "-screen", "0", screen_, "-nolisten", "tcp", "-noreset"},
                        {}, "", "", -1, [w = fds[1]] { dup2(w, 3); })) {
        close(fds[0]);
        close(fds[1]);
        error = "fork failed";
        return false;
    }
    close(fds[1]);
    // Xvfb writes its display number once it accepts clients.
    std::string number;
    for (const long long deadline = NowMs() + 10000; NowMs() < deadline && process_.Running();) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char c;
        if (read(fds[0], &c, 1) != 1 || c == '\n') break;
        number += c;
    }
    close(fds[0]);
    if (number.empty() || !process_.Running()) {
        error = "Xvfb did not report a display within 10 s";
        Stop();
        return false;
    }
    display_ = ":" + number;
    return true;
}

// ---- Game ------------------------------------------------------------------------------------------

Game::Game(std::string binary, std::string workDir, std::string home, std::string display)
    : binary_(std::move(binary)), workDir_(std::move(workDir)), home_(std::move(home)),
      display_(std::move(display)), shotDir_(workDir_) {
    fs::create_directories(home_ + "/config");
    fs::create_directories(RuntimeDir());
    fs::permissions(RuntimeDir(), fs::perms::owner_all, fs::perm_options::replace);
    fs::create_directories(DataHome());
}

std::string Game::OptionsFile() const {
    return home_ + "/config/parlorix/registry/Software/Quillmarsh/Parlorix/Options.reg";
}

bool Game::Start() {
    // In the sanitizer build: D-Bus and X11 libraries that SDL loads for a real window leave
    // blocks behind at exit, which LeakSanitizer would turn into a failed exit; memory errors
    // still abort. The program's own leaks are checked by the headless tests.
    const char* asan = std::getenv("ASAN_OPTIONS");
    Env env{{"ASAN_OPTIONS", std::string(asan ? asan : "") + (asan && *asan ? ":" : "") + "detect_leaks=0"},
            {"DISPLAY", display_},
            {"XDG_CONFIG_HOME", home_ + "/config"},
            {"XDG_RUNTIME_DIR", RuntimeDir()},
            {"XDG_DATA_HOME", DataHome()},
            {"SDL_VIDEODRIVER", "x11"},
            {"SDL_AUDIODRIVER", "dummy"}};
    env.insert(env.end(), env_.begin(), env_.end());
    window_.clear();
    return Process::Start({binary_}, env, home_ + "/stdout.txt", workDir_);
}

std::vector<std::string> Game::Windows() const {
    std::string out;
    Xdo({"search", "--name", "^Parlorix$"}, &out);
    std::vector<std::string> ids;
    std::stringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) ids.push_back(line);
    return ids;
}

bool Game::FindWindow(int ms) {
    const long long deadline = NowMs() + ms;
    const auto ended = [&] { return Pid() > 0 && kill(Pid(), 0) != 0; };
    const bool found = WaitUntil(
        ms,
        [&] {
            const auto ids = Windows();
            if (!ids.empty()) window_ = ids.front();
            return !ids.empty() || ended();
        },
        100);
    if (!found || ended()) return false;
    // The window is mapped before its first frame: wait for the log to say it was shown (a
    // build-tree copy logs in its folder, an installed game in its data folder).
    bool shown = false;
    WaitUntil(
        static_cast<int>(std::max(0LL, deadline - NowMs())),
        [&] {
            for (const std::string& log : {workDir_ + "/Log000.txt", DataHome() + "/parlorix/Log000.txt"})
                shown = shown || ReadFile(log).find("First frame presented") != std::string::npos;
            return shown || ended();
        },
        20);
    return shown;
}

void Game::MoveMouse(int x, int y) {
    Xdo({"mousemove", "--window", window_, std::to_string(x), std::to_string(y)});
}

void Game::Press() {
    Sleep(120);
    Xdo({"mousedown", "1"});
    Sleep(60);
    Xdo({"mouseup", "1"});
    Sleep(60);
}

void Game::Key(const std::string& keysym) {
    Xdo({"keydown", keysym});
    Sleep(150);
    Xdo({"keyup", keysym});
    Sleep(40);
}

void Game::Keys(const std::vector<std::string>& keysyms) {
    std::vector<std::string> args;
    for (const std::string& k : keysyms)
        args.insert(args.end(), {"keydown", k, "sleep", "0.06", "keyup", k, "sleep", "0.05"});
    if (!args.empty()) Xdo(args);
}

bool Game::Screenshot(Bitmap& out, const std::string& label) {
    // One screenshot per 500 ms at most: keep the presses apart.
    const long long wait = lastShotMs_ + 600 - NowMs();
    if (wait > 0) Sleep(static_cast<int>(wait));
    // The newest "screen%04d.jpg" after the press is this one; earlier runs in the same folder left
    // theirs, and a retried press may have written one more.
    auto newest = [&]() {
        std::string best;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(shotDir_, ec)) {
            std::string name = e.path().filename().string();
            if (name.size() == 14 && name.rfind("screen", 0) == 0 && e.path().extension() == ".jpg" &&
                name > best)
                best = name;
        }
        return best;
    };
    const std::string before = newest();
    std::string file;
    const long long hardDeadline = NowMs() + 9000;
    // A press shorter than a slow frame can go unseen; press again while no new file comes.
    for (int attempt = 0; attempt < 3 && file.empty(); ++attempt) {
        if (attempt > 0) Sleep(600);
        Key(shotKey_);
        lastShotMs_ = NowMs();
        for (const long long deadline = NowMs() + 2500; NowMs() < deadline && file.empty(); Sleep(50)) {
            const std::string now = newest();
            if (now > before) file = shotDir_ + "/" + now;
        }
    }
    // The writer may still be busy: a whole JPEG ends with EOI and decodes.
    std::string bytes;
    const bool ok = !file.empty() && WaitUntil(static_cast<int>(std::max(0LL, hardDeadline - NowMs())), [&] {
        bytes = ReadFile(file);
        return bytes.size() > 2 && static_cast<uint8_t>(bytes[bytes.size() - 2]) == 0xFF &&
               static_cast<uint8_t>(bytes.back()) == 0xD9 &&
               Image::DecodeJpeg(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
    });
    if (!ok) return false;
    KeepShot(label, bytes);
    return out.Width() == 800 && out.Height() == 600;
}

std::string AwaitShot(Game& game, Bitmap& shot, const std::string& label,
                      const std::function<std::string(const Bitmap&)>& fits, int ms) {
    std::string why = "no screenshot";
    for (const long long deadline = NowMs() + ms; NowMs() < deadline;) {
        if (!game.Screenshot(shot, label)) continue;
        why = fits(shot);
        if (why.empty()) return why;
    }
    return label + ": " + why;
}

// ---- Pixels ----------------------------------------------------------------------------------------

Rgb At(const Bitmap& shot, int x, int y) {
    if (x < 0 || y < 0 || x >= static_cast<int>(shot.Width()) || y >= static_cast<int>(shot.Height()) ||
        shot.Bits() != 32)
        return {};
    const uint8_t* p = shot.Row(static_cast<uint32_t>(y)) + static_cast<size_t>(x) * 4;
    return {p[2], p[1], p[0]}; // blue, green, red, alpha in memory
}

namespace {

template <class F> void ForEach(const Box& box, F f) {
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x)
            f(x, y);
}

} // namespace

Rgb Mean(const Bitmap& shot, const Box& box) {
    long long r = 0, g = 0, b = 0, n = 0;
    ForEach(box, [&](int x, int y) {
        const Rgb c = At(shot, x, y);
        r += c.r, g += c.g, b += c.b, ++n;
    });
    if (n == 0) return {};
    return {static_cast<int>(r / n), static_cast<int>(g / n), static_cast<int>(b / n)};
}

void Hsv(const Rgb& c, double& h, double& s, double& v) {
    double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
    double mx = std::max({r, g, b}), mn = std::min({r, g, b}), d = mx - mn;
    v = mx * 255.0;
    s = mx > 0 ? d / mx : 0;
    if (d <= 0) {
        h = 0;
    } else if (mx == r) {
        h = 60.0 * std::fmod((g - b) / d + 6.0, 6.0);
    } else if (mx == g) {
        h = 60.0 * ((b - r) / d + 2.0);
    } else {
        h = 60.0 * ((r - g) / d + 4.0);
    }
}

// The menus' pure green and yellow; the bricks' softer shades stay out.
bool IsMenuGreen(const Rgb& c) {
    return c.g > 200 && c.r < 90 && c.b < 90;
}
bool IsMenuYellow(const Rgb& c) {
    return c.r > 200 && c.g > 200 && c.b < 90 && std::abs(c.r - c.g) < 40;
}
bool IsWhite(const Rgb& c) {
    return c.r > 200 && c.g > 200 && c.b > 200;
}

int Count(const Bitmap& shot, const Box& box, bool (*pred)(const Rgb&)) {
    int n = 0;
    ForEach(box, [&](int x, int y) { n += pred(At(shot, x, y)) ? 1 : 0; });
    return n;
}

double Difference(const Bitmap& a, const Bitmap& b, const Box& box) {
    double sum = 0;
    long long n = 0;
    ForEach(box, [&](int x, int y) {
        const Rgb p = At(a, x, y), q = At(b, x, y);
        sum += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b);
        n += 3;
    });
    return n ? sum / static_cast<double>(n) : 0;
}

} // namespace E2e

// parlorix-bench: what the game costs, measured on the real modules and the generated content,
// printed as one JSON document. Every time comes with the time of a memcpy of the frame's pixels
// (or the scene's) as a yardstick, so figures of different machines can be compared.
//
//   parlorix-bench [--data <build tree with Data/>] [--game <parlorix binary>] [--frames N]
//                  [--idle-seconds N] [--no-idle] [--shots <folder for a picture of each screen>]
//
// Headless: SDL's dummy video and audio drivers. The data folder defaults to $PARLORIX_DATA_DIR,
// then to the build tree the bench was built in. The idle cost runs the real program on its title
// screen, once with the dummy video driver and once under Xvfb (x11) when Xvfb is installed.
#include "app/App.h"
#include "core/Log.h"
#include "game/GameBoard.h"
#include "gfx/Graphics.h"
#include "gfx/Renderer.h"
#include "picture/Image.h"
#include "platform/Clock.h"
#include "platform/Registry.h"
#include "scene/Level.h"
#include "screens/Hud.h"
#include "screens/RealSeam.h"
#include "screens/Screens.h"
#include "ui/Frontend.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const Clock::time_point g_processStart = Clock::now();

double MsSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// ---- Yardstick -------------------------------------------------------------------------------

// Median time of one memcpy of `bytes` between two buffers touched beforehand (the median keeps
// the figure steady on a busy machine). Measured once per size.
double MemcpyMs(size_t bytes) {
    static std::map<size_t, double> known;
    if (auto it = known.find(bytes); it != known.end()) return it->second;
    std::vector<uint8_t> src(bytes, 0x5A), dst(bytes, 0);
    volatile uint8_t sink = 0;
    std::vector<double> times;
    for (int i = 0; i < 301; ++i) {
        src[size_t(i) % bytes] = uint8_t(i);
        const auto start = Clock::now();
        std::memcpy(dst.data(), src.data(), bytes);
        times.push_back(MsSince(start));
        sink = sink + dst[size_t(i) * 7 % bytes];
    }
    std::nth_element(times.begin(), times.begin() + 150, times.end());
    return known[bytes] = times[150];
}

// ---- Statistics of repeated timings ----------------------------------------------------------

struct Stats {
    double mean = 0, median = 0, p95 = 0, min = 0, max = 0;
    size_t count = 0;
};

Stats Summarise(std::vector<double> v) {
    Stats s;
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    s.count = v.size();
    double sum = 0;
    for (double x : v)
        sum += x;
    s.mean = sum / double(v.size());
    s.median = v[v.size() / 2];
    s.p95 = v[std::min(v.size() - 1, size_t(double(v.size()) * 0.95))];
    s.min = v.front();
    s.max = v.back();
    return s;
}

// ---- JSON ---------------------------------------------------------------------------------------

std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += std::string("\\") + c;
        else if (static_cast<unsigned char>(c) < 0x20)
            out += ' ';
        else
            out += c;
    }
    return out + "\"";
}

std::string Num(double v, int decimals = 3) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

std::string StatsJson(const Stats& s, double yardstickMs) {
    std::ostringstream o;
    o << "{\"frames\": " << s.count << ", \"mean_ms\": " << Num(s.mean)
      << ", \"median_ms\": " << Num(s.median) << ", \"p95_ms\": " << Num(s.p95)
      << ", \"max_ms\": " << Num(s.max) << ", \"memcpy_frame_ms\": " << Num(yardstickMs, 4)
      << ", \"median_in_memcpys\": " << Num(yardstickMs > 0 ? s.median / yardstickMs : 0, 1) << "}";
    return o.str();
}

// ---- Memory -------------------------------------------------------------------------------------

// A "VmRSS:"-style line of /proc/<pid>/status in kilobytes; 0 when missing.
long StatusKb(const std::string& statusPath, const char* field) {
    std::ifstream in(statusPath);
    std::string line;
    const size_t n = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, n, field) == 0) return std::strtol(line.c_str() + n, nullptr, 10);
    return 0;
}

// ---- Frames -------------------------------------------------------------------------------------

std::string g_shots; // --shots: where the last frame of each measurement goes

// The back buffer as "<shots>/<name>.jpg", for a look at what was measured.
void Shot(const char* name) {
    SDL_Surface* back = Graphics::GetBackBuffer();
    if (g_shots.empty() || !back) return;
    SDL_Surface* copy = SDL_ConvertSurfaceFormat(back, SDL_PIXELFORMAT_ARGB8888, 0);
    if (!copy) return;
    if (SDL_LockSurface(copy) == 0) {
        const std::string path = g_shots + "/" + name + ".jpg";
        if (!Image::WriteJpeg(path.c_str(), static_cast<const uint8_t*>(copy->pixels), uint32_t(copy->w),
                              uint32_t(copy->h), size_t(copy->pitch), Image::PixelOrder::BGRA, 80))
            std::fprintf(stderr, "cannot write '%s'\n", path.c_str());
        SDL_UnlockSurface(copy);
    }
    SDL_FreeSurface(copy);
}

// The game's clock during the frame measurements: 60 Hz frames, whatever the bench's own pace, so
// that what moves on screen moves as it does for a player.
uint32_t g_gameClock = 0;
uint32_t GameClock() {
    return g_gameClock;
}

struct FrameRun {
    Stats timing;
    int presented = 0;
};

// `frames` frames of the program's own loop, 60 Hz apart on the game's clock; `redraw` makes each
// one compose and present the whole picture (the cost of a frame in which everything changed).
FrameRun TimeFrames(int frames, bool redraw = false) {
    FrameRun run;
    std::vector<double> times;
    times.reserve(size_t(frames));
    for (int i = 0; i < frames; ++i) {
        g_gameClock += i % 3 == 2 ? 16 : 17;
        App::DispatchEvents();
        if (redraw) Graphics::InvalidateFrame();
        const auto start = Clock::now();
        App::Frame();
        times.push_back(MsSince(start));
        if (App::LastFramePresented()) ++run.presented;
    }
    run.timing = Summarise(times);
    return run;
}

std::string FrameJson(const FrameRun& live, const FrameRun& redraw, double yardstickMs) {
    std::ostringstream o;
    o << "{\"at_60_hz\": " << StatsJson(live.timing, yardstickMs) << ", \"presented\": " << live.presented
      << ", \"full_redraw\": " << StatsJson(redraw.timing, yardstickMs) << "}";
    return o.str();
}

// The running Lines game on a full board; the stuck counter is held at 0 so that the full board
// does not end the game (which would bring in the result panel).
void LinesUpdate(uint32_t elapsedMs, FrameRecord* frame) {
    Game::GameUpdate(elapsedMs, frame);
    Game::g_Board.stuckCounter = 0;
}

// Every cell of the 10 x 10 board taken: bricks of all six colours with no five in a row, and one
// bonus of each kind.
int FillLinesBoard(Level* scene) {
    using namespace Game;
    GameBoard& board = g_Board;
    RealSeam& seam = TheRealSeam();
    seam.SetLevel(scene);
    board.ClearBoard();
    board.NewGame(GameMode::Lines);
    board.dealFlag = false;
    board.spawnEnabled = false;
    board.now = seam.Now();
    for (int32_t x = 0; x < board.w; ++x)
        for (int32_t y = 0; y < board.h; ++y) {
            int32_t kind = (x + 2 * y) % 6 + 1;
            if (y == 4 && x % 3 == 1) kind = KindClock + x / 3 % 7;
            if (y == 8 && x == 2) kind = KindCoin;
            ObjectRef object = seam.CreateObject("Item", board.TemplateName(kind), float(board.CellPixelX(x)),
                                                 float(board.CellPixelY(y)));
            seam.SetSort(object, kind >= KindClock ? 2 : 0);
            BoardItem* item = board.AddItem(kind, x, y, object);
            board.SetState(*item, ItemState::Stay);
        }
    board.RebuildGrid();
    return board.ItemCount();
}

// ---- The real program, idle on its title screen --------------------------------------------

// Time spent over a stretch, by the game and by the X server beside it.
struct Stretch {
    double seconds = 0;
    double cpuSeconds = 0;
    double serverCpuSeconds = -1; // -1 without a server
};

struct IdleResult {
    std::string driver;
    bool ran = false;
    std::string note;
    double startupToTitleMs = 0;
    double startupToFirstFrameMs = -1; // -1: the program does not say when it first presented
    Stretch moving;                    // the title with its slider moving
    Stretch still;                     // the title once nothing moves (the slider at rest)
    long rssKb = 0, peakRssKb = 0;
    double wakeupsPerSecond = -1; // while the window is hidden; -1 when not measured
    std::map<std::string, double> wakeupsByThread;
    double exitMs = -1; // SIGTERM to the process gone
};

// utime + stime of a process in seconds.
double CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string f;
    unsigned long long utime = 0, stime = 0;
    // Fields after the command: state is field 3; utime and stime are fields 14 and 15.
    for (int i = 3; i <= 15 && fields >> f; ++i) {
        if (i == 14) utime = std::strtoull(f.c_str(), nullptr, 10);
        if (i == 15) stime = std::strtoull(f.c_str(), nullptr, 10);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

bool FileContains(const fs::path& folder, const char* prefix, const char* text) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        if (e.path().filename().string().rfind(prefix, 0) != 0) continue;
        std::ifstream in(e.path());
        std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (all.find(text) != std::string::npos) return true;
    }
    return false;
}

void StopProcess(pid_t pid) {
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 300; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

// Starts an X server of its own on a free display; 0 when there is none to start. It tells its
// display number through the pipe once it accepts connections, and may tell it again later: the
// pipe stays open (`pipeFd`) until the server is stopped, or the server dies of the closed pipe.
pid_t StartXvfb(std::string& display, int& pipeFd) {
    // A display number no server uses and none left a socket or lock behind for.
    int number = 90;
    while (number < 200 && (fs::exists("/tmp/.X11-unix/X" + std::to_string(number)) ||
                            fs::exists("/tmp/.X" + std::to_string(number) + "-lock")))
        ++number;
    const std::string wanted = ":" + std::to_string(number);
    int fds[2];
    if (::pipe(fds) != 0) return 0;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        int devnull = ::open("/dev/null", O_WRONLY);
        if (devnull >= 0) {
            ::dup2(devnull, 1);
            ::dup2(devnull, 2);
        }
        ::execlp("Xvfb", "Xvfb", wanted.c_str(), "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24",
                 "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        return 0;
    }
    char buf[32] = {};
    ssize_t got = 0;
    // Xvfb writes the display number once it accepts connections.
    for (int tries = 0; tries < 100 && got <= 0; ++tries) {
        got = ::read(fds[0], buf, sizeof buf - 1);
        if (got < 0 && errno != EINTR) break;
    }
    if (got <= 0) {
        StopProcess(pid);
        ::close(fds[0]);
        return 0;
    }
    pipeFd = fds[0];
    display = ":" + std::to_string(std::atoi(buf));
    return pid;
}

// Context switches of every thread of a process, by thread name: each is a wake-up.
std::map<std::string, long> Switches(pid_t pid) {
    std::map<std::string, long> out;
    std::error_code ec;
    for (const auto& t : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        std::ifstream comm(t.path() / "comm");
        std::string name;
        std::getline(comm, name);
        const std::string status = (t.path() / "status").string();
        out[name] +=
            StatusKb(status, "voluntary_ctxt_switches:") + StatusKb(status, "nonvoluntary_ctxt_switches:");
    }
    return out;
}

// Runs a command with DISPLAY set and returns its first line of output.
std::string RunLine(const std::string& display, const std::vector<std::string>& args) {
    int fds[2];
    if (::pipe(fds) != 0) return "";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], 1);
        ::close(fds[0]);
        ::setenv("DISPLAY", display.c_str(), 1);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string out;
    char buf[256];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, size_t(n));
    ::close(fds[0]);
    if (pid > 0) ::waitpid(pid, nullptr, 0);
    return out.substr(0, out.find('\n'));
}

// The window unmapped (as a minimised window is): the wake-ups of the game's threads over 5 s.
void MeasureHidden(pid_t pid, const std::string& display, IdleResult& r) {
    const std::string window = RunLine(display, {"xdotool", "search", "--pid", std::to_string(pid)});
    if (window.empty()) return;
    RunLine(display, {"xdotool", "windowunmap", "--sync", window});
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const auto before = Switches(pid);
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const auto after = Switches(pid);
    const double seconds = MsSince(t0) / 1000.0;
    double total = 0;
    for (const auto& [name, n] : after) {
        const auto it = before.find(name);
        const double perSecond = double(n - (it == before.end() ? 0 : it->second)) / seconds;
        r.wakeupsByThread[name] = perSecond;
        total += perSecond;
    }
    r.wakeupsPerSecond = total;
    RunLine(display, {"xdotool", "windowmap", window});
}

IdleResult MeasureIdle(const std::string& game, const fs::path& data, const std::string& driver,
                       const std::string& display, pid_t server, int seconds) {
    IdleResult r;
    r.driver = driver == "x11" ? "x11 (Xvfb " + display + ")" : driver;
    // A working folder of its own (log file, registry, lock), with the content linked in: the
    // archive and the settings file as an installed game has them, else the Data folder itself.
    char templ[] = "/tmp/parlorix-bench-idle-XXXXXX";
    if (!::mkdtemp(templ)) {
        r.note = "no temporary folder";
        return r;
    }
    const fs::path work = templ;
    std::error_code ec;
    fs::path cwd = data;
    std::string binary = game;
    if (fs::exists(data / "game.dat")) {
        fs::create_symlink(data / "game.dat", work / "game.dat", ec);
        if (fs::exists(data / "Game.ini")) fs::create_symlink(data / "Game.ini", work / "Game.ini", ec);
        // The game finds its content beside its executable: a copy runs with the linked archive.
        fs::copy_file(game, work / "parlorix", ec);
        if (!ec) binary = (work / "parlorix").string();
        cwd = work;
    }
    fs::create_directories(work / "config");
    fs::create_directories(work / "share");
    fs::create_directories(work / "run");
    ::chmod((work / "run").c_str(), 0700);

    const auto launched = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(cwd.c_str()) != 0) ::_exit(126);
        ::setenv("SDL_VIDEODRIVER", driver.c_str(), 1);
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (!display.empty()) ::setenv("DISPLAY", display.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (work / "config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (work / "share").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (work / "run").c_str(), 1);
        int output = ::open((work / "output.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (output >= 0) {
            ::dup2(output, 1);
            ::dup2(output, 2);
        }
        ::execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (pid < 0) {
        r.note = "fork failed";
        fs::remove_all(work, ec);
        return r;
    }
    // The title screen is up once the renderer has composed it (its log line).
    bool up = false, ended = false;
    int status = 0;
    while (MsSince(launched) < 60000) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            ended = true;
            break;
        }
        if (FileContains(cwd, "Log", "OnSceneChanged time")) {
            up = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!up) {
        r.note = "the game did not reach its title screen";
        if (ended)
            r.note += WIFEXITED(status) ? "; exit code " + std::to_string(WEXITSTATUS(status))
                                        : "; signal " + std::to_string(WTERMSIG(status));
        std::ifstream out(work / "output.txt");
        std::string line, last;
        while (std::getline(out, line))
            if (!line.empty()) last = line;
        if (!last.empty()) r.note += "; last output: " + last;
        if (!ended) StopProcess(pid);
        fs::remove_all(work, ec);
        return r;
    }
    r.startupToTitleMs = MsSince(launched);
    // The first presented frame follows the composed title at once (or never, without a window).
    while (MsSince(launched) < r.startupToTitleMs + 3000 && ::waitpid(pid, nullptr, WNOHANG) == 0) {
        if (FileContains(cwd, "Log", "First frame presented")) {
            r.startupToFirstFrameMs = MsSince(launched);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    auto measure = [&](double fromMs, double seconds) {
        const double wait = fromMs - MsSince(launched);
        if (wait > 0) std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(wait));
        Stretch st;
        const double cpu0 = CpuSeconds(pid), server0 = server ? CpuSeconds(server) : 0;
        const auto t0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        const double cpu1 = CpuSeconds(pid), server1 = server ? CpuSeconds(server) : 0;
        st.seconds = MsSince(t0) / 1000.0;
        st.cpuSeconds = cpu0 >= 0 && cpu1 >= 0 ? cpu1 - cpu0 : -1;
        st.serverCpuSeconds = server ? server1 - server0 : -1;
        return st;
    };
    // The slider moves from the first frame until the player has left it alone for its rest time.
    const double restMs = double(Frontend::kSliderRestMs);
    r.moving = measure(r.startupToTitleMs + 1000, std::min(double(seconds), restMs / 1000.0 - 3.0));
    r.still = measure(r.startupToTitleMs + restMs + 1000, seconds);
    const std::string statusFile = "/proc/" + std::to_string(pid) + "/status";
    r.rssKb = StatusKb(statusFile, "VmRSS:");
    r.peakRssKb = StatusKb(statusFile, "VmHWM:");
    if (!display.empty()) MeasureHidden(pid, display, r);
    const bool alive = ::waitpid(pid, nullptr, WNOHANG) == 0;
    if (alive) {
        const auto term = Clock::now();
        ::kill(pid, SIGTERM);
        bool gone = false;
        while (!gone && MsSince(term) < 5000) {
            gone = ::waitpid(pid, nullptr, WNOHANG) == pid;
            if (!gone) std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        if (gone)
            r.exitMs = MsSince(term);
        else
            StopProcess(pid);
    }
    if (cwd != work) {
        for (const auto& e : fs::directory_iterator(cwd, ec)) // the log the game wrote beside Data
            if (e.path().filename().string().rfind("Log", 0) == 0 &&
                fs::last_write_time(e.path(), ec) >
                    fs::file_time_type::clock::now() - std::chrono::minutes(2))
                fs::remove(e.path(), ec);
    }
    fs::remove_all(work, ec);
    if (!alive || r.moving.cpuSeconds < 0 || r.still.cpuSeconds < 0) {
        r.note = "the game ended during the measurement";
        return r;
    }
    r.ran = true;
    return r;
}

std::string StretchJson(const Stretch& st) {
    std::ostringstream o;
    const double together = st.cpuSeconds + std::max(0.0, st.serverCpuSeconds);
    o << "{\"seconds\": " << Num(st.seconds, 2) << ", \"game_utime_plus_stime_s\": " << Num(st.cpuSeconds, 2)
      << ", \"game_percent_of_one_core\": " << Num(100.0 * st.cpuSeconds / st.seconds, 1);
    if (st.serverCpuSeconds >= 0)
        o << ", \"x_server_utime_plus_stime_s\": " << Num(st.serverCpuSeconds, 2)
          << ", \"together_percent_of_one_core\": " << Num(100.0 * together / st.seconds, 1);
    o << "}";
    return o.str();
}

std::string IdleJson(const IdleResult& r) {
    std::ostringstream o;
    o << "{\"video_driver\": " << Quote(r.driver);
    if (!r.ran) {
        o << ", \"skipped\": " << Quote(r.note) << "}";
        return o.str();
    }
    o << ", \"startup_to_title_composed_ms\": " << Num(r.startupToTitleMs, 0);
    if (r.startupToFirstFrameMs >= 0)
        o << ", \"startup_to_first_frame_ms\": " << Num(r.startupToFirstFrameMs, 0);
    o << ",\n      \"idle_title_slider_moving\": " << StretchJson(r.moving)
      << ",\n      \"idle_static_screen\": " << StretchJson(r.still) << ",\n      \"rss_kb\": " << r.rssKb
      << ", \"peak_rss_kb\": " << r.peakRssKb;
    if (r.wakeupsPerSecond >= 0) {
        o << ",\n      \"wakeups_per_second_while_hidden\": " << Num(r.wakeupsPerSecond, 1)
          << ", \"by_thread\": {";
        bool first = true;
        for (const auto& [name, n] : r.wakeupsByThread) {
            o << (first ? "" : ", ") << Quote(name) << ": " << Num(n, 1);
            first = false;
        }
        o << "}";
    }
    if (r.exitMs >= 0) o << ",\n      \"exit_after_sigterm_ms\": " << Num(r.exitMs, 1);
    o << "}";
    return o.str();
}

// ---- Arguments ----------------------------------------------------------------------------------

fs::path ExecutableDirectory() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path() : exe.parent_path();
}

bool HasData(const fs::path& p) {
    return fs::is_directory(p / "Data" / "Levels") || fs::exists(p / "game.dat");
}

} // namespace

int main(int argc, char** argv) {
    fs::path data;
    std::string game;
    int frames = 300;
    int idleSeconds = 10;
    bool idle = true;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--data" && i + 1 < argc)
            data = argv[++i];
        else if (a == "--game" && i + 1 < argc)
            game = argv[++i];
        else if (a == "--frames" && i + 1 < argc)
            frames = std::max(10, std::atoi(argv[++i]));
        else if (a == "--idle-seconds" && i + 1 < argc)
            idleSeconds = std::max(1, std::atoi(argv[++i]));
        else if (a == "--shots" && i + 1 < argc)
            g_shots = fs::absolute(argv[++i]).string();
        else if (a == "--no-idle")
            idle = false;
        else {
            std::fprintf(stderr, "usage: parlorix-bench [--data DIR] [--game PARLORIX] [--frames N] "
                                 "[--idle-seconds N] [--no-idle] [--shots DIR]\n");
            return 2;
        }
    }
    // The build tree: <build>/bench/parlorix-bench/parlorix-bench.
    const fs::path buildTree = ExecutableDirectory().parent_path().parent_path();
    if (data.empty()) {
        const char* env = std::getenv("PARLORIX_DATA_DIR");
        data = env && *env ? fs::path(env) : buildTree;
    }
    data = fs::absolute(data);
    if (!HasData(data)) {
        std::fprintf(stderr, "parlorix-bench: no generated content in '%s' (give --data)\n", data.c_str());
        return 2;
    }
    if (game.empty()) game = (buildTree / "app" / "parlorix").string();

    ::setenv("SDL_VIDEODRIVER", "dummy", 1);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    char templ[] = "/tmp/parlorix-bench-XXXXXX";
    if (!::mkdtemp(templ)) return 1;
    const fs::path scratch = templ;
    Platform::SetRegistryRoot((scratch / "config").string());
    if (::chdir(data.c_str()) != 0) return 1;

    // Start-up to the first presented frame: the program's own, without the instance lock and
    // without Game.ini (frames here are measured unpaced).
    const auto startupBegin = Clock::now();
    App::StartOptions options;
    options.instanceLock = false;
    options.locate = false; // the content is in the folder prepared here
    options.settingsFile = false;
    options.logDirectory = scratch.string() + "/";
    if (!App::StartUp(std::move(options)) || !GetActiveScene()) {
        std::fprintf(stderr, "parlorix-bench: start-up failed (log: %s)\n", Log::Path().c_str());
        return 1;
    }
    App::Frame();
    const double startupMs = MsSince(startupBegin);
    const double processToFirstFrameMs = MsSince(g_processStart);
    const long rssAfterStartupKb = StatusKb("/proc/self/status", "VmRSS:");

    const double memcpyFrame = MemcpyMs(800 * 600 * 4);
    g_gameClock = Platform::TimeMs();
    Platform::SetTimeSource(&GameClock);

    // Title screen frames.
    TimeFrames(20); // warm-up: menu texts are made on first use
    const FrameRun title = TimeFrames(frames);
    const FrameRun titleRedraw = TimeFrames(frames, true);
    Shot("title");

    // Every scene of the scene file, composed again and again.
    Log::SetEnabled(false);
    std::ostringstream scenes;
    Episode* episode = GetCurrentEpisode();
    int sceneCount = 0;
    double sceneTotalMs = 0, titleSceneMs = 0, othersMaxMs = 0, firstMaxMs = 0;
    for (const auto& cell : episode->cells) {
        Level* scene = cell.second;
        if (!scene) continue;
        std::vector<double> times;
        // The first switch to a scene decodes its background; the others find it decoded.
        for (int r = 0; r < 5; ++r) {
            const auto start = Clock::now();
            Renderer::OnSceneChanged(scene);
            times.push_back(MsSince(start));
        }
        const Stats s = Summarise(times);
        const size_t pixels = size_t(std::max(0.0f, scene->vSize.x)) * size_t(std::max(0.0f, scene->vSize.y));
        const double yard = pixels ? MemcpyMs(pixels * 4) : 0;
        scenes << (sceneCount ? ",\n      " : "") << "{\"scene\": " << Quote(scene->sName) << ", \"size\": ["
               << int(scene->vSize.x) << ", " << int(scene->vSize.y)
               << "], \"elements\": " << scene->elements.size() << ", \"lights\": " << scene->lights.size()
               << ", \"parallax\": " << (scene->bUseParallax ? "true" : "false")
               << ", \"first_ms\": " << Num(times.front()) << ", \"median_ms\": " << Num(s.median)
               << ", \"min_ms\": " << Num(s.min) << ", \"memcpy_scene_ms\": " << Num(yard, 4)
               << ", \"median_in_memcpys\": " << Num(yard > 0 ? s.median / yard : 0, 1) << "}";
        ++sceneCount;
        sceneTotalMs += s.median;
        if (scene->sName == "Level_00_00")
            titleSceneMs = s.median;
        else
            othersMaxMs = std::max(othersMaxMs, s.median);
        firstMaxMs = std::max(firstMaxMs, times.front());
    }

    // The running Lines game, its board full, with the Hud and the target markers.
    SwitchScene("Board", "Level_01_00");
    Level* linesScene = GetActiveScene();
    const int linesItems = FillLinesBoard(linesScene);
    linesScene->update = &LinesUpdate;
    linesScene->overlay = &Game::HudOverlay;
    linesScene->afterScene = &Game::TargetMarkers;
    TimeFrames(20); // warm-up: frame sheets and texts are made on first use
    const FrameRun lines = TimeFrames(frames);
    const FrameRun linesRedraw = TimeFrames(frames, true);
    Shot("lines");
    Game::g_Board.ClearBoard();

    // The running Groups game: the first tick deals the 20 x 20 board.
    SwitchScene("Board", "Level_02_00");
    Level* groupsScene = GetActiveScene();
    Game::g_Board.NewGame(Game::GameMode::Groups);
    groupsScene->update = &Game::GameUpdate;
    groupsScene->overlay = &Game::HudOverlay;
    groupsScene->afterScene = nullptr;
    TimeFrames(20);
    const int groupsItems = Game::g_Board.ItemCount();
    const FrameRun groups = TimeFrames(frames);
    const FrameRun groupsRedraw = TimeFrames(frames, true);
    Shot("groups");
    // An hour with the window in the background: the first frame back catches up the animations.
    g_gameClock += 3600u * 1000u;
    const auto hourStart = Clock::now();
    App::DispatchEvents();
    App::Frame();
    const double afterHourMs = MsSince(hourStart);
    Game::g_Board.ClearBoard();

    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    const long peakRssKb = usage.ru_maxrss;
    App::ShutDown();
    Platform::SetTimeSource(nullptr);
    if (::chdir("/") != 0) return 1;
    std::error_code ec;
    fs::remove_all(scratch, ec);

    // The real program, idle on its title screen.
    std::vector<IdleResult> idleResults;
    if (idle) {
        if (!fs::exists(game)) {
            IdleResult r;
            r.driver = "dummy";
            r.note = "no parlorix binary at " + game;
            idleResults.push_back(r);
        } else {
            idleResults.push_back(MeasureIdle(game, data, "dummy", "", 0, idleSeconds));
            std::string display;
            int pipeFd = -1;
            if (pid_t xvfb = StartXvfb(display, pipeFd)) {
                idleResults.push_back(MeasureIdle(game, data, "x11", display, xvfb, idleSeconds));
                StopProcess(xvfb);
                ::close(pipeFd);
            } else {
                IdleResult r;
                r.driver = "x11";
                r.note = "Xvfb could not be started";
                idleResults.push_back(r);
            }
        }
    }

    std::ostringstream o;
    o << "{\n";
    o << "  \"data\": " << Quote(data.string()) << ",\n";
    o << "  \"screen\": [800, 600, 32],\n";
    o << "  \"video_driver\": \"dummy\",\n";
    o << "  \"vertical_retrace\": false,\n";
    o << "  \"memcpy_frame_ms\": " << Num(memcpyFrame, 4) << ",\n";
    o << "  \"startup\": {\"to_first_presented_frame_ms\": " << Num(startupMs, 1)
      << ", \"process_start_to_first_frame_ms\": " << Num(processToFirstFrameMs, 1)
      << ", \"rss_after_startup_kb\": " << rssAfterStartupKb << "},\n";
    o << "  \"frame_title\": " << FrameJson(title, titleRedraw, memcpyFrame) << ",\n";
    o << "  \"frame_lines_full_board_hud\": {\"items\": " << linesItems
      << ", \"timing\": " << FrameJson(lines, linesRedraw, memcpyFrame) << "},\n";
    o << "  \"frame_groups_board_hud\": {\"items\": " << groupsItems
      << ", \"timing\": " << FrameJson(groups, groupsRedraw, memcpyFrame) << "},\n";
    o << "  \"first_frame_after_an_hour_in_background\": {\"items\": " << groupsItems
      << ", \"ms\": " << Num(afterHourMs) << ", \"memcpy_frame_ms\": " << Num(memcpyFrame, 4)
      << ", \"in_memcpys\": " << Num(memcpyFrame > 0 ? afterHourMs / memcpyFrame : 0, 1) << "},\n";
    o << "  \"on_scene_changed\": {\"scenes\": " << sceneCount
      << ", \"title_median_ms\": " << Num(titleSceneMs) << ", \"others_max_median_ms\": " << Num(othersMaxMs)
      << ", \"background_switch_max_first_ms\": " << Num(firstMaxMs)
      << ", \"memcpy_scene_ms\": " << Num(memcpyFrame, 4)
      << ", \"sum_of_medians_ms\": " << Num(sceneTotalMs, 2) << ", \"each\": [\n      " << scenes.str()
      << "]},\n";
    o << "  \"peak_rss_kb\": " << peakRssKb << ",\n";
    o << "  \"real_program\": [";
    for (size_t i = 0; i < idleResults.size(); ++i)
        o << (i ? ",\n    " : "\n    ") << IdleJson(idleResults[i]);
    o << (idleResults.empty() ? "]\n" : "\n  ]\n");
    o << "}\n";
    std::fputs(o.str().c_str(), stdout);
    return 0;
}

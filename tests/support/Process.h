#pragma once
// A process a test starts (a tool, the X server, a window manager, the game), ended by its pid;
// and the clock and the polling the tests wait with.
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace TestProcess {

using Env = std::vector<std::pair<std::string, std::string>>;

// The steady clock in milliseconds, for deadlines.
inline long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline void Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Polls `done` every `every` ms until it holds or `ms` have passed; true when it held.
template <class F> bool WaitUntil(int ms, F done, int every = 50) {
    const long long deadline = NowMs() + ms;
    for (;;) {
        if (done()) return true;
        if (NowMs() >= deadline) return false;
        Sleep(every);
    }
}

class Process {
  public:
    Process() = default;
    ~Process() { Stop(); }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Runs args[0] (a path, or looked up on PATH) with `env` set over ours (an empty value unsets) and `cwd`
    // as its folder when given. Its stdin is /dev/null; its stdout and stderr go to the descriptor `out` when
    // one is given, else are appended to `log`. `inChild` runs in the child just before the exec.
    bool Start(const std::vector<std::string>& args, const Env& env, const std::string& log,
               const std::string& cwd = "", int out = -1, const std::function<void()>& inChild = {}) {
        Stop();
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const pid_t pid = fork();
        if (pid < 0) return false;
        if (pid == 0) {
            const int null = open("/dev/null", O_RDWR);
            if (out < 0) out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            dup2(null, 0);
            dup2(out >= 0 ? out : null, 1);
            dup2(out >= 0 ? out : null, 2);
            if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(127);
            for (const auto& [k, v] : env) {
                if (v.empty())
                    unsetenv(k.c_str());
                else
                    setenv(k.c_str(), v.c_str(), 1);
            }
            if (inChild) inChild();
            execvp(argv[0], argv.data());
            _exit(127);
        }
        pid_ = pid;
        return true;
    }

    // The exit code once the process has ended by itself within `ms`, minus the signal number when
    // a signal ended it; -1000 while it runs (or when it was reaped before).
    int WaitExit(int ms) {
        int code = -1000;
        if (pid_ <= 0) return code;
        WaitUntil(
            ms,
            [&] {
                int status = 0;
                if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
                pid_ = -1;
                code = WIFEXITED(status)     ? WEXITSTATUS(status)
                       : WIFSIGNALED(status) ? -WTERMSIG(status)
                                             : -1000;
                return true;
            },
            20);
        return code;
    }
    bool Running() { return pid_ > 0 && WaitExit(0) == -1000; }
    void Signal(int sig) {
        if (pid_ > 0) kill(pid_, sig);
    }
    // `sig` (SIGTERM unless given), then SIGKILL when it has not ended within `ms`; the exit code,
    // or -1000.
    int Stop(int ms = 2000, int sig = SIGTERM) {
        if (pid_ <= 0) return -1000;
        Signal(sig);
        const int code = WaitExit(ms);
        if (code == -1000) Kill();
        return code;
    }
    // SIGKILL and reap, when still running.
    void Kill() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    pid_t Pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
};

} // namespace TestProcess

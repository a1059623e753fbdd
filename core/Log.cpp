#include "core/Log.h"

#include "platform/Report.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>

namespace {

bool g_open = false;     // started
bool g_disabled = false; // no file could be created
bool g_enabled = true;   // switched off around text drawing
std::string g_path;
// Messages are short (the longest carry a path); longer ones are cut at the buffer's end.
char g_buffer[2048];

// Messages of the platform layer (the settings store, the instance lock) join the log; without a
// log file they still reach stderr.
void PlatformMessage(const char* message) {
    if (g_disabled)
        std::fputs(message, stderr);
    else
        LogMsg("%s", message);
}

} // namespace

namespace Log {

void Start(const std::string& workingDirectory) {
    g_open = true;
    g_disabled = false;
    g_path.clear();
    FILE* f = nullptr;
    for (int n = 0; n < 100 && !f; ++n) {
        char name[1200];
        std::snprintf(name, sizeof name, "%s%s%03d%s", workingDirectory.c_str(), "Log", n, ".txt");
        f = std::fopen(name, "w+");
        if (f) g_path = name;
    }
    if (!f) {
        g_disabled = true;
        Platform::SetReportSink(&PlatformMessage);
        return;
    }
    std::time_t t = std::time(nullptr);
    std::tm lt{};
    localtime_r(&t, &lt);
    std::fprintf(f, "Log started: %02d/%02d/%04d %02d:%02d \n", lt.tm_mon + 1, lt.tm_mday, lt.tm_year + 1900,
                 lt.tm_hour, lt.tm_min);
    std::fclose(f);
    LogMsg("Working directory: %s\n", g_path.c_str());
    Platform::SetReportSink(&PlatformMessage);
}

void SetEnabled(bool on) {
    g_enabled = on;
}
bool IsEnabled() {
    return g_enabled;
}
const std::string& Path() {
    return g_path;
}

void Reset() {
    Platform::SetReportSink(nullptr);
    g_open = false;
    g_disabled = false;
    g_enabled = true;
    g_path.clear();
}

} // namespace Log

void LogMsg(const char* format, ...) {
    if (g_disabled || !g_open || !g_enabled) return;
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(g_buffer, sizeof g_buffer, format, ap);
    va_end(ap);
    std::fputs(g_buffer, stderr);
    if (FILE* f = std::fopen(g_path.c_str(), "a")) {
        std::fputs(g_buffer, f);
        std::fclose(f);
    }
}

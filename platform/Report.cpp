#include "platform/Report.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace Platform {

namespace {

void (*g_sink)(const char*) = nullptr;
std::vector<std::string>& Pending() {
    static std::vector<std::string> pending;
    return pending;
}

void PrintPendingAtExit() {
    for (const std::string& m : Pending())
        std::fputs(m.c_str(), stderr);
    Pending().clear();
}

} // namespace

void Report(const char* format, ...) {
    char buf[2048];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    if (g_sink) {
        g_sink(buf);
        return;
    }
    // The list is made before the exit handler is registered, so it outlives the handler's run.
    std::vector<std::string>& pending = Pending();
    static bool registered = false;
    if (!registered) {
        registered = true;
        std::atexit(PrintPendingAtExit);
    }
    pending.emplace_back(buf);
}

void SetReportSink(void (*sink)(const char* message)) {
    g_sink = sink;
    if (!sink) return;
    std::vector<std::string> kept;
    kept.swap(Pending());
    for (const std::string& m : kept)
        sink(m.c_str());
}

} // namespace Platform

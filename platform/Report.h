#pragma once

// Diagnostics of the platform layer (store damage, failed saves, lock trouble). They go to the
// program's log once it is open; what comes earlier is kept and handed over when the log's sink
// is set, or printed on stderr at exit when no sink ever comes.
namespace Platform {

void Report(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Receives every message (already formatted, with its own "\n"); nullptr keeps messages again.
void SetReportSink(void (*sink)(const char* message));

} // namespace Platform

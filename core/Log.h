#pragma once
#include <string>

// Process-wide diagnostic log: Log000.txt ... Log099.txt in the working directory, opened and
// closed for every message so that everything up to a crash is on disk.
namespace Log {

// Chooses and creates the file in `workingDirectory` (which ends with a separator), writes the
// header. Safe to call again (tests): it starts a fresh log.
void Start(const std::string& workingDirectory);
void SetEnabled(bool on);
bool IsEnabled();
// Path of the log file, empty when none could be created.
const std::string& Path();
// Forget everything (tests only).
void Reset();

} // namespace Log

// printf-style; messages carry their own "\n". Longer messages than the buffer are truncated.
void LogMsg(const char* format, ...) __attribute__((format(printf, 1, 2)));

#pragma once
#include <string>
#include <sys/types.h>

// Whole-file writes that never leave a half-written file: the data goes to a temporary file in
// the same folder (created exclusively, never through a link), is flushed to disk, and then takes
// the final name in one rename; the folder is flushed too, so the new name survives a power cut.
namespace Platform {

// Replaces `path` (or creates it) with `data`. Readers see the old file or the new one, never a
// part. On failure the old file is untouched, no temporary file is left, and `error` (when
// given) says what failed and why.
[[nodiscard]] bool WriteFileAtomically(const std::string& path, const std::string& data,
                                       std::string* error = nullptr, mode_t mode = 0600);

// As above, but never replaces: fails (errno EEXIST, `error` saying so) when `path` exists.
[[nodiscard]] bool WriteNewFileAtomically(const std::string& path, const std::string& data,
                                          std::string* error = nullptr, mode_t mode = 0644);

// Removes the temporary files that killed writers left beside `path` ("<name>.tmp<pid>-<n>" of
// processes that no longer run). Returns how many were removed.
int RemoveOrphanTemporaries(const std::string& path);

} // namespace Platform

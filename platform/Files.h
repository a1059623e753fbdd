#pragma once
#include <cstdio>
#include <string>
#include <vector>

// The program speaks Windows-style relative paths ("Data\Library\text"); these helpers turn them
// into host paths, matching each component without regard to letter case where the exact name is
// missing, as the original file system did.
namespace Platform {

// Backslashes become slashes; when the exact path does not exist, each component is looked up
// case-insensitively. Returns the converted path even when nothing matches (so it can be created).
std::string ResolvePath(const std::string& winPath);

// fopen through ResolvePath.
FILE* OpenFile(const std::string& winPath, const char* mode);

bool FileExists(const std::string& winPath);
bool IsDirectory(const std::string& winPath);

// Current directory of the process, without a trailing separator.
std::string CurrentDirectory();
bool SetCurrentDirectory(const std::string& winPath);

struct DirEntry {
    std::string name;
    bool isDirectory;
};
// Entries of a folder (no "." or ".."), sorted by name so listings are deterministic.
bool ListDirectory(const std::string& winPath, std::vector<DirEntry>& out);

// Per-user folders (XDG). Each is created on first use.
std::string ConfigDirectory();  // $XDG_CONFIG_HOME/parlorix or ~/.config/parlorix
std::string RuntimeDirectory(); // $XDG_RUNTIME_DIR or a private folder under /tmp
std::string DataDirectory();    // $XDG_DATA_HOME/parlorix or ~/.local/share/parlorix

// Folder of the running program's executable, without a trailing separator.
std::string ExecutableDirectory();

} // namespace Platform

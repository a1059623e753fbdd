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
[[nodiscard]] bool SetCurrentDirectory(const std::string& winPath);

struct DirEntry {
    std::string name;
    bool isDirectory;
};
// Entries of a folder (no "." or ".."), sorted by name so listings are deterministic.
[[nodiscard]] bool ListDirectory(const std::string& winPath, std::vector<DirEntry>& out);

// Per-user folders (XDG). Each is created on first use.
std::string ConfigDirectory();  // $XDG_CONFIG_HOME/parlorix or ~/.config/parlorix
std::string RuntimeDirectory(); // $XDG_RUNTIME_DIR or a private folder under /tmp
std::string DataDirectory();    // $XDG_DATA_HOME/parlorix or ~/.local/share/parlorix

// Folder of the running program's executable, without a trailing separator.
std::string ExecutableDirectory();

// Where the game's content is and where it runs, found from the executable's own folder and never
// from the current folder (which may be any folder, $HOME for a desktop launch):
// - a copy unpacked with its content: `Data/` or "game.dat" beside the executable; it runs there;
// - a build tree: the executable sits at most three folders below a folder holding
//   "CMakeCache.txt" and the content; it runs in that folder;
// - installed: "game.dat" in `<prefix>/share/parlorix` or `<prefix>/share/games/parlorix`, the
//   executable in `<prefix>/bin` or `<prefix>/games`; it runs in the user's data folder, so nothing
//   is ever written beside the installed files;
// - none of these: it runs beside the executable (and start-up reports the missing content).
struct GameLocation {
    std::string workDir;  // the working directory, without a trailing separator
    std::string archive;  // the resource archive to mount ("game.dat" or an absolute path)
    std::string settings; // the optional "Game.ini" beside the archive
    bool installed = false;
};
GameLocation LocateGame(const std::string& exeDir);

} // namespace Platform

#include "screens/Resume.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include "core/Log.h"
#include "game/GameBoard.h"
#include "game/SavedGame.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "screens/RealSeam.h"
#include "screens/Screens.h"
#include "ui/Frontend.h"
#include "ui/SceneNames.h"

namespace Game {
namespace {

constexpr int32_t kModes = 4;

struct Kept {
    std::optional<SavedGame> game; // offered on the title
    std::filesystem::file_time_type savedAt{};
};

std::string g_folder;
Kept g_kept[kModes];

int32_t Index(GameMode mode) {
    return static_cast<int32_t>(mode);
}

const char* NameOf(GameMode mode) {
    static const char* const kNames[kModes] = {"Lines", "Groups", "Squares", "Swaps"};
    return kNames[Index(mode)];
}

const char* SceneOf(GameMode mode) {
    return mode == GameMode::Groups ? SceneName::kGroupsBoard : SceneName::kBoard;
}

} // namespace

void FindSavedGames(const std::string& folder) {
    g_folder = folder;
    for (int32_t m = 0; m < kModes; ++m) {
        g_kept[m] = Kept();
        const std::string path = SavedGamePath(folder, static_cast<GameMode>(m));
        SavedGame game;
        std::string error;
        switch (ReadSavedGame(path, game, error)) {
        case SavedGameFile::Missing:
            break;
        case SavedGameFile::Loaded: {
            std::error_code ec;
            g_kept[m].savedAt = std::filesystem::last_write_time(path, ec);
            LogMsg("Saved game '%s': level %d, score %d\n", path.c_str(), game.level, game.score);
            g_kept[m].game = std::move(game);
            break;
        }
        case SavedGameFile::Damaged: {
            std::string why;
            if (SetAsideDamaged(path, why))
                LogMsg("Saved game '%s' refused (%s); kept as '%s.corrupt'\n", path.c_str(), error.c_str(),
                       path.c_str());
            else
                LogMsg("Saved game '%s' refused (%s); %s\n", path.c_str(), error.c_str(), why.c_str());
            break;
        }
        }
    }
}

bool SavedGameOffered(GameMode& mode) {
    int32_t best = -1;
    for (int32_t m = 0; m < kModes; ++m)
        if (g_kept[m].game && (best < 0 || g_kept[m].savedAt > g_kept[best].savedAt)) best = m;
    if (best < 0) return false;
    mode = static_cast<GameMode>(best);
    return true;
}

bool ContinueSavedGame() {
    GameMode mode;
    if (!SavedGameOffered(mode)) return false;
    const char* scene = SceneOf(mode);
    ShowPausedOn(scene);
    // The items' objects belong to the game scene, which is the active one now.
    TheRealSeam().SetLevel(nullptr);
    RestoreGame(g_Board, *g_kept[Index(mode)].game, Platform::TimeMs());
    // The file stays until this game ends or is saved again: a crash loses nothing.
    g_kept[Index(mode)].game.reset();
    LogMsg("Continuing the saved %s game\n", NameOf(mode));
    return true;
}

bool WriteSavedGame(const std::string& path, const SavedGame& game, std::string& error) {
    return Platform::WriteFileAtomically(path, FormatSavedGame(game), &error);
}

void SaveUnfinishedGame() {
    if (!GameInProgress() || g_folder.empty()) return;
    const std::string path = SavedGamePath(g_folder, g_Board.mode);
    std::string error;
    if (WriteSavedGame(path, CaptureGame(g_Board), error)) {
        LogMsg("Unfinished game saved to '%s'\n", path.c_str());
        return;
    }
    LogMsg("Unable to save the unfinished game: %s\n", error.c_str());
    // The window is gone by now: the terminal or the session log is where this can still be seen.
    std::fprintf(stderr, "parlorix: unable to save the unfinished game: %s\n", error.c_str());
}

void DiscardSavedGame(GameMode mode) {
    g_kept[Index(mode)].game.reset();
    if (g_folder.empty()) return;
    const std::string path = SavedGamePath(g_folder, mode);
    if (std::remove(path.c_str()) != 0 && errno != ENOENT)
        LogMsg("Unable to remove the saved game '%s': %s\n", path.c_str(), std::strerror(errno));
}

} // namespace Game

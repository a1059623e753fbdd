#include "game/Simulator.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <istream>
#include <ostream>
#include <sstream>
#include <vector>

#include "game/GameRandom.h"
#include "game/SavedGame.h"

namespace Game {

namespace {

std::vector<std::string> Tokens(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string t;
    while (in >> t)
        out.push_back(t);
    return out;
}

template <typename T> bool ParseNumber(const std::string& text, T& value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    auto [ptr, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && ptr == end;
}

} // namespace

Simulator::Simulator() {
    board.SetSeam(&seam);
    seam.clock = StartClock;
    SeedRandom(StartClock);
}

void Simulator::Frame() {
    seam.clock += FrameMs;
    if (outcome != Outcome::Playing) return;
    board.GameTick(FrameMs);
    if (seam.clearedOpened > 0)
        outcome = Outcome::Cleared;
    else if (seam.resultOpened > 0)
        outcome = Outcome::Result;
}

void Simulator::Frames(uint32_t count) {
    for (uint32_t i = 0; i < count; ++i)
        Frame();
}

void Simulator::Print(std::ostream& out) {
    board.RebuildGrid();
    for (int32_t y = 0; y < board.h; ++y) {
        for (int32_t x = 0; x < board.w; ++x) {
            if (x) out << ' ';
            out << board.Code(x, y);
        }
        out << '\n';
    }
    out << "score " << board.score << " level " << board.level << '\n';
    out << "sounds";
    for (const std::string& s : seam.sounds)
        out << ' ' << s;
    out << '\n';
    seam.sounds.clear();
    out << "state "
        << (outcome == Outcome::Playing  ? "playing"
            : outcome == Outcome::Result ? "result"
                                         : "cleared")
        << '\n';
}

bool Simulator::Execute(const std::string& line, std::ostream& out, std::string& error) {
    const std::vector<std::string> t = Tokens(line);
    if (t.empty() || t[0][0] == '#') return true;
    const std::string& cmd = t[0];
    auto wantArgs = [&](size_t n) {
        if (t.size() == n + 1) return true;
        error = "'" + cmd + "' takes " + std::to_string(n) + (n == 1 ? " argument" : " arguments");
        return false;
    };
    auto cellArgs = [&](int32_t& x, int32_t& y) {
        if (!ParseNumber(t[1], x) || !ParseNumber(t[2], y)) {
            error = "cell co-ordinates must be integers";
            return false;
        }
        if (!board.OnBoard(x, y)) {
            error = "cell (" + t[1] + ", " + t[2] + ") is off the " + std::to_string(board.w) + " x " +
                    std::to_string(board.h) + " board";
            return false;
        }
        return true;
    };

    if (cmd == "seed") {
        uint32_t seed = 0;
        if (!wantArgs(1)) return false;
        if (!ParseNumber(t[1], seed)) {
            error = "seed must be a number from 0 to 4294967295";
            return false;
        }
        SeedRandom(seed);
        return true;
    }
    if (cmd == "spawn") {
        if (!wantArgs(1)) return false;
        if (t[1] == "on" || t[1] == "off") {
            board.spawnEnabled = t[1] == "on";
            return true;
        }
        error = "spawn takes 'on' or 'off'";
        return false;
    }
    if (cmd == "new") {
        if (!wantArgs(1)) return false;
        static const struct {
            const char* name;
            GameMode mode;
        } kModes[] = {{"lines", GameMode::Lines},
                      {"groups", GameMode::Groups},
                      {"squares", GameMode::Squares},
                      {"swaps", GameMode::Swaps}};
        for (const auto& m : kModes) {
            if (t[1] != m.name) continue;
            board.NewGame(m.mode);
            outcome = Outcome::Playing;
            seam.resultOpened = seam.clearedOpened = seam.pauseOpened = 0;
            Frame();
            return true;
        }
        error = "unknown game '" + t[1] + "' (lines, groups, squares or swaps)";
        return false;
    }
    if (cmd == "put") {
        int32_t x, y, kind;
        if (!wantArgs(3) || !cellArgs(x, y)) return false;
        if (!ParseNumber(t[3], kind) || kind < KindBrick1 || kind > KindCoin) {
            error = "item kind must be a number from 1 to 13";
            return false;
        }
        board.RebuildGrid();
        if (board.Code(x, y) != 0 || board.ItemAt(x, y)) {
            error = "cell (" + t[1] + ", " + t[2] + ") is not empty";
            return false;
        }
        ObjectRef object =
            seam.CreateObject("Item", board.TemplateName(kind), static_cast<float>(board.CellPixelX(x)),
                              static_cast<float>(board.CellPixelY(y)));
        seam.SetSort(object, kind < KindClock ? 0 : 2);
        board.SetState(*board.AddItem(kind, x, y, object), ItemState::Stay);
        return true;
    }
    if (cmd == "click") {
        int32_t x, y;
        if (!wantArgs(2) || !cellArgs(x, y)) return false;
        seam.mouseX = board.CellPixelX(x) + static_cast<int32_t>(board.cellWidth / 2);
        seam.mouseY = board.CellPixelY(y) + static_cast<int32_t>(board.cellHeight / 2);
        seam.mouseEvents.push_back(MouseLeftPressed);
        seam.mouseEvents.push_back(MouseLeftReleased);
        while (!seam.mouseEvents.empty() && outcome == Outcome::Playing)
            Frame();
        // A panel took over: nobody reads the queue any more.
        seam.mouseEvents.clear();
        return true;
    }
    if (cmd == "key") {
        static const struct {
            const char* name;
            uint32_t key;
        } kKeys[] = {{"left", BoardKeyLeft},
                     {"right", BoardKeyRight},
                     {"up", BoardKeyUp},
                     {"down", BoardKeyDown},
                     {"enter", BoardKeyAct}};
        if (!wantArgs(1)) return false;
        for (const auto& k : kKeys) {
            if (t[1] != k.name) continue;
            seam.boardKeys.push_back(k.key);
            while (!seam.boardKeys.empty() && outcome == Outcome::Playing)
                Frame();
            seam.boardKeys.clear();
            return true;
        }
        error = "unknown key '" + t[1] + "' (left, right, up, down or enter)";
        return false;
    }
    if (cmd == "wait") {
        uint32_t ms = 0;
        if (!wantArgs(1)) return false;
        if (!ParseNumber(t[1], ms)) {
            error = "wait takes milliseconds from 0 to 4294967295";
            return false;
        }
        Frames(ms / FrameMs);
        return true;
    }
    if (cmd == "print") {
        if (!wantArgs(0)) return false;
        Print(out);
        return true;
    }
    if (cmd == "save") {
        if (!wantArgs(1)) return false;
        // A script's own file, written plainly: the program's saved games are written atomically
        // by the screens, which the simulator does without.
        std::ofstream file(t[1], std::ios::binary | std::ios::trunc);
        if (file) file << FormatSavedGame(CaptureGame(board));
        if (!file || !file.flush()) {
            error = "cannot save: cannot create '" + t[1] + "': " + std::strerror(errno);
            return false;
        }
        return true;
    }
    if (cmd == "load") {
        if (!wantArgs(1)) return false;
        SavedGame game;
        std::string why;
        switch (ReadSavedGame(t[1], game, why)) {
        case SavedGameFile::Missing:
            error = "no saved game '" + t[1] + "'";
            return false;
        case SavedGameFile::Damaged:
            error = "saved game '" + t[1] + "' refused: " + why;
            return false;
        case SavedGameFile::Loaded:
            break;
        }
        RestoreGame(board, game, seam.clock);
        outcome = Outcome::Playing;
        seam.resultOpened = seam.clearedOpened = seam.pauseOpened = 0;
        return true;
    }
    error = "unknown command '" + cmd + "'";
    return false;
}

int RunSimulator(std::istream& in, std::ostream& out, std::ostream& err) {
    Simulator sim;
    std::string line;
    int32_t number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string error;
        if (!sim.Execute(line, out, error)) {
            out.flush();
            err << "parlorix-sim: line " << number << ": " << error << ": " << line << '\n';
            return 2;
        }
    }
    out.flush();
    return 0;
}

} // namespace Game

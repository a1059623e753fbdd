// Saving and restoring a running game: capture, restore, and the text form with its checks.
#include "game/SavedGame.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <sys/stat.h>

#include "game/GameRandom.h"

namespace Game {

namespace {

constexpr const char* kHeader = "Parlorix saved game ";
constexpr const char* kCheck = "check ";
// Far more entries than any game uses (a full board plus brooms), small enough to refuse a table
// that would only be a damaged number.
constexpr int64_t kMaxSlot = 4 * GameBoard::GridCells;
constexpr int64_t kTimeLimit = int64_t(1) << 32;
constexpr size_t kMaxEventLength = 31;

// FNV-1a over the text before the check line.
uint32_t Checksum(const std::string& text, size_t length) {
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < length; ++i) {
        hash ^= static_cast<unsigned char>(text[i]);
        hash *= 16777619u;
    }
    return hash;
}

int64_t Relative(uint32_t time, uint32_t now) {
    return int64_t(time) - int64_t(now);
}

// A time put back against a new clock; times from before the clock's start stay at its start,
// which every rule reads as long past.
uint32_t Absolute(int64_t offset, uint32_t now) {
    return static_cast<uint32_t>(std::clamp<int64_t>(int64_t(now) + offset, 0, kTimeLimit - 1));
}

int32_t SortOf(const BoardItem& item) {
    if (item.kind < KindClock) return 0;
    return item.sweeperDir != 0 ? 1 : 2;
}

std::string FloatText(float value) {
    char buf[32];
    auto result = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, result.ptr);
}

bool EventNameOk(const std::string& event) {
    if (event.size() > kMaxEventLength) return false;
    return std::all_of(event.begin(), event.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    });
}

// The values of one line, read in order with their allowed ranges; the first fault is kept.
class Fields {
  public:
    Fields(const std::vector<std::string>& tokens, std::string& error) : tokens_(tokens), error_(error) {}

    template <typename T> Fields& Int(T& out, int64_t lo, int64_t hi) {
        int64_t value = 0;
        if (Next(value) && (value < lo || value > hi)) Fail("value out of range");
        if (ok_) out = static_cast<T>(value);
        return *this;
    }
    Fields& Flag(bool& out) {
        int32_t value = 0;
        Int(value, 0, 1);
        if (ok_) out = value != 0;
        return *this;
    }
    Fields& Float(float& out) {
        const std::string* token = Take();
        if (!token) return *this;
        float value = 0.0f;
        auto [ptr, ec] = std::from_chars(token->data(), token->data() + token->size(), value);
        if (ec != std::errc() || ptr != token->data() + token->size() || !(value > -1e6f && value < 1e6f))
            Fail("bad position");
        if (ok_) out = value;
        return *this;
    }
    Fields& Event(std::string& out) {
        const std::string* token = Take();
        if (!token) return *this;
        std::string event = *token == "-" ? std::string() : *token;
        if (!EventNameOk(event)) Fail("bad animation event");
        if (ok_) out = event;
        return *this;
    }
    bool Done() {
        if (ok_ && next_ != tokens_.size()) Fail("too many values");
        return ok_;
    }

  private:
    const std::string* Take() {
        if (!ok_) return nullptr;
        if (next_ >= tokens_.size()) {
            Fail("too few values");
            return nullptr;
        }
        return &tokens_[next_++];
    }
    bool Next(int64_t& value) {
        const std::string* token = Take();
        if (!token) return false;
        auto [ptr, ec] = std::from_chars(token->data(), token->data() + token->size(), value);
        if (ec != std::errc() || ptr != token->data() + token->size()) {
            Fail("not a number");
            return false;
        }
        return true;
    }
    void Fail(const char* what) {
        if (!ok_) return;
        ok_ = false;
        error_ = "'" + tokens_[0] + "': " + what;
    }

    const std::vector<std::string>& tokens_;
    std::string& error_;
    size_t next_ = 1; // token 0 is the line's name
    bool ok_ = true;
};

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string token;
    while (in >> token)
        out.push_back(token);
    return out;
}

constexpr int64_t kIntMin = std::numeric_limits<int32_t>::min();
constexpr int64_t kIntMax = std::numeric_limits<int32_t>::max();

bool ParseItem(Fields& f, SavedItem& s) {
    BoardItem& it = s.item;
    int32_t state = 0;
    // Cells one step off the board: a sweeper leaving it ends there.
    const int64_t lo = -1, hi = GameBoard::MaxSide;
    f.Int(s.slot, 0, kMaxSlot - 1).Int(it.kind, KindBrick1, KindCoin).Int(state, 0, 8);
    f.Int(it.x, lo, hi).Int(it.y, lo, hi).Int(it.targetX, lo, hi).Int(it.targetY, lo, hi);
    f.Int(it.nextX, lo, hi).Int(it.nextY, lo, hi);
    f.Flag(it.doomed).Flag(it.soundPlayed).Flag(it.dead);
    f.Int(s.moveStart, -kTimeLimit, kTimeLimit).Int(s.activationTime, -kTimeLimit, kTimeLimit);
    f.Int(it.sweeperDir, 0, 4).Int(it.sweeperTag, kIntMin, kIntMax);
    f.Float(s.posX).Float(s.posY).Event(s.lastEvent);
    it.state = static_cast<ItemState>(state);
    return f.Done();
}

// The scalar lines, each exactly once.
struct Scalars {
    std::map<std::string, std::vector<std::string>> lines;
};

bool ParseScalars(const Scalars& in, SavedGame& g, std::string& error) {
    static const char* const kNames[] = {
        "mode",       "colours",  "level",       "score",       "countdown", "deal",     "spawn-cell",
        "next-spawn", "level-up", "last-colour", "clock-sound", "move-time", "selected", "clear-armed",
        "alert",      "stuck",    "non-bricks",  "empty",       "colour",    "spawning", "random"};
    for (const char* name : kNames) {
        if (!in.lines.count(name)) {
            error = std::string("'") + name + "' missing";
            return false;
        }
    }
    if (in.lines.size() != std::size(kNames)) {
        error = "unknown line";
        return false;
    }
    auto line = [&](const char* name) { return Fields(in.lines.at(name), error); };
    const int64_t side = GameBoard::MaxSide;
    const int64_t cells = GameBoard::GridCells;
    int32_t mode = 0;
    bool ok = line("mode").Int(mode, 0, 3).Done();
    ok = ok && line("colours").Int(g.colours, 1, 6).Done();
    ok = ok && line("level").Int(g.level, 1, kIntMax).Done();
    ok = ok && line("score").Int(g.score, kIntMin, kIntMax).Done();
    ok = ok && line("countdown").Int(g.spawnCountdown, kIntMin, kIntMax).Done();
    ok = ok && line("deal").Flag(g.dealFlag).Done();
    ok = ok && line("spawn-cell").Int(g.spawnX, 0, side - 1).Int(g.spawnY, 0, side - 1).Done();
    ok = ok && line("next-spawn").Int(g.nextSpawnTime, -kTimeLimit, kTimeLimit).Done();
    ok = ok && line("level-up").Int(g.levelUpTime, -kTimeLimit, kTimeLimit).Done();
    ok = ok && line("last-colour").Int(g.lastColour, -1, 6).Done();
    ok = ok && line("clock-sound").Flag(g.clockSoundFlag).Done();
    ok = ok && line("move-time").Int(g.moveTime, 1, 1000).Done();
    ok = ok && line("selected").Int(g.selectedSlot, -1, kMaxSlot - 1).Done();
    ok = ok && line("clear-armed").Flag(g.boardClearArmed).Done();
    ok = ok && line("alert").Flag(g.alertFlag).Done();
    ok = ok && line("stuck").Int(g.stuckCounter, 0, kIntMax).Done();
    ok = ok && line("non-bricks").Int(g.nonBrickCount, 0, cells).Done();
    ok = ok && line("empty").Int(g.emptyCount, 0, cells).Done();
    ok = ok && line("colour").Int(g.currentColour, kIntMin, kIntMax).Done();
    ok = ok && line("spawning").Flag(g.spawnEnabled).Done();
    ok = ok && line("random").Int(g.randomState, 0, kTimeLimit - 1).Done();
    g.mode = static_cast<GameMode>(mode);
    return ok;
}

// Cross-checks that no single line can make: items on the board of the saved mode, one item per
// table entry, the selection naming an item.
bool Consistent(const SavedGame& g, std::string& error) {
    const int32_t side = g.mode == GameMode::Groups ? 20 : 10;
    std::vector<bool> used(static_cast<size_t>(kMaxSlot), false);
    for (const SavedItem& s : g.items) {
        const BoardItem& it = s.item;
        auto near = [&](int32_t v) { return v >= -1 && v <= side; };
        if (!near(it.x) || !near(it.y) || !near(it.nextX) || !near(it.nextY) || !near(it.targetX) ||
            !near(it.targetY)) {
            error = "item " + std::to_string(s.slot) + " lies off the board";
            return false;
        }
        if (used[s.slot]) {
            error = "two items in table entry " + std::to_string(s.slot);
            return false;
        }
        used[s.slot] = true;
    }
    if (g.selectedSlot >= 0 && !used[static_cast<size_t>(g.selectedSlot)]) {
        error = "the selection names no item";
        return false;
    }
    if (g.spawnX >= side || g.spawnY >= side) {
        error = "the spawn cell lies off the board";
        return false;
    }
    return true;
}

// The values kept as they stand, under the same names in the board and in a saved game.
template <typename To, typename From> void CopyPlainValues(To& to, const From& from) {
    to.colours = from.colours;
    to.level = from.level;
    to.score = from.score;
    to.spawnCountdown = from.spawnCountdown;
    to.dealFlag = from.dealFlag;
    to.spawnX = from.spawnX;
    to.spawnY = from.spawnY;
    to.lastColour = from.lastColour;
    to.clockSoundFlag = from.clockSoundFlag;
    to.moveTime = from.moveTime;
    to.boardClearArmed = from.boardClearArmed;
    to.alertFlag = from.alertFlag;
    to.stuckCounter = from.stuckCounter;
    to.nonBrickCount = from.nonBrickCount;
    to.emptyCount = from.emptyCount;
    to.currentColour = from.currentColour;
    to.spawnEnabled = from.spawnEnabled;
}

} // namespace

SavedGame CaptureGame(GameBoard& board) {
    SavedGame g;
    const uint32_t now = board.now;
    g.mode = board.mode;
    CopyPlainValues(g, board);
    for (int32_t i = 0; i < GameBoard::PopupCount; ++i) {
        g.popups[i] = board.popups[i];
        g.popupTimes[i] = Relative(board.popups[i].time, now);
    }
    g.nextSpawnTime = Relative(board.nextSpawnTime, now);
    g.levelUpTime = Relative(board.levelUpTime, now);
    g.randomState = RandomState();
    GameSeam& seam = board.Seam();
    for (size_t i = 0; i < board.TableSize(); ++i) {
        const BoardItem* it = board.Entry(i);
        if (!it) continue;
        if (it == board.selected) g.selectedSlot = static_cast<int32_t>(i);
        SavedItem s;
        s.slot = static_cast<uint32_t>(i);
        s.item = *it;
        s.item.object = nullptr;
        s.moveStart = Relative(it->moveStart, now);
        s.activationTime = Relative(it->activationTime, now);
        seam.WorldPosition(it->object, s.posX, s.posY);
        const char* event = seam.LastEvent(it->object);
        s.lastEvent = event ? event : "";
        g.items.push_back(s);
    }
    return g;
}

void RestoreGame(GameBoard& board, const SavedGame& g, uint32_t now) {
    board.ClearBoard();
    board.SetMode(g.mode);
    board.now = now;
    CopyPlainValues(board, g);
    for (int32_t i = 0; i < GameBoard::PopupCount; ++i) {
        board.popups[i] = g.popups[i];
        board.popups[i].time = Absolute(g.popupTimes[i], now);
    }
    board.nextSpawnTime = Absolute(g.nextSpawnTime, now);
    board.levelUpTime = Absolute(g.levelUpTime, now);
    GameSeam& seam = board.Seam();
    for (const SavedItem& s : g.items) {
        BoardItem item = s.item;
        item.moveStart = Absolute(s.moveStart, now);
        item.activationTime = Absolute(s.activationTime, now);
        const char* name = board.TemplateName(item.kind);
        item.object = seam.CreateObject("Item", name, s.posX, s.posY);
        seam.SetSort(item.object, SortOf(item));
        seam.PlayAction(item.object, name, ActionOf(item.state));
        // Playing the action may fire an event of its own; the saved one is what was pending.
        seam.SetLastEvent(item.object, s.lastEvent.c_str());
        BoardItem* placed = board.RestoreItem(s.slot, item);
        if (placed && static_cast<int32_t>(s.slot) == g.selectedSlot) board.selected = placed;
    }
    board.RebuildGrid();
    SeedRandom(g.randomState);
}

std::string FormatSavedGame(const SavedGame& g) {
    std::ostringstream out;
    out << kHeader << kSavedGameVersion << '\n';
    out << "mode " << static_cast<int32_t>(g.mode) << '\n';
    out << "colours " << g.colours << "\nlevel " << g.level << "\nscore " << g.score << '\n';
    out << "countdown " << g.spawnCountdown << "\ndeal " << g.dealFlag << '\n';
    out << "spawn-cell " << g.spawnX << ' ' << g.spawnY << '\n';
    out << "next-spawn " << g.nextSpawnTime << "\nlevel-up " << g.levelUpTime << '\n';
    out << "last-colour " << g.lastColour << "\nclock-sound " << g.clockSoundFlag << '\n';
    out << "move-time " << g.moveTime << "\nselected " << g.selectedSlot << '\n';
    out << "clear-armed " << g.boardClearArmed << "\nalert " << g.alertFlag << '\n';
    out << "stuck " << g.stuckCounter << "\nnon-bricks " << g.nonBrickCount << "\nempty " << g.emptyCount
        << '\n';
    out << "colour " << g.currentColour << "\nspawning " << g.spawnEnabled << '\n';
    out << "random " << g.randomState << '\n';
    for (int32_t i = 0; i < GameBoard::PopupCount; ++i) {
        const ScorePopup& p = g.popups[i];
        out << "popup " << p.x << ' ' << p.y << ' ' << p.points << ' ' << g.popupTimes[i] << '\n';
    }
    for (const SavedItem& s : g.items) {
        const BoardItem& it = s.item;
        out << "item " << s.slot << ' ' << it.kind << ' ' << static_cast<int32_t>(it.state) << ' ' << it.x
            << ' ' << it.y << ' ' << it.targetX << ' ' << it.targetY << ' ' << it.nextX << ' ' << it.nextY
            << ' ' << it.doomed << ' ' << it.soundPlayed << ' ' << it.dead << ' ' << s.moveStart << ' '
            << s.activationTime << ' ' << it.sweeperDir << ' ' << it.sweeperTag << ' ' << FloatText(s.posX)
            << ' ' << FloatText(s.posY) << ' ' << (s.lastEvent.empty() ? "-" : s.lastEvent) << '\n';
    }
    std::string text = out.str();
    char check[32];
    std::snprintf(check, sizeof check, "%s%08x\n", kCheck, Checksum(text, text.size()));
    return text + check;
}

bool ParseSavedGame(const std::string& text, SavedGame& game, std::string& error) {
    const size_t headerEnd = text.find('\n');
    const std::string header = text.substr(0, headerEnd);
    if (header.rfind(kHeader, 0) != 0) {
        error = "not a saved game";
        return false;
    }
    if (header != kHeader + std::to_string(kSavedGameVersion)) {
        error = "unknown version '" + header.substr(std::char_traits<char>::length(kHeader)) + "'";
        return false;
    }
    // The check line closes the file; anything cut off or changed before it shows in the sum.
    const size_t checkAt = text.rfind(kCheck);
    if (checkAt == std::string::npos || checkAt == 0 || text[checkAt - 1] != '\n' || text.back() != '\n') {
        error = "cut short (no check line)";
        return false;
    }
    char expected[16];
    std::snprintf(expected, sizeof expected, "%08x", Checksum(text, checkAt));
    const std::string stored = text.substr(checkAt + 6, text.size() - checkAt - 7);
    if (stored != expected) {
        error = "damaged (check " + stored + ", contents " + expected + ")";
        return false;
    }

    SavedGame g;
    Scalars scalars;
    int32_t popups = 0;
    std::istringstream in(text.substr(headerEnd + 1, checkAt - headerEnd - 1));
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> t = Split(line);
        if (t.empty()) continue;
        if (t[0] == "popup") {
            if (popups >= GameBoard::PopupCount) {
                error = "too many popups";
                return false;
            }
            ScorePopup& p = g.popups[popups];
            Fields f(t, error);
            const int64_t side = GameBoard::MaxSide;
            f.Int(p.x, -1, side).Int(p.y, -1, side).Int(p.points, kIntMin, kIntMax);
            f.Int(g.popupTimes[popups], -kTimeLimit, kTimeLimit);
            if (!f.Done()) return false;
            ++popups;
        } else if (t[0] == "item") {
            SavedItem s;
            Fields f(t, error);
            if (!ParseItem(f, s)) return false;
            g.items.push_back(s);
        } else if (!scalars.lines.emplace(t[0], t).second) {
            error = "'" + t[0] + "' twice";
            return false;
        }
    }
    if (popups != GameBoard::PopupCount) {
        error = "popups missing";
        return false;
    }
    if (!ParseScalars(scalars, g, error) || !Consistent(g, error)) return false;
    game = std::move(g);
    return true;
}

SavedGameFile ReadSavedGame(const std::string& path, SavedGame& game, std::string& error) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) return SavedGameFile::Missing;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open '" + path + "': " + std::strerror(errno);
        return SavedGameFile::Damaged;
    }
    // Far above any real game (a full 20 x 20 board is about 25 KB).
    constexpr std::streamsize kMaxSize = 1 << 20;
    std::string text(static_cast<size_t>(kMaxSize) + 1, '\0');
    in.read(text.data(), kMaxSize + 1);
    if (in.bad()) {
        error = "cannot read '" + path + "'";
        return SavedGameFile::Damaged;
    }
    text.resize(static_cast<size_t>(in.gcount()));
    if (text.size() > static_cast<size_t>(kMaxSize)) {
        error = "too large";
        return SavedGameFile::Damaged;
    }
    return ParseSavedGame(text, game, error) ? SavedGameFile::Loaded : SavedGameFile::Damaged;
}

bool SetAsideDamaged(const std::string& path, std::string& error) {
    const std::string aside = path + ".corrupt";
    if (std::rename(path.c_str(), aside.c_str()) != 0) {
        error = "cannot rename '" + path + "' to '" + aside + "': " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string SavedGamePath(const std::string& folder, GameMode mode) {
    static const char* const kNames[4] = {"lines.save", "groups.save", "squares.save", "swaps.save"};
    int32_t m = static_cast<int32_t>(mode);
    if (m < 0 || m > 3) m = 0;
    return folder + "/" + kNames[m];
}

} // namespace Game

#pragma once
#include <cstdint>
#include <iosfwd>
#include <string>

#include "game/GameBoard.h"
#include "game/MemorySeam.h"

// Command interpreter of the game simulator (tools/parlorix-sim): the real board driven
// through the in-memory seam by text commands, one per line:
//   seed N | spawn off | spawn on | new lines|groups|squares|swaps | put X Y KIND | click X Y |
//   key left|right|up|down|enter | wait MS | print | save FILE | load FILE
// "key" is one frame with that board key: the first shows the cell cursor, later ones move it or
// (enter) click the cell under it.
// Blank lines and lines starting with '#' are ignored. The clock starts at 100000 ms; every
// frame advances it by 10 ms and runs one GameTick (none once a result or cleared panel is
// open, until the next "new"). The generator starts seeded with the start clock, as the
// program seeds it with the clock.
namespace Game {

class Simulator {
  public:
    static constexpr uint32_t StartClock = 100000;
    static constexpr uint32_t FrameMs = 10;

    enum class Outcome { Playing, Result, Cleared };

    Simulator();

    // Runs one line. False (with a reason in `error`) for a malformed or impossible command.
    [[nodiscard]] bool Execute(const std::string& line, std::ostream& out, std::string& error);
    // Advances the clock by one frame and runs the game's tick while play goes on.
    void Frame();
    void Frames(uint32_t count);
    // The "print" report.
    void Print(std::ostream& out);

    MemorySeam seam;
    GameBoard board;
    Outcome outcome = Outcome::Playing;
};

// Runs a whole script; malformed lines are reported on `err` naming the line. Returns the exit
// status: 0, or 2 for a bad line (execution stops there).
int RunSimulator(std::istream& in, std::ostream& out, std::ostream& err);

} // namespace Game

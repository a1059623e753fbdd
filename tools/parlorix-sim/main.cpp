// parlorix-sim: plays the games in memory from commands on standard input (see game/Simulator.h).
#include <cstring>
#include <iostream>

#include "game/Simulator.h"

namespace {
const char* const kHelp =
    "usage: parlorix-sim < script\n"
    "Plays the four games in memory. One command a line; blank lines and lines starting with # are\n"
    "ignored. The clock starts at 100000 ms; every frame is 10 ms and runs one game tick.\n"
    "  seed N          seed the random generator\n"
    "  spawn off|on    skip or run the spawning of new items in each tick\n"
    "  new MODE        lines, groups, squares or swaps; starts a game and runs one frame\n"
    "  put X Y KIND    a resting item of kind 1-13 in the empty cell (X, Y)\n"
    "  click X Y       press and release the left button on cell (X, Y)\n"
    "  key NAME        left, right, up, down or enter: one frame with that board key; the first\n"
    "                  shows the cell cursor, arrows move it, enter clicks the cell under it\n"
    "  wait MS         run MS / 10 frames\n"
    "  print           the board (row 0 first), score and level, sounds since the last print, state\n"
    "  save FILE       write the running game to FILE as the program keeps an unfinished game\n"
    "  load FILE       replace the running game with the one saved in FILE\n"
    "A malformed line is reported on standard error and ends the run with status 2.\n";
}

int main(int argc, char** argv) {
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::cout << kHelp;
        return 0;
    }
    std::ios::sync_with_stdio(false);
    return Game::RunSimulator(std::cin, std::cout, std::cerr);
}

// parlorix-sim: plays the games in memory from commands on standard input (see game/Simulator.h).
#include <iostream>

#include "game/Simulator.h"

int main() {
    std::ios::sync_with_stdio(false);
    return Game::RunSimulator(std::cin, std::cout, std::cerr);
}

// The simulator's command language and its fixed output format.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "game/Simulator.h"
#include "support/Prerequisite.h"

using namespace Game;

namespace {

struct Result {
    int status;
    std::string out, err;
};

Result RunScript(const std::string& script) {
    std::istringstream in(script);
    std::ostringstream out, err;
    const int status = RunSimulator(in, out, err);
    return {status, out.str(), err.str()};
}

std::string EmptyRows(int n) {
    std::string row = "0";
    for (int i = 1; i < n; ++i)
        row += " 0";
    std::string all;
    for (int i = 0; i < n; ++i)
        all += row + "\n";
    return all;
}

} // namespace

TEST(SimulatorCommands, PrintFormat) {
    const Result r = RunScript("# comment\n\nspawn off\nnew lines\nput 2 0 3\nput 0 1 13\nprint\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::string expected = "0 0 3 0 0 0 0 0 0 0\n13 0 0 0 0 0 0 0 0 0\n" + EmptyRows(10).substr(40) +
                           "score 0 level 1\nsounds\nstate playing\n";
    EXPECT_EQ(r.out, expected);
}

TEST(SimulatorCommands, SoundsAreThoseSinceThePreviousPrint) {
    const Result r =
        RunScript("spawn off\nnew lines\nput 9 9 1\nput 0 0 13\nclick 0 0\nwait 50\nprint\nprint\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("score 35 level 1\nsounds money1\nstate playing\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("score 35 level 1\nsounds\nstate playing\n"), std::string::npos) << r.out;
}

TEST(SimulatorCommands, ResultStateStopsTheGameUntilNew) {
    std::string script = "spawn off\nnew lines\n";
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 10; ++y)
            script += "put " + std::to_string(x) + " " + std::to_string(y) + " " +
                      std::to_string((x + 2 * y) % 6 + 1) + "\n";
    script += "wait 1000\nclick 3 3\nprint\nnew groups\nprint\n";
    const Result r = RunScript(script);
    EXPECT_EQ(r.status, 0);
    const size_t first = r.out.find("state ");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(r.out.substr(first, 12), "state result");
    EXPECT_NE(r.out.find("state playing", first), std::string::npos);
    // A 20 x 20 board after "new groups".
    const size_t second = r.out.find('\n', first) + 1;
    const std::string line = r.out.substr(second, r.out.find('\n', second) - second);
    EXPECT_EQ(line.size(), 39u);
}

TEST(SimulatorCommands, ClockStartsAt100000AndFramesAreTenMs) {
    Simulator sim;
    EXPECT_EQ(sim.seam.clock, 100000u);
    std::ostringstream out;
    std::string error;
    ASSERT_TRUE(sim.Execute("new swaps", out, error));
    EXPECT_EQ(sim.seam.clock, 100010u);
    ASSERT_TRUE(sim.Execute("wait 95", out, error));
    EXPECT_EQ(sim.seam.clock, 100100u);
}

TEST(SimulatorCommands, MalformedLinesNameTheLineAndExitTwo) {
    const struct {
        const char* script;
        const char* fragment;
    } cases[] = {
        {"new lines\nfly 1\n", "line 2: unknown command 'fly'"},
        {"seed x\n", "line 1:"},
        {"seed -3\n", "line 1:"},
        {"new chess\n", "unknown game 'chess'"},
        {"new lines\nput 1 1\n", "line 2: 'put' takes 3 arguments"},
        {"spawn off\nnew lines\nput 10 0 1\n", "off the 10 x 10 board"},
        {"spawn off\nnew lines\nput 0 0 14\n", "kind must be a number from 1 to 13"},
        {"spawn off\nnew lines\nput 0 0 1\nput 0 0 2\n", "line 4: cell (0, 0) is not empty"},
        {"click 1\n", "line 1: 'click' takes 2 arguments"},
        {"wait soon\n", "line 1:"},
        {"print now\n", "'print' takes 0 arguments"},
        {"spawn maybe\n", "spawn takes 'on' or 'off'"},
    };
    for (const auto& c : cases) {
        const Result r = RunScript(c.script);
        EXPECT_EQ(r.status, 2) << c.script;
        EXPECT_NE(r.err.find(c.fragment), std::string::npos) << c.script << " -> " << r.err;
    }
    // Execution stops at the bad line.
    const Result r = RunScript("print\nbad\nprint\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out.find("score"), r.out.rfind("score"));
}

TEST(SimulatorBinary, RunsFromTheBuildTree) {
    const char* build = std::getenv("PARLORIX_BUILD_DIR");
    if (!build) PARLORIX_MISSING("PARLORIX_BUILD_DIR not set");
    const std::string exe = std::string(build) + "/tools/parlorix-sim/parlorix-sim";
    const std::string cmd = "printf 'seed 5\\nnew groups\\nprint\\nnope\\n' | " + exe + " 2>&1";
    FILE* pipe = popen(cmd.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0)
        out.append(buf, n);
    const int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(out.find("state playing"), std::string::npos) << out;
    EXPECT_NE(out.find("line 4"), std::string::npos) << out;
    // Same seed, same board as the library run.
    const Result r = RunScript("seed 5\nnew groups\nprint\n");
    EXPECT_EQ(out.substr(0, r.out.size()), r.out);
}

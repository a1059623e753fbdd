#include "gfx/AnimationScript.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

namespace {

std::vector<ScriptCommand> Compiled(const std::string& source, int32_t* status = nullptr) {
    std::vector<ScriptCommand> cmds;
    int32_t s = AnimationScript::Compile(source, cmds);
    if (status) *status = s;
    return cmds;
}

// A player driving one state with a hand-held clock.
struct Player {
    std::vector<ScriptCommand> script;
    uint32_t delay = 30;
    AnimationState state;
    uint32_t now = 1000;
    bool frozen = false;

    explicit Player(const std::string& source, uint32_t countdown = 0) : script(Compiled(source)) {
        state.countdown = countdown;
        AnimationScript::Start(script, state, now);
    }
    // Advances in steps of `step` ms until `until` ms after the start of this call.
    void Run(uint32_t ms, uint32_t step = 5) {
        for (uint32_t t = 0; t < ms; t += step) {
            now += step;
            AnimationScript::Advance(script, delay, state, now, frozen);
        }
    }
    void Jump(uint32_t ms) {
        now += ms;
        AnimationScript::Advance(script, delay, state, now, frozen);
    }
};

} // namespace

std::vector<std::tuple<int, int32_t, std::string>> Commands(const std::string& source) {
    std::vector<std::tuple<int, int32_t, std::string>> out;
    for (const ScriptCommand& c : Compiled(source))
        out.emplace_back(int(c.kind), c.argument, c.eventName);
    return out;
}

TEST(ScriptCompiler, BracketedAndBlankFormsCompileAlike) {
    const auto want = std::vector<std::tuple<int, int32_t, std::string>>{{ScriptCommand::Frame, 3, ""},
                                                                         {ScriptCommand::Delay, 40, ""},
                                                                         {ScriptCommand::Event, -1, "done"},
                                                                         {ScriptCommand::Goto, 0, ""}};
    EXPECT_EQ(Commands("frame(3);\r\ndelay(40);\r\nevent(done);\r\ngoto(0);\r\n"), want);
    EXPECT_EQ(Commands("FRAME 3\r\nDelay 40\r\nEvent done\r\nGoTo 0\r\n"), want);
}

TEST(ScriptCompiler, LineRulesTabsAndStrayTokens) {
    // Leading blanks and tabs are skipped; whatever follows a later tab is ignored; several commands
    // may share a line; unknown tokens after the first frame are skipped.
    const auto c = Compiled("  \tframe(1); frame(2)\tframe(9)\nfoo frame -4 bar\n\n");
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0].argument, 1);
    EXPECT_EQ(c[1].argument, 2);
    EXPECT_EQ(c[2].argument, -4);
    EXPECT_EQ(Compiled("frame(12abc)")[0].argument, 12);
    EXPECT_EQ(Compiled("frame(abc)")[0].argument, 0);
}

TEST(ScriptCompiler, ErrorsEmptyTheListAndKeepTheLine) {
    // "Animation should start with 'frame'" is 0, "Numeric value expected at line 2" is 2; an empty
    // script or a good one is -1.
    const std::pair<const char*, int32_t> cases[] = {{"delay(5);\r\nframe(0);\r\n", 0},
                                                     {"frame(0);\r\nframe(1);\r\ndelay\r\n", 2},
                                                     {"\r\n\r\nevent(x)", 2},
                                                     {"", -1},
                                                     {"frame(0);", -1}};
    for (const auto& [source, want] : cases) {
        int32_t status = 7;
        const bool empty = Compiled(source, &status).empty();
        EXPECT_EQ(status, want) << source;
        EXPECT_TRUE(empty || want == -1) << source;
    }
}

TEST(ScriptCompiler, EventNamesAreBounded) {
    const std::string longName(60, 'E');
    const auto c = Compiled("frame(0); event(" + longName + "); event");
    ASSERT_EQ(c.size(), 2u); // an event keyword without a name makes no command
    EXPECT_EQ(std::string(c[1].eventName), std::string(31, 'E'));

    Player p("frame(0); event(" + longName + ")");
    p.Run(40);
    EXPECT_EQ(std::string(p.state.lastEvent), std::string(31, 'E'));
}

TEST(ScriptPlayback, DefaultDelayHolds30ThenEvery35) {
    Player p("frame(0);\r\nframe(1);\r\nframe(2);\r\n");
    EXPECT_EQ(p.state.frame, 0u);
    std::vector<uint32_t> changes;
    uint32_t last = p.state.frame;
    for (int i = 0; i < 40; ++i) {
        p.Run(5);
        if (p.state.frame != last) changes.push_back(p.now - 1000);
        last = p.state.frame;
    }
    // Frame 0 runs at the first tick (t = 5), frame 1 30 ms later, frame 2 35 ms after that.
    EXPECT_EQ(changes, (std::vector<uint32_t>{35, 70}));
}

// Start runs the first command at once; an empty script shows frame 0. What happens after (the end
// holding the last frame, carried countdowns, partial ticks) is held to the tick-by-tick yardstick
// below.
TEST(ScriptPlayback, StartShowsTheFirstFrame) {
    Player p("frame(2);\r\nframe(5);\r\n");
    EXPECT_EQ(p.state.frame, 2u);
    Player empty("");
    EXPECT_EQ(empty.state.frame, 0u);
    EXPECT_EQ(empty.state.scriptPos, 0);
    empty.Run(5);
    EXPECT_EQ(empty.state.scriptPos, -1);
}

TEST(ScriptPlayback, GotoLoopsAndGotoBeyondEnds) {
    Player loop("frame(0); frame(1); frame(2); goto(0);");
    std::vector<uint32_t> seen;
    for (int i = 0; i < 400; ++i) {
        loop.Run(5);
        if (seen.empty() || seen.back() != loop.state.frame) seen.push_back(loop.state.frame);
    }
    ASSERT_GE(seen.size(), 7u);
    for (size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(seen[i], i % 3) << i;
    EXPECT_NE(loop.state.scriptPos, -1);

    Player out("frame(4); goto(99); frame(7)");
    out.Run(5);  // frame(4)
    out.Run(25); // countdown back to 5
    out.Run(5);  // goto 99
    EXPECT_EQ(out.state.scriptPos, 99);
    out.Run(5); // the next tick ends the script
    EXPECT_EQ(out.state.scriptPos, -1);
    EXPECT_EQ(out.state.frame, 4u);

    Player negative("frame(1); goto(-3)");
    negative.Run(100);
    EXPECT_EQ(negative.state.scriptPos, -1);
}

TEST(ScriptPlayback, SameMillisecondOnlyRefreshes) {
    Player p("frame(0); frame(1)");
    p.Jump(0);
    EXPECT_EQ(p.state.scriptPos, 0); // nothing ran
    EXPECT_EQ(p.state.lastUpdate, p.now);
    // A clock that went backwards is treated the same way.
    p.state.lastUpdate = p.now + 50;
    AnimationScript::Advance(p.script, p.delay, p.state, p.now, false);
    EXPECT_EQ(p.state.lastUpdate, p.now);
    EXPECT_EQ(p.state.scriptPos, 0);
}

// One 5 ms tick at a time, as the playback rules state them: the yardstick for the bulk catch-up.
void AdvanceTickByTick(const std::vector<ScriptCommand>& commands, uint32_t delay, AnimationState& s,
                       uint32_t now, bool frozen) {
    if (s.scriptPos == -1) return;
    if (int32_t(s.lastUpdate - now) >= 0) {
        s.lastUpdate = now;
        return;
    }
    do {
        if (!frozen) {
            if (s.countdown > 5) {
                s.countdown -= 5;
            } else if (s.scriptPos < 0 || size_t(s.scriptPos) >= commands.size()) {
                s.scriptPos = -1;
            } else {
                const ScriptCommand& c = commands[size_t(s.scriptPos)];
                if (c.kind == ScriptCommand::Frame) {
                    s.frame = uint32_t(c.argument);
                    s.countdown += delay;
                    ++s.scriptPos;
                } else if (c.kind == ScriptCommand::Delay) {
                    s.countdown += uint32_t(std::max(c.argument, 0));
                    ++s.scriptPos;
                } else if (c.kind == ScriptCommand::Event) {
                    std::memcpy(s.lastEvent, c.eventName, sizeof s.lastEvent);
                    ++s.scriptPos;
                } else {
                    s.scriptPos = c.argument;
                }
            }
        }
        s.lastUpdate += 5;
        if (s.scriptPos == -1) break;
    } while (int32_t(s.lastUpdate - now) < 0);
    s.lastUpdate = now;
}

void ExpectSameState(const AnimationState& a, const AnimationState& b, const std::string& where) {
    EXPECT_EQ(a.frame, b.frame) << where;
    EXPECT_EQ(a.scriptPos, b.scriptPos) << where;
    EXPECT_EQ(a.countdown, b.countdown) << where;
    EXPECT_EQ(a.lastUpdate, b.lastUpdate) << where;
    EXPECT_STREQ(a.lastEvent, b.lastEvent) << where;
}

// After any pause, from an hour in the background to a few milliseconds, the bulk catch-up ends
// on the same frame, position, countdown and last event as one tick at a time: looping scripts
// with events, delays and odd delays, scripts that end, prefixes before the loop, freezes (their
// time consumed without catching up) and the clock's wrap. A long pause runs every missed tick
// one command each: the yardstick does, so the bulk must.
TEST(ScriptPlayback, BulkCatchUpEqualsTickByTick) {
    const char* scripts[] = {
        "frame(0); frame(1); frame(2); goto(0)",
        "frame(3); event(LOOP); delay(7); frame(4); goto(1)",
        "frame(0); frame(1); event(BURN_END); frame(2)",
        "frame(0); delay(3); frame(1); event(a); delay(12); event(b); goto(2)",
        "frame(5); goto(0)",
        "frame(0); frame(1); goto(9)",
        "frame(0); event(x); event(y); goto(1)",
        "frame(0); delay(-100); frame(1)",
        "",
    };
    const uint32_t pauses[] = {1, 4, 5, 6, 34, 35, 36, 333, 1001, 60000, 3600000, 3600003};
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (const char* source : scripts) {
        const std::vector<ScriptCommand> script = Compiled(source);
        for (uint32_t delay : {30u, 17u, 0u}) {
            for (uint32_t pause : pauses) {
                AnimationState bulk, single;
                bulk.countdown = single.countdown = next() % 150;   // carried from an action before
                const uint32_t start = 0xFFFF0000u + next() % 1000; // across the clock's wrap too
                AnimationScript::Start(script, bulk, start);
                AnimationScript::Start(script, single, start);
                uint32_t now = start;
                for (int step = 0; step < 6; ++step) {
                    now += step % 2 ? pause : next() % 40;
                    const bool frozen = step == 4;
                    AnimationScript::Advance(script, delay, bulk, now, frozen);
                    AdvanceTickByTick(script, delay, single, now, frozen);
                    ExpectSameState(bulk, single,
                                    std::string(source) + " delay " + std::to_string(delay) + " pause " +
                                        std::to_string(pause) + " step " + std::to_string(step));
                }
            }
        }
    }
}

TEST(ScriptCompiler, StaysInsideArbitraryInput) {
    // Random bytes (NULs, CRs, brackets, long tokens) never make the compiler read past its text;
    // under the sanitizers this catches any stray read.
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    const char alphabet[] = "frame delay event goto ();\t\r\n0123456789-+xyzFRAMEGOTO";
    for (int round = 0; round < 300; ++round) {
        std::string text(next() % 300, '\0');
        for (char& c : text)
            c = (next() % 5 == 0) ? char(next() & 0xFF) : alphabet[next() % (sizeof alphabet - 1)];
        if (round % 3 == 0) text = "frame(1)\n" + text;
        std::vector<ScriptCommand> cmds;
        const int32_t status = AnimationScript::Compile(text, cmds);
        if (status != -1) {
            EXPECT_TRUE(cmds.empty());
        }
        for (const ScriptCommand& c : cmds)
            EXPECT_LT(std::char_traits<char>::length(c.eventName), 32u);
        AnimationState s;
        AnimationScript::Start(cmds, s, 0);
        AnimationScript::Advance(cmds, 30, s, 2000, false);
    }
}

#include "gfx/AnimationScript.h"

#include "core/Log.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <strings.h>

namespace AnimationScript {

namespace {

bool IsSeparator(char c) {
    return c == ';' || c == '\r' || c == '\n' || c == '(' || c == ')' || c == ' ';
}

// Splits one line's content into its tokens.
std::vector<std::string_view> Tokens(std::string_view content) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < content.size()) {
        while (i < content.size() && IsSeparator(content[i]))
            ++i;
        size_t start = i;
        while (i < content.size() && !IsSeparator(content[i]))
            ++i;
        if (i > start) out.push_back(content.substr(start, i - start));
    }
    return out;
}

bool Keyword(std::string_view token, const char* word) {
    return token.size() == std::strlen(word) && ::strncasecmp(token.data(), word, token.size()) == 0;
}

// Decimal conversion: optional sign and the leading digits; no digits give 0.
int32_t Number(std::string_view token) {
    std::string text(token);
    long long v = std::strtoll(text.c_str(), nullptr, 10);
    return int32_t(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

} // namespace

int32_t Compile(const std::string& source, std::vector<ScriptCommand>& commands) {
    commands.clear();
    int32_t line = 0;
    bool haveFrame = false;
    std::string_view text(source);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t lf = text.find('\n', pos);
        std::string_view raw =
            text.substr(pos, lf == std::string_view::npos ? std::string_view::npos : lf - pos);
        pos = lf == std::string_view::npos ? text.size() : lf + 1;

        // Content: after leading blanks and tabs, up to the first CR, LF or tab.
        size_t begin = raw.find_first_not_of(" \t");
        std::string_view content = begin == std::string_view::npos ? std::string_view() : raw.substr(begin);
        size_t end = content.find_first_of("\r\n\t");
        if (end != std::string_view::npos) content = content.substr(0, end);

        const std::vector<std::string_view> tokens = Tokens(content);
        for (size_t t = 0; t < tokens.size(); ++t) {
            const std::string_view tok = tokens[t];
            if (!haveFrame && !Keyword(tok, "frame")) {
                LogMsg("Animation should start with 'frame'\n");
                commands.clear();
                return line;
            }
            ScriptCommand cmd;
            if (Keyword(tok, "frame") || Keyword(tok, "delay") || Keyword(tok, "goto")) {
                if (t + 1 >= tokens.size()) {
                    LogMsg("Numeric value expected at line %d\n", line);
                    commands.clear();
                    return line;
                }
                cmd.kind = Keyword(tok, "frame")   ? ScriptCommand::Frame
                           : Keyword(tok, "delay") ? ScriptCommand::Delay
                                                   : ScriptCommand::Goto;
                cmd.argument = Number(tokens[++t]);
                commands.push_back(cmd);
                if (cmd.kind == ScriptCommand::Frame) haveFrame = true;
            } else if (Keyword(tok, "event")) {
                // An event keyword with no name on its line makes no command.
                if (t + 1 >= tokens.size()) continue;
                const std::string_view name = tokens[++t];
                cmd.kind = ScriptCommand::Event;
                cmd.argument = -1;
                // Names are kept to 31 characters so that the state's copy stays terminated.
                const size_t n = std::min(name.size(), sizeof cmd.eventName - 1);
                std::memcpy(cmd.eventName, name.data(), n);
                cmd.eventName[n] = '\0';
                commands.push_back(cmd);
            }
            // Anything else after the first frame command is skipped.
        }
        ++line;
    }
    return -1;
}

void Start(const std::vector<ScriptCommand>& commands, AnimationState& state, uint32_t now) {
    // An empty script shows frame 0 and ends at its first tick.
    state.frame = commands.empty() ? 0 : uint32_t(commands[0].argument);
    state.scriptPos = 0;
    state.lastUpdate = now;
}

namespace {

void RunCommand(const std::vector<ScriptCommand>& commands, uint32_t playingDelay, AnimationState& state) {
    if (state.scriptPos < 0 || size_t(state.scriptPos) >= commands.size()) {
        state.scriptPos = -1; // the script has ended; the frame stays
        return;
    }
    const ScriptCommand& cmd = commands[size_t(state.scriptPos)];
    switch (cmd.kind) {
    case ScriptCommand::Frame:
        state.frame = uint32_t(cmd.argument);
        state.countdown += playingDelay;
        ++state.scriptPos;
        break;
    case ScriptCommand::Delay:
        // A negative delay would wrap the countdown into weeks of standstill.
        state.countdown += uint32_t(std::max(cmd.argument, 0));
        ++state.scriptPos;
        break;
    case ScriptCommand::Event:
        static_assert(sizeof state.lastEvent == sizeof cmd.eventName);
        std::memcpy(state.lastEvent, cmd.eventName, sizeof state.lastEvent);
        state.lastEvent[sizeof state.lastEvent - 1] = '\0';
        ++state.scriptPos;
        break;
    case ScriptCommand::Goto:
    default:
        state.scriptPos = cmd.argument;
        break;
    }
}

// Clock comparison that survives the 2^32 ms wrap.
bool Before(uint32_t a, uint32_t b) {
    return int32_t(a - b) < 0;
}

} // namespace

void Advance(const std::vector<ScriptCommand>& commands, uint32_t playingDelay, AnimationState& state,
             uint32_t now, bool frozen) {
    if (state.scriptPos == -1) return;
    if (!Before(state.lastUpdate, now) || frozen) {
        // Frozen time is spent without effect, tick after tick alike.
        state.lastUpdate = now;
        return;
    }
    // The same ticks as one 5 ms tick at a time, in bulk: a run of countdown ticks at once, and
    // whole turns of a looping script skipped once the loop shows, so that an hour in the
    // background costs no more than a few turns.
    uint64_t ticks = (uint64_t(uint32_t(now - state.lastUpdate)) + kTickMs - 1) / kTickMs;
    struct Seen {
        int32_t scriptPos;
        uint32_t countdown;
        uint64_t ticksLeft;
    };
    std::vector<Seen> seen;
    constexpr uint64_t kLongCatchUp = 64;
    constexpr size_t kMaxSeen = 512;
    while (ticks > 0) {
        if (state.countdown > kTickMs) {
            const uint64_t wait = (uint64_t(state.countdown) - kTickMs + kTickMs - 1) / kTickMs;
            const uint64_t n = std::min(wait, ticks);
            state.countdown -= uint32_t(n * kTickMs);
            ticks -= n;
            continue;
        }
        if (ticks > kLongCatchUp) {
            // What follows a command depends on the position and the countdown alone.
            const auto again = std::find_if(seen.begin(), seen.end(), [&](const Seen& e) {
                return e.scriptPos == state.scriptPos && e.countdown == state.countdown;
            });
            if (again != seen.end()) {
                ticks %= again->ticksLeft - ticks;
                seen.clear();
                if (ticks == 0) break;
            } else if (seen.size() < kMaxSeen) {
                seen.push_back({state.scriptPos, state.countdown, ticks});
            }
        }
        RunCommand(commands, playingDelay, state);
        --ticks;
        if (state.scriptPos == -1) break; // nothing left to run; the rest of the time is spent
    }
    state.lastUpdate = now;
}

} // namespace AnimationScript

#include "core/Hook.h"

#include "core/Log.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <string>

namespace {

struct Hooks {
    Hook<bool(int32_t& x, int32_t& y)> position{"Test.position"};
    Hook<const char*()> name{"Test.name"};
    Hook<void(int)> count{"Test.count"};
};

class HookTest : public ::testing::Test {
  protected:
    void SetUp() override { Log::Start(dir.path() + "/"); }
    void TearDown() override { Log::Reset(); }
    TempDir dir;
};

TEST_F(HookTest, ASetHookForwardsArgumentsOutParametersAndItsResult) {
    int total = 0;
    Hooks hooks;
    hooks.position = [](int32_t& x, int32_t& y) {
        x = 3;
        y = 4;
        return true;
    };
    hooks.count = [&total](int n) { total += n; };
    int32_t x = 0, y = 0;
    EXPECT_TRUE(hooks.position(x, y));
    EXPECT_EQ(x * 10 + y, 34);
    hooks.count(2);
    hooks.count(5);
    EXPECT_EQ(total, 7);

    // Copying a set of hooks takes the functions; each slot keeps its own name.
    Hooks copy;
    copy = hooks;
    EXPECT_TRUE(copy.position.IsSet());
    EXPECT_STREQ(copy.count.Name(), "Test.count");
    EXPECT_FALSE(copy.name.IsSet());
    copy = Hooks{};
    EXPECT_FALSE(copy.position.IsSet());
}

TEST_F(HookTest, AnUnsetHookIsLoggedByNameAndStopsADebugBuild) {
    Hooks hooks;
    // The release build logs and goes on with the result type's zero value.
    const auto callBoth = [&hooks] {
        int32_t x = 1;
        int32_t y = 1;
        EXPECT_FALSE(hooks.position(x, y));
        EXPECT_EQ(hooks.name(), nullptr);
    };
    EXPECT_DEBUG_DEATH(callBoth(), "never set");
#ifdef NDEBUG
    const std::string log = dir.Read("Log000.txt");
    EXPECT_NE(log.find("Hook Test.position called but never set\n"), std::string::npos);
    EXPECT_NE(log.find("Hook Test.name called but never set\n"), std::string::npos);
#endif
    // Emptied again with nullptr.
    hooks.count = [](int) {};
    hooks.count = nullptr;
    EXPECT_FALSE(hooks.count.IsSet());
}

} // namespace

#include "ScreensFixture.h"

#include "input/Input.h"

#include <SDL.h>

#include "sound/SoundServer.h"
#include <cmath>

namespace ScreensTest {
namespace {

namespace Key = Input::Key;

class FrontendTest : public ScreensFixture {
  protected:
    void SetUp() override {
        ScreensFixture::SetUp();
        Frontend::RegisterAll();
    }
    // Opens a screen from the title's main menu.
    void FromTitle(int32_t id) {
        world_.active = "Level_00_00";
        Frame();
        Click(id);
    }
    static bool Enabled(int32_t id) {
        const MenuItem* item = Menu::FindCurrent(id);
        return item && item->enabled;
    }
};

TEST_F(FrontendTest, HelpPrevAndNextAreEnabledOnlyWhereThereIsAPage) {
    FromTitle(2);
    ASSERT_EQ(world_.active, "Level_00_02");
    EXPECT_EQ(Frontend::Screen().helpReturn, "Level_00_00");
    Frame();
    EXPECT_FALSE(Enabled(1));
    EXPECT_TRUE(Enabled(2));

    // Up and Page Up on page 0: nothing; and a disabled Prev cannot be clicked.
    Frame({Key::Up});
    Frame({Key::PageUp});
    Click(1);
    EXPECT_EQ(Frontend::Screen().helpPage, 0);

    for (int32_t page = 1; page <= 7; ++page) {
        Frame({page % 2 ? Key::Right : Key::PageDown});
        EXPECT_EQ(Frontend::Screen().helpPage, page);
    }
    EXPECT_TRUE(Enabled(1));
    EXPECT_FALSE(Enabled(2));
    Frame({Key::Down});
    Frame({Key::PageDown});
    Frame({Key::Right});
    EXPECT_EQ(Frontend::Screen().helpPage, 7);

    Frame({Key::Left});
    EXPECT_EQ(Frontend::Screen().helpPage, 6);
    EXPECT_TRUE(Enabled(2));

    // Escape goes back where help was opened from and forgets the page.
    Frame({Key::Escape});
    EXPECT_EQ(world_.active, "Level_00_00");
    EXPECT_EQ(Frontend::Screen().helpPage, 0);
}

TEST_F(FrontendTest, VolumesStepByTenAndStopAt0And100) {
    EXPECT_EQ(Frontend::StepVolume(95, 10), 100u);
    EXPECT_EQ(Frontend::StepVolume(100, 10), 100u);
    EXPECT_EQ(Frontend::StepVolume(5, -10), 0u);
    EXPECT_EQ(Frontend::StepVolume(0, -10), 0u);

    Sound::SetSoundVolume(70);
    Sound::SetMusicVolume(30);
    g_Settings.WriteDword(70, "SoundVolume");
    g_Settings.WriteDword(30, "MusicVolume");
    FromTitle(3);
    ASSERT_EQ(world_.active, "Level_00_03");
    Frame();
    for (int i = 0; i < 5; ++i)
        Click(2); // sound +
    EXPECT_EQ(Sound::GetSoundVolume(), 100u);
    for (int i = 0; i < 12; ++i)
        Click(6); // music -
    EXPECT_EQ(Sound::GetMusicVolume(), 0u);
    Click(5); // music +
    EXPECT_EQ(Sound::GetMusicVolume(), 10u);

    // Escape takes the stored volumes back.
    Frame({Key::Escape});
    EXPECT_EQ(world_.active, "Level_00_00");
    EXPECT_EQ(Sound::GetSoundVolume(), 70u);
    EXPECT_EQ(Sound::GetMusicVolume(), 30u);

    // Save and exit stores them.
    FromTitle(3);
    Frame();
    Click(3); // sound -
    Click(7);
    uint32_t stored = 0;
    EXPECT_TRUE(g_Settings.ReadDword(stored, "SoundVolume"));
    EXPECT_EQ(stored, 60u);
    EXPECT_EQ(world_.modeSwitchCalls, 0);
}

TEST_F(FrontendTest, FullscreenSwitchesOnlyOnSave) {
    const uint32_t current = Graphics::Fullscreen() ? 1 : 0;
    g_Settings.WriteDword(current, "fullscreen");
    // An odd number of toggles, so that only Escape can bring the stored value back.
    FromTitle(3);
    Frame();
    for (int i = 0; i < 3; ++i)
        Click(8);
    Frame({Key::Escape});
    uint32_t value = 7;
    EXPECT_TRUE(g_Settings.ReadDword(value, "fullscreen"));
    EXPECT_EQ(value, current);
    EXPECT_EQ(world_.modeSwitchCalls, 0);

    FromTitle(3);
    Frame();
    Click(8);
    EXPECT_TRUE(g_Settings.ReadDword(value, "fullscreen"));
    EXPECT_EQ(value, 1 - current);
    Frame(); // the item now reads the other way
    Click(7);
    EXPECT_EQ(world_.modeSwitchCalls, 1);
    EXPECT_EQ(world_.active, "Level_00_00");
}

TEST_F(FrontendTest, HighScoreTabsClearTheMarksOfThePageLeft) {
    HighScores::Load();
    EXPECT_TRUE(HighScores::Insert(0, u"lines", 10));
    EXPECT_TRUE(HighScores::Insert(1, u"groups", 10));
    FromTitle(4);
    ASSERT_EQ(world_.active, "Level_02_02");
    Frame();
    Click(4); // Groups tab
    EXPECT_EQ(world_.active, "Level_02_05");
    EXPECT_EQ(Frontend::Screen().shownTab, 3);
    EXPECT_EQ(HighScores::Get(0).marks[0], 0);
    EXPECT_EQ(HighScores::Get(1).marks[0], 1);
    Frame();
    Click(2); // Squares tab
    EXPECT_EQ(world_.active, "Level_02_03");
    EXPECT_EQ(HighScores::Get(1).marks[0], 0);
    Frame({Key::Escape});
    EXPECT_EQ(world_.active, "Level_00_00");
    EXPECT_EQ(Frontend::Screen().shownTab, 0);
}

TEST_F(FrontendTest, TitleExitAndGameSelectionBack) {
    FromTitle(5);
    EXPECT_EQ(world_.quitCalls, 1);
    FromTitle(1);
    EXPECT_EQ(world_.active, "Level_00_01");
    Frame({Key::Escape});
    EXPECT_EQ(world_.active, "Level_00_00");
}

TEST(ScoreForm, FieldsTakeOnlyWhatFits) {
    Frontend::ScoreForm form;
    for (char c : std::string("Jo%e"))
        form.TakeCharacter(c);
    EXPECT_EQ(form.Field(0).text, u"Joe");
    form.TakeCharacter(7);
    EXPECT_EQ(form.Field(0).text, u"Jo");
    form.TakeCharacter(8);
    EXPECT_EQ(form.Focus(), 1);
    for (char c : std::string("4x27"))
        form.TakeCharacter(c);
    EXPECT_EQ(form.Field(1).text, u"427"); // a letter and a fourth digit do nothing
    form.TakeCharacter(8);
    for (int i = 0; i < 25; ++i)
        form.TakeCharacter('z');
    EXPECT_EQ(form.Field(2).text.size(), 20u);
    form.TakeCharacter(8);
    EXPECT_EQ(form.Focus(), 0);
    form.TakeCharacter(7);
    form.TakeCharacter(7);
    form.TakeCharacter(7);
    EXPECT_EQ(form.Field(0).text, u"");
}

// The slider keeps the speed of one step a frame at 60 Hz whatever the display's rate, turns round
// at its ends, and comes to rest on an untouched screen until the player does something.
TEST(Slider, SixtyStepsASecondAtAnyRateAndAtRestOnAnUntouchedScreen) {
    static uint32_t clock = 5000;
    Platform::SetTimeSource([] { return clock; });
    Frontend::ResetState();
    const Frontend::State& s = Frontend::Screen();
    Frontend::AdvanceSlider(); // starts its clock
    EXPECT_EQ(s.sliderX, 400.0f);

    // 60 Hz frames a little early or late: one step each, never none or two.
    for (int i = 0; i < 60; ++i) {
        const float before = s.sliderX;
        clock += i % 3 == 2 ? 16 : 17;
        Frontend::AdvanceSlider();
        EXPECT_EQ(s.sliderX, before + 1.0f) << "frame " << i;
    }
    // The help screen's second advance in its draw repeats the steps of the frame.
    Frontend::AdvanceSliderAgain();
    EXPECT_EQ(s.sliderX, 461.0f);

    // 144 Hz: the same distance in a second.
    const float start = s.sliderX;
    for (int i = 0; i < 144; ++i) {
        clock += i % 9 < 8 ? 7 : 8; // 1000 ms in 144 frames, near enough
        Frontend::AdvanceSlider();
    }
    EXPECT_NEAR(s.sliderX - start, 60.0f, 1.0f);

    // Untouched for kSliderRestMs: it stands still, and stays within its swing.
    for (uint32_t t = 0; t < Frontend::kSliderRestMs; t += 16) {
        clock += 16;
        Frontend::AdvanceSlider();
        EXPECT_GE(s.sliderX, 192.0f);
        EXPECT_LE(s.sliderX, 554.0f);
    }
    const float rest = s.sliderX;
    for (int i = 0; i < 60; ++i) {
        clock += 16;
        Frontend::AdvanceSlider();
    }
    EXPECT_EQ(s.sliderX, rest);
    Frontend::AdvanceSliderAgain();
    EXPECT_EQ(s.sliderX, rest);

    // A key press wakes it at the next frame, without a jump for the time it rested.
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.scancode = SDL_SCANCODE_A;
    Input::HandleEvent(key);
    key.type = SDL_KEYUP;
    Input::HandleEvent(key);
    clock += 16;
    Frontend::AdvanceSlider();
    EXPECT_EQ(std::fabs(s.sliderX - rest), 1.0f);
    Platform::SetTimeSource(nullptr);
    Frontend::ResetState();
}

} // namespace
} // namespace ScreensTest

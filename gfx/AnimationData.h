#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gfx/Animation.h"
#include "gfx/AnimationScript.h"
#include "scene/Object.h"

// The animation registry's records. Internal to the animation module and its tests.

// One animated GIF of an action; its frames are packed into one surface, the frame sheet.
class AniGifReference : public VariableHolder {
  public:
    ~AniGifReference() override;
    void GetVariableList(std::vector<VariableInfo>& list) const override;
    bool Variable(std::string name, std::string& value, bool set) override;

    // Packs every frame of the GIF into the sheet surface; false when the GIF or the surface is
    // missing (the reference then has no sheet).
    bool BuildSheet();
    void ReleaseSheet();
    // Rectangle of frame f (f < dwFrames) in the sheet.
    FrameRect FrameRectangle(uint32_t f) const;

    std::string surfaceName;
    std::string sAniGifName;
    uint32_t dwFrames = 0;
    uint32_t dwFrameSizeX = 0;
    uint32_t dwFrameSizeY = 0;
    uint8_t bFlipX = 0;
    uint8_t bFlipY = 0;
    SDL_Surface* sheet = nullptr;
    uint32_t framesPerRow = 0;
    uint32_t sheetWidth = 0;
    uint32_t sheetHeight = 0;
    uint32_t colorKey = 0;
    // A build that failed (GIF missing, frame wider than the screen) is not retried every frame.
    bool buildFailed = false;
};

class AnimationAction : public Object {
  public:
    AnimationAction(const std::string& owner, const std::string& name);
    void GetVariableList(std::vector<VariableInfo>& list) const override;
    bool Variable(std::string name, std::string& value, bool set) override;
    const char* ClassName() const override { return "Animation::Action"; }

    // Appends a reference (surface "Animation.<owner>.<action>.Surface#<n>"). The first reference
    // of an action whose dwNextDirection is 0 sets the frame cycle from the GIF's frame count, the
    // pivot to the bottom centre of the frame and a default script counting the frames.
    AniGifReference* AddGif(const std::string& gifName, uint32_t frameWidth, uint32_t frameHeight,
                            uint32_t frames, uint8_t flipX, uint8_t flipY, bool defaults = true);
    // Compiles scriptSource into script and sets scriptStatus.
    bool CompileScript();
    void BuildSheets();
    // Finds the reference holding frame f (already reduced); `local` receives its index there.
    // With `build` the sheets are built on the way and their frame counts used.
    AniGifReference* FindFrame(uint32_t f, bool build, uint32_t& local);
    // Frame f reduced by the cycle length (a number equal to it, or a cycle of 0, stays).
    uint32_t ReduceFrame(uint32_t f) const;

    std::string ownerName;
    bool sheetsBuilt = false;
    uint32_t dwNextDirection = 0;
    uint32_t dwPlayingDelay = 30;
    int32_t nPivotX = -1;
    int32_t nPivotY = -1;
    std::vector<std::unique_ptr<AniGifReference>> gifs;
    std::vector<ScriptCommand> script;
    std::string scriptSource;
    std::string sBindedKey;
    int32_t scriptStatus = -1; // -1: compiled (an empty script compiles)
};

struct AnimationRecord {
    std::string name;
    std::vector<std::unique_ptr<AnimationAction>> actions;

    // Exact comparison (file reader, GetFrameImage).
    AnimationAction* FindAction(const std::string& actionName) const;
};

namespace Animation {
// The registry, in load order (tests and the writer).
const std::vector<std::unique_ptr<AnimationRecord>>& Registry();
AnimationRecord* Find(const std::string& name); // exact comparison
} // namespace Animation

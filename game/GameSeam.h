#pragma once
#include <cstdint>

// The only door between the games (board, items, rules) and the rest of the program.
// Everything the board needs from the scene, the animations, the sound server, the text table,
// the panels, the menus, the input and the clock goes through this interface, so the games can
// run in memory (MemorySeam) for tests and the simulator, and on the real engine in the program.
//
// Contract for implementers:
// - All calls happen on the main thread, inside the game scene's update callback.
// - Scene objects are created in, and deleted from, the level scene of the current frame; the
//   real implementation keeps track of that level (the frame record of the update callback).
// - Failures are not reported to the board: an unknown template may give nullptr, an unknown
//   sound or action is simply not played. Every call taking an ObjectRef accepts nullptr and
//   does nothing (or returns an empty event) for it.
namespace Game {

// A scene object of class "Item", owned by the level. The board never dereferences it; the real
// implementation stores an Object* here (static_cast back from void*).
using ObjectRef = void*;

// Mouse event codes of the input queue: bit 31 pressed, bit 30 released, low bits the button.
constexpr uint32_t MouseLeftPressed = 0x80000000u;
constexpr uint32_t MouseLeftReleased = 0x40000000u;

// Board keys of a frame, as bits: the four arrows and "act" (Enter or Space, a click on the cell
// under the cursor).
enum BoardKey : uint32_t {
    BoardKeyLeft = 1u,
    BoardKeyRight = 2u,
    BoardKeyUp = 4u,
    BoardKeyDown = 8u,
    BoardKeyAct = 16u,
};

class GameSeam {
  public:
    virtual ~GameSeam() = default;

    // Millisecond clock of the platform (u32, wraps).
    virtual uint32_t Now() = 0;

    // Scene objects. CreateObject makes an object of `className` from the library template
    // `templateName` at pixel (x, y) of the 800 x 600 screen; nullptr when that fails.
    virtual ObjectRef CreateObject(const char* className, const char* templateName, float x, float y) = 0;
    // Name the level gave the object; DeleteObject takes that name (no parents). The board
    // passes ObjectName's result straight to DeleteObject, so the text must not live inside the
    // object being deleted (copy it first); it needs to stay valid only until the next call.
    virtual const char* ObjectName(ObjectRef object) = 0;
    virtual void DeleteObject(const char* name) = 0;
    virtual void SetWorldPosition(ObjectRef object, float x, float y) = 0;
    // Where the object stands now ((0, 0) for nullptr); a saved game keeps it.
    virtual void WorldPosition(ObjectRef object, float& x, float& y) = 0;
    // Drawing order of the item pass (nSort).
    virtual void SetSort(ObjectRef object, int32_t sort) = 0;

    // Animations: start or continue `action` of `animation` on the object's animation state.
    virtual void PlayAction(ObjectRef object, const char* animation, const char* action) = 0;
    // Last event text of the object's animation state ("" when none); valid until the next call.
    virtual const char* LastEvent(ObjectRef object) = 0;
    virtual void ClearLastEvent(ObjectRef object) = 0;
    // Puts back an event that had fired but was not read yet when the game was saved.
    virtual void SetLastEvent(ObjectRef object, const char* event) = 0;

    // Sound server: play a sample by name; stop every sample.
    virtual void PlaySound(const char* name) = 0;
    virtual void StopAllSamples() = 0;

    // Text table: the localized text of `key`, nullptr when it is missing. The pointer must stay
    // valid for the rest of the run (the board keeps the title).
    virtual const char16_t* Text(const char* key) = 0;

    // Panels over the board: each replaces the game scene's update and overlay callbacks, so
    // the game's tick stops running from the next frame on.
    virtual void OpenPauseMenu() = 0;
    virtual void OpenResultScreen() = 0;
    virtual void OpenBoardClearedScreen() = 0;
    // Runs menu `menuName` with the frame's mouse event; the id of the chosen item or 0.
    virtual int32_t PollMenu(const char* menuName, uint32_t event) = 0;

    // Input: takes the oldest mouse event into `event` and returns true; false (event untouched)
    // when the queue is empty.
    [[nodiscard]] virtual bool NextMouseEvent(uint32_t& event) = 0;
    // Mouse position in pixels of the 800 x 600 client area.
    virtual void MousePosition(int32_t& x, int32_t& y) = 0;
    // The board keys of this frame (BoardKey bits); arrows repeat while held.
    virtual uint32_t BoardKeys() = 0;
};

} // namespace Game

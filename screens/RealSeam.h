#pragma once
#include <string>

#include "game/GameSeam.h"

class Level;

// The games on the real engine: scene objects of class "Item" in the frame's level, animations,
// the sound server, the text table, the panels, the menus and the input.
namespace Game {

class RealSeam : public GameSeam {
  public:
    // The level in which objects are created and deleted; nullptr means the active scene.
    void SetLevel(Level* level) { level_ = level; }

    uint32_t Now() override;
    ObjectRef CreateObject(const char* className, const char* templateName, float x, float y) override;
    const char* ObjectName(ObjectRef object) override;
    void DeleteObject(const char* name) override;
    void SetWorldPosition(ObjectRef object, float x, float y) override;
    void WorldPosition(ObjectRef object, float& x, float& y) override;
    void SetSort(ObjectRef object, int32_t sort) override;
    void PlayAction(ObjectRef object, const char* animation, const char* action) override;
    const char* LastEvent(ObjectRef object) override;
    void ClearLastEvent(ObjectRef object) override;
    void SetLastEvent(ObjectRef object, const char* event) override;
    void PlaySound(const char* name) override;
    void StopAllSamples() override;
    const char16_t* Text(const char* key) override;
    void OpenPauseMenu() override;
    void OpenResultScreen() override;
    void OpenBoardClearedScreen() override;
    int32_t PollMenu(const char* menuName, uint32_t event) override;
    [[nodiscard]] bool NextMouseEvent(uint32_t& event) override;
    void MousePosition(int32_t& x, int32_t& y) override;
    // Arrows (with repeat), Enter, keypad Enter and Space; controllers arrive as these keys.
    uint32_t BoardKeys() override;

  private:
    Level* CurrentLevel() const;
    Level* level_ = nullptr;
    std::string name_;
};

RealSeam& TheRealSeam();

} // namespace Game

#pragma once
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "game/GameSeam.h"

// The games' seam held entirely in memory: objects are records, sounds and panels are logged,
// the clock and the mouse are set by the caller. Animations end at once: playing "Appear" sets
// the last event "BURN_END", "Disappear" sets "DESTROY_END", "Activate" sets "ActivateEnd".
namespace Game {

class MemorySeam final : public GameSeam {
  public:
    struct Object {
        std::string name;
        std::string className;
        std::string templateName;
        float x = 0.0f, y = 0.0f;
        int32_t sort = 0;
        std::string lastEvent;
        std::string animation;
        std::string action; // last action played
        int32_t actionsPlayed = 0;
    };

    // Clock
    uint32_t clock = 0;
    uint32_t Now() override { return clock; }

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

    void PlaySound(const char* name) override { sounds.emplace_back(name ? name : ""); }
    void StopAllSamples() override { ++stopAllCount; }

    // Returns the key itself, widened, unless `texts` holds a text for it.
    const char16_t* Text(const char* key) override;

    void OpenPauseMenu() override { ++pauseOpened; }
    void OpenResultScreen() override { ++resultOpened; }
    void OpenBoardClearedScreen() override { ++clearedOpened; }
    // "board" answers the front of `boardMenuAnswers` (0 when empty); other menus answer 0.
    int32_t PollMenu(const char* menuName, uint32_t event) override;

    [[nodiscard]] bool NextMouseEvent(uint32_t& event) override;
    void MousePosition(int32_t& x, int32_t& y) override {
        x = mouseX;
        y = mouseY;
    }
    // One entry of `boardKeys` per frame (0 when empty).
    uint32_t BoardKeys() override;

    // Lookup by the name the board deletes with; nullptr when gone.
    Object* Find(const std::string& name);
    size_t ObjectCount() const { return objects_.size(); }

    // Recorded traffic, freely read and reset by the caller.
    std::vector<std::string> sounds;
    std::vector<std::string> created; // template names, in creation order
    int32_t stopAllCount = 0;
    int32_t pauseOpened = 0, resultOpened = 0, clearedOpened = 0;
    std::deque<int32_t> boardMenuAnswers;
    std::deque<uint32_t> mouseEvents;
    std::deque<uint32_t> boardKeys;
    int32_t mouseX = 0, mouseY = 0;
    std::map<std::string, std::u16string> texts;

  private:
    std::map<std::string, std::unique_ptr<Object>> objects_;
    std::map<std::string, std::u16string> widenedKeys_;
    int32_t nextId_ = 0;
};

} // namespace Game

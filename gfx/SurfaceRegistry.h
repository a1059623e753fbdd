#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "gfx/Graphics.h"

// Named surfaces in creation order; names compare without regard to letter case. The registry
// owns its surfaces and releases whatever it still holds when destroyed.
class SurfaceRegistry {
  public:
    SurfaceRegistry() = default;
    ~SurfaceRegistry();
    SurfaceRegistry(const SurfaceRegistry&) = delete;
    SurfaceRegistry& operator=(const SurfaceRegistry&) = delete;

    // Replaces any surface of that name. Logs "Surface '%s' [%dx%d] " and where it landed.
    Surface* Create(const char* name, uint32_t width, uint32_t height,
                    Graphics::Memory memory = Graphics::Memory::Default);
    // First surface of that name; its size into width/height when they are given.
    Surface* Find(const char* name, uint32_t* width = nullptr, uint32_t* height = nullptr) const;
    void Release(Surface* surface);
    void ReleaseByName(const char* name);
    // Releases every surface whose name begins with `prefix` (letter case ignored), quietly.
    void ReleaseByPrefix(const char* prefix);
    // Releases everything without logging.
    void ReleaseAll();

    size_t Count() const { return entries_.size(); }
    // Name of the entry holding `surface`, nullptr when it is not registered here.
    const char* NameOf(const Surface* surface) const;

  private:
    struct Entry {
        Surface* surface;
        std::string name;
        uint32_t width, height;
    };
    // Names without regard to letter case, looked up without a copy of the name.
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const;
    };
    struct NameEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    void Forget(const Entry& entry);

    std::vector<Entry> entries_;
    // Every text drawn in a frame looks its cache surface up by name: the same entries by name.
    std::unordered_map<std::string, Entry, NameHash, NameEqual> byName_;
};

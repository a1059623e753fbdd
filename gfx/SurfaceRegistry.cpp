#include "gfx/SurfaceRegistry.h"

#include <SDL.h>
#include <cstring>
#include <strings.h>

#include "core/Log.h"

SurfaceRegistry::~SurfaceRegistry() {
    ReleaseAll();
}

size_t SurfaceRegistry::NameHash::operator()(std::string_view name) const {
    uint64_t h = 0xCBF29CE484222325ull;
    // ASCII folding, as strncasecmp does in the C locale the program runs in.
    for (char c : name) {
        const uint8_t u = uint8_t(c);
        h = (h ^ (u >= 'A' && u <= 'Z' ? u + 32 : u)) * 0x100000001B3ull;
    }
    return size_t(h);
}

bool SurfaceRegistry::NameEqual::operator()(std::string_view a, std::string_view b) const {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

void SurfaceRegistry::Forget(const Entry& entry) {
    byName_.erase(entry.name);
}

Surface* SurfaceRegistry::Create(const char* name, uint32_t width, uint32_t height, Graphics::Memory memory) {
    if (!name) name = "";
    ReleaseByName(name);
    LogMsg("Surface '%s' [%dx%d] ", name, static_cast<int>(width), static_cast<int>(height));
    Surface* s = Graphics::CreateSurface(width, height, memory);
    if (!s) return nullptr;
    // Every SDL surface lives in system memory.
    LogMsg("[system]\n");
    entries_.push_back(Entry{s, name, width, height});
    byName_.insert_or_assign(name, entries_.back());
    return s;
}

Surface* SurfaceRegistry::Find(const char* name, uint32_t* width, uint32_t* height) const {
    if (!name) return nullptr;
    const auto found = byName_.find(std::string_view(name));
    if (found == byName_.end()) return nullptr;
    if (width) *width = found->second.width;
    if (height) *height = found->second.height;
    return found->second.surface;
}

void SurfaceRegistry::Release(Surface* surface) {
    if (!surface) return;
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->surface == surface) {
            LogMsg("Release surface '%s'\n", it->name.c_str());
            Graphics::ReleaseSurface(it->surface);
            Forget(*it);
            entries_.erase(it);
            return;
        }
    }
}

void SurfaceRegistry::ReleaseByName(const char* name) {
    if (!name) return;
    // Names are unique (Create replaces), so the index finds the one entry there is.
    if (const auto found = byName_.find(std::string_view(name)); found != byName_.end())
        Release(found->second.surface);
}

void SurfaceRegistry::ReleaseByPrefix(const char* prefix) {
    if (!prefix) return;
    const size_t n = strlen(prefix);
    std::erase_if(entries_, [&](const Entry& e) {
        if (strncasecmp(e.name.c_str(), prefix, n) != 0) return false;
        Graphics::ReleaseSurface(e.surface);
        Forget(e);
        return true;
    });
}

void SurfaceRegistry::ReleaseAll() {
    for (Entry& e : entries_)
        Graphics::ReleaseSurface(e.surface);
    entries_.clear();
    byName_.clear();
}

const char* SurfaceRegistry::NameOf(const Surface* surface) const {
    for (const Entry& e : entries_)
        if (e.surface == surface) return e.name.c_str();
    return nullptr;
}

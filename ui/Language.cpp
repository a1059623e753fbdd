#include "ui/Language.h"

#include <cstdlib>

#include "core/Config.h"
#include "core/Log.h"
#include "gfx/SurfaceRegistry.h"
#include "ui/Menu.h"
#include "ui/TextCache.h"
#include "ui/TextTable.h"

namespace Language {
namespace {

std::string g_current = "en";
Hooks g_hooks;

} // namespace

std::string Shipped(const std::string& code) {
    for (const char* c : kCodes)
        if (code == c) return c;
    return "";
}

std::string FromLocaleName(const std::string& locale) {
    const std::string name = locale.substr(0, locale.find_first_of(".@"));
    if (!Shipped(name).empty()) return name;
    const std::string language = name.substr(0, name.find('_'));
    if (language.empty()) return "en";
    for (const char* c : kCodes)
        if (std::string(c).substr(0, std::string(c).find('_')) == language) return c;
    return "en";
}

std::string FromLocale(const char* lcAll, const char* lcMessages, const char* lang) {
    for (const char* v : {lcAll, lcMessages, lang})
        if (v && *v) return FromLocaleName(v);
    return "en";
}

std::string Next(const std::string& code) {
    for (int i = 0; i < kCount; ++i)
        if (code == kCodes[i]) return kCodes[(i + 1) % kCount];
    return kCodes[0];
}

std::string Preferred() {
    char stored[64] = {};
    if (g_Settings.ReadString(stored, sizeof stored, "Language") && !Shipped(stored).empty()) return stored;
    return FromLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

std::string ChooseAtStartUp() {
    char stored[64] = {};
    if (g_Settings.ReadString(stored, sizeof stored, "Language") && stored[0] && Shipped(stored).empty())
        LogMsg("Language '%s' is not one of the game's; the desktop's is used\n", stored);
    const std::string code = Preferred();
    Apply(code);
    LogMsg("Language: %s\n", code.c_str());
    return code;
}

void Apply(const std::string& code) {
    g_current = Shipped(code).empty() ? "en" : Shipped(code);
    g_TextTable.SetLanguage(g_current);
    Menu::Retranslate();
    // Every cached text and help page holds the old words: they are drawn anew on demand.
    if (SurfaceRegistry* cache = Text::CacheRegistry()) {
        cache->ReleaseByPrefix("fontCash_");
        cache->ReleaseByPrefix("helpPage");
    }
    Text::ForgetVolatile();
    g_hooks.changed();
}

const std::string& Current() {
    return g_current;
}

void SetHooks(const Hooks& hooks) {
    g_hooks = hooks;
}

} // namespace Language

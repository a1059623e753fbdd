#pragma once
#include <string>

#include "core/Hook.h"

// The language the player reads: chosen from the desktop's locale, overridden by the per-user
// value `Language` in the options key, changed on the Options screen. English ("en") is the base
// every other language falls back to, key by key.
namespace Language {

// The languages the game ships, in the order the Options line cycles through them.
inline constexpr const char* kCodes[] = {"en", "de", "fr", "es", "it", "pt_BR", "pl", "cs", "ru"};
inline constexpr int kCount = sizeof kCodes / sizeof kCodes[0];

// A shipped code for a locale name such as "pt_BR.UTF-8" or "de_AT@euro": the language with
// territory first ("pt_BR"), then the language alone ("pt" finds "pt_BR"); anything else, "C"
// and "POSIX" included, gives "en".
std::string FromLocaleName(const std::string& locale);
// The locale as the C library picks it for messages: the first of LC_ALL, LC_MESSAGES and LANG
// that is set and not empty.
std::string FromLocale(const char* lcAll, const char* lcMessages, const char* lang);
// The shipped code, or "" when the value names none.
std::string Shipped(const std::string& code);
// The code after this one on the Options line (after the last: the first).
std::string Next(const std::string& code);

// The registry's `Language` when it names a shipped language, otherwise the environment's locale.
std::string Preferred();
// Start-up, after the text table is loaded: applies and logs the preferred language.
std::string ChooseAtStartUp();

// Makes `code` the language of every text: the text table, the menus' texts, and whatever the
// change hook refreshes; drawn texts and help pages are composed anew.
void Apply(const std::string& code);
const std::string& Current();

struct Hooks {
    // Called after every Apply (the game screens retranslate the texts they keep).
    Hook<void()> changed{"Language.changed"};
};
void SetHooks(const Hooks& hooks);

} // namespace Language

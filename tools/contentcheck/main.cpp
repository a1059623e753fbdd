// contentcheck: loads the built content through the program's own loaders and fails on anything
// missing or wrong.
//
//   contentcheck <folder>
//
// The folder is made the working directory, as the game does; "game.dat" is mounted when it is
// there, so the same check runs on a plain Data folder and on an archive alone. It checks every
// item template with its animation, actions and end events, that no item's idle action names an
// action of its animation, every picture the screens fetch by name with its size and frame count,
// that no picture is wider than 800 pixels, that every script compiles, every scene of
// "Data\Levels\Board.eed" with its background and elements, every text key, both fonts, that
// every text of every language fits the box it is drawn in (TextFit.cpp), every sound and the
// music (decoded by SDL_mixer, each track over a minute). Prints one line per fault
// and exits 1 when there is any.
#include "core/FileLayer.h"
#include "gfx/AnimationData.h"
#include "picture/Bitmap.h"
#include "scene/Level.h"
#include "scene/Library.h"
#include "ui/Font.h"
#include "ui/TextTable.h"

#include "Fault.h"
#include "TextFit.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

int g_faults = 0;

const char* const kBricks[] = {"Brick1",  "Brick2",  "Brick3",  "Brick4",  "Brick5",  "Brick6",
                               "Brick1h", "Brick2h", "Brick3h", "Brick4h", "Brick5h", "Brick6h"};
const char* const kBonuses[] = {"Clock", "Bomb", "Rainbow", "Switch", "Metla", "Fireball", "Coin"};

bool HasEvent(const AnimationAction& a, const char* name) {
    for (const ScriptCommand& c : a.script)
        if (c.kind == ScriptCommand::Event && std::string(c.eventName) == name) return true;
    return false;
}

bool Loops(const AnimationAction& a) {
    return !a.script.empty() && a.script.back().kind == ScriptCommand::Goto;
}

void CheckItem(const std::string& name, bool bonus) {
    LibraryTemplate* t = Library::FindTemplate("Item", name);
    if (!t) {
        Fault("item template %s missing", name.c_str());
        return;
    }
    GCD_ITEM* item = Library::GetItemDescription("Item", name);
    if (!item || !item->described) {
        Fault("item file of %s missing", name.c_str());
        return;
    }
    if (item->sAnimation != name)
        Fault("item %s plays animation '%s'", name.c_str(), item->sAnimation.c_str());
    AnimationRecord* anim = Animation::Find(name);
    if (!anim) {
        Fault("animation %s missing", name.c_str());
        return;
    }
    if (anim->FindAction(item->sActionOnIdle))
        Fault("item %s: sActionOnIdle '%s' names an action, which the renderer would replay every frame",
              name.c_str(), item->sActionOnIdle.c_str());
    struct Need {
        const char* action;
        const char* endEvent; // nullptr: a loop
    };
    std::vector<Need> needs = {{"Appear", "BURN_END"},
                               {"Stay", nullptr},
                               {"Select", nullptr},
                               {"Move", nullptr},
                               {"Disappear", "DESTROY_END"}};
    if (bonus) needs.push_back({"Activate", "ActivateEnd"});
    bool half = name.size() == 7 && name.back() == 'h';
    for (const Need& n : needs) {
        AnimationAction* a = anim->FindAction(n.action);
        if (!a) {
            Fault("animation %s has no action %s", name.c_str(), n.action);
            continue;
        }
        if (a->scriptStatus != -1 || a->script.empty()) {
            Fault("%s.%s: script does not compile", name.c_str(), n.action);
            continue;
        }
        if (a->gifs.empty() || a->dwNextDirection == 0) {
            Fault("%s.%s: no frames", name.c_str(), n.action);
            continue;
        }
        bool flying = name == "Metla" || name == "Fireball";
        if (n.endEvent) {
            if (!HasEvent(*a, n.endEvent)) Fault("%s.%s never fires %s", name.c_str(), n.action, n.endEvent);
            bool shouldLoop = std::string(n.action) == "Activate" && flying;
            if (Loops(*a) != shouldLoop)
                Fault("%s.%s %s", name.c_str(), n.action, shouldLoop ? "must keep looping" : "must end");
        } else if (!Loops(*a)) {
            Fault("%s.%s must loop", name.c_str(), n.action);
        }
        // Every frame the script shows must exist, and the cell's frames must fit the cell.
        Bitmap frame;
        for (const ScriptCommand& c : a->script)
            if (c.kind == ScriptCommand::Frame &&
                !Animation::GetFrameImage(name.c_str(), n.action, uint32_t(c.argument), frame))
                Fault("%s.%s: frame %d cannot be read", name.c_str(), n.action, c.argument);
        if (!Animation::GetFrameImage(name.c_str(), n.action, 0, frame)) continue;
        if (frame.Width() > 800) Fault("%s.%s: frames %u pixels wide", name.c_str(), n.action, frame.Width());
        uint32_t cell = half ? 27 : 53;
        std::string act = n.action;
        if ((act == "Stay" || act == "Move" || act == "Appear") &&
            (frame.Width() != cell || frame.Height() != cell || a->nPivotX != 0 || a->nPivotY != 0))
            Fault("%s.%s: frames %ux%u with pivot %d,%d, expected %ux%u at 0,0", name.c_str(), n.action,
                  frame.Width(), frame.Height(), a->nPivotX, a->nPivotY, cell, cell);
        // Bigger frames must keep the cell centred: pivot = (size - cell) / 2.
        if (frame.Width() > cell && (std::abs(int(frame.Width() - cell) / 2 - a->nPivotX) > 1 ||
                                     std::abs(int(frame.Height() - cell) / 2 - a->nPivotY) > 1))
            Fault("%s.%s: pivot %d,%d does not centre %ux%u frames on the cell", name.c_str(), n.action,
                  a->nPivotX, a->nPivotY, frame.Width(), frame.Height());
    }
}

struct PictureNeed {
    const char* name;
    uint32_t w, h, minFrames, maxFrames;
};

void CheckPictures() {
    const PictureNeed needs[] = {
        {"b1", 0, 0, 1, 1},
        {"Red", 0, 0, 1, 1},
        {"new menu", 380, 293, 1, 1},
        {"DISAPPEARG", 25, 25, 1, 1},
        {"DISAPPEARP", 25, 25, 1, 1},
        {"DISAPPEARO", 25, 25, 1, 1},
        {"DISAPPEARB", 25, 25, 1, 1},
        {"DISAPPEARR", 25, 25, 1, 1},
        {"DISAPPEARY", 25, 25, 1, 1},
        {"Butmenu01", 137, 54, 1, 1},
        {"Butmenu02", 137, 54, 1, 1},
        {"begunok", 0, 0, 1, 1},
        {"kursor", 0, 0, 1, 1},
        {"s_r_app", 15, 15, 3, 3},
        {"s_g_app", 15, 15, 3, 3},
        {"s_y_app", 15, 15, 3, 3},
        {"s_r_sel", 15, 15, 2, 2},
        {"s_g_sel", 15, 15, 2, 2},
        {"s_y_sel", 15, 15, 2, 2},
        {"quarta", 0, 0, 1, 1},
        {"coin", 50, 50, 24, 24},
        {"metla_new", 50, 50, 8, 99},
        {"COLORCUT2", 50, 50, 8, 99},
        {"sphere", 50, 50, 4, 99},
        {"Switch", 50, 50, 5, 99},
        {"clocks", 50, 50, 8, 99},
        {"BOMB_app", 50, 50, 5, 99},
        {"CellCursor", 57, 57, 1, 1},
        {"CellCursorSmall", 31, 31, 1, 1},
    };
    for (const PictureNeed& n : needs) {
        if (!Library::FindTemplate("AniGifs", n.name)) {
            Fault("picture %s has no template in AniGifs", n.name);
            continue;
        }
        Bitmap* pic = nullptr;
        uint32_t count = 0;
        if (!Library::GetGifFrame(n.name, 0, pic, count) || !pic) {
            Fault("picture %s cannot be decoded", n.name);
            continue;
        }
        if (n.w && (pic->Width() != n.w || pic->Height() != n.h))
            Fault("picture %s is %ux%u, expected %ux%u", n.name, pic->Width(), pic->Height(), n.w, n.h);
        if (count < n.minFrames || count > n.maxFrames)
            Fault("picture %s has %u frames, expected %u..%u", n.name, count, n.minFrames, n.maxFrames);
    }
    // Every GIF of the group: decodable, its size as library.ini says, at most 800 pixels wide.
    LibraryGroup* g = Library::FindGroup("AniGifs");
    for (const auto& [data, uses] : g->data) {
        (void)uses;
        Bitmap* pic = nullptr;
        uint32_t count = 0;
        if (!Library::GetGifFrame(data->name, 0, pic, count) || !pic) {
            Fault("GIF %s cannot be decoded", data->name.c_str());
            continue;
        }
        if (pic->Width() > 800) Fault("GIF %s is %u pixels wide", data->name.c_str(), pic->Width());
        if (data->size.x != float(pic->Width()) || data->size.y != float(pic->Height()))
            Fault("GIF %s is %ux%u but library.ini says %gx%g", data->name.c_str(), pic->Width(),
                  pic->Height(), double(data->size.x), double(data->size.y));
    }
}

void CheckScenes() {
    if (!LoadSceneFile("Data\\Levels\\Board.eed")) {
        Fault("scene file Data\\Levels\\Board.eed does not load");
        return;
    }
    Episode* ep = GetCurrentEpisode();
    if (!ep || ep->name != "Board") Fault("scene file loads as episode '%s'", ep ? ep->name.c_str() : "");
    if (!ep) return;
    const char* scenes[] = {"Level_00_00", "Level_00_01", "Level_00_02", "Level_00_03",
                            "Level_01_00", "Level_02_00", "Level_01_02", "Level_02_02",
                            "Level_02_03", "Level_02_04", "Level_02_05"};
    for (const char* s : scenes) {
        Level* level = ep->FindScene(s);
        if (!level) {
            Fault("scene %s missing", s);
            continue;
        }
        Bitmap* bg = Library::GetPicture("Background", level->background);
        if (!bg)
            Fault("scene %s: background '%s' missing", s, level->background.c_str());
        else if (bg->Width() != 800 || bg->Height() != 600)
            Fault("scene %s: background is %ux%u", s, bg->Width(), bg->Height());
        for (Element* e : level->elements)
            if (!Library::GetPictureByType(e->sType))
                Fault("scene %s: element %s has no picture", s, e->sType.c_str());
    }
    // Every element picture of the library decodes and fits the screen.
    for (const char* group : {"Element", "Background"}) {
        LibraryGroup* g = Library::FindGroup(group);
        for (LibraryTemplate* t : g->templates) {
            Bitmap* p = Library::GetPicture(group, t->name);
            if (!p)
                Fault("%s %s has no picture", group, t->name.c_str());
            else if (p->Width() > 800)
                Fault("%s %s is %u pixels wide", group, t->name.c_str(), p->Width());
        }
    }
}

void CheckTexts() {
    g_TextTable.Load();
    std::vector<std::string> keys = {
        "Menu_PlayGame", "Menu_Help",       "Menu_Options",     "Menu_HiScores",    "Menu_Exit",
        "Menu_Back",     "Menu_MainMenu",   "Menu_Resume",      "Menu_Restart",     "Menu_RestartGame",
        "Menu_Prev",     "Menu_Next",       "Menu_Submit",      "Menu_OK",          "Menu_SaveExit",
        "Menu_On",       "Menu_Off",        "Menu_SoundVolume", "Menu_MusicVolume", "Menu_FullScreen",
        "Menu_Title",    "Menu_GameOver",   "Help_Descr",       "Help_ScoresTitle", "Help_Scores",
        "Help_Level",    "Help_BonusTitle", "Help_BonusDescr",  "Help_GoodLuck",    "Help_Visit1",
        "Help_Visit2",   "Help_Page",       "Help_Screenshot",  "Post_Form",        "Post_Name",
        "Post_Age",      "Post_Country",    "Version"};
    for (int i = 1; i <= 4; ++i)
        for (const char* f : {"Menu_Game%d", "Help_Game%dName", "Help_Game%dDescr"}) {
            char k[32];
            std::snprintf(k, sizeof k, f, i);
            keys.push_back(k);
        }
    for (int i = 1; i <= 3; ++i) {
        keys.push_back("Menu_EnterName" + std::to_string(i));
        keys.push_back("Help_Level" + std::to_string(i));
    }
    for (int i = 1; i <= 5; ++i)
        keys.push_back("Menu_Rev" + std::to_string(i));
    for (int i = 1; i <= 7; ++i) {
        keys.push_back("Help_Bonus" + std::to_string(i) + "Title");
        keys.push_back("Help_Bonus" + std::to_string(i) + "Descr");
    }
    for (const std::string& k : keys) {
        const char16_t* t = g_TextTable.GetText(k.c_str());
        if (!t || !*t) {
            Fault("text %s missing or empty", k.c_str());
            continue;
        }
        // The texts are used as formats: only the score line and the page counter hold
        // conversions, each a "%d" the game fills in.
        std::u16string s(t);
        const size_t pct = std::count(s.begin(), s.end(), u'%');
        size_t ints = 0;
        for (size_t at = s.find(u"%d"); at != std::u16string::npos; at = s.find(u"%d", at + 2))
            ++ints;
        const size_t wanted = k == "Help_Page" ? 2 : k == "Menu_EnterName1" ? 1 : 0;
        if (pct != wanted || ints != wanted) Fault("text %s has a stray percent sign", k.c_str());
    }
}

void CheckFonts() {
    for (const char* f : {"Data\\Library\\Font\\progbot.ttf", "Data\\Library\\Font\\Tahoma.ttf"}) {
        Font font;
        if (!font.Load(f)) Fault("font %s does not load", f);
    }
}

struct Found {
    std::vector<std::string> names;
};

void Collect(const char* file, void* user) {
    static_cast<Found*>(user)->names.push_back(file);
}

std::string Stem(const std::string& path) {
    size_t s = path.find_last_of('\\');
    std::string n = s == std::string::npos ? path : path.substr(s + 1);
    return n.substr(0, n.rfind('.'));
}

uint32_t Le(const uint8_t* p, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

// The player forgives a module cut short (it plays silence), so its parts are checked here: every
// sample and pattern the header points to lies inside the file.
bool ModuleIntact(const uint8_t* d, uint32_t size) {
    if (size < 192 || std::string(reinterpret_cast<const char*>(d), 4) != "IMPM") return false;
    uint32_t ord = Le(d + 32, 2), ins = Le(d + 34, 2), smp = Le(d + 36, 2), pat = Le(d + 38, 2);
    uint64_t table = 192 + uint64_t(ord) + 4ull * ins;
    if (table + 4ull * (smp + pat) > size || smp == 0 || pat == 0) return false;
    for (uint32_t i = 0; i < smp; ++i) {
        uint32_t h = Le(d + table + 4 * i, 4);
        if (uint64_t(h) + 80 > size) return false;
        uint64_t bytes = uint64_t(Le(d + h + 48, 4)) * ((d[h + 18] & 2) ? 2 : 1);
        if (uint64_t(Le(d + h + 72, 4)) + bytes > size) return false;
    }
    for (uint32_t i = 0; i < pat; ++i) {
        uint32_t at = Le(d + table + 4 * (smp + i), 4);
        if (at && (uint64_t(at) + 8 > size || uint64_t(at) + 8 + Le(d + at, 2) > size)) return false;
    }
    return true;
}

void CheckSound() {
    bool audio = Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 1024) == 0;
    if (!audio)
        std::printf("contentcheck: no audio device (%s); sounds are checked for presence only\n",
                    Mix_GetError());
    Found sounds;
    FileLayer::Enumerate("Data\\Library\\Sound", "ogg", Collect, &sounds);
    std::set<std::string> have;
    for (const std::string& n : sounds.names)
        have.insert(Stem(n));
    for (const char* s :
         {"line_delete2", "bonuce", "tornado", "pilesos", "clock2", "bomb1", "color_delete", "switch",
          "money1", "next_level1", "ALERT", "cheers", "move_menu", "select_menu", "shutter"}) {
        if (!have.count(s)) {
            Fault("sound %s missing", s);
            continue;
        }
        if (!audio) continue;
        std::string path = std::string("Data\\Library\\Sound\\") + s + ".ogg";
        FileBuffer buf(path.c_str());
        Mix_Chunk* chunk =
            buf.ok() ? Mix_LoadWAV_RW(SDL_RWFromConstMem(buf.data(), int(buf.size())), 1) : nullptr;
        if (!chunk)
            Fault("sound %s does not decode", s);
        else
            Mix_FreeChunk(chunk);
    }
    Found music;
    FileLayer::Enumerate("Data\\Library\\Music", "mo3 it", Collect, &music);
    if (music.names.size() < 2) Fault("%zu music tracks, expected at least 2", music.names.size());
    for (const std::string& m : music.names) {
        if (!audio) break;
        FileBuffer buf(m.c_str());
        if (!buf.ok() || !ModuleIntact(buf.data(), buf.size())) Fault("music %s is damaged", m.c_str());
        Mix_Music* mus =
            buf.ok() ? Mix_LoadMUS_RW(SDL_RWFromConstMem(buf.data(), int(buf.size())), 1) : nullptr;
        if (!mus) {
            Fault("music %s does not load: %s", m.c_str(), Mix_GetError());
            continue;
        }
        double len = Mix_MusicDuration(mus);
        std::printf("contentcheck: music %s: %.1f seconds\n", m.c_str(), len);
        if (len < 60.0) Fault("music %s lasts %.1f seconds, expected over a minute", m.c_str(), len);
        Mix_FreeMusic(mus);
    }
    if (audio) Mix_CloseAudio();
}

} // namespace

void Fault(const char* fmt, ...) {
    std::printf("contentcheck: FAIL ");
    va_list args;
    va_start(args, fmt);
    std::vprintf(fmt, args);
    va_end(args);
    std::printf("\n");
    ++g_faults;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: contentcheck <folder holding Data and/or game.dat>\n");
        return 2;
    }
    if (chdir(argv[1]) != 0) {
        std::fprintf(stderr, "contentcheck: cannot enter %s\n", argv[1]);
        return 2;
    }
    SDL_Init(SDL_INIT_AUDIO);
    FileLayer::Mount("game.dat", "", 3);
    std::printf("contentcheck: %s: Data folder %s, game.dat %s\n", argv[1],
                access("Data", F_OK) == 0 ? "present" : "absent",
                access("game.dat", F_OK) == 0 ? "present" : "absent");
    // Item pictures from the animations as in the program; no renderer to tell of scene switches.
    Library::Hooks library;
    library.frameImage = &Animation::GetFrameImage;
    Library::SetHooks(library);
    SceneHooks scene;
    scene.sceneChanged = [](Level*) {};
    SetSceneHooks(scene);
    if (!Library::Init("")) {
        Fault("the object library does not load");
        return 1;
    }
    if (!Animation::LoadAll()) {
        Fault("the animations do not load");
        return 1;
    }
    for (const char* b : kBricks)
        CheckItem(b, false);
    for (const char* b : kBonuses)
        CheckItem(b, true);
    // Every script of every animation compiles.
    for (const auto& anim : Animation::Registry())
        for (const auto& a : anim->actions)
            if (a->scriptStatus != -1)
                Fault("%s.%s: script fails at line %d", anim->name.c_str(), a->sName.c_str(),
                      a->scriptStatus);
    CheckPictures();
    CheckScenes();
    CheckTexts();
    CheckFonts();
    CheckTextFit();
    CheckSound();
    ReleaseAllEpisodes();
    Animation::ReleaseAll();
    Library::Release(false);
    SDL_Quit();
    if (g_faults) {
        std::printf("contentcheck: %d faults\n", g_faults);
        return 1;
    }
    std::printf("contentcheck: all content present and sound\n");
    return 0;
}

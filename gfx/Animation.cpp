#include "gfx/Animation.h"

#include "core/Config.h"
#include "core/FileLayer.h"
#include "core/Log.h"
#include "gfx/AnimationData.h"
#include "gfx/Renderer.h"
#include "gfx/SurfaceRegistry.h"
#include "picture/Bitmap.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "scene/Library.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

std::vector<std::unique_ptr<AnimationRecord>> g_registry;
uint8_t g_frozen = 0;
bool g_saveLibrary = false;
std::string g_workingDirectory;

bool SameNoCase(const std::string& a, const char* b) {
    return a.size() == std::strlen(b) && ::strncasecmp(a.data(), b, a.size()) == 0;
}

// Splits a value at commas and blanks into up to `count` integers; missing ones stay 0.
void SplitNumbers(const std::string& text, int32_t* out, size_t count) {
    std::fill(out, out + count, 0);
    size_t n = 0, i = 0;
    while (i < text.size() && n < count) {
        while (i < text.size() && (text[i] == ',' || text[i] == ' ' || text[i] == '\t'))
            ++i;
        size_t start = i;
        while (i < text.size() && text[i] != ',' && text[i] != ' ' && text[i] != '\t')
            ++i;
        if (i > start) out[n++] = ParseDecimal(text.substr(start, i - start).c_str());
    }
}

AnimationRecord* ByIndex(int32_t index) {
    if (index < 0 || size_t(index) >= g_registry.size()) return nullptr;
    return g_registry[size_t(index)].get();
}

AnimationAction* ActionOf(const AnimationState& state) {
    AnimationRecord* anim = ByIndex(state.animation);
    if (!anim || state.action < 0 || size_t(state.action) >= anim->actions.size()) return nullptr;
    return anim->actions[size_t(state.action)].get();
}

} // namespace

// ---- AniGifReference ---------------------------------------------------------------------------

AniGifReference::~AniGifReference() {
    ReleaseSheet();
}

void AniGifReference::GetVariableList(std::vector<VariableInfo>& list) const {
    list.push_back({"sAniGifName", VAR_STRING, {}});
    list.push_back({"bFlipX", VAR_BOOL, {}});
    list.push_back({"bFlipY", VAR_BOOL, {}});
    list.push_back({"dwFrames", VAR_INT, {}});
    list.push_back({"dwFrameSizeX", VAR_INT, {}});
    list.push_back({"dwFrameSizeY", VAR_INT, {}});
}

bool AniGifReference::Variable(std::string name, std::string& value, bool set) {
    if (name == "sAniGifName")
        VarString(sAniGifName, value, set);
    else if (name == "bFlipX")
        VarBool(bFlipX, value, set);
    else if (name == "bFlipY")
        VarBool(bFlipY, value, set);
    else if (name == "dwFrames")
        VarUInt(dwFrames, value, set);
    else if (name == "dwFrameSizeX")
        VarUInt(dwFrameSizeX, value, set);
    else if (name == "dwFrameSizeY")
        VarUInt(dwFrameSizeY, value, set);
    else if (VariableHolder::Variable(name, value, set))
        return true;
    else {
        LogVariableNotFound(name, "Animation::ANIGIF_REFERENCE");
        return false;
    }
    return true;
}

bool AniGifReference::BuildSheet() {
    ReleaseSheet();
    buildFailed = true;
    Bitmap* frame = nullptr;
    uint32_t count = 0;
    if (!Library::GetGifFrame(sAniGifName, 0, frame, count) || !frame || frame->Bits() != 32 ||
        frame->Empty())
        return false;

    const uint32_t width = frame->Width();
    const uint32_t height = frame->Height();
    colorKey = frame->Pixel32(0, 0) & 0x00FFFFFF;
    dwFrameSizeX = width;
    dwFrameSizeY = height;
    dwFrames = count;

    uint32_t perRow = count;
    const uint64_t screen = Renderer::ScreenWidth();
    while (perRow > 0 && uint64_t(perRow) * width > screen)
        perRow /= 2;
    // A GIF without frames, or one frame wider than the screen, cannot be laid out.
    if (perRow == 0) return false;
    framesPerRow = perRow;
    sheetWidth = width * perRow;
    sheetHeight = (count / perRow + 1) * height; // the extra row is always there

    Surface* surface = Renderer::CreateSurface(surfaceName.c_str(), sheetWidth, sheetHeight);
    if (!surface) return false;
    sheet = surface;
    buildFailed = false;

    Bitmap work;
    if (!work.Create(width, height, 32)) return true;
    const uint32_t key = colorKey;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t n = 0;
        if (!Library::GetGifFrame(sAniGifName, i, frame, n) || !frame || frame->Bits() != 32) continue;
        // Frames of another size than frame 0 are cut or padded with transparency.
        const uint32_t w = std::min(width, frame->Width());
        const uint32_t h = std::min(height, frame->Height());
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                uint32_t p = (x < w && y < h) ? frame->Pixel32(x, y) : key;
                p &= 0x00FFFFFF;
                work.SetPixel32(x, y, p == key ? p : (p | 0xFF000000u));
            }
        }
        Graphics::Rect all{0, 0, int32_t(width), int32_t(height)};
        Graphics::Upload(work, all, sheet, int32_t((i % perRow) * width), int32_t((i / perRow) * height),
                         true);
    }
    return true;
}

void AniGifReference::ReleaseSheet() {
    if (sheet) {
        Renderer::Surfaces().Release(sheet);
        dwFrames = 0;
    }
    sheet = nullptr;
    framesPerRow = 0;
}

FrameRect AniGifReference::FrameRectangle(uint32_t f) const {
    FrameRect r;
    if (framesPerRow == 0) return r;
    r.left = int32_t((f % framesPerRow) * dwFrameSizeX);
    r.top = int32_t((f / framesPerRow) * dwFrameSizeY);
    r.right = r.left + int32_t(dwFrameSizeX);
    r.bottom = r.top + int32_t(dwFrameSizeY);
    return r;
}

// ---- AnimationAction ---------------------------------------------------------------------------

AnimationAction::AnimationAction(const std::string& owner, const std::string& name) : ownerName(owner) {
    sName = name;
    sType = "Animation::Action";
}

void AnimationAction::GetVariableList(std::vector<VariableInfo>& list) const {
    list.push_back({"dwNextDirection", VAR_INT, {}});
    list.push_back({"dwPlayingDelay", VAR_INT, {}});
    list.push_back({"nPivotX", VAR_INT, {}});
    list.push_back({"nPivotY", VAR_INT, {}});
    list.push_back({"sBindedKey", VAR_STRING, {}});
}

bool AnimationAction::Variable(std::string name, std::string& value, bool set) {
    if (name == "dwNextDirection")
        VarUInt(dwNextDirection, value, set);
    else if (name == "dwPlayingDelay")
        VarUInt(dwPlayingDelay, value, set);
    else if (name == "nPivotX")
        VarInt(nPivotX, value, set);
    else if (name == "nPivotY")
        VarInt(nPivotY, value, set);
    else if (name == "sBindedKey")
        VarString(sBindedKey, value, set);
    else if (Object::Variable(name, value, set))
        return true;
    else {
        LogVariableNotFound(name, ClassName());
        return false;
    }
    return true;
}

AniGifReference* AnimationAction::AddGif(const std::string& gifName, uint32_t frameWidth,
                                         uint32_t frameHeight, uint32_t frames, uint8_t flipX, uint8_t flipY,
                                         bool defaults) {
    auto ref = std::make_unique<AniGifReference>();
    char buf[64];
    std::snprintf(buf, sizeof buf, "%zu", gifs.size() + 1);
    ref->surfaceName = "Animation." + ownerName + "." + sName + ".Surface#" + buf;
    ref->sAniGifName = gifName;
    ref->dwFrameSizeX = frameWidth;
    ref->dwFrameSizeY = frameHeight;
    ref->dwFrames = frames;
    ref->bFlipX = flipX;
    ref->bFlipY = flipY;
    gifs.push_back(std::move(ref));
    AniGifReference* added = gifs.back().get();

    if (defaults && gifs.size() == 1 && dwNextDirection == 0) {
        Bitmap* frame = nullptr;
        uint32_t count = 0;
        if (Library::GetGifFrame(gifName, 0, frame, count)) dwNextDirection = count;
        nPivotX = int32_t(frameWidth / 2);
        nPivotY = int32_t(frameHeight) - 1;
        scriptSource.clear();
        for (uint32_t i = 0; i < dwNextDirection; ++i) {
            std::snprintf(buf, sizeof buf, "frame(%u);\r\n", i);
            scriptSource += buf;
        }
        CompileScript();
    }
    return added;
}

bool AnimationAction::CompileScript() {
    scriptStatus = AnimationScript::Compile(scriptSource, script);
    if (scriptStatus != -1)
        LogMsg("Animation action '%s': script error at %d\n", sName.c_str(), scriptStatus);
    return scriptStatus == -1;
}

void AnimationAction::BuildSheets() {
    for (auto& ref : gifs)
        if (!ref->sheet && !ref->buildFailed) ref->BuildSheet();
    sheetsBuilt = true;
}

uint32_t AnimationAction::ReduceFrame(uint32_t f) const {
    // A cycle of 0 would divide by zero: the number is then used as it is.
    if (dwNextDirection != 0 && f > dwNextDirection) f %= dwNextDirection;
    return f;
}

AniGifReference* AnimationAction::FindFrame(uint32_t f, bool build, uint32_t& local) {
    for (auto& ref : gifs) {
        if (build && !ref->sheet && !ref->buildFailed) ref->BuildSheet();
        if (f < ref->dwFrames) {
            local = f;
            return ref.get();
        }
        f -= ref->dwFrames;
    }
    return nullptr;
}

AnimationAction* AnimationRecord::FindAction(const std::string& actionName) const {
    for (const auto& a : actions)
        if (a->sName == actionName) return a.get();
    return nullptr;
}

// ---- Registry and interface ---------------------------------------------------------------------

namespace Animation {

const std::vector<std::unique_ptr<AnimationRecord>>& Registry() {
    return g_registry;
}

AnimationRecord* Find(const std::string& name) {
    for (const auto& a : g_registry)
        if (a->name == name) return a.get();
    return nullptr;
}

int32_t Count() {
    return int32_t(g_registry.size());
}

void SetFrozen(bool frozen) {
    g_frozen = frozen ? 1 : 0;
}
bool IsFrozen() {
    return g_frozen != 0;
}
void SetSaveLibrary(bool on) {
    g_saveLibrary = on;
}
bool SaveLibrary() {
    return g_saveLibrary;
}
void SetWorkingDirectory(const char* dir) {
    g_workingDirectory = dir ? dir : "";
    const char last = g_workingDirectory.empty() ? '/' : g_workingDirectory.back();
    if (last != '/' && last != '\\') g_workingDirectory += '/';
}

bool ReadFile(const char* path) {
    ConfigDoc doc;
    if (!path || !doc.Load(path)) {
        LogMsg("Animation file '%s' not read\n", path ? path : "");
        return false;
    }
    std::string name;
    if (!doc.Get(name, "name", "Animation")) {
        LogMsg("Animation file '%s' has no name; not used\n", path);
        return false;
    }
    if (Find(name)) return false; // the first file of a name wins

    g_registry.push_back(std::make_unique<AnimationRecord>());
    AnimationRecord* anim = g_registry.back().get();
    anim->name = name;

    char section[32], key[32];
    for (int n = 1;; ++n) {
        std::snprintf(section, sizeof section, "Action%d", n);
        std::string actionName;
        if (!doc.Get(actionName, "name", section)) break;
        AnimationAction* action = anim->FindAction(actionName);
        if (!action) {
            anim->actions.push_back(std::make_unique<AnimationAction>(anim->name, actionName));
            action = anim->actions.back().get();
        }
        const int32_t diroffset = doc.GetInt("diroffset", section);
        const int32_t delay = doc.GetInt("delay", section);
        const int32_t pivotX = doc.GetInt("pivotX", section);
        const int32_t pivotY = doc.GetInt("pivotY", section);
        std::string bound;
        doc.Get(bound, "key", section);
        action->sBindedKey = bound;

        for (int g = 1;; ++g) {
            std::string gifName, size, flags;
            std::snprintf(key, sizeof key, "gif%dname", g);
            if (!doc.Get(gifName, key, section)) break;
            std::snprintf(key, sizeof key, "gif%dsize", g);
            doc.Get(size, key, section);
            std::snprintf(key, sizeof key, "gif%dflags", g);
            doc.Get(flags, key, section);
            int32_t dims[3], flips[2];
            SplitNumbers(size, dims, 3);
            SplitNumbers(flags, flips, 2);
            // The reader overwrites the defaults a first reference would set, so they are not
            // computed here (that would decode every GIF at start-up).
            const bool first = action->gifs.empty();
            action->AddGif(gifName, uint32_t(dims[0]), uint32_t(dims[1]), uint32_t(dims[2]),
                           uint8_t(flips[0]), uint8_t(flips[1]), false);
            if (first) {
                action->nPivotX = pivotX;
                action->nPivotY = pivotY;
            }
        }

        action->dwNextDirection = uint32_t(diroffset);
        action->dwPlayingDelay = delay == 0 ? 30u : uint32_t(delay);

        std::string source;
        for (int i = 0;; ++i) {
            std::string line;
            std::snprintf(key, sizeof key, "srcstr %d", i);
            if (!doc.Get(line, key, section)) break;
            source += line;
            source += "\r\n";
        }
        action->scriptSource = source;
        action->CompileScript();
    }
    return true;
}

bool WriteAll() {
    for (const auto& anim : g_registry) {
        const std::string path = g_workingDirectory + "Data\\Library\\Animation\\" + anim->name + ".ani";
        FILE* f = Platform::OpenFile(path, "wb");
        if (!f) {
            LogMsg("Unable to write '%s'\n", path.c_str());
            return false;
        }
        std::fprintf(f, "[Animation]\n");
        std::fprintf(f, "name = %s\n", anim->name.c_str());
        int n = 1;
        for (const auto& action : anim->actions) {
            std::fprintf(f, "[Action%d]\n", n++);
            std::fprintf(f, "name = %s\n", action->sName.c_str());
            std::fprintf(f, "diroffset = %d\n", int32_t(action->dwNextDirection));
            std::fprintf(f, "delay = %d\n", int32_t(action->dwPlayingDelay));
            std::fprintf(f, "key = %s\n", action->sBindedKey.c_str());
            std::fprintf(f, "pivotX = %d\n", action->nPivotX);
            std::fprintf(f, "pivotY = %d\n", action->nPivotY);
            int g = 1;
            for (const auto& ref : action->gifs) {
                std::fprintf(f, "gif%dname  = %s\n", g, ref->sAniGifName.c_str());
                std::fprintf(f, "gif%dsize  = %d,%d,%d\n", g, int32_t(ref->dwFrameSizeX),
                             int32_t(ref->dwFrameSizeY), int32_t(ref->dwFrames));
                std::fprintf(f, "gif%dflags = %d,%d\n", g, ref->bFlipX, ref->bFlipY);
                ++g;
            }
            int line = 0;
            const std::string& src = action->scriptSource;
            size_t pos = 0;
            while (pos <= src.size()) {
                size_t end = src.find("\r\n", pos);
                const std::string piece =
                    src.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
                if (!piece.empty()) std::fprintf(f, "srcstr %d = %s\n", line++, piece.c_str());
                if (end == std::string::npos) break;
                pos = end + 2;
            }
            std::fprintf(f, "\n");
        }
        std::fclose(f);
    }
    return true;
}

static void ReadOne(const char* fileName, void*) {
    // ReadFile says why a file is not used; a second copy of a name (archive and folder) is
    // skipped quietly.
    (void)ReadFile(fileName);
}

bool LoadAll() {
    if (!g_workingDirectory.empty() && !Platform::SetCurrentDirectory(g_workingDirectory))
        LogMsg("Unable to enter the working directory '%s'\n", g_workingDirectory.c_str());
    FileLayer::Enumerate("data", "ani", &ReadOne, nullptr);
    return true;
}

void ReleaseAll() {
    if (g_saveLibrary && !WriteAll()) LogMsg("The animations were not saved\n");
    g_registry.clear();
}

void Play(const char* animation, const char* action, AnimationState& state) {
    AnimationRecord* anim = nullptr;
    if (animation) {
        for (size_t i = 0; i < g_registry.size(); ++i) {
            if (SameNoCase(g_registry[i]->name, animation)) {
                anim = g_registry[i].get();
                state.animation = int32_t(i);
                break;
            }
        }
        if (!anim) return;
    } else {
        anim = ByIndex(state.animation);
        if (!anim) return;
    }

    AnimationAction* act = nullptr;
    int32_t actionIndex = -1;
    if (action) {
        for (size_t i = 0; i < anim->actions.size(); ++i) {
            if (SameNoCase(anim->actions[i]->sName, action)) {
                act = anim->actions[i].get();
                actionIndex = int32_t(i);
                break;
            }
        }
        if (!act) return;
        if (!act->sheetsBuilt) act->BuildSheets();
    } else {
        actionIndex = state.action;
        if (actionIndex < 0 || size_t(actionIndex) >= anim->actions.size()) return;
        act = anim->actions[size_t(actionIndex)].get();
    }

    if (act->scriptStatus != -1) return;
    state.pivotX = float(act->nPivotX);
    state.pivotY = float(act->nPivotY);

    const uint32_t now = Platform::TimeMs();
    if (actionIndex != state.action) {
        state.action = actionIndex;
        AnimationScript::Start(act->script, state, now);
        return;
    }
    AnimationScript::Advance(act->script, act->dwPlayingDelay, state, now, g_frozen != 0);
}

bool GetFrame(AnimationState& state, SDL_Surface*& surface, FrameRect& rect) {
    if (state.animation == -1 || state.action == -1) return false;
    Play(nullptr, nullptr, state);
    AnimationAction* act = ActionOf(state);
    if (!act) return true;
    uint32_t local = 0;
    AniGifReference* ref = act->FindFrame(act->ReduceFrame(state.frame), true, local);
    if (ref && ref->sheet) {
        surface = ref->sheet;
        rect = ref->FrameRectangle(local);
    }
    return true;
}

bool GetFrameImage(const char* animation, const char* action, uint32_t frame, Bitmap& out) {
    if (!animation || !action) return false;
    AnimationRecord* anim = Find(animation);
    AnimationAction* act = anim ? anim->FindAction(action) : nullptr;
    if (!act) return false;
    uint32_t local = 0;
    AniGifReference* ref = act->FindFrame(act->ReduceFrame(frame), false, local);
    if (!ref) return false;
    Bitmap* picture = nullptr;
    uint32_t count = 0;
    if (!Library::GetGifFrame(ref->sAniGifName, local, picture, count) || !picture) return false;
    if (picture->Bits() == 32) {
        out.Assign(*picture);
        return true;
    }
    if (!out.Create(picture->Width(), picture->Height(), 32)) return false;
    out.CopyFrom(*picture);
    return true;
}

} // namespace Animation

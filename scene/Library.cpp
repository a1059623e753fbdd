#include "scene/Library.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "core/Config.h"
#include "core/Log.h"
#include "platform/Files.h"

namespace {

Library::Hooks g_aboveHooks;
std::vector<std::unique_ptr<LibraryGroup>> g_groups;
bool g_initialised = false;

std::string Numbered(const char* key, size_t i) {
    return key + std::to_string(i);
}

// A list value: items written as "text", — split at every double quote and comma, empty items vanish.
std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    std::string current;
    for (char c : text) {
        if (c == '"' || c == ',') {
            if (!current.empty()) items.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) items.push_back(current);
    return items;
}

std::string JoinList(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items)
        out += "\"" + (item.empty() ? std::string("<null>") : item) + "\",";
    return out;
}

const std::string* FindPair(const VariablePairs& pairs, const std::string& name) {
    for (const auto& p : pairs)
        if (p.first == name) return &p.second;
    return nullptr;
}

void SetPair(VariablePairs& pairs, const std::string& name, const std::string& value) {
    for (auto& p : pairs)
        if (p.first == name) {
            p.second = value;
            return;
        }
    // a name the list does not have is ignored
}

VariableInfo Declared(const char* name, uint32_t kind, const char* value) {
    VariableInfo info;
    info.name = name;
    info.kind = kind;
    info.values.push_back(value);
    return info;
}

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), format, args);
        out.resize(static_cast<size_t>(n));
    }
    va_end(args);
    return out;
}

int32_t SizeToInt(float v) {
    if (!(v == v) || v >= 2147483647.0f || v <= -2147483648.0f)
        return v > 0 ? INT32_MAX : (v < 0 ? INT32_MIN : 0);
    return static_cast<int32_t>(v);
}

// The text after the last backslash (or slash).
std::string FileNameOf(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool CopyInto(const std::string& source, const std::string& destination) {
    std::error_code ec;
    std::filesystem::copy_file(Platform::ResolvePath(source), Platform::ResolvePath(destination),
                               std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) {
        LogMsg("Error copying file: %d\n", ec.value());
        return false;
    }
    return true;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Data objects

LibraryData::~LibraryData() = default;

void LibraryData::SetFile(const std::string& dataFolder, const std::string& fileName) {
    folder = dataFolder;
    size_t dot = fileName.rfind('.');
    if (dot == std::string::npos) {
        name = fileName;
        extension.clear();
    } else {
        name = fileName.substr(0, dot);
        extension = fileName.substr(dot + 1);
    }
}

std::string LibraryData::Path() const {
    return folder + name + "." + extension;
}

bool LibraryData::Load() {
    if (loaded) return true;
    switch (kind) {
    case LibraryDataKind::AlphaPicture:
        loaded = Image::LoadAlphaPicture(picture, folder, name);
        break;
    case LibraryDataKind::OpaquePicture:
        loaded = Image::LoadOpaquePicture(picture, folder, name, extension);
        break;
    case LibraryDataKind::Light:
        shared = Image::SharedLightPicture(folder);
        loaded = shared != nullptr;
        break;
    case LibraryDataKind::AniGif: {
        Bitmap* frame = nullptr;
        uint32_t count = 0;
        loaded = GifFrame(0, frame, count);
        break;
    }
    case LibraryDataKind::Item:
        break; // GCD_ITEM::Load
    }
    return loaded;
}

void LibraryData::Unload() {
    picture = Bitmap();
    shared = nullptr;
    gifFrames.Release();
    loaded = false;
}

Bitmap* LibraryData::Picture() {
    if (!loaded && !Load()) return nullptr;
    if (shared) return const_cast<Bitmap*>(shared); // the shared light picture is only read
    return picture.Empty() ? nullptr : &picture;
}

Vec2 LibraryData::GetSize() {
    if (size.x < 0.0f || size.y < 0.0f) {
        bool wasLoaded = loaded;
        if (const Bitmap* p = Picture()) {
            size = {static_cast<float>(p->Width()), static_cast<float>(p->Height())};
            if (!wasLoaded) Unload();
        }
    }
    return size;
}

Vec2 LibraryData::GetPivot() {
    if (kind != LibraryDataKind::Light) return {};
    Vec2 s = GetSize();
    return {s.x / 2.0f, s.y / 2.0f};
}

bool LibraryData::GifFrame(uint32_t index, Bitmap*& out, uint32_t& frameCount) {
    if (!gifFrames.Loaded() && !gifFrames.Load(Path())) return false;
    frameCount = gifFrames.Count();
    if (index >= frameCount || !gifFrames.CopyFrame(index, picture)) return false;
    loaded = true;
    out = &picture;
    return true;
}

bool LibraryData::Import(const std::string& source, const std::string& destinationFolder) {
    switch (kind) {
    case LibraryDataKind::AlphaPicture:
        return Image::ImportAlphaPicture(source, destinationFolder, name);
    case LibraryDataKind::OpaquePicture:
    case LibraryDataKind::AniGif:
        return Image::ImportPlain(source, destinationFolder, name + "." + extension);
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------------------------
// GCD_ITEM

void GCD_ITEM::GetVariableList(std::vector<VariableInfo>& list) const {
    for (const char* n : {"sAnimation", "sActionOnIdle", "sSndOnPickup"}) {
        VariableInfo info;
        info.name = n;
        info.kind = VAR_STRING;
        list.push_back(std::move(info));
    }
}

bool GCD_ITEM::Variable(std::string variable, std::string& value, bool set) {
    if (variable == "sAnimation")
        VarString(sAnimation, value, set);
    else if (variable == "sActionOnIdle")
        VarString(sActionOnIdle, value, set);
    else if (variable == "sSndOnPickup")
        VarString(sSndOnPickup, value, set);
    else if (VariableHolder::Variable(variable, value, set))
        return true;
    else {
        LogVariableNotFound(variable, "GCD_ITEM");
        return false;
    }
    return true;
}

bool GCD_ITEM::Load() {
    if (loaded) return true;
    std::string path = Path();
    ConfigDoc doc;
    if (!doc.Load(path.c_str())) {
        LogMsg("File not found '%s'\n", path.c_str());
        // A stand-in picture, so that the entry has something to show and is not read again.
        loaded = picture.Create(32, 32, 32);
        described = true;
        return loaded;
    }
    doc.Get(sAnimation, "sAnimation", "item");
    doc.Get(sActionOnIdle, "sActionOnIdle", "item");
    doc.Get(sSndOnPickup, "sSndOnPickup", "item");
    described = true;
    if (g_aboveHooks.frameImage(sAnimation.c_str(), sActionOnIdle.c_str(), 0, picture)) loaded = true;
    return loaded;
}

bool GCD_ITEM::WriteFile(const std::string& absoluteFolder) const {
    std::string path = absoluteFolder + name + "." + extension;
    FILE* f = Platform::OpenFile(path, "wb");
    if (!f) return false;
    std::fprintf(f, "[item]\n");
    std::fprintf(f, "sAnimation    = %s\n", sAnimation.c_str());
    std::fprintf(f, "sActionOnIdle = %s\n", sActionOnIdle.c_str());
    std::fprintf(f, "sSndOnPickup  = %s\n", sSndOnPickup.c_str());
    return std::fclose(f) == 0;
}

bool GCD_ITEM::Import(const std::string& source, const std::string& destinationFolder) {
    if (extension != "item") return false;
    std::string destination = destinationFolder;
    if (!destination.empty() && destination.back() != '\\' && destination.back() != '/') destination += "\\";
    return CopyInto(source, destination + FileNameOf(source));
}

// ---------------------------------------------------------------------------------------------
// Library groups

LibraryGroup::LibraryGroup(const std::string& groupName, const std::string& ext,
                           std::vector<VariableInfo> declaredVariables, const std::string& workingDirectory)
    : name(groupName), folder("Data\\Library\\" + groupName + "\\"),
      absoluteFolder(workingDirectory + folder), extension(ext), declared(std::move(declaredVariables)) {
    if (name == "Element")
        kind = LibraryDataKind::AlphaPicture;
    else if (name == "Light")
        kind = LibraryDataKind::Light;
    else if (name == "AniGifs")
        kind = LibraryDataKind::AniGif;
    else if (name == "Item")
        kind = LibraryDataKind::Item;
    else
        kind = LibraryDataKind::OpaquePicture;
}

LibraryGroup::~LibraryGroup() {
    for (auto& entry : data)
        delete entry.first;
    for (LibraryTemplate* t : templates)
        delete t;
}

LibraryData* LibraryGroup::NewData() const {
    if (kind == LibraryDataKind::Item) return new GCD_ITEM();
    return new LibraryData(kind);
}

LibraryData* LibraryGroup::AddData(const std::string& fileName, Vec2 knownSize) {
    LibraryData* entry = NewData();
    entry->SetFile(folder, fileName);
    entry->size = knownSize;
    data.emplace_back(entry, 0u);
    return entry;
}

bool LibraryGroup::Load() {
    std::string path = folder + "library.ini";
    ConfigDoc doc;
    if (!doc.Load(path.c_str())) {
        LogMsg("Library: failed to open '%s'\n", path.c_str());
        return false;
    }
    LoadFrom(doc);
    return true;
}

void LibraryGroup::LoadFrom(const ConfigDoc& doc) {
    for (size_t i = 1;; ++i) {
        std::string value;
        if (!doc.Get(value, Numbered("data", i).c_str(), "data")) break;
        // "file,width,height"
        std::vector<std::string> parts;
        size_t start = 0;
        while (true) {
            size_t comma = value.find(',', start);
            parts.push_back(
                value.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
        Vec2 known{static_cast<float>(parts.size() > 1 ? ParseDecimal(parts[1].c_str()) : 0),
                   static_cast<float>(parts.size() > 2 ? ParseDecimal(parts[2].c_str()) : 0)};
        AddData(parts[0], known);
    }
    for (size_t i = 1;; ++i) {
        std::string groupName, variables, values;
        if (!doc.Get(groupName, Numbered("name", i).c_str(), "groups")) break;
        doc.Get(variables, Numbered("variables", i).c_str(), "groups");
        doc.Get(values, Numbered("values", i).c_str(), "groups");
        if (!CreateTemplateGroup(groupName))
            LogMsg("Library '%s': template group '%s' given twice; the first is kept\n",
                   absoluteFolder.c_str(), groupName.c_str());
        std::vector<std::string> names = SplitList(variables), texts = SplitList(values);
        // Only the pairs present: a longer name list has nothing to pair with.
        for (size_t k = 0; k < names.size() && k < texts.size(); ++k)
            SetTemplateGroupVariable(groupName, names[k], texts[k]);
    }
    for (size_t i = 1;; ++i) {
        std::string templateName, groupName, dataName, variables, values;
        if (!doc.Get(templateName, Numbered("name", i).c_str(), "objects")) break;
        doc.Get(groupName, Numbered("group", i).c_str(), "objects");
        doc.Get(dataName, Numbered("data", i).c_str(), "objects");
        doc.Get(variables, Numbered("variables", i).c_str(), "objects");
        doc.Get(values, Numbered("values", i).c_str(), "objects");
        LibraryTemplate* created = CreateTemplate(templateName, groupName, dataName);
        if (!created) continue;
        std::vector<std::string> names = SplitList(variables), texts = SplitList(values);
        for (size_t k = 0; k < names.size() && k < texts.size(); ++k)
            SetPair(created->variables, names[k], texts[k]);
    }
}

std::string LibraryGroup::SaveText() const {
    std::string out;
    out += "[data]\n";
    out += Printf("size = %d\n", static_cast<int>(data.size()));
    for (size_t i = 0; i < data.size(); ++i) {
        LibraryData* d = data[i].first;
        Vec2 s = d->GetSize();
        std::string file = d->extension.empty() ? d->name : d->name + "." + d->extension;
        out += Printf("data%d = %s,%d,%d\n", static_cast<int>(i + 1), file.c_str(), SizeToInt(s.x),
                      SizeToInt(s.y));
    }
    out += "\n[groups]\n";
    out += Printf("size = %d\n", static_cast<int>(groups.size()));
    for (size_t i = 0; i < groups.size(); ++i) {
        std::vector<std::string> names, values;
        for (const auto& p : groups[i].variables) {
            names.push_back(p.first);
            values.push_back(p.second);
        }
        int n = static_cast<int>(i + 1);
        out += Printf("name%d = %s\n", n, groups[i].name.c_str());
        out += Printf("variables%d = %s\n", n, JoinList(names).c_str());
        out += Printf("values%d = %s\n", n, JoinList(values).c_str());
        out += "\n";
    }
    out += "\n[objects]\n";
    out += Printf("size = %d\n", static_cast<int>(templates.size()));
    for (size_t i = 0; i < templates.size(); ++i) {
        const LibraryTemplate* t = templates[i];
        const TemplateGroup* g = nullptr;
        for (const TemplateGroup& candidate : groups)
            if (candidate.name == t->groupName) g = &candidate;
        std::vector<std::string> names, values;
        for (const auto& p : t->variables) {
            const std::string* groupValue = g ? FindPair(g->variables, p.first) : nullptr;
            if (groupValue && *groupValue == p.second)
                continue; // restored from the template group on reading
            names.push_back(p.first);
            values.push_back(p.second);
        }
        int n = static_cast<int>(i + 1);
        out += Printf("name%d = %s\n", n, t->name.c_str());
        out += Printf("group%d = %s\n", n, t->groupName.c_str());
        out += Printf("data%d = %s\n", n, t->dataName.c_str());
        out += Printf("variables%d = %s\n", n, JoinList(names).c_str());
        out += Printf("values%d = %s\n", n, JoinList(values).c_str());
        out += "\n";
    }
    return out;
}

bool LibraryGroup::Save() const {
    std::string path = absoluteFolder + "library.ini";
    FILE* f = Platform::OpenFile(path, "w");
    if (!f) {
        LogMsg("Failed to save library '%s'\n", path.c_str());
        return false;
    }
    std::string text = SaveText();
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) == 0 && ok) return true;
    LogMsg("Failed to write library '%s'\n", path.c_str());
    return false;
}

TemplateGroup* LibraryGroup::FindTemplateGroup(const std::string& groupName) {
    for (TemplateGroup& g : groups)
        if (g.name == groupName) return &g;
    return nullptr;
}

bool LibraryGroup::CreateTemplateGroup(const std::string& groupName) {
    if (FindTemplateGroup(groupName)) return false;
    TemplateGroup g;
    g.name = groupName;
    for (const VariableInfo& info : declared) {
        std::string value = info.values.empty() ? std::string() : info.values.front();
        if (info.kind == VAR_COLOR) value = "0x000000";
        g.variables.emplace_back(info.name, value);
    }
    groups.push_back(std::move(g));
    modified = true;
    return true;
}

void LibraryGroup::SetTemplateGroupVariable(const std::string& groupName, const std::string& variable,
                                            const std::string& value) {
    if (TemplateGroup* g = FindTemplateGroup(groupName)) SetPair(g->variables, variable, value);
}

LibraryTemplate* LibraryGroup::FindTemplate(const std::string& templateName) {
    auto it = byName_.find(templateName);
    return it == byName_.end() ? nullptr : it->second;
}

LibraryData* LibraryGroup::FindData(const std::string& dataName) {
    for (auto& entry : data)
        if (entry.first->name == dataName) return entry.first;
    return nullptr;
}

LibraryTemplate* LibraryGroup::CreateTemplate(const std::string& templateName, const std::string& groupName,
                                              const std::string& dataName) {
    TemplateGroup* g = FindTemplateGroup(groupName);
    if (!g) return nullptr;
    std::pair<LibraryData*, uint32_t>* entry = nullptr;
    for (auto& candidate : data)
        if (candidate.first->name == dataName) {
            entry = &candidate;
            break;
        }
    // Suffixes below the remembered one are all taken (templates are never removed), so starting
    // there finds the same name as counting up from _01.
    std::string unique = templateName;
    if (FindTemplate(unique)) {
        uint32_t& counter = nextSuffix_[templateName];
        if (counter == 0) counter = 1;
        do
            unique = Printf("%s_%02u", templateName.c_str(), counter++);
        while (FindTemplate(unique));
    }

    auto* t = new LibraryTemplate();
    t->name = unique;
    t->groupName = groupName;
    t->className = name;
    t->variables = g->variables;
    if (entry) {
        t->dataName = dataName;
        t->size = entry->first->GetSize();
        t->pivot = entry->first->GetPivot();
        ++entry->second;
    }
    templates.push_back(t);
    byName_.emplace(t->name, t);
    modified = true;
    return t;
}

void LibraryGroup::SetTemplateVariable(const std::string& templateName, const std::string& variable,
                                       const std::string& value) {
    if (LibraryTemplate* t = FindTemplate(templateName)) SetPair(t->variables, variable, value);
}

// ---------------------------------------------------------------------------------------------
// Process-wide library

namespace Library {

bool Init(const std::string& workingDirectory) {
    Release(false);
    g_groups.push_back(std::make_unique<LibraryGroup>(
        "Element", "jpg",
        std::vector<VariableInfo>{Declared("bVisible", VAR_BOOL, "true"), Declared("nSort", VAR_INT, "50"),
                                  Declared("nOpaque", VAR_INT, "100"),
                                  Declared("bBreakable", VAR_BOOL, "false"), Declared("nLife", VAR_INT, "0"),
                                  Declared("bFlipX", VAR_BOOL, "false"),
                                  Declared("bFlipY", VAR_BOOL, "false")},
        workingDirectory));
    g_groups.push_back(
        std::make_unique<LibraryGroup>("Background", "jpg", std::vector<VariableInfo>{}, workingDirectory));
    g_groups.push_back(std::make_unique<LibraryGroup>(
        "Light", ".",
        std::vector<VariableInfo>{Declared("bActive", VAR_BOOL, "false"), Declared("nRadius", VAR_INT, "0"),
                                  Declared("cColor", VAR_COLOR, "0xffffff")},
        workingDirectory));
    g_groups.push_back(
        std::make_unique<LibraryGroup>("AniGifs", "gif", std::vector<VariableInfo>{}, workingDirectory));
    g_groups.push_back(std::make_unique<LibraryGroup>(
        "Item", "item", std::vector<VariableInfo>{Declared("nScore", VAR_INT, "0")}, workingDirectory));
    g_initialised = true;
    for (const char* groupName : {"Element", "Background", "Light", "Item", "AniGifs"})
        if (!FindGroup(groupName)->Load()) return false;
    return true;
}

void Release(bool saveLibrary) {
    for (auto& g : g_groups)
        if (saveLibrary && g->modified && !g->Save())
            LogMsg("Library '%s' not saved; its changes are lost\n", g->absoluteFolder.c_str());
    g_groups.clear();
    g_initialised = false;
}

bool IsInitialised() {
    return g_initialised;
}

LibraryGroup* FindGroup(const std::string& className) {
    for (auto& g : g_groups)
        if (g->name == className) return g.get();
    return nullptr;
}

LibraryTemplate* FindTemplate(const std::string& className, const std::string& templateName) {
    LibraryGroup* g = FindGroup(className);
    return g ? g->FindTemplate(templateName) : nullptr;
}

namespace {
LibraryData* DataOfTemplate(const std::string& className, const std::string& templateName) {
    LibraryGroup* g = FindGroup(className);
    if (!g) return nullptr;
    LibraryTemplate* t = g->FindTemplate(templateName);
    return t ? g->FindData(t->dataName) : nullptr;
}
} // namespace

Bitmap* GetPicture(const std::string& className, const std::string& templateName) {
    LibraryData* d = DataOfTemplate(className, templateName);
    if (!d) return nullptr;
    // A failed load leaves no picture, which is the answer.
    if (d->kind == LibraryDataKind::Item && !d->loaded) (void)static_cast<GCD_ITEM*>(d)->Load();
    return d->Picture();
}

bool ReleasePicture(const std::string& className, const std::string& templateName) {
    LibraryData* d = DataOfTemplate(className, templateName);
    if (!d) return false;
    d->Unload();
    return true;
}

GCD_ITEM* GetItemDescription(const std::string& className, const std::string& templateName) {
    LibraryGroup* g = FindGroup(className);
    if (!g || g->kind != LibraryDataKind::Item) return nullptr;
    auto* item = static_cast<GCD_ITEM*>(g->FindData(templateName));
    if (item && !item->described) (void)item->Load(); // logged by Load; the caller sees what was read
    return item;
}

bool SetItemDescription(const std::string& className, const std::string& templateName,
                        const std::string& animation, const std::string& actionOnIdle,
                        const std::string& sound) {
    LibraryGroup* g = FindGroup(className);
    GCD_ITEM* item = GetItemDescription(className, templateName);
    if (!item) return false;
    item->sAnimation = animation;
    item->sActionOnIdle = actionOnIdle;
    item->sSndOnPickup = sound;
    return item->WriteFile(g->absoluteFolder);
}

bool GetGifFrame(const std::string& gifName, uint32_t index, Bitmap*& picture, uint32_t& frameCount) {
    LibraryGroup* g = FindGroup("AniGifs");
    if (!g) return false;
    LibraryData* d = g->FindData(gifName);
    if (!d)
        if (LibraryTemplate* t = g->FindTemplate(gifName)) d = g->FindData(t->dataName);
    return d && d->GifFrame(index, picture, frameCount);
}

LibraryTemplate* FindTemplateByType(const std::string& type) {
    std::string cls, tmpl;
    SplitType(type, cls, tmpl);
    return FindTemplate(cls, tmpl);
}

Bitmap* GetPictureByType(const std::string& type) {
    std::string cls, tmpl;
    SplitType(type, cls, tmpl);
    return GetPicture(cls, tmpl);
}

GCD_ITEM* GetItemDescriptionByType(const std::string& type) {
    std::string cls, tmpl;
    SplitType(type, cls, tmpl);
    return GetItemDescription(cls, tmpl);
}

void SetHooks(const Hooks& hooks) {
    g_aboveHooks = hooks;
}

} // namespace Library

#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/Hook.h"
#include "picture/Bitmap.h"
#include "picture/Image.h"
#include "scene/Object.h"
#include "scene/Variables.h"

// The object library: per class a folder "Data\Library\<class>\" with its source files, a
// library.ini naming templates, and the variables every object made from a template receives.

class ConfigDoc;

using VariablePairs = std::vector<std::pair<std::string, std::string>>;

enum class LibraryDataKind : uint32_t {
    AlphaPicture,  // Element: picture with alpha (.tga, or .jpg with its "a.jpg" companion)
    OpaquePicture, // Background: opaque picture
    Light,         // light map: shares one picture, centred on its position
    AniGif,        // animated GIF, all frames decoded on first use
    Item,          // GCD_ITEM: an item description file
};

// One source file of a group.
class LibraryData {
  public:
    explicit LibraryData(LibraryDataKind kind) : kind(kind) {}
    virtual ~LibraryData();
    LibraryData(const LibraryData&) = delete;
    LibraryData& operator=(const LibraryData&) = delete;

    // "Data\Library\Element\" + "board.jpg": sets name, extension and folder.
    void SetFile(const std::string& folder, const std::string& fileName);
    // Loads the picture when it is not loaded; false when there is none.
    [[nodiscard]] virtual bool Load();
    // Drops the picture; the next Picture() loads it again.
    virtual void Unload();
    // The picture, loaded on first use; nullptr when it cannot be had.
    Bitmap* Picture();
    // Known size, or the picture's (loading it briefly when it was not loaded).
    Vec2 GetSize();
    // Half the size for light maps, (0, 0) otherwise.
    Vec2 GetPivot();
    // Editor support: copies `source` into `folder`.
    [[nodiscard]] virtual bool Import(const std::string& source, const std::string& folder);

    // GIF frames (AniGif entries): decodes all frames on first use, then fills the entry's
    // picture with frame `index`.
    [[nodiscard]] bool GifFrame(uint32_t index, Bitmap*& picture, uint32_t& frameCount);
    // Absolute-or-relative path of the file: folder + name + "." + extension.
    std::string Path() const;

    LibraryDataKind kind;
    std::string name;               // file name without extension
    std::string extension;          // without the dot
    std::string folder;             // relative folder, ending with "\"
    Bitmap picture;                 // own picture (empty when none)
    const Bitmap* shared = nullptr; // light maps use the one shared light picture
    bool loaded = false;
    Vec2 size{-1.0f, -1.0f};
    Image::GifFrames gifFrames; // AniGif entries: every frame, kept once decoded
};

// The data object of group Item: an .item description file ([item] sAnimation, sActionOnIdle,
// sSndOnPickup); its picture is frame 0 of the idle action of its animation.
class GCD_ITEM : public LibraryData, public VariableHolder {
  public:
    GCD_ITEM() : LibraryData(LibraryDataKind::Item) {}
    void GetVariableList(std::vector<VariableInfo>& list) const override;
    bool Variable(std::string name, std::string& value, bool set) override;
    // Reads the .item file (logs "File not found '%s'\n" and makes a 32 x 32 picture when missing).
    [[nodiscard]] bool Load() override;
    // Writes the .item file into `absoluteFolder`.
    [[nodiscard]] bool WriteFile(const std::string& absoluteFolder) const;
    [[nodiscard]] bool Import(const std::string& source, const std::string& folder) override;

    std::string sAnimation;
    std::string sActionOnIdle;
    std::string sSndOnPickup;
    bool described = false; // the .item file has been read (or set)
};

struct TemplateGroup {
    std::string name;
    VariablePairs variables;
};

struct LibraryTemplate {
    std::string name;
    std::string groupName; // its template group
    std::string className; // the library group's name
    std::string dataName;  // empty without data
    Vec2 size{1.0f, 1.0f};
    Vec2 pivot;
    uint32_t instances = 0;
    VariablePairs variables;
};

class LibraryGroup {
  public:
    // `workingDirectory` ends with a separator (or is empty for the current directory).
    LibraryGroup(const std::string& name, const std::string& extension, std::vector<VariableInfo> declared,
                 const std::string& workingDirectory);
    ~LibraryGroup();
    LibraryGroup(const LibraryGroup&) = delete;
    LibraryGroup& operator=(const LibraryGroup&) = delete;

    // Reads library.ini from the relative folder; logs "Library: failed to open '%s'\n" on failure.
    [[nodiscard]] bool Load();
    // The steps of Load on a document already read (data, template groups, templates).
    void LoadFrom(const ConfigDoc& doc);
    // Writes library.ini into the absolute folder; logs "Failed to save library '%s'\n".
    [[nodiscard]] bool Save() const;
    // The text Save writes.
    std::string SaveText() const;

    [[nodiscard]] bool CreateTemplateGroup(const std::string& name);
    void SetTemplateGroupVariable(const std::string& group, const std::string& variable,
                                  const std::string& value);
    // nullptr when the template group does not exist; the name is made unique ("%s_%02d").
    LibraryTemplate* CreateTemplate(const std::string& name, const std::string& group,
                                    const std::string& dataName);
    void SetTemplateVariable(const std::string& templateName, const std::string& variable,
                             const std::string& value);

    LibraryTemplate* FindTemplate(const std::string& name);
    TemplateGroup* FindTemplateGroup(const std::string& name);
    LibraryData* FindData(const std::string& name);
    // Appends a data entry for a file of the folder (name with extension).
    LibraryData* AddData(const std::string& fileName, Vec2 size);
    LibraryData* NewData() const;

    std::string name;
    std::string folder;         // "Data\Library\<name>\"
    std::string absoluteFolder; // working directory + folder
    std::string extension;
    LibraryDataKind kind;
    std::vector<VariableInfo> declared;                  // template variables with their defaults
    std::vector<std::pair<LibraryData*, uint32_t>> data; // owned, with use counts
    std::vector<TemplateGroup> groups;
    std::vector<LibraryTemplate*> templates; // owned; add only through CreateTemplate
    bool modified = false;

  private:
    // Lookups by name and the next "_%02d" suffix to try per requested name, so that many
    // templates of one name (a damaged or hostile library.ini) do not cost quadratic time.
    std::unordered_map<std::string, LibraryTemplate*> byName_;
    std::unordered_map<std::string, uint32_t> nextSuffix_;
};

namespace Library {

// Creates the five groups (Element, Background, Light, AniGifs, Item) and loads them in the order
// Element, Background, Light, Item, AniGifs; false at the first group that fails.
[[nodiscard]] bool Init(const std::string& workingDirectory);
// Writes modified groups when `saveLibrary` is set (the save-library switch), then destroys all.
void Release(bool saveLibrary);
bool IsInitialised();

// By class name (exact): Element, Background, Light, AniGifs, Item; anything else finds nothing.
LibraryGroup* FindGroup(const std::string& className);
LibraryTemplate* FindTemplate(const std::string& className, const std::string& templateName);
Bitmap* GetPicture(const std::string& className, const std::string& templateName);
bool ReleasePicture(const std::string& className, const std::string& templateName);
// Description of an item data object named by the template name (loaded first when needed).
GCD_ITEM* GetItemDescription(const std::string& className, const std::string& templateName);
// Replaces the three texts and writes the .item file.
[[nodiscard]] bool SetItemDescription(const std::string& className, const std::string& templateName,
                                      const std::string& animation, const std::string& actionOnIdle,
                                      const std::string& sound);
// Frame `index` of the animated GIF entry `gifName` of group AniGifs, with the frame count.
// `picture` points at the entry's own picture (valid until the next call for that entry).
[[nodiscard]] bool GetGifFrame(const std::string& gifName, uint32_t index, Bitmap*& picture,
                               uint32_t& frameCount);

// The same for a type text ("Element.board"), split at its last ".".
LibraryTemplate* FindTemplateByType(const std::string& type);
Bitmap* GetPictureByType(const std::string& type);
GCD_ITEM* GetItemDescriptionByType(const std::string& type);

// What the library takes from above: a template's picture from its idle animation's first
// frame (Animation::GetFrameImage).
struct Hooks {
    Hook<bool(const char* animation, const char* action, uint32_t frame, Bitmap& picture)> frameImage{
        "Library.frameImage"};
};
void SetHooks(const Hooks& hooks);

} // namespace Library

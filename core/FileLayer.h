#pragma once
#include <cstdint>
#include <string>

// Whole-file loads from plain files or from mounted archives ("game.dat"), and enumeration of
// content folders by extension. Names are Windows-style relative paths.
namespace FileLayer {

class Archive;

// flags bit 0: the source is an archive; bit 1: keep a plain-folder mount when it does not open.
// Returns the archive when one opened, otherwise the mount id, or 0 when nothing was mounted.
uintptr_t Mount(const char* archiveName, const char* prefix, uint32_t flags);

// Buffer of size + 2 bytes, the last two zero; nullptr when not found. Free with Free().
uint8_t* Load(const char* name);
uint32_t LastLoadedSize();
void Free(uint8_t* buffer);
// Whether Load finds a file of that name, without reading (or unpacking) it.
bool Exists(const char* name);

using EnumCallback = void (*)(const char* fileName, void* user);
// Archive entries first (every mounted archive, in directory order), then a recursive scan of the
// plain folder. A name is offered when its extension is a substring of `extensions`.
int Enumerate(const char* folder, const char* extensions, EnumCallback callback, void* user);

// Drops every mount (tests, and re-mounting).
void UnmountAll();
// Changes with every mount and unmount: what a name loads may have changed.
uint32_t MountGeneration();

} // namespace FileLayer

// Loads a named file on construction, frees it on destruction.
class FileBuffer {
  public:
    explicit FileBuffer(const char* name);
    ~FileBuffer();
    FileBuffer(const FileBuffer&) = delete;
    FileBuffer& operator=(const FileBuffer&) = delete;

    uint8_t* data() const { return data_; }
    uint32_t size() const { return size_; }
    bool ok() const { return data_ != nullptr; }

  private:
    uint8_t* data_ = nullptr;
    uint32_t size_ = 0;
};

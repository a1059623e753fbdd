#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "picture/Bitmap.h"

// Decoders, the JPEG writer, the object library's picture loading and image import.
// Folders are Windows-style relative or absolute paths ending with a backslash (or slash).
namespace Image {

// ---- Decoders (bytes in memory; never read outside [data, data + size)) -----------------------
[[nodiscard]] bool DecodePcx(const uint8_t* data, size_t size, Bitmap& out);
[[nodiscard]] bool DecodeBmp(const uint8_t* data, size_t size, Bitmap& out);
[[nodiscard]] bool DecodeTga(const uint8_t* data, size_t size, Bitmap& out);
// 32 bits, alpha = grey level (red + green + blue) / 3.
[[nodiscard]] bool DecodeJpeg(const uint8_t* data, size_t size, Bitmap& out);
// Every frame composed on the logical screen as the GIF's disposal rules say; 32 bits, alpha 255.
[[nodiscard]] bool DecodeGif(const uint8_t* data, size_t size, std::vector<Bitmap>& frames);

// ---- JPEG writer ---------------------------------------------------------------------------------
enum class PixelOrder { RGB, BGRA };
// Encodes rows (`pitch` bytes apart) into `out`; quality 1..100.
[[nodiscard]] bool EncodeJpeg(std::vector<uint8_t>& out, const uint8_t* pixels, uint32_t width,
                              uint32_t height, size_t pitch, PixelOrder order, int quality);
// Writes a .jpg file (the path goes through Platform::ResolvePath).
[[nodiscard]] bool WriteJpeg(const char* path, const uint8_t* pixels, uint32_t width, uint32_t height,
                             size_t pitch, PixelOrder order, int quality);
// A 32-bit bitmap as a .jpg file.
[[nodiscard]] bool WriteJpeg(const char* path, const Bitmap& bitmap, int quality);

// ---- Pictures of the object library's entries --------------------------------------------------
// Opaque picture "<folder><name>.<extension>": a 32-bit copy with alpha 255.
// Logs "Image '%s' failed to load\n" on failure.
[[nodiscard]] bool LoadOpaquePicture(Bitmap& out, const std::string& folder, const std::string& name,
                                     const std::string& extension);
// Picture with alpha: "<name>.tga", else "<name>.jpg" plus the grey companion "<name>a.jpg".
// True when the entry counts as loaded (out then holds the 32-bit picture).
[[nodiscard]] bool LoadAlphaPicture(Bitmap& out, const std::string& folder, const std::string& name);
// The one light picture shared by all lights: "light.tga" in the light group's folder, loaded by
// the first call that finds it. nullptr (after "Image '%s' failed to load\n") when it cannot load.
const Bitmap* SharedLightPicture(const std::string& lightFolder);
void ReleaseSharedLightPicture();

// All frames of an animated GIF, decoded on first use and kept.
class GifFrames {
  public:
    // Reads "<folder><name>.<extension>" through the file layer. False when it cannot be read or
    // decoded (nothing logged: the animations report their own failures).
    [[nodiscard]] bool Load(const std::string& path);
    bool Loaded() const { return !frames_.empty(); }
    uint32_t Count() const { return static_cast<uint32_t>(frames_.size()); }
    uint32_t Width() const { return frames_.empty() ? 0 : frames_[0].Width(); }
    uint32_t Height() const { return frames_.empty() ? 0 : frames_[0].Height(); }
    // Copies frame `index` into `out` as a 32-bit picture with alpha 255; false when out of range.
    [[nodiscard]] bool CopyFrame(uint32_t index, Bitmap& out) const;
    const Bitmap* Frame(uint32_t index) const { return index < frames_.size() ? &frames_[index] : nullptr; }
    void Release() { frames_.clear(); }

  private:
    std::vector<Bitmap> frames_;
};

// ---- Import into the library's folders -----------------------------------------------------------
// Copies `sourcePath` to `destinationPath`, replacing an older copy. Logs "Error copying file: %d\n".
[[nodiscard]] bool CopyFile(const std::string& sourcePath, const std::string& destinationPath);
// Plain groups ("jpg" entries): the source is copied into the folder as `fileName`.
[[nodiscard]] bool ImportPlain(const std::string& sourcePath, const std::string& folder,
                               const std::string& fileName);
// Elements and items: a ".tga" source is copied in as "<name>.tga" and split into "<name>.jpg"
// (colours, black where alpha is 0) and "<name>a.jpg" (alpha as grey), quality 80. Any other
// source is copied in as "<name>.jpg".
[[nodiscard]] bool ImportAlphaPicture(const std::string& sourcePath, const std::string& folder,
                                      const std::string& name);
// Removes "<name>.jpg", "<name>a.jpg" and "<name>.tga" from the folder.
void DeleteAlphaPicture(const std::string& folder, const std::string& name);

} // namespace Image

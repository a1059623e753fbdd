// Pictures of the object library's entries, and import of image files into its folders.
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <strings.h>
#include <utility>

#include "core/Log.h"
#include "picture/Image.h"
#include "platform/Files.h"

namespace Image {

namespace {

Bitmap g_lightPicture;
bool g_lightLoaded = false;

// A decoded picture as 32 bits (alpha as CopyFrom gives it), key 0xFF00FF. A 32-bit one is taken
// over rather than copied: a background is a large picture, and loading it is part of a switch.
bool To32(Bitmap&& source, Bitmap& out) {
    if (source.Bits() == 32 && !source.Empty()) {
        out = std::move(source);
        out.SetKeyColor(Bitmap::kDefaultKey);
        return true;
    }
    if (!out.Create(source.Width(), source.Height(), 32)) return false;
    out.CopyFrom(source);
    return true;
}

std::string ExtensionOf(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t sep = path.find_last_of("\\/");
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return {};
    return path.substr(dot + 1);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    out.clear();
    FILE* f = Platform::OpenFile(path, "rb");
    if (!f) return false;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.insert(out.end(), buf, buf + n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

} // namespace

bool LoadOpaquePicture(Bitmap& out, const std::string& folder, const std::string& name,
                       const std::string& extension) {
    out.Free();
    const std::string path = folder + name + "." + extension;
    Bitmap::SetReportMissingFile(false);
    Bitmap loaded;
    if (!loaded.Load(path.c_str()) || !To32(std::move(loaded), out)) {
        LogMsg("Image '%s' failed to load\n", path.c_str());
        out.Free();
        return false;
    }
    out.SetAlpha(255);
    return true;
}

bool LoadAlphaPicture(Bitmap& out, const std::string& folder, const std::string& name) {
    out.Free();
    Bitmap loaded;
    Bitmap::SetReportMissingFile(false);
    if (loaded.Load((folder + name + ".tga").c_str()) && To32(std::move(loaded), out)) return true;

    const std::string colourPath = folder + name + ".jpg";
    Bitmap colour;
    if (!colour.Load(colourPath.c_str())) {
        LogMsg("Image '%s' failed to load\n", colourPath.c_str());
        return false;
    }
    Bitmap::SetReportMissingFile(false);
    Bitmap companion;
    if (companion.Load((folder + name + "a.jpg").c_str())) {
        if (companion.Width() != colour.Width() || companion.Height() != colour.Height()) {
            LogMsg("Sizes don't match for '%s'\n", colourPath.c_str());
            return false;
        }
        if (!To32(std::move(colour), out)) return false;
        out.SetAlphaFrom(companion);
        return true;
    }
    LogMsg("Image has no alpha channel '%s'\n", colourPath.c_str());
    // The colour JPEG's own alpha, its grey level, stands in.
    return To32(std::move(colour), out);
}

const Bitmap* SharedLightPicture(const std::string& lightFolder) {
    if (g_lightLoaded) return &g_lightPicture;
    const std::string path = lightFolder + "light.tga";
    Bitmap loaded;
    if (!loaded.Load(path.c_str()) || !To32(std::move(loaded), g_lightPicture)) {
        LogMsg("Image '%s' failed to load\n", path.c_str());
        g_lightPicture.Free();
        return nullptr;
    }
    g_lightLoaded = true;
    return &g_lightPicture;
}

void ReleaseSharedLightPicture() {
    g_lightPicture.Free();
    g_lightLoaded = false;
}

bool CopyFile(const std::string& sourcePath, const std::string& destinationPath) {
    std::error_code ec;
    std::filesystem::copy_file(Platform::ResolvePath(sourcePath), Platform::ResolvePath(destinationPath),
                               std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) {
        LogMsg("Error copying file: %d\n", ec.value());
        return false;
    }
    return true;
}

bool ImportPlain(const std::string& sourcePath, const std::string& folder, const std::string& fileName) {
    return CopyFile(sourcePath, folder + fileName);
}

bool ImportAlphaPicture(const std::string& sourcePath, const std::string& folder, const std::string& name) {
    if (strcasecmp(ExtensionOf(sourcePath).c_str(), "tga") != 0)
        return CopyFile(sourcePath, folder + name + ".jpg");

    const std::string tgaPath = folder + name + ".tga";
    if (!CopyFile(sourcePath, tgaPath)) return false;
    // Decoded as TGA whatever its first bytes look like (an id field of 10 bytes starts with 0x0A).
    std::vector<uint8_t> bytes;
    Bitmap decoded, picture;
    if (!ReadWholeFile(tgaPath, bytes) || !DecodeTga(bytes.data(), bytes.size(), decoded) ||
        !To32(std::move(decoded), picture))
        return false;

    const uint32_t w = picture.Width(), h = picture.Height();
    std::vector<uint8_t> colour(static_cast<size_t>(w) * h * 3), alpha(colour.size());
    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t* in = picture.Row(y);
        uint8_t* c = colour.data() + static_cast<size_t>(y) * w * 3;
        uint8_t* a = alpha.data() + static_cast<size_t>(y) * w * 3;
        for (uint32_t x = 0; x < w; ++x) {
            const uint8_t* p = in + x * 4;
            const bool clear = p[3] == 0;
            c[x * 3] = clear ? 0 : p[2];
            c[x * 3 + 1] = clear ? 0 : p[1];
            c[x * 3 + 2] = clear ? 0 : p[0];
            a[x * 3] = a[x * 3 + 1] = a[x * 3 + 2] = p[3];
        }
    }
    return WriteJpeg((folder + name + ".jpg").c_str(), colour.data(), w, h, static_cast<size_t>(w) * 3,
                     PixelOrder::RGB, 80) &&
           WriteJpeg((folder + name + "a.jpg").c_str(), alpha.data(), w, h, static_cast<size_t>(w) * 3,
                     PixelOrder::RGB, 80);
}

void DeleteAlphaPicture(const std::string& folder, const std::string& name) {
    for (const char* suffix : {".jpg", "a.jpg", ".tga"})
        std::remove(Platform::ResolvePath(folder + name + suffix).c_str());
}

} // namespace Image

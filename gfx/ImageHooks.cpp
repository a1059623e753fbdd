// The object library sits below the graphics module; it reaches the picture code through hooks.
#include "gfx/Image.h"
#include "scene/Library.h"

namespace Image {

void InstallLibraryHooks() {
    LibraryPictureHooks hooks;
    hooks.createPicture = [](Bitmap& picture, uint32_t width, uint32_t height, uint32_t bits) {
        return picture.Create(width, height, bits);
    };
    hooks.loadOpaque = &LoadOpaquePicture;
    hooks.loadWithAlpha = &LoadAlphaPicture;
    hooks.lightPicture = &SharedLightPicture;
    hooks.loadGif = [](GifFrames& frames, const std::string& path) { return frames.Load(path); };
    hooks.gifFrame = [](const GifFrames& frames, uint32_t index, Bitmap& picture) {
        return frames.CopyFrame(index, picture);
    };
    hooks.importPlain = &ImportPlain;
    hooks.importAlphaPicture = &ImportAlphaPicture;
    Library::SetPictureHooks(hooks);
}

} // namespace Image

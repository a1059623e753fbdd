// Animated GIFs through giflib's record-level interface, so that every allocation is sized by us
// after checking the header: frames are composed on the logical screen as their disposal methods
// say and kept as 32-bit pictures with alpha 255.
#include <algorithm>
#include <cstring>

#include <gif_lib.h>

#include "core/FileLayer.h"
#include "picture/Image.h"

namespace Image {

namespace {

// All frames of one GIF together may not take more than this.
constexpr uint64_t kMaxGifBytes = 256ull * 1024 * 1024;

struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int length) {
    MemoryReader* r = static_cast<MemoryReader*>(gif->UserData);
    if (length <= 0) return 0;
    const size_t n = std::min(static_cast<size_t>(length), r->size - r->pos);
    std::memcpy(buffer, r->data + r->pos, n);
    r->pos += n;
    return static_cast<int>(n);
}

struct GifCloser {
    GifFileType* gif;
    ~GifCloser() {
        int error = 0;
        if (gif) DGifCloseFile(gif, &error);
    }
};

uint32_t ColourOf(const ColorMapObject* map, int index) {
    if (!map || index < 0 || index >= map->ColorCount || !map->Colors) return 0xFF000000u;
    const GifColorType& c = map->Colors[index];
    return 0xFF000000u | (static_cast<uint32_t>(c.Red) << 16) | (static_cast<uint32_t>(c.Green) << 8) |
           c.Blue;
}

void FillRect(Bitmap& canvas, int64_t left, int64_t top, int64_t width, int64_t height, uint32_t colour) {
    const int64_t x0 = std::max<int64_t>(left, 0), y0 = std::max<int64_t>(top, 0);
    const int64_t x1 = std::min<int64_t>(left + width, canvas.Width());
    const int64_t y1 = std::min<int64_t>(top + height, canvas.Height());
    for (int64_t y = y0; y < y1; ++y)
        for (int64_t x = x0; x < x1; ++x)
            canvas.SetPixel32(static_cast<uint32_t>(x), static_cast<uint32_t>(y), colour);
}

} // namespace

bool DecodeGif(const uint8_t* data, size_t size, std::vector<Bitmap>& frames) {
    frames.clear();
    if (!data || size < 13) return false;
    MemoryReader reader{data, size, 0};
    int error = 0;
    GifCloser closer{DGifOpen(&reader, ReadFromMemory, &error)};
    GifFileType* gif = closer.gif;
    if (!gif) return false;
    if (gif->SWidth <= 0 || gif->SHeight <= 0) return false;
    const uint32_t sw = static_cast<uint32_t>(gif->SWidth), sh = static_cast<uint32_t>(gif->SHeight);
    Bitmap canvas;
    if (!canvas.Create(sw, sh, 32)) return false;
    const uint32_t background = ColourOf(gif->SColorMap, gif->SBackGroundColor);
    FillRect(canvas, 0, 0, sw, sh, background);
    const uint64_t frameBytes = static_cast<uint64_t>(sw) * sh * 4;

    // Graphic control of the next image, and what to do with the previous one before drawing.
    int disposal = 0, transparent = -1;
    int prevDisposal = 0;
    int64_t prevLeft = 0, prevTop = 0, prevWidth = 0, prevHeight = 0;
    Bitmap saved;
    std::vector<GifPixelType> line;
    bool done = false;
    while (!done) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) break;
        switch (type) {
        case EXTENSION_RECORD_TYPE: {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif, &code, &ext) == GIF_ERROR) {
                done = true;
                break;
            }
            if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) {
                disposal = (ext[1] >> 2) & 7;
                transparent = (ext[1] & 1) ? ext[4] : -1;
            }
            while (ext) {
                if (DGifGetExtensionNext(gif, &ext) == GIF_ERROR) {
                    done = true;
                    break;
                }
            }
            break;
        }
        case IMAGE_DESC_RECORD_TYPE: {
            if (DGifGetImageDesc(gif) == GIF_ERROR) {
                done = true;
                break;
            }
            const GifImageDesc& d = gif->Image;
            const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
            if (d.Width <= 0 || d.Height <= 0 || !map || (frames.size() + 1) * frameBytes > kMaxGifBytes) {
                done = true;
                break;
            }
            // The previous frame's disposal happens now, before this one is drawn.
            if (prevDisposal == 2)
                FillRect(canvas, prevLeft, prevTop, prevWidth, prevHeight, background);
            else if (prevDisposal == 3 && !saved.Empty())
                canvas = saved;
            if (disposal == 3) saved = canvas;

            line.assign(static_cast<size_t>(d.Width), 0);
            static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
            const int passes = d.Interlace ? 4 : 1;
            bool broken = false;
            for (int pass = 0; pass < passes && !broken; ++pass) {
                const int start = d.Interlace ? kStart[pass] : 0, step = d.Interlace ? kStep[pass] : 1;
                for (int row = start; row < d.Height; row += step) {
                    if (DGifGetLine(gif, line.data(), d.Width) == GIF_ERROR) {
                        broken = true; // cut short: keep what was drawn
                        break;
                    }
                    const int64_t y = static_cast<int64_t>(d.Top) + row;
                    if (y < 0 || y >= sh) continue;
                    for (int x = 0; x < d.Width; ++x) {
                        const int64_t cx = static_cast<int64_t>(d.Left) + x;
                        if (cx < 0 || cx >= sw || line[static_cast<size_t>(x)] == transparent) continue;
                        canvas.SetPixel32(static_cast<uint32_t>(cx), static_cast<uint32_t>(y),
                                          ColourOf(map, line[static_cast<size_t>(x)]));
                    }
                }
            }
            frames.push_back(canvas);
            prevDisposal = disposal;
            prevLeft = d.Left;
            prevTop = d.Top;
            prevWidth = d.Width;
            prevHeight = d.Height;
            disposal = 0;
            transparent = -1;
            if (broken) done = true;
            break;
        }
        case TERMINATE_RECORD_TYPE:
        default:
            done = true;
            break;
        }
    }
    return !frames.empty();
}

bool GifFrames::Load(const std::string& path) {
    frames_.clear();
    FileBuffer file(path.c_str());
    if (!file.ok()) return false;
    return DecodeGif(file.data(), file.size(), frames_);
}

bool GifFrames::CopyFrame(uint32_t index, Bitmap& out) const {
    if (index >= frames_.size()) return false;
    const Bitmap& f = frames_[index];
    if (out.Width() != f.Width() || out.Height() != f.Height() || out.Bits() != 32) {
        if (!out.Create(f.Width(), f.Height(), 32)) return false;
    }
    for (uint32_t y = 0; y < f.Height(); ++y) {
        const uint8_t* in = f.Row(y);
        uint8_t* o = out.Row(y);
        for (uint32_t x = 0; x < f.Width(); ++x) {
            o[x * 4] = in[x * 4];
            o[x * 4 + 1] = in[x * 4 + 1];
            o[x * 4 + 2] = in[x * 4 + 2];
            o[x * 4 + 3] = 0xFF;
        }
    }
    return true;
}

} // namespace Image

// JPEG through libjpeg(-turbo): decode from memory, encode to memory or a file.
// libjpeg reports fatal errors through error_exit; we leave with longjmp. Nothing with a
// destructor is created between setjmp and the calls that may jump.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include "picture/Image.h"
#include "picture/PixelFormat.h"
#include "platform/Files.h"

namespace Image {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    jmp_buf jump;
};

void OnError(j_common_ptr cinfo) {
    ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    longjmp(err->jump, 1);
}

// Corrupt-data warnings go nowhere: a damaged picture simply decodes as far as it can.
void OnMessage(j_common_ptr) {}

} // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, Bitmap& out) {
    out.Free();
    if (!data || size < 4 || size > 0x7FFFFFFF) return false;
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = OnError;
    err.base.output_message = OnMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        out.Free();
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = JCS_EXT_BGRA;
    const uint64_t pixels = static_cast<uint64_t>(cinfo.image_width) * cinfo.image_height;
    if (cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > Bitmap::kMaxSide ||
        cinfo.image_height > Bitmap::kMaxSide || pixels > Bitmap::kMaxPixels) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 4 || !out.Create(cinfo.output_width, cinfo.output_height, 32)) {
        jpeg_destroy_decompress(&cinfo);
        out.Free();
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.Row(cinfo.output_scanline);
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) break;
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    // Alpha is the grey level: a colour JPEG without its companion fades out where it is dark.
    uint8_t* p = out.Pixels();
    const size_t n = static_cast<size_t>(out.Width()) * out.Height();
    for (size_t i = 0; i < n; ++i) {
        const uint32_t v = PixelFormat::Load32(p + i * 4);
        const uint32_t grey = ((v & 0xFF) + ((v >> 8) & 0xFF) + ((v >> 16) & 0xFF)) / 3;
        PixelFormat::Store32(p + i * 4, (v & 0xFFFFFFu) | (grey << 24));
    }
    return true;
}

bool EncodeJpeg(std::vector<uint8_t>& out, const uint8_t* pixels, uint32_t width, uint32_t height,
                size_t pitch, PixelOrder order, int quality) {
    out.clear();
    if (!pixels || width == 0 || height == 0 || width > 65500 || height > 65500) return false;
    const volatile size_t bpp = order == PixelOrder::BGRA ? 4 : 3;
    if (pitch < width * bpp) return false;
    jpeg_compress_struct cinfo;
    ErrorManager err;
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = OnError;
    err.base.output_message = OnMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        free(buffer);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &length);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = static_cast<int>(bpp);
    cinfo.in_color_space = order == PixelOrder::BGRA ? JCS_EXT_BGRA : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality < 1 ? 1 : (quality > 100 ? 100 : quality), TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + static_cast<size_t>(cinfo.next_scanline) * pitch);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    out.assign(buffer, buffer + length);
    free(buffer);
    return true;
}

bool WriteJpeg(const char* path, const uint8_t* pixels, uint32_t width, uint32_t height, size_t pitch,
               PixelOrder order, int quality) {
    std::vector<uint8_t> bytes;
    if (!path || !EncodeJpeg(bytes, pixels, width, height, pitch, order, quality)) return false;
    FILE* f = Platform::OpenFile(path, "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool WriteJpeg(const char* path, const Bitmap& bitmap, int quality) {
    if (bitmap.Bits() != 32 || bitmap.Empty()) return false;
    return WriteJpeg(path, bitmap.Pixels(), bitmap.Width(), bitmap.Height(), bitmap.RowBytes(),
                     PixelOrder::BGRA, quality);
}

} // namespace Image

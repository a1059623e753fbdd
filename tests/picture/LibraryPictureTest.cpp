#include <gtest/gtest.h>

#include <filesystem>

#include "core/FileLayer.h"
#include "picture/Image.h"
#include "picture/PixelFormat.h"
#include "support/PictureFiles.h"
#include "support/TempDir.h"

using namespace fx;

namespace {

const std::string kFolder = "Data\\Library\\Element\\";
const std::string kDir = "Data/Library/Element/";

class LibraryPictureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FileLayer::UnmountAll();
        Log::Start(dir.path() + "/");
        PixelFormat::BuildConversionTables(false);
        Bitmap::SetReportMissingFile(true);
    }
    void TearDown() override {
        Image::ReleaseSharedLightPicture();
        Log::Reset();
    }
    // A w x h JPEG of one colour per 8 x 8 block (so compression keeps it close).
    void WriteJpeg(const std::string& rel, uint32_t w, uint32_t h, uint32_t (*colour)(uint32_t, uint32_t)) {
        std::vector<uint8_t> rgb;
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                for (int shift : {16, 8, 0})
                    rgb.push_back(static_cast<uint8_t>(colour(x, y) >> shift));
        Bytes out;
        ASSERT_TRUE(Image::EncodeJpeg(out, rgb.data(), w, h, w * 3, Image::PixelOrder::RGB, 95));
        dir.Write(rel, Str(out));
    }
    TempDir dir;
};

uint32_t WhiteLeftBlackRight(uint32_t x, uint32_t) {
    return x < 8 ? 0xFFFFFF : 0x000000;
}
uint32_t Red(uint32_t, uint32_t) {
    return 0xFF0000;
}

} // namespace

TEST_F(LibraryPictureTest, MissingFileSwitchSilencesOneFailure) {
    Bitmap b;
    EXPECT_FALSE(b.Load("nothere.tga"));
    EXPECT_NE(LogText().find("Bitmap::Load( nothere.tga ). File not found\n"), std::string::npos);
    Bitmap::SetReportMissingFile(false);
    EXPECT_FALSE(b.Load("quiet.tga"));
    EXPECT_EQ(LogText().find("quiet.tga"), std::string::npos);
    EXPECT_TRUE(Bitmap::ReportMissingFile()); // every load sets it again
    EXPECT_FALSE(b.Load("loud.tga"));
    EXPECT_NE(LogText().find("Bitmap::Load( loud.tga ). File not found\n"), std::string::npos);
}

TEST_F(LibraryPictureTest, OpaquePicturesAreOpaque) {
    WriteJpeg("Data/Library/Background/sky.jpg", 16, 8, WhiteLeftBlackRight);
    Bitmap b;
    ASSERT_TRUE(Image::LoadOpaquePicture(b, "Data\\Library\\Background\\", "sky", "jpg"));
    ASSERT_EQ(b.Bits(), 32u);
    EXPECT_EQ(b.Pixel32(15, 7) >> 24, 255u); // black, yet opaque
    EXPECT_FALSE(Image::LoadOpaquePicture(b, "Data\\Library\\Background\\", "none", "jpg"));
    const std::string log = LogText();
    EXPECT_NE(log.find("Image 'Data\\Library\\Background\\none.jpg' failed to load\n"), std::string::npos);
    EXPECT_EQ(log.find("File not found"), std::string::npos); // the probe is quiet
    EXPECT_TRUE(b.Empty());
}

TEST_F(LibraryPictureTest, AlphaPictureRules) {
    Bitmap b;
    // A .tga wins, alpha and all.
    const Picture p = Pattern(4, 2, true);
    dir.Write(kDir + "brick.tga", Str(Tga(p, 32)));
    WriteJpeg(kDir + "brick.jpg", 16, 16, Red);
    ASSERT_TRUE(Image::LoadAlphaPicture(b, kFolder, "brick"));
    EXPECT_EQ(b.Width(), 4u);
    EXPECT_EQ(b.Pixel32(3, 1), p.at(3, 1));

    // .jpg with a companion of the same size: the companion's grey is the alpha.
    WriteJpeg(kDir + "gem.jpg", 16, 16, Red);
    WriteJpeg(kDir + "gema.jpg", 16, 16, WhiteLeftBlackRight);
    ASSERT_TRUE(Image::LoadAlphaPicture(b, kFolder, "gem"));
    EXPECT_GE(b.Pixel32(2, 2) >> 24, 250u);
    EXPECT_LE(b.Pixel32(13, 2) >> 24, 5u);
    EXPECT_GE((b.Pixel32(13, 2) >> 16) & 0xFF, 240u); // colour from the colour picture
    EXPECT_EQ(LogText().find("File not found"), std::string::npos);

    // A companion of another size: no picture.
    WriteJpeg(kDir + "odd.jpg", 16, 16, Red);
    WriteJpeg(kDir + "odda.jpg", 8, 16, Red);
    EXPECT_FALSE(Image::LoadAlphaPicture(b, kFolder, "odd"));
    EXPECT_NE(LogText().find("Sizes don't match for 'Data\\Library\\Element\\odd.jpg'\n"), std::string::npos);
    EXPECT_TRUE(b.Empty());

    // No companion: the grey level of the colour picture stands in, black vanishes.
    WriteJpeg(kDir + "plain.jpg", 16, 16, WhiteLeftBlackRight);
    ASSERT_TRUE(Image::LoadAlphaPicture(b, kFolder, "plain"));
    EXPECT_NE(LogText().find("Image has no alpha channel 'Data\\Library\\Element\\plain.jpg'\n"),
              std::string::npos);
    EXPECT_GE(b.Pixel32(1, 1) >> 24, 250u);
    EXPECT_LE(b.Pixel32(14, 1) >> 24, 5u);

    // Nothing at all.
    EXPECT_FALSE(Image::LoadAlphaPicture(b, kFolder, "ghost"));
    const std::string log = LogText();
    EXPECT_NE(log.find("Image 'Data\\Library\\Element\\ghost.jpg' failed to load\n"), std::string::npos);
    EXPECT_EQ(log.find("ghost.tga"), std::string::npos);
}

TEST_F(LibraryPictureTest, ImportSplitsATgaIntoTwoJpegs) {
    // 16 x 16: a transparent red block, a half-covered green one, an opaque blue one, a white one.
    const uint32_t colours[4] = {0x00FF0000, 0x8000FF00, 0xFF0000FF, 0xFFFFFFFF};
    Picture p{16, 16, {}};
    for (uint32_t i = 0; i < 256; ++i)
        p.px.push_back(colours[(i / 128) * 2 + (i % 16) / 8]);
    dir.Write("source/Shape.TGA", Str(Tga(p, 32)));
    std::filesystem::create_directories(kDir);
    ASSERT_TRUE(Image::ImportAlphaPicture("source/Shape.TGA", kFolder, "shape"));
    for (const char* file : {"shape.tga", "shape.jpg", "shapea.jpg"})
        EXPECT_TRUE(std::filesystem::exists(kDir + file)) << file;

    // Back through the pair (without the .tga): same alpha up to JPEG loss, black where it was clear.
    std::filesystem::remove(kDir + "shape.tga");
    Bitmap b;
    ASSERT_TRUE(Image::LoadAlphaPicture(b, kFolder, "shape"));
    const uint32_t clear = b.Pixel32(3, 3), half = b.Pixel32(11, 3), blue = b.Pixel32(3, 11);
    EXPECT_LE(clear >> 24, 4u);
    for (int shift : {0, 8, 16})
        EXPECT_LE((clear >> shift) & 0xFF, 8u); // black, not red
    EXPECT_NEAR(static_cast<int>(half >> 24), 0x80, 4);
    EXPECT_GE((half >> 8) & 0xFF, 245u);
    EXPECT_GE(blue >> 24, 251u);
    EXPECT_GE(blue & 0xFF, 245u);

    // Deleting removes the whole set; a failed copy reports the system's error and stops.
    dir.Write(kDir + "shape.tga", "x");
    Image::DeleteAlphaPicture(kFolder, "shape");
    for (const char* file : {"shape.tga", "shape.jpg", "shapea.jpg"})
        EXPECT_FALSE(std::filesystem::exists(kDir + file)) << file;
    EXPECT_FALSE(Image::ImportAlphaPicture("source/missing.tga", kFolder, "gone"));
    EXPECT_NE(LogText().find("Error copying file: 2\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(kDir + "gone.jpg"));

    // Plain groups copy the file in under the entry's file name, replacing an older copy.
    dir.Write("source/pic.jpg", "new");
    dir.Write(kDir + "entry.jpg", "old");
    ASSERT_TRUE(Image::ImportPlain("source/pic.jpg", kFolder, "entry.jpg"));
    EXPECT_EQ(dir.Read(kDir + "entry.jpg"), "new");
}

TEST_F(LibraryPictureTest, SharedLightPictureAndGifFrames) {
    EXPECT_EQ(Image::SharedLightPicture("Data\\Library\\Light\\"), nullptr);
    EXPECT_NE(LogText().find("Image 'Data\\Library\\Light\\light.tga' failed to load\n"), std::string::npos);
    dir.Write("Data/Library/Light/light.tga", Str(Tga(Pattern(8, 8, true), 32)));
    const Bitmap* light = Image::SharedLightPicture("Data\\Library\\Light\\");
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->Width(), 8u);
    EXPECT_EQ(Image::SharedLightPicture("elsewhere\\"), light); // one picture for every light

    dir.Write("Data/Library/AniGifs/spin.gif", Str(Gif(2, 1, {0x000000, 0xFF0000, 0x00FF00, 0x0000FF}, 0,
                                                       {{0, 0, 2, 1, {1, 2}}, {0, 0, 1, 1, {0}}})));
    Image::GifFrames gif;
    ASSERT_TRUE(gif.Load("Data\\Library\\AniGifs\\spin.gif"));
    EXPECT_EQ(gif.Count(), 2u);
    EXPECT_EQ(gif.Width(), 2u);
    Bitmap out;
    ASSERT_TRUE(gif.CopyFrame(1, out));
    EXPECT_EQ(out.Pixel32(0, 0), 0xFF000000u);
    EXPECT_EQ(out.Pixel32(1, 0), 0xFF00FF00u);
    EXPECT_FALSE(gif.CopyFrame(2, out));
    EXPECT_FALSE(gif.Load("Data\\Library\\AniGifs\\none.gif"));
}

TEST_F(LibraryPictureTest, ScreenshotJpegFromABitmap) {
    Bitmap shot;
    ASSERT_TRUE(shot.Create(32, 16, 32));
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 32; ++x)
            shot.SetPixel32(x, y, x < 16 ? 0xFF2040C0 : 0xFFC04020);
    ASSERT_TRUE(Image::WriteJpeg("screen0000.jpg", shot, 80));
    Bitmap back;
    ASSERT_TRUE(back.Load("screen0000.jpg"));
    EXPECT_EQ(back.Width(), 32u);
    EXPECT_NEAR(static_cast<int>(back.Pixel32(4, 4) & 0xFF), 0xC0, 8);
    EXPECT_NEAR(static_cast<int>((back.Pixel32(28, 4) >> 16) & 0xFF), 0xC0, 8);
}

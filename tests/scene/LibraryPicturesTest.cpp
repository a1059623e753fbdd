// The object library loads its pictures of every kind from the files of a small library written by
// the test.
#include <gtest/gtest.h>

#include "core/FileLayer.h"
#include "picture/Image.h"
#include "scene/Library.h"
#include "support/PictureFiles.h"
#include "support/TempDir.h"

using namespace fx;

namespace {

std::string Ini(const std::string& dataLine, const std::string& templateName) {
    std::string s = "[data]\nsize = 1\ndata1 = " + dataLine + "\n\n[groups]\nsize = 1\nname1 = basic\n";
    s += "variables1 = \nvalues1 = \n\n[objects]\nsize = 1\nname1 = " + templateName + "\ngroup1 = basic\n";
    s += "data1 = " + templateName + "\nvariables1 = \nvalues1 = \n";
    return s;
}

} // namespace

TEST(LibraryPictures, PicturesOfEveryKindLoadFromTheirFiles) {
    TempDir dir;
    FileLayer::UnmountAll();
    Log::Start(dir.path() + "/");
    const Picture brick = Pattern(4, 2, true);
    dir.Write("Data/Library/Element/library.ini", Ini("brick.tga,4,2", "brick"));
    dir.Write("Data/Library/Element/brick.tga", Str(Tga(brick, 32)));
    dir.Write("Data/Library/Background/library.ini", Ini("sky.tga,3,3", "sky"));
    dir.Write("Data/Library/Background/sky.tga", Str(Tga(Pattern(3, 3, true), 32)));
    dir.Write("Data/Library/Light/library.ini", Ini("lamp.tga,8,8", "lamp"));
    dir.Write("Data/Library/Light/light.tga", Str(Tga(Pattern(8, 8, true), 32)));
    dir.Write("Data/Library/Item/library.ini", "[data]\nsize = 0\n[groups]\nsize = 0\n[objects]\nsize = 0\n");
    dir.Write("Data/Library/AniGifs/library.ini", Ini("spin.gif,2,1", "spin"));
    dir.Write("Data/Library/AniGifs/spin.gif",
              Str(Gif(2, 1, {0x000000, 0xFF0000}, 0, {{0, 0, 2, 1, {1, 0}}, {0, 0, 2, 1, {0, 1}}})));

    ASSERT_TRUE(Library::Init(dir.path() + "/"));
    Bitmap* element = Library::GetPicture("Element", "brick");
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(element->Pixel32(3, 1), brick.at(3, 1)); // alpha kept
    Bitmap* sky = Library::GetPicture("Background", "sky");
    ASSERT_NE(sky, nullptr);
    EXPECT_EQ(sky->Pixel32(1, 1) >> 24, 255u); // opaque
    EXPECT_NE(Library::GetPicture("Light", "lamp"), nullptr);
    Bitmap* frame = nullptr;
    uint32_t count = 0;
    ASSERT_TRUE(Library::GetGifFrame("spin", 1, frame, count));
    EXPECT_EQ(count, 2u);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->Pixel32(1, 0), 0xFFFF0000u);
    Library::Release(false);
    Image::ReleaseSharedLightPicture();
    Log::Reset();
}

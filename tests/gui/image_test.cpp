// Image library: images from PNG, bitmap and icon data, resizing, checks and
// the debugger viewer, read back through GDI.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "gui/image_samples.h"
#include "runtime/core/objects.h"
#include "runtime/gui/image.h"
#include "runtime/gui/image_codec.h"
#include "runtime/gui/image_viewer.h"
#include "runtime/gui/png.h"
#include "support/report_recorder.h"
#include "support/temp_folder.h"

namespace {

using kxtest::MakePng;
using kxtest::PixelsOf;

// A pattern with every channel different: 0xAARRGGBB.
uint32_t Pattern(int x, int y) {
  return 0x80000000u | static_cast<uint32_t>((x * 40) & 255) << 16 | static_cast<uint32_t>((y * 50) & 255) << 8 |
         static_cast<uint32_t>((x * 7 + y * 13) & 255);
}

struct Depth {
  int bits;
  int bytesPerLine;
};

Depth DepthOf(intptr_t handle) {
  DIBSECTION dib{};
  GetObjectA(reinterpret_cast<HBITMAP>(handle), sizeof dib, &dib);
  return {dib.dsBm.bmBitsPixel, dib.dsBm.bmWidthBytes};
}

class ImageTest : public testing::Test {
 protected:
  void SetUp() override { kx::UsePNGImageDecoder(); }
  void TearDown() override {
    for (intptr_t n = 0; n < 10; ++n) kx::FreeImage(n);
  }
  kxtest::ReportRecorder reports_;  // misuse is reported, never ends the run
};

TEST_F(ImageTest, PngColourTypesDecodeToTheirPixels) {
  struct Case {
    const char* name;
    int type, bits;
    bool interlaced;
    int depth;
  } cases[] = {
      {"rgb8", PNG_COLOR_TYPE_RGB, 8, false, 24},     {"rgba8", PNG_COLOR_TYPE_RGBA, 8, false, 32},
      {"rgb16", PNG_COLOR_TYPE_RGB, 16, false, 24},   {"rgba16", PNG_COLOR_TYPE_RGBA, 16, false, 32},
      {"interlaced", PNG_COLOR_TYPE_RGB, 8, true, 24}, {"gray8", PNG_COLOR_TYPE_GRAY, 8, false, 24},
      {"grayalpha", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, 32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string png = MakePng(7, 5, c.type, c.bits, Pattern, c.interlaced);
    const intptr_t handle = kx::CatchImage(1, png.data(), static_cast<int32_t>(png.size()));
    ASSERT_NE(handle, 0);
    EXPECT_EQ(kx::ImageID(1), handle);
    kx::ImageObject* img = kx::FindImage(1);
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->width, 7);
    EXPECT_EQ(img->height, 5);
    EXPECT_EQ(img->depth, c.depth);
    EXPECT_EQ(DepthOf(handle).bits, c.depth);
    const auto pixels = PixelsOf(reinterpret_cast<void*>(handle), 7, 5);
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 7; ++x) {
        uint32_t want = Pattern(x, y) & 0xFFFFFF;
        if (c.type == PNG_COLOR_TYPE_GRAY || c.type == PNG_COLOR_TYPE_GRAY_ALPHA) {
          const uint32_t g = (want >> 8) & 255;
          want = g << 16 | g << 8 | g;
        }
        ASSERT_EQ(pixels[static_cast<size_t>(y) * 7 + x], want) << x << "," << y;
      }
    }
  }
}

TEST_F(ImageTest, LowDepthGrayAndPaletteExpandToRgb) {
  // 2-bit gray: values 0, 85, 170, 255; a palette with a colour per column.
  auto gray = [](int x, int) { return static_cast<uint32_t>(0xFF000000u | ((x % 4) * 85) << 8); };
  std::string png = MakePng(4, 2, PNG_COLOR_TYPE_GRAY, 2, gray);
  ASSERT_NE(kx::CatchImage(2, png.data(), static_cast<int32_t>(png.size())), 0);
  auto pixels = PixelsOf(reinterpret_cast<void*>(kx::ImageID(2)), 4, 2);
  EXPECT_EQ(pixels[0], 0x000000u);
  EXPECT_EQ(pixels[1], 0x555555u);
  EXPECT_EQ(pixels[3], 0xFFFFFFu);

  auto columns = [](int x, int) { return x == 0 ? 0xFFFF0000u : x == 1 ? 0xFF00FF00u : 0xFF0000FFu; };
  png = MakePng(3, 2, PNG_COLOR_TYPE_PALETTE, 8, columns);
  ASSERT_NE(kx::CatchImage(2, png.data(), static_cast<int32_t>(png.size())), 0);
  EXPECT_EQ(kx::FindImage(2)->depth, 24);
  pixels = PixelsOf(reinterpret_cast<void*>(kx::ImageID(2)), 3, 2);
  EXPECT_EQ(pixels[0], 0xFF0000u);
  EXPECT_EQ(pixels[4], 0x00FF00u);
  EXPECT_EQ(pixels[5], 0x0000FFu);
}

TEST_F(ImageTest, TwentyFourBitRowsArePaddedToFourBytes) {
  EXPECT_EQ(kx::ImageRowPitch(5, 24), 16);
  EXPECT_EQ(kx::ImageRowPitch(5, 32), 20);
  const std::string png = MakePng(5, 3, PNG_COLOR_TYPE_RGB, 8, Pattern);
  const intptr_t handle = kx::CatchImage(3, png.data(), static_cast<int32_t>(png.size()));
  ASSERT_NE(handle, 0);
  EXPECT_EQ(DepthOf(handle).bytesPerLine, 16);
  // The padding byte of each row does not shift the next row.
  const auto pixels = PixelsOf(reinterpret_cast<void*>(handle), 5, 3);
  EXPECT_EQ(pixels[2 * 5 + 0], Pattern(0, 2) & 0xFFFFFF);
  EXPECT_EQ(pixels[2 * 5 + 4], Pattern(4, 2) & 0xFFFFFF);
}

TEST_F(ImageTest, BitmapFilesKeepTheirPixels) {
  for (int bits : {24, 32}) {
    SCOPED_TRACE(bits);
    const std::string bmp = kxtest::MakeBmp(6, 4, bits, Pattern);
    const intptr_t handle = kx::CatchImage(4, bmp.data(), static_cast<int32_t>(bmp.size()));
    ASSERT_NE(handle, 0);
    EXPECT_EQ(kx::FindImage(4)->depth, 32);
    const auto pixels = PixelsOf(reinterpret_cast<void*>(handle), 6, 4);
    EXPECT_EQ(pixels[0], Pattern(0, 0) & 0xFFFFFF);
    EXPECT_EQ(pixels[3 * 6 + 5], Pattern(5, 3) & 0xFFFFFF);
  }
}

TEST_F(ImageTest, IconTakesTheDeepestEntryOfTheFirstEntrysSize) {
  const std::string ico = kxtest::MakeIco({{32, 8, 0x0000FF},
                                           {16, 4, 0x00FF00},
                                           {16, 8, 0x00FF00},
                                           {16, 32, 0x00FF00},
                                           {32, 32, 0xFF0000},
                                           {32, 4, 0x0000FF}});
  const intptr_t handle = kx::CatchImage(5, ico.data(), static_cast<int32_t>(ico.size()));
  ASSERT_NE(handle, 0);
  EXPECT_NE(GetObjectType(reinterpret_cast<HGDIOBJ>(handle)), static_cast<DWORD>(OBJ_BITMAP));
  kx::ImageObject* img = kx::FindImage(5);
  EXPECT_EQ(img->width, 32);
  EXPECT_EQ(img->height, 32);
  const auto pixels = PixelsOf(reinterpret_cast<void*>(handle), 32, 32);
  EXPECT_EQ(pixels[16 * 32 + 16], 0xFF0000u);  // the 32-bit 32x32 entry, not the first one
}

TEST_F(ImageTest, UnknownDataGivesNoImage) {
  ASSERT_GE(kx::ImageDecoderCount(), 1);
  const char text[] = "neither a bitmap, an icon nor a PNG";
  EXPECT_EQ(kx::CatchImage(6, text, sizeof text), 0);
  EXPECT_EQ(kx::FindImage(6), nullptr);
  // A failed catch also frees what the number held before.
  const std::string png = MakePng(2, 2, PNG_COLOR_TYPE_RGB, 8, Pattern);
  ASSERT_NE(kx::CatchImage(6, png.data(), static_cast<int32_t>(png.size())), 0);
  const intptr_t old = kx::ImageID(6);
  EXPECT_EQ(kx::CatchImage(6, text, sizeof text), 0);
  EXPECT_EQ(kx::ImageID(6), 0);
  EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(old)), 0u);
}

TEST_F(ImageTest, DynamicImagesAndResize) {
  const std::string png = MakePng(8, 6, PNG_COLOR_TYPE_RGB, 8, [](int, int) { return 0xFF2040C0u; });
  const intptr_t id = kx::CatchImage(kx::DynamicNumber, png.data(), static_cast<int32_t>(png.size()));
  ASSERT_NE(id, 0);
  const intptr_t handle = kx::ImageID(id);
  ASSERT_NE(handle, 0);
  EXPECT_NE(handle, id);

  EXPECT_EQ(kx::ResizeImage(id, 8, 6), handle);  // same size: nothing changes
  EXPECT_NE(GetObjectType(reinterpret_cast<HGDIOBJ>(handle)), 0u);

  for (int mode : {0, 1}) {
    const intptr_t before = kx::ImageID(id);
    const intptr_t resized = kx::ResizeImage(id, 16 + mode, 3, mode);
    ASSERT_NE(resized, 0);
    EXPECT_NE(resized, before);
    EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(before)), 0u);  // the old bitmap is gone
    EXPECT_EQ(kx::FindImage(id)->width, 16 + mode);
    EXPECT_EQ(kx::FindImage(id)->height, 3);
    EXPECT_EQ(PixelsOf(reinterpret_cast<void*>(resized), 16 + mode, 3)[20], 0x2040C0u);
  }
  kx::FreeImage(id);
  EXPECT_EQ(kx::FindImage(id), nullptr);
  EXPECT_EQ(kx::ResizeImage(id, 4, 4), 0);
}

TEST_F(ImageTest, ChecksReportMisuse) {
  kxtest::ReportRecorder& reports = reports_;
  reports.clear();
  const std::string png = MakePng(2, 2, PNG_COLOR_TYPE_RGB, 8, Pattern);
  kx::CatchImage(100000, png.data(), static_cast<int32_t>(png.size()));
  ASSERT_TRUE(reports.has("HighNumber"));
  EXPECT_NE(reports.lastText().find("#Image"), std::string::npos);
  reports.clear();
  EXPECT_EQ(kx::CatchImage(7, nullptr, 10), 0);
  EXPECT_EQ(reports.lastKey(), "NullPointer");
  reports.clear();
  EXPECT_EQ(kx::ImageID(8), 0);
  EXPECT_EQ(reports.lastKey(), "NoObject");
  ASSERT_NE(kx::CatchImage(7, png.data(), static_cast<int32_t>(png.size())), 0);
  reports.clear();
  kx::ResizeImage(7, 0, 40000);
  ASSERT_EQ(reports.count(), 2u);
  EXPECT_EQ(reports.reports()[0].text, "The specified 'Width' is negative.");
  EXPECT_EQ(reports.reports()[1].text, "Image 'Height' is > 32000 pixels.");
  EXPECT_EQ(kx::FindImage(7)->width, 2);  // refused, the image stays
}

TEST_F(ImageTest, ViewerDescribesImages) {
  const std::string png = MakePng(3, 2, PNG_COLOR_TYPE_RGBA, 8, [](int, int) { return 0xFF102030u; });
  const intptr_t handle = kx::CatchImage(9, png.data(), static_cast<int32_t>(png.size()));
  ASSERT_NE(handle, 0);
  char text[512];
  char expected[512];
  snprintf(expected, sizeof expected,
           "   #Image: 9\n  ImageID: %i ($%X)\n     Type: Bitmap\n\n    Width: 3\n   Height: 2\n    Depth: 32",
           static_cast<int>(handle), static_cast<unsigned>(handle));
  EXPECT_STREQ(kx::ImageDetailText(9, text, sizeof text), expected);
  EXPECT_STREQ(kx::ImageDetailText(12, text, sizeof text), "Image not existing!\n(#Image: 12)");

  int32_t size = 0;
  void* block = kx::ImagePixels(9, &size);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(size, 40 + 3 * 2 * 4);
  const BITMAPINFOHEADER* header = static_cast<const BITMAPINFOHEADER*>(block);
  EXPECT_EQ(header->biSize, 40u);
  EXPECT_EQ(header->biWidth, 3);
  EXPECT_EQ(header->biHeight, 2);
  EXPECT_EQ(header->biBitCount, 32);
  const uint32_t* pixels = reinterpret_cast<const uint32_t*>(header + 1);
  EXPECT_EQ(pixels[5] & 0xFFFFFF, 0x102030u);
  kx::FreeImagePixels(block);

  // An icon is drawn for the viewer; its detail names the type.
  const std::string ico = kxtest::MakeIco({{16, 32, 0xC03000}});
  const intptr_t icon = kx::CatchImage(8, ico.data(), static_cast<int32_t>(ico.size()));
  ASSERT_NE(icon, 0);
  EXPECT_NE(std::string(kx::ImageDetailText(8, text, sizeof text)).find("     Type: Icon\n"), std::string::npos);
  block = kx::ImagePixels(8, &size);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(size, 40 + 16 * 16 * 4);
  EXPECT_EQ(reinterpret_cast<const uint32_t*>(static_cast<const BITMAPINFOHEADER*>(block) + 1)[8 * 16 + 8] & 0xFFFFFF,
            0xC03000u);
  kx::FreeImagePixels(block);
}

TEST_F(ImageTest, EncoderWritesWhatTheDecoderReads) {
  EXPECT_EQ(std::string(kx::PngLibraryVersion()).substr(0, 4), "1.6.");
  kx::UsePNGImageEncoder();
  kxtest::TempFolder folder;
  const std::string file = folder.path() + "\\shot.png";
  // Bottom-up 24-bit rows of a 5 x 2 image: the bottom row blue, the top red.
  const std::string rows = kxtest::DibRows(5, 2, 24, [](int, int y) { return y == 0 ? 0xFF0000u : 0x0000FFu; });
  ASSERT_EQ(kx::EncodePngFile(file.c_str(), reinterpret_cast<const uint8_t*>(rows.data()), 5, 2, 16), 1);
  const std::string png = kxtest::ReadBytes(file);
  ASSERT_NE(kx::CatchImage(1, png.data(), static_cast<int32_t>(png.size())), 0);
  const auto pixels = PixelsOf(reinterpret_cast<void*>(kx::ImageID(1)), 5, 2);
  EXPECT_EQ(pixels[0], 0xFF0000u);
  EXPECT_EQ(pixels[9], 0x0000FFu);

  const std::string copy = folder.path() + "\\copy.png";
  ASSERT_EQ(kx::SaveBitmapAsPng(reinterpret_cast<void*>(kx::ImageID(1)), copy.c_str()), 1);
  const std::string again = kxtest::ReadBytes(copy);
  ASSERT_NE(kx::CatchImage(2, again.data(), static_cast<int32_t>(again.size())), 0);
  EXPECT_EQ(PixelsOf(reinterpret_cast<void*>(kx::ImageID(2)), 5, 2), pixels);
  EXPECT_EQ(kx::EncodePngFile((folder.path() + "\\missing\\x.png").c_str(),
                              reinterpret_cast<const uint8_t*>(rows.data()), 5, 2, 16),
            0);
}

}  // namespace

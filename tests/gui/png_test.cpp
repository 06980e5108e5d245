// libpng as built for the Image library: a PNG decoded from memory.
#include <png.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// 3 x 2 RGB: red, green, blue / black, white, (10, 20, 30).
const unsigned char kPng[] = {0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02, 0x08, 0x02, 0x00, 0x00, 0x00, 0x12, 0x16, 0xf1, 0x4d, 0x00, 0x00, 0x00, 0x16, 0x49, 0x44, 0x41, 0x54, 0x78, 0xda, 0x63, 0xf8, 0xcf, 0xc0, 0xc0, 0x00, 0xc3, 0x0c, 0xff, 0xff, 0xff, 0xe7, 0x12, 0x91, 0x03, 0x00, 0x3c, 0x3c, 0x06, 0x37, 0x07, 0x94, 0x56, 0xc4, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

struct MemoryReader {
  const unsigned char* data;
  size_t size;
  size_t position;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (reader->position + length > reader->size) png_error(png, "read past end");
  std::memcpy(out, reader->data + reader->position, length);
  reader->position += length;
}

}  // namespace

TEST(LibPng, DecodesRgbImageFromMemory) {
  ASSERT_EQ(png_sig_cmp(kPng, 0, 8), 0);
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  ASSERT_NE(png, nullptr);
  png_infop info = png_create_info_struct(png);
  ASSERT_NE(info, nullptr);
  MemoryReader reader{kPng, sizeof kPng, 0};
  std::vector<unsigned char> pixels;
  png_uint_32 width = 0, height = 0;
  if (setjmp(png_jmpbuf(png)) == 0) {
    png_set_read_fn(png, &reader, ReadFromMemory);
    png_read_info(png, info);
    width = png_get_image_width(png, info);
    height = png_get_image_height(png, info);
    pixels.resize(width * height * 3);
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = pixels.data() + y * width * 3;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
  } else {
    ADD_FAILURE() << "libpng reported an error";
  }
  png_destroy_read_struct(&png, &info, nullptr);

  ASSERT_EQ(width, 3u);
  ASSERT_EQ(height, 2u);
  const unsigned char expected[] = {255, 0, 0, 0, 255, 0, 0, 0, 255,
                                    0, 0, 0, 255, 255, 255, 10, 20, 30};
  ASSERT_EQ(pixels.size(), sizeof expected);
  EXPECT_EQ(0, std::memcmp(pixels.data(), expected, sizeof expected));
}

TEST(LibPng, RejectsDamagedData) {
  std::vector<unsigned char> damaged(kPng, kPng + sizeof kPng);
  damaged[40] ^= 0xFF;  // inside the image data: its CRC no longer matches
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr,
                                           [](png_structp, png_const_charp) {});
  png_infop info = png_create_info_struct(png);
  MemoryReader reader{damaged.data(), damaged.size(), 0};
  volatile bool failed = false;  // set after longjmp
  std::vector<unsigned char> row(9);
  if (setjmp(png_jmpbuf(png)) == 0) {
    png_set_read_fn(png, &reader, ReadFromMemory);
    png_read_info(png, info);
    for (int y = 0; y < 2; ++y) png_read_row(png, row.data(), nullptr);
  } else {
    failed = true;
  }
  png_destroy_read_struct(&png, &info, nullptr);
  EXPECT_TRUE(failed);
}

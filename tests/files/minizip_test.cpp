// minizip and zlib as built for the pack archives: a deflate round trip
// through a real archive file.
#include <windows.h>

#include <unzip.h>
#include <zip.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string TempArchivePath() {
  char folder[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  char path[MAX_PATH];
  GetTempFileNameA(folder, "kxz", 0, path);
  return path;
}

}  // namespace

TEST(Minizip, DeflateRoundTripThroughArchiveFile) {
  std::string archive = TempArchivePath();
  std::vector<unsigned char> data(300000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>((i * 7) % 251 + (i / 1000));

  zipFile zip = zipOpen(archive.c_str(), APPEND_STATUS_CREATE);
  ASSERT_NE(zip, nullptr);
  zip_fileinfo info = {};
  ASSERT_EQ(zipOpenNewFileInZip(zip, "folder/data.bin", &info, nullptr, 0, nullptr, 0, nullptr,
                                Z_DEFLATED, 9),
            ZIP_OK);
  ASSERT_EQ(zipWriteInFileInZip(zip, data.data(), static_cast<unsigned>(data.size())), ZIP_OK);
  ASSERT_EQ(zipCloseFileInZip(zip), ZIP_OK);
  ASSERT_EQ(zipClose(zip, nullptr), ZIP_OK);

  unzFile unz = unzOpen(archive.c_str());
  ASSERT_NE(unz, nullptr);
  unz_global_info global = {};
  ASSERT_EQ(unzGetGlobalInfo(unz, &global), UNZ_OK);
  EXPECT_EQ(global.number_entry, 1u);
  ASSERT_EQ(unzGoToFirstFile(unz), UNZ_OK);
  char name[256];
  unz_file_info entry = {};
  ASSERT_EQ(unzGetCurrentFileInfo(unz, &entry, name, sizeof name, nullptr, 0, nullptr, 0), UNZ_OK);
  EXPECT_STREQ(name, "folder/data.bin");
  EXPECT_EQ(entry.compression_method, static_cast<unsigned long>(Z_DEFLATED));
  EXPECT_EQ(entry.uncompressed_size, data.size());
  EXPECT_LT(entry.compressed_size, data.size());

  ASSERT_EQ(unzOpenCurrentFile(unz), UNZ_OK);
  std::vector<unsigned char> back(data.size() + 10);
  int got = unzReadCurrentFile(unz, back.data(), static_cast<unsigned>(back.size()));
  EXPECT_EQ(got, static_cast<int>(data.size()));
  EXPECT_EQ(unzCloseCurrentFile(unz), UNZ_OK);  // CRC checked here
  unzClose(unz);
  back.resize(data.size());
  EXPECT_EQ(back, data);
  DeleteFileA(archive.c_str());
}

TEST(Zlib, RawDeflateStreamRoundTrip) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "Velmora packs and splits. ";
  z_stream out = {};
  ASSERT_EQ(deflateInit2(&out, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::vector<unsigned char> packed(deflateBound(&out, text.size()));
  out.next_in = reinterpret_cast<Bytef*>(text.data());
  out.avail_in = static_cast<uInt>(text.size());
  out.next_out = packed.data();
  out.avail_out = static_cast<uInt>(packed.size());
  ASSERT_EQ(deflate(&out, Z_FINISH), Z_STREAM_END);
  packed.resize(out.total_out);
  deflateEnd(&out);
  EXPECT_LT(packed.size(), text.size() / 20);

  z_stream in = {};
  ASSERT_EQ(inflateInit2(&in, -MAX_WBITS), Z_OK);
  std::string back(text.size(), '\0');
  in.next_in = packed.data();
  in.avail_in = static_cast<uInt>(packed.size());
  in.next_out = reinterpret_cast<Bytef*>(back.data());
  in.avail_out = static_cast<uInt>(back.size());
  EXPECT_EQ(inflate(&in, Z_FINISH), Z_STREAM_END);
  inflateEnd(&in);
  EXPECT_EQ(back, text);
}

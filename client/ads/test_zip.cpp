#include "client/ads/test_zip.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>

#include "common/platform/files.h"

namespace kavrel {

void WriteZip(const std::string& path, const std::vector<ZipEntry>& entries) {
  zipFile zf = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  ASSERT_NE(zf, nullptr);
  for (const ZipEntry& e : entries) {
    zip_fileinfo info{};
    info.tmz_date = e.date;
    info.external_fa = e.externalAttributes;
    const bool raw = e.corrupt || e.wrongCrc;
    const int method = e.wrongCrc ? 0 : Z_DEFLATED;
    ASSERT_EQ(zipOpenNewFileInZip4_64(
                  zf, e.name.c_str(), &info, e.localExtra.empty() ? nullptr : e.localExtra.data(),
                  static_cast<uInt>(e.localExtra.size()),
                  e.centralExtra.empty() ? nullptr : e.centralExtra.data(),
                  static_cast<uInt>(e.centralExtra.size()), nullptr, method,
                  Z_DEFAULT_COMPRESSION, raw ? 1 : 0, -MAX_WBITS, DEF_MEM_LEVEL,
                  Z_DEFAULT_STRATEGY, nullptr, 0, e.madeBy, 0, 0),
              ZIP_OK)
        << e.name;
    if (!e.data.empty()) {
      ASSERT_EQ(zipWriteInFileInZip(zf, e.data.data(), static_cast<unsigned>(e.data.size())), ZIP_OK);
    }
    if (raw) {
      ASSERT_EQ(zipCloseFileInZipRaw(zf, e.corrupt ? 1000 : e.data.size(), 0x12345678), ZIP_OK);
    } else {
      ASSERT_EQ(zipCloseFileInZip(zf), ZIP_OK);
    }
  }
  ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
}

// An extended time stamp field with the given times (flags from which are set).
std::string TimeStampField(std::vector<std::int32_t> times) {
  std::string field;
  auto put16 = [&](unsigned v) { field += char(v & 0xFF); field += char((v >> 8) & 0xFF); };
  put16(0x5455);
  put16(static_cast<unsigned>(1 + 4 * times.size()));
  field += char((1u << times.size()) - 1);
  for (std::int32_t t : times)
    for (int i = 0; i < 4; ++i) field += char((static_cast<std::uint32_t>(t) >> (8 * i)) & 0xFF);
  return field;
}

std::string ZipBytes(const std::vector<ZipEntry>& entries) {
  static std::atomic<int> counter{0};
  const std::string path =
      ::testing::TempDir() + "kavrel_test_zip_" + std::to_string(counter++) + ".zip";
  WriteZip(path, entries);
  std::string bytes;
  ReadFileBytes(Utf8ToText(path), bytes);
  DeleteFileAt(Utf8ToText(path));
  return bytes;
}

}  // namespace kavrel

// Test helpers: archives written with minizip's writer.
#pragma once

#include <minizip/zip.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kavrel {

// One entry of an archive written by a test.
struct ZipEntry {
  std::string name;
  std::string data;
  std::uint32_t externalAttributes = 0;
  std::string centralExtra;    // extra field of the central directory
  std::string localExtra;      // extra field of the local header
  unsigned madeBy = 0;         // "version made by"; (3 << 8) = Unix
  bool corrupt = false;        // raw deflate data that does not inflate
  bool wrongCrc = false;       // stored data with a CRC that does not match
  tm_zip date{10, 8, 7, 6, 4, 2020};  // 2020-05-06 07:08:10, local time
};

// Writes the archive; fails the current test (fatally) when minizip refuses.
void WriteZip(const std::string& path, const std::vector<ZipEntry>& entries);

// The bytes of an archive with these entries (made in a temporary file).
std::string ZipBytes(const std::vector<ZipEntry>& entries);

// An extended time stamp field holding the given times, in flag order.
std::string TimeStampField(std::vector<std::int32_t> times);

}  // namespace kavrel

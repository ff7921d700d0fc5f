#include "tools/service-emulator/zip_package.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <zip.h>

namespace kavrel::emulator {
namespace fs = std::filesystem;
namespace {

// The archive is written to a temporary file, since minizip's writer works
// on files; the file is removed again before returning.
class TempFile {
 public:
  TempFile() {
    const char* dir = std::getenv("TMPDIR");
    path_ = std::string(dir && *dir ? dir : "/tmp") + "/kavrel-package-XXXXXX";
    int fd = mkstemp(path_.data());
    if (fd < 0) {
      path_.clear();
    } else {
      close(fd);
    }
  }
  ~TempFile() {
    if (!path_.empty()) unlink(path_.c_str());
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

tm_zip ZipTime(const fs::path& file) {
  tm_zip t{};
  std::error_code ec;
  auto written = fs::last_write_time(file, ec);
  std::time_t seconds = std::time(nullptr);
  if (!ec) {
    auto sys = std::chrono::time_point_cast<std::chrono::seconds>(
        written - fs::file_time_type::clock::now() + std::chrono::system_clock::now());
    seconds = std::chrono::system_clock::to_time_t(sys);
  }
  std::tm local{};
  localtime_r(&seconds, &local);
  t.tm_sec = local.tm_sec;
  t.tm_min = local.tm_min;
  t.tm_hour = local.tm_hour;
  t.tm_mday = local.tm_mday;
  t.tm_mon = local.tm_mon;
  t.tm_year = local.tm_year + 1900;
  return t;
}

}  // namespace

bool BuildZipPackage(const std::string& folder, std::string* archive, std::string* error) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    *error = "no such folder: " + folder;
    return false;
  }
  std::vector<fs::path> files;
  for (auto it = fs::recursive_directory_iterator(folder, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_regular_file(ec)) files.push_back(it->path());
  }
  if (ec) {
    *error = "cannot list " + folder + ": " + ec.message();
    return false;
  }
  std::sort(files.begin(), files.end());

  TempFile temp;
  if (temp.path().empty()) {
    *error = "cannot create a temporary file";
    return false;
  }
  zipFile zip = zipOpen64(temp.path().c_str(), APPEND_STATUS_CREATE);
  if (!zip) {
    *error = "cannot write the archive";
    return false;
  }
  bool ok = true;
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    std::string bytes = data.str();
    std::string name = fs::relative(file, folder, ec).generic_string();
    zip_fileinfo info{};
    info.tmz_date = ZipTime(file);
    if (!in || ec ||
        zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                            Z_DEFAULT_COMPRESSION) != ZIP_OK) {
      *error = "cannot add " + file.string();
      ok = false;
      break;
    }
    if (!bytes.empty() &&
        zipWriteInFileInZip(zip, bytes.data(), static_cast<unsigned>(bytes.size())) != ZIP_OK) {
      *error = "cannot write " + file.string();
      ok = false;
    }
    if (zipCloseFileInZip(zip) != ZIP_OK) ok = false;
    if (!ok) break;
  }
  if (zipClose(zip, nullptr) != ZIP_OK && ok) {
    *error = "cannot finish the archive";
    ok = false;
  }
  if (!ok) return false;
  std::ifstream in(temp.path(), std::ios::binary);
  std::ostringstream data;
  data << in.rdbuf();
  *archive = data.str();
  return true;
}

}  // namespace kavrel::emulator

// Whole-file writes through a temporary file and a rename.

#include "trace/files/write_whole.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

std::string temporaryFor(const std::string& path) {
  return path + ".tmp" + std::to_string(getpid());
}

std::string directoryOf(const std::string& path) {
  const std::string dir = std::filesystem::path(path).parent_path().string();
  return dir.empty() ? "." : dir;
}

}  // namespace

bool writeWhole(const std::string& path, const std::string& text, std::string* error) {
  GrowingFile file;
  return file.open(path, error) && file.append(text) && file.finish(error);
}

bool prepareDir(const std::string& dir, std::string* error) {
  std::error_code code;
  std::filesystem::create_directories(dir, code);
  if (code) {
    *error = dir + ": " + code.message();
    return false;
  }
  // Creating a directory can succeed where writing in it does not (read-only mounts, modes).
  return canWrite(dir + "/.barbershop-trace-probe", error);
}

bool canWrite(const std::string& path, std::string* error) {
  std::error_code code;
  if (std::filesystem::is_directory(path, code)) {
    *error = path + ": is a directory";
    return false;
  }
  const std::string probe = temporaryFor(path);
  FILE* file = fopen(probe.c_str(), "wb");
  if (file == nullptr) {
    *error = path + ": " + strerror(errno) + " (in " + directoryOf(path) + ")";
    return false;
  }
  (void)fclose(file);  // nothing was written: nothing to lose
  (void)remove(probe.c_str());
  return true;
}

GrowingFile::~GrowingFile() {
  if (file_ == nullptr) return;
  (void)fclose(file_);
  (void)remove(temporary_.c_str());
}

bool GrowingFile::open(const std::string& path, std::string* error) {
  path_ = path;
  temporary_ = temporaryFor(path);
  file_ = fopen(temporary_.c_str(), "wb");
  if (file_ == nullptr) {
    *error = path + ": " + strerror(errno);
    return false;
  }
  return true;
}

bool GrowingFile::append(const std::string& text) {
  if (file_ == nullptr || failed_) return false;
  if (fwrite(text.data(), 1, text.size(), file_) != text.size()) {
    failed_ = true;
    errno_ = errno;
  }
  return !failed_;
}

bool GrowingFile::finish(std::string* error) {
  if (file_ == nullptr) return false;
  if (fclose(file_) != 0 && !failed_) {
    failed_ = true;
    errno_ = errno;
  }
  file_ = nullptr;
  if (!failed_ && rename(temporary_.c_str(), path_.c_str()) != 0) {
    failed_ = true;
    errno_ = errno;
  }
  if (!failed_) return true;
  *error = path_ + ": " + strerror(errno_);
  (void)remove(temporary_.c_str());
  return false;
}

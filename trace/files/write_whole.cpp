// Output files: whole through a temporary file and a rename, or in place.

#include "trace/files/write_whole.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

constexpr int kMostLinks = 40;  // as the kernel's ELOOP limit

std::string parentOf(const std::string& path) {
  const std::string dir = std::filesystem::path(path).parent_path().string();
  return dir.empty() ? "." : dir;
}

// The descriptor N when `path` names this process's own /proc/PID/fd/N, where /dev/stdout and
// /dev/fd/N lead; -1 otherwise. Opening such a path anew would start at its beginning, so the
// descriptor itself is written, at its own offset, as the shell's `>&N` does.
int ownDescriptor(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename().string();
  if (name.empty() || name.size() > 9 || name.find_first_not_of("0123456789") != std::string::npos)
    return -1;
  char* dir = realpath(parentOf(path).c_str(), nullptr);
  if (dir == nullptr) return -1;
  const bool own = dir == "/proc/" + std::to_string(getpid()) + "/fd";
  free(dir);
  return own ? atoi(name.c_str()) : -1;
}

// Where `path` leads through its symlinks: a file (which may not exist yet) or, with
// `descriptor` set, one of this process's descriptors. False with errno set.
bool follow(const std::string& path, std::string* file, int* descriptor) {
  std::string at = path;
  for (int links = 0; links <= kMostLinks; ++links) {
    if ((*descriptor = ownDescriptor(at)) >= 0) return true;
    struct stat link {};
    if (lstat(at.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
      *file = at;
      return true;
    }
    char to[PATH_MAX];
    const ssize_t length = readlink(at.c_str(), to, sizeof to);
    if (length < 0) return false;
    if (static_cast<std::size_t>(length) == sizeof to) {
      errno = ENAMETOOLONG;
      return false;
    }
    const std::string next(to, static_cast<std::size_t>(length));
    at = next[0] == '/' ? next : parentOf(at) + "/" + next;
  }
  errno = ELOOP;
  return false;
}

}  // namespace

bool writeWhole(const std::string& path, const std::string& text, std::string* error) {
  GrowingFile file;
  if (!file.open(path, error)) return false;
  (void)file.append(text);  // a failure is kept for finish, which tells it
  return file.finish(error);
}

bool prepareDir(const std::string& dir, std::string* error) {
  std::error_code code;
  std::filesystem::create_directories(dir, code);
  if (code) {
    *error = dir + ": " + code.message();
    return false;
  }
  // Creating a directory can succeed where writing in it does not (read-only mounts, modes).
  std::string probe = dir + "/.barbershop-trace-probe.XXXXXX";
  const int fd = mkostemp(probe.data(), O_CLOEXEC);
  if (fd < 0) {
    *error = dir + ": " + strerror(errno);
    return false;
  }
  (void)close(fd);  // nothing was written: nothing to lose
  (void)unlink(probe.c_str());
  return true;
}

GrowingFile::~GrowingFile() {
  if (fd_ >= 0) (void)close(fd_);
  if (!temporary_.empty()) (void)unlink(temporary_.c_str());
}

bool GrowingFile::open(const std::string& path, std::string* error) {
  path_ = path;
  std::string file;
  int descriptor = STDOUT_FILENO;  // "-"
  struct stat found {};
  bool opened = false;
  if (path != "-" && !follow(path, &file, &descriptor)) {
    // errno says why
  } else if (descriptor >= 0) {
    opened = openInPlace("", descriptor);
  } else if (stat(file.c_str(), &found) != 0) {
    opened = errno == ENOENT && openWhole(file, nullptr);
  } else if (S_ISDIR(found.st_mode)) {
    errno = EISDIR;
  } else if (S_ISREG(found.st_mode)) {
    const mode_t mode = found.st_mode & 07777;
    opened = openWhole(file, &mode);
  } else {
    opened = openInPlace(file, -1);
  }
  if (!opened) *error = path + ": " + strerror(errno);
  return opened;
}

bool GrowingFile::openInPlace(const std::string& file, int descriptor) {
  fd_ = descriptor >= 0 ? fcntl(descriptor, F_DUPFD_CLOEXEC, 0)
                        : ::open(file.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  return fd_ >= 0;
}

bool GrowingFile::openWhole(const std::string& file, const mode_t* mode) {
  std::string temporary =
      parentOf(file) + "/." + std::filesystem::path(file).filename().string() + ".XXXXXX";
  fd_ = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd_ < 0) return false;
  temporary_ = temporary;
  final_ = file;
  // mkostemp makes the file private; it gets the mode of the file it replaces, or the mode a
  // new file would get.
  mode_t wanted = mode != nullptr ? *mode : 0;
  if (mode == nullptr) {
    const mode_t mask = umask(0);
    (void)umask(mask);
    wanted = 0666 & ~mask;
  }
  if (fchmod(fd_, wanted) != 0) errno_ = errno;
  return true;
}

bool GrowingFile::append(const std::string& text) {
  if (fd_ < 0 || errno_ != 0) return false;
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t wrote = write(fd_, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      errno_ = wrote < 0 ? errno : ENOSPC;
      return false;
    }
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

bool GrowingFile::finish(std::string* error) {
  if (fd_ < 0) return false;
  if (close(fd_) != 0 && errno_ == 0) errno_ = errno;
  fd_ = -1;
  if (errno_ == 0 && !temporary_.empty()) {
    if (rename(temporary_.c_str(), final_.c_str()) == 0) {
      temporary_.clear();
    } else {
      errno_ = errno;
    }
  }
  if (errno_ == 0) return true;
  *error = path_ + ": " + strerror(errno_);
  if (!temporary_.empty()) (void)unlink(temporary_.c_str());
  temporary_.clear();
  return false;
}

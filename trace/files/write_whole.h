#ifndef BARBERSHOP_TRACE_FILES_WRITE_WHOLE_H_
#define BARBERSHOP_TRACE_FILES_WRITE_WHOLE_H_
// Files written whole or not at all, and the checks made before anything runs, so that a typo
// in a path costs no run. Every file the companion writes goes through here. Single-threaded.

#include <cstdio>
#include <string>

// Writes `text` to `path` whole or not at all: a temporary file beside it, then a rename.
// False with `error` set to "PATH: why" when it cannot.
bool writeWhole(const std::string& path, const std::string& text, std::string* error);

// Creates `dir` (and its parents) when missing and makes sure a file can be written in it.
// False with `error` set to "DIR: why" when not.
bool prepareDir(const std::string& dir, std::string* error);

// Makes sure `path` can be written as a whole file: its directory takes a file. False with
// `error` set to "PATH: why" when not.
bool canWrite(const std::string& path, std::string* error);

// A file written piece by piece into a temporary file beside it and put in place whole at the
// end: for output that grows run by run and must not be held in memory.
class GrowingFile {
 public:
  GrowingFile() = default;
  GrowingFile(const GrowingFile&) = delete;
  GrowingFile& operator=(const GrowingFile&) = delete;
  ~GrowingFile();  // gives up a file never finished: the temporary file goes

  bool open(const std::string& path, std::string* error);
  bool isOpen() const { return file_ != nullptr; }
  bool append(const std::string& text);
  // Closes and renames it into place; false with `error` set when any write failed.
  bool finish(std::string* error);

 private:
  std::string path_, temporary_;
  FILE* file_ = nullptr;
  bool failed_ = false;
  int errno_ = 0;
};

#endif  // BARBERSHOP_TRACE_FILES_WRITE_WHOLE_H_

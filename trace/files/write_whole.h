#ifndef BARBERSHOP_TRACE_FILES_WRITE_WHOLE_H_
#define BARBERSHOP_TRACE_FILES_WRITE_WHOLE_H_
// The files the companion writes, and the checks made before anything runs, so that a typo in a
// path costs no run. A regular file, or one not there yet, is written whole or not at all: a
// temporary file beside it, then a rename; a symlink is followed to its file and stays a symlink.
// Anything else that exists (a FIFO, a device, /dev/stdout, /dev/fd/N) is written through in
// place, never replaced; "-" is standard output. Single-threaded.

#include <sys/types.h>

#include <string>

// Writes `text` to `path` as above. False with `error` set to "PATH: why" when it cannot.
bool writeWhole(const std::string& path, const std::string& text, std::string* error);

// Creates `dir` (and its parents) when missing and makes sure a file can be written in it.
// False with `error` set to "DIR: why" when not.
bool prepareDir(const std::string& dir, std::string* error);

// A file written piece by piece, for output that grows run by run and must not be held in
// memory: into a temporary file put in place whole at the end, or straight through in place.
class GrowingFile {
 public:
  GrowingFile() = default;
  GrowingFile(const GrowingFile&) = delete;
  GrowingFile& operator=(const GrowingFile&) = delete;
  ~GrowingFile();  // gives up a file never finished: the temporary file goes

  // False with `error` set to "PATH: why" when `path` cannot be written (a directory, a missing
  // folder, no permission).
  bool open(const std::string& path, std::string* error);
  bool isOpen() const { return fd_ >= 0; }
  // False once any write has failed; the first failure is kept for finish().
  bool append(const std::string& text);
  // Closes and puts the file in place; false with `error` set to "PATH: why" when any step
  // failed, and then a file written whole is left as it was.
  bool finish(std::string* error);

 private:
  bool openInPlace(const std::string& file, int descriptor);
  // `mode`: the permissions of the file replaced, or none when there is none.
  bool openWhole(const std::string& file, const mode_t* mode);

  std::string path_;       // as given, for messages
  std::string final_;      // the file the temporary one replaces; empty when in place
  std::string temporary_;  // empty when in place or once renamed
  int fd_ = -1;
  int errno_ = 0;  // the first failure
};

#endif  // BARBERSHOP_TRACE_FILES_WRITE_WHOLE_H_

#ifndef BARBERSHOP_TRACE_RELAY_PROGRAM_IMAGE_H_
#define BARBERSHOP_TRACE_RELAY_PROGRAM_IMAGE_H_
// The program file as a controlled run needs to know it: whether it is linked dynamically (a
// preloaded scheduler cannot take over a statically linked program's threads), the names its
// symbol table gives the locks and semaphores it keeps in its own image, and a digest of its
// bytes that says whether a saved run was recorded with this very build. Pure, but for reading
// the file once.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct ProgramImage {
  bool dynamic = false;  // it names an interpreter (PT_INTERP): the dynamic loader preloads
  std::string digest;    // programDigest() of its bytes
  struct Symbol {
    std::uint64_t offset = 0;  // from the image's load address
    std::uint64_t size = 0;
    std::string name;  // demangled: "WaitQueue::fgLock"
  };
  std::vector<Symbol> symbols;  // data objects, by offset

  // The name of what lies at `offset` in the image: "WaitQueue::fgLock", or "gShop+8" inside
  // one; empty when no symbol covers it.
  std::string symbolAt(std::uint64_t offset) const;
};

// Reads the program at `path`. False with `error` set when it cannot be read or is no ELF file.
bool readProgramImage(const std::string& path, ProgramImage* image, std::string* error);
// "fnv1a64:0123456789abcdef:SIZE": a 64-bit FNV-1a of `bytes`, in hex, and their count.
std::string programDigest(std::string_view bytes);
// The digest of the file at `path`; empty when it cannot be read.
std::string fileDigest(const std::string& path);

// What tells one state of a file from another without reading it.
struct FileStamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = -1;
  std::int64_t changedNs = 0;
  bool operator==(const FileStamp& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           changedNs == other.changedNs;
  }
};
// False when the file cannot be looked at.
bool stampOf(const std::string& path, FileStamp* stamp);

#endif  // BARBERSHOP_TRACE_RELAY_PROGRAM_IMAGE_H_

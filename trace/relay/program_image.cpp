// The program's ELF file read for its interpreter and its symbols, and its bytes digested.

#include "trace/relay/program_image.h"

#include <cxxabi.h>
#include <elf.h>
#include <sys/stat.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>

namespace {

bool wholeFile(const std::string& path, std::string* bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream all;
  all << file.rdbuf();
  *bytes = all.str();
  return !file.bad();
}

// A structure at `at` in the file, when the whole of it lies inside.
template <typename T>
bool at(const std::string& bytes, std::uint64_t offset, T* out) {
  if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return false;
  std::memcpy(out, bytes.data() + offset, sizeof(T));
  return true;
}

std::string demangled(const char* name) {
  int status = 0;
  char* plain = abi::__cxa_demangle(name, nullptr, nullptr, &status);
  if (status != 0 || plain == nullptr) return name;
  std::string text(plain);
  free(plain);
  return text;
}

// The data objects of the symbol table section `header` (with its string table).
void readSymbols(const std::string& bytes, const Elf64_Ehdr& elf, const Elf64_Shdr& header,
                 std::vector<ProgramImage::Symbol>* symbols) {
  Elf64_Shdr strings{};
  if (!at(bytes, elf.e_shoff + std::uint64_t{header.sh_link} * elf.e_shentsize, &strings)) return;
  const std::uint64_t count = header.sh_entsize ? header.sh_size / header.sh_entsize : 0;
  for (std::uint64_t i = 0; i < count; ++i) {
    Elf64_Sym symbol{};
    if (!at(bytes, header.sh_offset + i * header.sh_entsize, &symbol)) return;
    if (ELF64_ST_TYPE(symbol.st_info) != STT_OBJECT || symbol.st_value == 0) continue;
    const std::uint64_t name = strings.sh_offset + symbol.st_name;
    if (symbol.st_name >= strings.sh_size || name >= bytes.size()) continue;
    const char* text = bytes.data() + name;
    if (std::memchr(text, '\0', bytes.size() - name) == nullptr) continue;
    symbols->push_back({symbol.st_value, symbol.st_size, demangled(text)});
  }
}

}  // namespace

std::string programDigest(std::string_view bytes) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a's 64-bit offset basis
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 1099511628211ull;  // and its prime
  }
  char text[64];
  snprintf(text, sizeof text, "fnv1a64:%016" PRIx64 ":%zu", hash, bytes.size());
  return text;
}

std::string fileDigest(const std::string& path) {
  std::string bytes;
  return wholeFile(path, &bytes) ? programDigest(bytes) : std::string();
}

namespace {

bool readImageNow(const std::string& path, ProgramImage* image, std::string* error) {
  *image = ProgramImage{};
  std::string bytes;
  if (!wholeFile(path, &bytes)) {
    *error = "cannot read " + path;
    return false;
  }
  Elf64_Ehdr elf{};
  if (!at(bytes, 0, &elf) || std::memcmp(elf.e_ident, ELFMAG, SELFMAG) != 0 ||
      elf.e_ident[EI_CLASS] != ELFCLASS64) {
    *error = path + " is not a 64-bit ELF program";
    return false;
  }
  image->digest = programDigest(bytes);
  for (std::uint64_t i = 0; i < elf.e_phnum; ++i) {
    Elf64_Phdr segment{};
    if (at(bytes, elf.e_phoff + i * elf.e_phentsize, &segment) && segment.p_type == PT_INTERP) {
      image->dynamic = true;
    }
  }
  for (std::uint64_t i = 0; i < elf.e_shnum; ++i) {
    Elf64_Shdr section{};
    if (at(bytes, elf.e_shoff + i * elf.e_shentsize, &section) && section.sh_type == SHT_SYMTAB) {
      readSymbols(bytes, elf, section, &image->symbols);
    }
  }
  std::sort(image->symbols.begin(), image->symbols.end(),
            [](const auto& a, const auto& b) { return a.offset < b.offset; });
  return true;
}

}  // namespace

bool stampOf(const std::string& path, FileStamp* stamp) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return false;
  *stamp = {status.st_dev, status.st_ino, status.st_size,
            std::int64_t{status.st_mtim.tv_sec} * 1000000000 + status.st_mtim.tv_nsec};
  return true;
}

bool readProgramImage(const std::string& path, ProgramImage* image, std::string* error) {
  // An exploration starts the same program for every schedule: its image is read once, and
  // read again only when the file has changed since.
  static std::mutex guard;
  static std::string lastPath;
  static FileStamp lastStamp;
  static ProgramImage last;
  FileStamp stamp;
  const bool stamped = stampOf(path, &stamp);
  std::lock_guard<std::mutex> held(guard);
  if (stamped && path == lastPath && stamp == lastStamp) {
    *image = last;
    return true;
  }
  if (!readImageNow(path, image, error)) return false;
  FileStamp after;
  if (stamped && stampOf(path, &after) && after == stamp) {
    lastPath = path;
    lastStamp = stamp;
    last = *image;
  }
  return true;
}

std::string ProgramImage::symbolAt(std::uint64_t offset) const {
  auto after =
      std::upper_bound(symbols.begin(), symbols.end(), offset,
                       [](std::uint64_t value, const Symbol& s) { return value < s.offset; });
  if (after == symbols.begin()) return std::string();
  const Symbol& symbol = *std::prev(after);
  if (offset >= symbol.offset + std::max<std::uint64_t>(symbol.size, 1)) return std::string();
  const std::uint64_t inside = offset - symbol.offset;
  return inside == 0 ? symbol.name : symbol.name + "+" + std::to_string(inside);
}

#include "FileVersion.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kSectionName = ".tonbrix.version";
constexpr std::string_view kKey = "FileVersion";
// A program file is a few megabytes; anything far larger is not ours to read.
constexpr std::streamoff kLargestFile = 512LL * 1024 * 1024;

template <typename T>
bool ReadAt(const std::vector<char>& data, uint64_t offset, T& value) {
  if (offset > data.size() || data.size() - offset < sizeof(T)) return false;
  std::memcpy(&value, data.data() + offset, sizeof(T));
  return true;
}

// The NUL-terminated text at `offset` inside [begin, begin + size).
std::string_view TextAt(const std::vector<char>& data, uint64_t begin, uint64_t size,
                        uint64_t offset) {
  if (offset >= size) return {};
  const char* start = data.data() + begin + offset;
  const void* end = std::memchr(start, '\0', size - offset);
  return end == nullptr ? std::string_view()
                        : std::string_view(start, static_cast<const char*>(end) - start);
}

template <typename Ehdr, typename Shdr>
std::string FindVersion(const std::vector<char>& data) {
  Ehdr header;
  if (!ReadAt(data, 0, header)) return {};
  if (header.e_shentsize != sizeof(Shdr) || header.e_shnum == 0 ||
      header.e_shstrndx >= header.e_shnum)
    return {};
  auto section = [&](uint64_t index, Shdr& out) {
    return ReadAt(data, header.e_shoff + index * sizeof(Shdr), out);
  };
  auto fits = [&](const Shdr& s) {
    return s.sh_type != SHT_NOBITS && s.sh_offset <= data.size() &&
           s.sh_size <= data.size() - s.sh_offset;
  };

  Shdr names;
  if (!section(header.e_shstrndx, names) || !fits(names)) return {};
  for (uint64_t i = 0; i < header.e_shnum; ++i) {
    Shdr candidate;
    if (!section(i, candidate) || !fits(candidate)) continue;
    if (TextAt(data, names.sh_offset, names.sh_size, candidate.sh_name) != kSectionName) continue;
    // "FileVersion" NUL value NUL
    if (TextAt(data, candidate.sh_offset, candidate.sh_size, 0) != kKey) return {};
    return std::string(TextAt(data, candidate.sh_offset, candidate.sh_size, kKey.size() + 1));
  }
  return {};
}

}  // namespace

std::string ReadFileVersion(const std::string& file_name) {
  std::ifstream file(file_name, std::ios::binary | std::ios::ate);
  if (!file) return {};
  const std::streamoff size = file.tellg();
  if (size <= 0 || size > kLargestFile) return {};
  std::vector<char> data(static_cast<size_t>(size));
  file.seekg(0);
  if (!file.read(data.data(), size)) return {};

  if (data.size() < EI_NIDENT || std::memcmp(data.data(), ELFMAG, SELFMAG) != 0) return {};
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  constexpr unsigned char kNativeData = ELFDATA2LSB;
#else
  constexpr unsigned char kNativeData = ELFDATA2MSB;
#endif
  if (static_cast<unsigned char>(data[EI_DATA]) != kNativeData) return {};
  switch (data[EI_CLASS]) {
    case ELFCLASS64:
      return FindVersion<Elf64_Ehdr, Elf64_Shdr>(data);
    case ELFCLASS32:
      return FindVersion<Elf32_Ehdr, Elf32_Shdr>(data);
    default:
      return {};
  }
}

std::string VersionMajorMinor(const std::string& version) {
  std::vector<std::string> pieces;
  size_t from = 0;
  while (from <= version.size()) {
    size_t dot = version.find('.', from);
    if (dot == std::string::npos) dot = version.size();
    if (dot > from) pieces.push_back(version.substr(from, dot - from));
    from = dot + 1;
  }
  if (pieces.empty()) return {};
  if (pieces.size() == 1) return pieces[0];
  return pieces[0] + "." + pieces[1];
}

std::string GetFileVersionText(const std::string& file_name) {
  return VersionMajorMinor(ReadFileVersion(file_name));
}

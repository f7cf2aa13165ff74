#include "IniFiles32.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <stdexcept>

#include "Errors.h"
#include "TextHelpers.h"

namespace {

using text_helpers::TrimBlanks;

// Header names compare without regard to case for A-Z only; other bytes,
// UTF-8 sequences included, must match exactly.
char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

// Closes a file descriptor exactly once.
class FdOwner {
 public:
  explicit FdOwner(int fd) : fd_(fd) {}
  ~FdOwner() {
    if (fd_ >= 0) ::close(fd_);
  }
  FdOwner(const FdOwner&) = delete;
  FdOwner& operator=(const FdOwner&) = delete;
  int get() const { return fd_; }
  // Closes now and reports the outcome; the destructor then does nothing.
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

// Splits at CR LF, CR or LF; a final break gives no extra empty line.
std::vector<std::string> SplitLines(const std::string& data) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < data.size()) {
    if (data[i] == '\r' || data[i] == '\n') {
      lines.push_back(data.substr(start, i - start));
      i += (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < data.size()) lines.push_back(data.substr(start));
  return lines;
}

// Decimal digits, or hexadecimal digits after "$", with an optional sign.
bool ParseInteger(const std::string& text, int32_t& result) {
  std::size_t at = 0;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  int base = 10;
  if (at < text.size() && text[at] == '$') {
    base = 16;
    ++at;
  }
  if (at == text.size()) return false;
  // from_chars takes no sign of its own: a second sign is refused here.
  if (text[at] == '+' || text[at] == '-') return false;
  uint64_t magnitude = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data() + at, end, magnitude, base);
  if (error != std::errc() || stop != end) return false;
  const uint64_t limit = negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1;
  if (magnitude > limit) return false;
  result = negative ? static_cast<int32_t>(-static_cast<int64_t>(magnitude))
                    : static_cast<int32_t>(magnitude);
  return true;
}

FileError NotARegularFile(const std::string& file_name) {
  return FileError("Cannot create file \"" + file_name + "\": not a regular file");
}

}  // namespace

TIniFile32::TIniFile32(std::string file_name) : FileName(std::move(file_name)) { LoadLines(); }

// A FIFO, a device or a folder under a configuration file's name is no
// configuration: opening a FIFO without a writer would wait for ever, and a
// device may never end. Such a name reads as a missing file. It is looked at
// before it is opened, and the descriptor is checked again because the name
// may be replaced in between.
void TIniFile32::LoadLines() {
  struct stat info {};
  if (::stat(FileName.c_str(), &info) != 0) {
    // A missing file, or one under a folder that is not there, reads as empty.
    if (errno == ENOENT || errno == ENOTDIR) return;
    throw MakeFileError("Cannot open file", FileName, errno);
  }
  if (!S_ISREG(info.st_mode)) return;
  const int fd = ::open(FileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return;
    throw MakeFileError("Cannot open file", FileName, errno);
  }
  FdOwner file(fd);
  if (::fstat(fd, &info) != 0) throw MakeFileError("Cannot open file", FileName, errno);
  if (!S_ISREG(info.st_mode)) return;
  if (info.st_size > kMaxFileSize) {
    throw FileError("Cannot open file \"" + FileName + "\": larger than " +
                    std::to_string(kMaxFileSize) + " bytes");
  }
  std::string data;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw MakeFileError("Cannot read file", FileName, errno);
    }
    if (n == 0) break;
    // A file that grows while it is read is held to the same limit.
    if (static_cast<int64_t>(data.size()) + n > kMaxFileSize) {
      throw FileError("Cannot open file \"" + FileName + "\": larger than " +
                      std::to_string(kMaxFileSize) + " bytes");
    }
    data.append(buffer, static_cast<std::size_t>(n));
  }
  Lines = SplitLines(data);
}

void TIniFile32::SaveLines() const {
  std::string data;
  std::size_t size = 0;
  for (const std::string& line : Lines) size += line.size() + 2;
  data.reserve(size);
  for (const std::string& line : Lines) {
    data += line;
    data += "\r\n";
  }
  // Only a regular file is written: opening a FIFO for writing waits for a
  // reader, and a device is no place for settings. Written in place, not
  // through a new file renamed over the old one, so that a read-only file
  // stays protected and the file keeps its owner and mode; it is emptied only
  // once it is known to be a regular file.
  struct stat info {};
  if (::stat(FileName.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    throw NotARegularFile(FileName);
  }
  const int fd = ::open(FileName.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) throw MakeFileError("Cannot create file", FileName, errno);
  FdOwner file(fd);
  if (::fstat(fd, &info) != 0) throw MakeFileError("Cannot create file", FileName, errno);
  if (!S_ISREG(info.st_mode)) throw NotARegularFile(FileName);
  if (::ftruncate(fd, 0) != 0) throw MakeFileError("Cannot write file", FileName, errno);
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw MakeFileError("Cannot write file", FileName, errno);
    }
    done += static_cast<std::size_t>(n);
  }
  if (file.Close() != 0) throw MakeFileError("Cannot write file", FileName, errno);
}

bool TIniFile32::IsSectionLine(const std::string& line) {
  const std::string trimmed = TrimBlanks(line);
  return !trimmed.empty() && trimmed.front() == '[' && trimmed.back() == ']';
}

std::string TIniFile32::GetKeyName(const std::string& line) {
  const auto equals = line.find('=');
  return equals == std::string::npos ? std::string() : TrimBlanks(line.substr(0, equals));
}

std::string TIniFile32::GetKeyValue(const std::string& line) {
  const auto equals = line.find('=');
  return equals == std::string::npos ? std::string() : TrimBlanks(line.substr(equals + 1));
}

// The whole, untrimmed line is compared: "  [A]" and "[ A ]" are headers that
// are never found by name.
int TIniFile32::IndexOfSection(const std::string& name) const {
  const std::string header = "[" + name + "]";
  for (std::size_t i = 0; i < Lines.size(); ++i) {
    if (EqualIgnoringAsciiCase(Lines[i], header)) return static_cast<int>(i);
  }
  return -1;
}

void TIniFile32::ReadSections(std::vector<std::string>* strings) const {
  if (strings == nullptr) throw std::invalid_argument("Param Strings must be assigned");
  strings->clear();
  for (const std::string& line : Lines) {
    if (!IsSectionLine(line)) continue;
    const std::string trimmed = TrimBlanks(line);
    strings->push_back(TrimBlanks(trimmed.substr(1, trimmed.size() - 2)));
  }
}

std::string TIniFile32::ReadString(const std::string& section, const std::string& ident,
                                   const std::string& default_value) const {
  if (Lines.empty()) return default_value;
  const int header = IndexOfSection(section);
  if (header < 0) return default_value;
  for (std::size_t i = static_cast<std::size_t>(header) + 1; i < Lines.size(); ++i) {
    if (IsSectionLine(Lines[i])) return default_value;
    if (GetKeyName(Lines[i]) != ident) continue;
    // Only the first line with the key counts, even when its value is empty.
    if (ident.empty()) return default_value;
    const std::string value = GetKeyValue(Lines[i]);
    return value.empty() ? default_value : value;
  }
  return default_value;
}

int32_t TIniFile32::ReadInteger(const std::string& section, const std::string& ident,
                                int32_t default_value) const {
  std::string text = ReadString(section, ident, "");
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.replace(0, 2, "$");
  }
  int32_t value = 0;
  return ParseInteger(text, value) ? value : default_value;
}

void TIniFile32::WriteString(const std::string& section, const std::string& ident,
                             const std::string& value) {
  const int header = IndexOfSection(section);
  if (header < 0) {
    // Every new section starts with an empty line, also at the top of a new file.
    Lines.push_back("");
    Lines.push_back("[" + section + "]");
    if (!ident.empty()) Lines.push_back(ident + "=" + value);
  } else {
    std::size_t i = static_cast<std::size_t>(header) + 1;
    while (i < Lines.size() && !IsSectionLine(Lines[i]) && GetKeyName(Lines[i]) != ident) ++i;
    if (!ident.empty()) {
      if (i < Lines.size() && !IsSectionLine(Lines[i])) {
        Lines[i] = ident + "=" + value;
      } else {
        Lines.insert(Lines.begin() + static_cast<std::ptrdiff_t>(i), ident + "=" + value);
      }
    }
  }
  SaveLines();
}

void TIniFile32::WriteInteger(const std::string& section, const std::string& ident, int32_t value) {
  WriteString(section, ident, std::to_string(value));
}

void TIniFile32::EraseSection(const std::string& section) {
  const int header = IndexOfSection(section);
  if (header < 0) return;
  const auto at = Lines.begin() + header;
  auto end = at + 1;
  while (end != Lines.end() && !IsSectionLine(*end)) ++end;
  Lines.erase(at, end);
  if (header > 0) Lines.insert(Lines.begin() + header, "");
  SaveLines();
}

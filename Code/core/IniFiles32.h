// TIniFile32: the program's reader and writer of its INI files under Config/.
// The whole file is held as a list of lines; every change writes the whole
// file back at once (CR LF after every line). Bytes are bytes: nothing is
// converted, a file that is not valid text reads and writes unchanged.
//
// An instance is meant to live for one to three operations on one file and
// is used on the user-interface thread only. Two instances on one file do not
// see each other's changes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TIniFile32 {
 public:
  // Reads the file when it exists; a missing file reads as empty, and so does
  // anything that is not a regular file (a FIFO, a device, a folder), which
  // is never read. Throws FileError naming the file when it exists but cannot
  // be read, or when it is larger than kMaxFileSize (no configuration file
  // comes near that size).
  explicit TIniFile32(std::string file_name);
  ~TIniFile32() = default;

  TIniFile32(const TIniFile32&) = delete;
  TIniFile32& operator=(const TIniFile32&) = delete;

  // Clears `strings`, then appends the name of every header line in file
  // order, duplicates included. Throws std::invalid_argument for a null list.
  void ReadSections(std::vector<std::string>* strings) const;

  std::string ReadString(const std::string& section, const std::string& ident,
                         const std::string& default_value) const;
  // Decimal, or hexadecimal after "$", "0x" or "0X", with an optional sign,
  // within the 32-bit range; anything else gives `default_value`.
  int32_t ReadInteger(const std::string& section, const std::string& ident,
                      int32_t default_value) const;

  // Set the entry and write the file. Throws FileError naming the file when it
  // cannot be written, or is not a regular file (a FIFO is never opened for
  // writing, so nothing waits for a reader); the change then stays in Lines
  // only.
  void WriteString(const std::string& section, const std::string& ident, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& ident, int32_t value);
  // Removes the section's header and every line up to the next header, and
  // writes the file; a missing section leaves the file untouched.
  void EraseSection(const std::string& section);

  static constexpr int64_t kMaxFileSize = 64 * 1024 * 1024;

  std::string FileName;
  std::vector<std::string> Lines;  // without line terminators

 private:
  int IndexOfSection(const std::string& name) const;
  static bool IsSectionLine(const std::string& line);
  static std::string GetKeyName(const std::string& line);
  static std::string GetKeyValue(const std::string& line);
  void LoadLines();
  void SaveLines() const;
};

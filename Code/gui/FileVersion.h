// The version a program file carries, and reading it back from the file.
//
// The version lives in an ELF section of its own, ".tonbrix.version", holding
// the key "FileVersion", a NUL, the version text (four numbers,
// "1.0.0.1") and a NUL: the counterpart of a Windows version resource's
// FileVersion value. TONBRIX_EMBED_FILE_VERSION puts it into the program.
//
// Plain functions of their arguments; any thread may call them.
#pragma once

#include <string>

#define TONBRIX_EMBED_FILE_VERSION(version_text)                                                   \
  extern "C" __attribute__((section(".tonbrix.version"), used)) const char kTonbrixFileVersion[] = \
      "FileVersion\0" version_text;

// The FileVersion text stored in the file `file_name`; empty when the file
// cannot be read, is no ELF file of this machine's kind or carries no version.
std::string ReadFileVersion(const std::string& file_name);

// major.minor of a version text: split at ".", empty pieces dropped, the
// first piece + "." + the second ("3.10.1.4" gives "3.10", "2..5" gives
// "2.5"). A text of one piece gives that piece; an empty text gives "".
std::string VersionMajorMinor(const std::string& version);

// major.minor of the version carried by `file_name`; empty when it has none.
std::string GetFileVersionText(const std::string& file_name);

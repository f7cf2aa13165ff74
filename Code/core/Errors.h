// The program's failures, one type per kind. Each carries a text that says what
// failed and on which value or file, ready to be shown in an error box.
#pragma once

#include <stdexcept>
#include <string>

// A text that should hold a number or a time does not.
class ConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A file or folder could not be created, opened, read or written.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Builds the FileError for a failed system call on `path`, with the system's
// own reason (errno) in the text: "Cannot create file "/x/y": Permission denied".
FileError MakeFileError(const std::string& action, const std::string& path, int error_number);

#include "Errors.h"

#include <cstring>

FileError MakeFileError(const std::string& action, const std::string& path, int error_number) {
  return FileError(action + " \"" + path + "\": " + std::strerror(error_number));
}

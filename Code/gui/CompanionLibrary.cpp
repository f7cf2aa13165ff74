#include "CompanionLibrary.h"

CompanionLibrary::CompanionLibrary(const std::string& path)
    : handle_(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}

// CompanionLibrary: an open companion library (Res.dll, Form.dll) of the
// program folder, closed when the owner goes. Stands where LoadLibraryA,
// GetProcAddress and FreeLibrary stood.
//
// The owner must outlive every pointer it hands out (texts, resources,
// functions). Used on the user-interface thread only.
#pragma once

#include <dlfcn.h>

#include <memory>
#include <string>

class CompanionLibrary {
 public:
  // Opens `path`; IsOpen() tells whether that worked.
  explicit CompanionLibrary(const std::string& path);

  bool IsOpen() const { return handle_ != nullptr; }

  // The export `name` as a function of type F; null when it is missing.
  template <typename F>
  F Function(const char* name) const {
    return handle_ ? reinterpret_cast<F>(::dlsym(handle_.get(), name)) : nullptr;
  }

 private:
  struct Closer {
    void operator()(void* handle) const { ::dlclose(handle); }
  };
  std::unique_ptr<void, Closer> handle_;
};

// The C interface between Tonbrix and its companion libraries.
//
// Res.dll holds the splash picture and the software-information texts; the
// program reads them through the two exports below, the way a Windows program
// reads a resource library's string table and resource stream. Form.dll shows
// the About box. Both are opened with dlopen by their full path in the program
// folder and closed again after each use.
//
// Returned resource bytes belong to Res.dll and stay valid while it is loaded.
// Every export is called on the user-interface thread.
#pragma once

#include <cstddef>

extern "C" {

// Copies text `id` of Res.dll's string table into `buffer` (at most
// `buffer_size` - 1 characters and a terminating NUL); returns the number of
// characters copied, 0 when the table has no such text.
using TonbrixLoadStringProc = int (*)(unsigned id, char* buffer, int buffer_size);

// The bytes of the resource `name` of type `type` ("ImgFlash", "jpeg"), and
// their count in `size`; null when Res.dll has no such resource.
using TonbrixFindResourceProc = const unsigned char* (*)(const char* name, const char* type,
                                                         size_t* size);

// The software information as the About box receives it: borrowed texts,
// valid for the duration of the call.
struct TonbrixSoftInfo {
  const char* CompanyName;
  const char* ProductName;
  const char* ResText2;
  const char* VersionText;
  const char* HomePage;
  const char* EMail;
  const char* ResText7;
  const char* AppPath;
};

// Shows the About box modally and returns when it has been closed.
// `application` is the program's QApplication.
using TonbrixShowAboutFormProc = void (*)(void* application, TonbrixSoftInfo info);
}

inline constexpr const char kResLoadStringExport[] = "TonbrixLoadString";
inline constexpr const char kResFindResourceExport[] = "TonbrixFindResource";
inline constexpr const char kFormShowAboutExport[] = "ShowAboutForm";

#include "UtilityObjects.h"

#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <unordered_set>

#include "Errors.h"
#include "ProcessEnv.h"

namespace {

// The extension of the name part of `file_name`, from its last "." on, dot
// included; empty when the name has no ".". A "." inside a folder name never
// counts.
std::string NameExtension(const std::string& file_name) {
  const std::string name = TStrFunc::GetLastPart(file_name, '/');
  const auto dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

struct LocaleDeleter {
  void operator()(locale_t locale) const { freelocale(locale); }
};
using LocaleOwner = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleDeleter>;

// The user's date and time conventions as the environment names them (LC_ALL,
// LC_TIME, LANG), without touching the process-wide locale that other code may
// rely on. Falls back to the "C" conventions when the named locale is not
// installed.
LocaleOwner UserTimeLocale() {
  locale_t locale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0)) {
    locale = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
  }
  return LocaleOwner(locale);
}

// Short date and long time of the user's locale: strftime's %x and %X.
std::string LocaleTimeStamp(locale_t locale) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[256];
  const locale_t previous = uselocale(locale);
  const std::size_t length = std::strftime(text, sizeof text, "%x %X", &local);
  uselocale(previous);
  return std::string(text, length);
}

// Writes all of `data` to `fd`, resuming after short writes and signals.
bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// "song_41" -> "song_42"; "song_009" -> "song_10" (the number is read as an
// integer, so leading zeros go). Empty when the text after the last "_" is not
// a plain decimal number; digits of any length are counted up as text, so no
// suffix can overflow.
std::string NextNumberedTitle(const std::string& title) {
  const auto underscore = title.rfind('_');
  if (underscore == std::string::npos) return {};
  std::string digits = title.substr(underscore + 1);
  if (digits.empty() ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return {};
  }
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
  int i = static_cast<int>(digits.size()) - 1;
  while (i >= 0 && digits[i] == '9') digits[i--] = '0';
  if (i < 0) {
    digits.insert(digits.begin(), '1');
  } else {
    ++digits[i];
  }
  return title.substr(0, underscore + 1) + digits;
}

}  // namespace

std::string ProgramFolder() {
  std::string buffer(4096, '\0');
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) throw MakeFileError("Cannot read link", "/proc/self/exe", errno);
    if (static_cast<std::size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(n));
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  return TFileFunc::GetFilePath(buffer);
}

// ---- TAppFunc -----------------------------------------------------------------

TAppFunc::TAppFunc(std::string app_path) : app_path_(std::move(app_path)) {
  if (!app_path_.empty() && app_path_.back() != '/') app_path_ += '/';
  std::shared_ptr<std::remove_pointer_t<locale_t>> locale(UserTimeLocale().release(),
                                                          LocaleDeleter());
  time_stamp_ = [locale] { return LocaleTimeStamp(locale.get()); };
}

void TAppFunc::WriteLog(const std::string& message) const {
  const std::string name = GetAppPath() + "log.txt";
  const std::string line = "Tessaly " + time_stamp_() + "|" + message + "\r\n";
  // O_APPEND both creates a missing log and appends to an existing one; the
  // whole line goes out in one write so that it is never split.
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) throw MakeFileError("Cannot open file", name, errno);
  if (!WriteAll(fd, line)) {
    const int error = errno;
    ::close(fd);
    throw MakeFileError("Cannot write file", name, error);
  }
  if (::close(fd) != 0) throw MakeFileError("Cannot close file", name, errno);
}

std::string TAppFunc::GetAppPath() const { return app_path_; }

void TAppFunc::SetTimeStampFormatter(TimeStampFormatter formatter) {
  if (!formatter) throw std::invalid_argument("SetTimeStampFormatter: empty formatter");
  time_stamp_ = std::move(formatter);
}

// ---- TStrFunc -----------------------------------------------------------------

std::string TStrFunc::GetLastPart(const std::string& text, char separator) {
  const auto at = text.rfind(separator);
  return at == std::string::npos ? text : text.substr(at + 1);
}

// ---- TFileFunc ----------------------------------------------------------------

std::string TFileFunc::GetFilePath(const std::string& file_name) {
  const auto at = file_name.rfind('/');
  return at == std::string::npos ? std::string() : file_name.substr(0, at + 1);
}

std::string TFileFunc::GetFileTitle(const std::string& file_name) {
  const std::string name = TStrFunc::GetLastPart(file_name, '/');
  const std::string ext = TStrFunc::GetLastPart(name, '.');
  // A name without "." has itself as "extension": the count goes negative and
  // the title is empty.
  const auto count =
      static_cast<std::ptrdiff_t>(name.size()) - static_cast<std::ptrdiff_t>(ext.size()) - 1;
  return count <= 0 ? std::string() : name.substr(0, static_cast<std::size_t>(count));
}

// Folder entries and the attributes the listing rule looks at. The rule leaves
// out exactly the entries whose only attribute is "directory". On Linux:
//  - "." and ".." are always left out;
//  - a subfolder whose name starts with "." is a hidden folder (the hidden
//    attribute on top of "directory") and is listed like a file;
//  - a symbolic link is listed like a file, whatever it points to (the
//    reparse-point attribute on top of "directory" for a link to a folder);
//  - every other entry that is not a folder (files, sockets, fifos, devices)
//    is listed.
// Permission bits are not mapped to the read-only attribute: a plain subfolder
// is left out whatever its permissions.
std::vector<std::string> TFileFunc::GetFileList(const std::string& folder,
                                                const std::string& extension) {
  std::vector<std::string> list;
  struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
  };
  std::unique_ptr<DIR, DirCloser> dir(folder.empty() ? nullptr : opendir(folder.c_str()));
  if (!dir) return list;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    bool is_dir = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN) {
      struct stat info {};
      is_dir = ::fstatat(dirfd(dir.get()), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
               S_ISDIR(info.st_mode);
    }
    const bool hidden = name.front() == '.';
    if (is_dir && !hidden) continue;
    std::string full = folder + name;
    if (!extension.empty() && NameExtension(full) != extension) continue;
    list.push_back(std::move(full));
  }
  std::sort(list.begin(), list.end());
  return list;
}

std::string TFileFunc::GetUniqueFileName(const std::string& wanted) {
  BaseTitle = GetFileTitle(wanted);
  return MakeUniqueFileName(wanted);
}

// The rule: a title that some entry of the folder has is taken; the first try
// that clashes gets "_1", a numbered try gets its number raised by one, and
// each try is checked against the folder again. The folder is listed once per
// search and its titles kept in a hash set, so a folder that already holds
// song, song_1 ... song_5000 costs one listing and 5001 look-ups, not 5001
// listings.
std::string TFileFunc::MakeUniqueFileName(const std::string& wanted) {
  const std::string path = GetFilePath(wanted);
  const std::string ext = NameExtension(wanted);
  std::unordered_set<std::string> taken;
  for (const std::string& entry : GetFileList(path, std::string())) {
    taken.insert(GetFileTitle(entry));
  }
  std::string title = GetFileTitle(wanted);
  while (taken.count(title) != 0) {
    std::string next;
    if (title != BaseTitle) next = NextNumberedTitle(title);
    // The first clash of the search, or a title that carries no number to
    // raise (only reachable when MakeUniqueFileName is called on its own):
    // the suffix "_1" is added once.
    title = next.empty() ? title + "_1" : next;
  }
  return path + title + ext;
}

TSysFunc::TSysFunc() : env_(&ProcessEnv::Default()) {}

int TSysFunc::GetProcessIdByName(const std::string& exe_name) const {
  return FindProcessByName(*env_, exe_name, false);
}

int TSysFunc::GetSameUserProcessIdByName(const std::string& exe_name) const {
  return FindProcessByName(*env_, exe_name, true);
}

#include "ProcessTable.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <memory>
#include <sstream>


namespace {

// The kernel's limit for /proc/PID/comm (TASK_COMM_LEN - 1).
constexpr size_t kCommLength = 15;

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::toupper(x) == std::toupper(y);
         });
}

std::string ProcPath(int pid, const char* leaf) {
  return "/proc/" + std::to_string(pid) + "/" + leaf;
}

std::string ReadExePath(int pid) {
  std::string link = ProcPath(pid, "exe");
  char buffer[4096];
  ssize_t length = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
  if (length <= 0) return {};
  std::string path(buffer, static_cast<size_t>(length));
  // An executable replaced on disk while it runs (a rebuilt engine) still
  // carries its name; the kernel marks it.
  const std::string deleted = " (deleted)";
  if (path.size() > deleted.size() &&
      path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0) {
    path.resize(path.size() - deleted.size());
  }
  return path;
}

std::string ReadComm(int pid) {
  std::ifstream file(ProcPath(pid, "comm"));
  std::string name;
  std::getline(file, name);
  return name;
}

// The state letter and start time from /proc/PID/stat; false when the process
// is gone. The command name in parentheses may hold blanks and parentheses, so
// the fields are counted from the last ')'.
bool ReadStat(int pid, char& state, uint64_t& start_time) {
  std::ifstream file(ProcPath(pid, "stat"));
  std::string line;
  if (!std::getline(file, line)) return false;
  size_t close = line.rfind(')');
  if (close == std::string::npos) return false;
  std::istringstream fields(line.substr(close + 1));
  std::string field;
  // Field 3 is the state, field 22 the start time.
  for (int index = 3; index <= 22; ++index) {
    if (!(fields >> field)) return false;
    if (index == 3) state = field.empty() ? '?' : field[0];
  }
  try {
    start_time = std::stoull(field);
  } catch (...) {
    return false;
  }
  return true;
}

// The real user id: the first number of the "Uid:" line of /proc/PID/status.
uid_t ReadUid(int pid) {
  std::ifstream file(ProcPath(pid, "status"));
  for (std::string line; std::getline(file, line);) {
    if (line.rfind("Uid:", 0) != 0) continue;
    std::istringstream fields(line.substr(4));
    unsigned long uid = 0;
    if (fields >> uid) return static_cast<uid_t>(uid);
    break;
  }
  return static_cast<uid_t>(-1);
}

bool IsPidName(const char* name) {
  if (*name == '\0') return false;
  for (const char* c = name; *c; ++c) {
    if (!std::isdigit(static_cast<unsigned char>(*c))) return false;
  }
  return true;
}

}  // namespace

std::vector<ProcessEntry> ListProcesses() {
  std::vector<ProcessEntry> entries;
  DirPtr proc(::opendir("/proc"));
  if (!proc) return entries;
  while (dirent* item = ::readdir(proc.get())) {
    if (!IsPidName(item->d_name)) continue;
    ProcessEntry entry;
    entry.Pid = std::atoi(item->d_name);
    char state = '?';
    if (!ReadStat(entry.Pid, state, entry.StartTime) || state == 'Z' || state == 'X') continue;
    entry.ExePath = ReadExePath(entry.Pid);
    if (!entry.ExePath.empty()) {
      entry.FileName = entry.ExePath.substr(entry.ExePath.rfind('/') + 1);
    } else {
      entry.FileName = ReadComm(entry.Pid);
      entry.NameFromComm = true;
    }
    if (entry.FileName.empty()) continue;
    entry.Uid = ReadUid(entry.Pid);
    entries.push_back(std::move(entry));
  }
  std::sort(entries.begin(), entries.end(),
            [](const ProcessEntry& a, const ProcessEntry& b) { return a.Pid < b.Pid; });
  return entries;
}

bool SameFileName(const std::string& a, const std::string& b) { return EqualIgnoringCase(a, b); }

bool FileNameMatches(const ProcessEntry& entry, const std::string& wanted) {
  if (EqualIgnoringCase(entry.FileName, wanted)) return true;
  return entry.NameFromComm && entry.FileName.size() == kCommLength &&
         wanted.size() > kCommLength &&
         EqualIgnoringCase(entry.FileName, wanted.substr(0, kCommLength));
}

bool ExePathMatches(const ProcessEntry& entry, const std::string& wanted) {
  return !entry.ExePath.empty() && EqualIgnoringCase(entry.ExePath, wanted);
}

bool ProcessEnded(int pid, uint64_t start_time) {
  char state = '?';
  uint64_t now_start = 0;
  if (!ReadStat(pid, state, now_start)) return true;
  return state == 'Z' || state == 'X' || now_start != start_time;
}

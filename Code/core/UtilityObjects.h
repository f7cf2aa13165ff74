// The four utility objects of the program: the log and the program folder
// (TAppFunc), process lookup (TSysFunc), text pieces (TStrFunc) and file names,
// folder listings and free output names (TFileFunc).
//
// One instance of each is created at start-up and lives until the process
// ends. All of them are used on the user-interface thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

class ProcessEnv;

// The folder of the running executable (/proc/self/exe), ending in "/".
std::string ProgramFolder();

class TAppFunc {
 public:
  // Formats the current moment as the log's "date time" text. The default,
  // for programs without a desktop (tests, tools), is strftime's %x %X in the
  // environment's LC_TIME; the application installs the desktop locale's
  // short date and long time at start-up (Code/gui/DesktopTimeStamp.h).
  using TimeStampFormatter = std::function<std::string()>;

  // `app_path` is the program folder ending in "/"; tests give a temporary one.
  explicit TAppFunc(std::string app_path = ProgramFolder());

  // Appends "Tessaly " + date + " " + time + "|" + message + CR LF to log.txt
  // in the program folder. Opens and closes the file on every call; throws
  // FileError when the line cannot be written.
  void WriteLog(const std::string& message) const;

  // The program folder, ending in "/".
  std::string GetAppPath() const;

  void SetTimeStampFormatter(TimeStampFormatter formatter);

 private:
  std::string app_path_;
  TimeStampFormatter time_stamp_;
};

// Looks processes up through `env` (the machine unless a test stands in for
// it); the env is not owned.
class TSysFunc {
 public:
  // Through ProcessEnv::Default(), the machine itself.
  TSysFunc();
  explicit TSysFunc(ProcessEnv& env) : env_(&env) {}

  // Id of a running process whose executable file name equals `exe_name`
  // without regard to letter case; the last match of the process table wins.
  // 0 when there is none.
  int GetProcessIdByName(const std::string& exe_name) const;
  // The same among the processes of this program's own user (real user id):
  // a process of another user cannot be an engine this program started.
  int GetSameUserProcessIdByName(const std::string& exe_name) const;

  // The processes, signals and engine starts this program goes through.
  ProcessEnv& Env() const { return *env_; }

 private:
  ProcessEnv* env_;
};

class TStrFunc {
 public:
  // The text after the last `separator`; the whole text when there is none.
  static std::string GetLastPart(const std::string& text, char separator);
};

class TFileFunc {
 public:
  // Everything up to and including the last "/"; empty when there is none.
  static std::string GetFilePath(const std::string& file_name);

  // The name after the last "/" without its last extension; empty for a name
  // without any ".".
  static std::string GetFileTitle(const std::string& file_name);

  // Full names of the entries of `folder` (ending in "/"), plain subfolders
  // left out; with a non-empty `extension` (".mp3") only entries whose
  // extension equals it exactly. A missing folder gives an empty list.
  static std::vector<std::string> GetFileList(const std::string& folder,
                                              const std::string& extension);

  // A name in the folder of `wanted`, with its extension, whose title no entry
  // of the folder has: song, song_1, song_2, ...
  std::string GetUniqueFileName(const std::string& wanted);
  std::string MakeUniqueFileName(const std::string& wanted);

  // The title the current unique-name search started from.
  std::string BaseTitle;
};

// The running processes as /proc lists them, for the look-ups and terminations
// by executable name (TSysFunc, TCommonLib). Returns plain values the caller
// owns; any thread may call it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

struct ProcessEntry {
  int Pid = 0;
  // The executable's full path (/proc/PID/exe); empty when it cannot be read
  // (a process of another user, a kernel thread).
  std::string ExePath;
  // The executable's file name: the base name of ExePath, or /proc/PID/comm
  // when the path cannot be read (the kernel cuts comm to 15 characters).
  std::string FileName;
  bool NameFromComm = false;
  // Start time in clock ticks since boot; with Pid it names one process even
  // after its id has been reused.
  uint64_t StartTime = 0;
  // The real user id (/proc/PID/status); -1 when it cannot be read.
  uid_t Uid = static_cast<uid_t>(-1);
};

// Every live process in ascending id order; processes that have already ended
// (zombies waiting to be reaped) are left out.
std::vector<ProcessEntry> ListProcesses();

// True when the entry's executable file name equals `wanted` without regard to
// letter case. A name taken from comm also matches a longer wanted name whose
// first 15 characters it equals.
bool FileNameMatches(const ProcessEntry& entry, const std::string& wanted);

// True when two file names are equal without regard to letter case.
bool SameFileName(const std::string& a, const std::string& b);

// True when the entry's full executable path equals `wanted` without regard to
// letter case.
bool ExePathMatches(const ProcessEntry& entry, const std::string& wanted);

// True when the process named by pid and start time has ended (it is gone from
// /proc, is a zombie, or its id now belongs to another process).
bool ProcessEnded(int pid, uint64_t start_time);

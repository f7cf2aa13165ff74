#include "ProcessEnv.h"

int FindProcessByName(ProcessEnv& env, const std::string& exe_name, bool same_user_only) {
  const uid_t own_uid = same_user_only ? env.UserId() : 0;
  int found = 0;
  for (const ProcessEntry& entry : env.ListProcesses()) {
    if (same_user_only && entry.Uid != own_uid) continue;
    if (FileNameMatches(entry, exe_name)) found = entry.Pid;
  }
  return found;
}

#include "PowerSwitch.h"

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

void SystemPowerSwitch::PowerOff() {
  char program[] = "systemctl";
  char verb[] = "poweroff";
  char* arguments[] = {program, verb, nullptr};
  pid_t pid = 0;
  if (::posix_spawnp(&pid, program, nullptr, nullptr, arguments, environ) == 0) {
    // Reaped so that it leaves no zombie; the application ends right after.
    ::waitpid(pid, nullptr, 0);
  }
}

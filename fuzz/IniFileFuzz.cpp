// Fuzzes the INI store: any bytes as a settings file under Config/ (a person
// may hand-edit one, a disk may damage one). Reading must never crash, and a
// value written must read back, also after the file is loaded again.
#include <string>
#include <vector>

#include "Errors.h"
#include "FuzzSupport.h"
#include "IniFiles32.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteScratchFile("Config.ini", data, size);
  TIniFile32 ini(path);

  std::vector<std::string> sections;
  ini.ReadSections(&sections);
  for (const std::string& section : sections) {
    // Every "name=" of the file as an ident, the way the profile code reads.
    for (const std::string& line : ini.Lines) {
      const std::string ident = line.substr(0, line.find('='));
      ini.ReadString(section, ident, "default");
      ini.ReadInteger(section, ident, -1);
    }
  }

  ini.WriteString("Fuzz", "Key", "Value");
  if (ini.ReadString("Fuzz", "Key", "") != "Value") fuzz::Fail("written value does not read back");
  ini.WriteInteger("Fuzz", "Number", -2147483647 - 1);
  if (ini.ReadInteger("Fuzz", "Number", 0) != -2147483647 - 1) {
    fuzz::Fail("written integer does not read back");
  }

  const TIniFile32 reloaded(path);
  if (reloaded.Lines != ini.Lines) fuzz::Fail("the saved file loads as other lines");

  if (!sections.empty()) ini.EraseSection(sections.front());
  return 0;
}

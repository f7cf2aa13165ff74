// TCommonLib's look-ups in the configuration files under Config/.
#include "IniFiles32.h"
#include "Unit_CommonLib.h"

std::vector<std::string> TCommonLib::GetConfigSections(const std::string& file_name) const {
  std::vector<std::string> sections;
  TIniFile32(AppPath + "Config/" + file_name).ReadSections(&sections);
  return sections;
}

std::string TCommonLib::ReadConfigValue(const std::string& file_name,
                                        const std::string& name) const {
  return TIniFile32(AppPath + "Config/" + file_name).ReadString(name, name, "");
}

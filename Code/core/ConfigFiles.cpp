#include "ConfigFiles.h"

#include "IniFiles32.h"

std::vector<std::string> ConfigFiles::GetConfigSections(const std::string& file_name) const {
  std::vector<std::string> sections;
  TIniFile32(app_path_ + "Config/" + file_name).ReadSections(&sections);
  return sections;
}

std::string ConfigFiles::ReadConfigValue(const std::string& file_name,
                                         const std::string& name) const {
  return TIniFile32(app_path_ + "Config/" + file_name).ReadString(name, name, "");
}

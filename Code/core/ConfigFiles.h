// ConfigFiles: look-ups in the INI files under the program folder's Config/
// (the custom profiles' names and values). Keeps a reference to the program
// folder text, which its owner keeps alive. Any thread that owns the files.
#pragma once

#include <string>
#include <vector>

class ConfigFiles {
 public:
  // `app_path` is the program folder, ending in "/".
  explicit ConfigFiles(const std::string& app_path) : app_path_(app_path) {}

  // The section names of AppPath + "Config/" + file_name, in file order.
  std::vector<std::string> GetConfigSections(const std::string& file_name) const;
  // ReadString(name, name, "") on AppPath + "Config/" + file_name.
  std::string ReadConfigValue(const std::string& file_name, const std::string& name) const;

 private:
  const std::string& app_path_;
};

#include "MessageBoxes.h"

#include <filesystem>

bool ShowMessageOfKind(UserInterface& ui, const std::string& text, int kind) {
  MessageIcon icon;
  switch (kind) {
    case 0:
      icon = MessageIcon::Error;
      break;
    case 1:
      icon = MessageIcon::Warning;
      break;
    case 2:
      icon = MessageIcon::Question;
      break;
    case 3:
      icon = MessageIcon::Information;
      break;
    default:
      return false;
  }
  return ui.MessageBox(text, icon, MessageButtons::Ok) != 0;
}

int ShowMsgBox(UserInterface& ui, const std::string& text, int kind) {
  MessageButtons buttons;
  switch (kind) {
    case 1:
      buttons = MessageButtons::Ok;
      break;
    case 2:
      buttons = MessageButtons::YesNo;
      break;
    case 3:
      buttons = MessageButtons::YesNoCancel;
      break;
    default:
      return 0;
  }
  return ui.MessageBox(text, MessageIcon::Information, buttons);
}

bool BrowseForFolder(UserInterface& ui, const std::string& title, const std::string& root,
                     std::string& folder) {
  std::error_code error;
  if (folder.empty() || !std::filesystem::is_directory(folder, error)) folder.clear();
  std::string chosen = folder;
  if (!ui.BrowseForFolder(title, root, chosen) || chosen.empty()) return false;
  folder = chosen;
  return true;
}

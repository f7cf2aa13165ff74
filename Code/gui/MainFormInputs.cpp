#include "MainFormInputs.h"

#include <QComboBox>
#include <QLineEdit>
#include <stdexcept>

#include "Unit_Convert.h"
#include "Unit_Option.h"

namespace {

const char* ListName(OptionListId list) {
  switch (list) {
    case OptionListId::AudioBitrate:
      return "cbbAudioBitrate";
    case OptionListId::AudioSample:
      return "cbbAudioSample";
    case OptionListId::AudioChannels:
      return "cbbAudioChannels";
    case OptionListId::AudioVolumeGain:
      return "cbbAudioVolumeGain";
    case OptionListId::VideoSize:
      return "cbbVideoSize";
    case OptionListId::VideoBitrate:
      return "cbbVideoBitrate";
    case OptionListId::Framerate:
      return "cbbFramerate";
    case OptionListId::Aspectratio:
      return "cbbAspectratio";
  }
  return "";
}

}  // namespace

int MainFormInputs::SourceRowCount() const { return form_.SourceFiles().RowCount(); }

std::string MainFormInputs::SourceCell(int row, SourceColumn column) const {
  const SourceFileList& list = form_.SourceFiles();
  return row >= 0 && row < list.RowCount() ? list.Cell(row, column) : std::string();
}

RowFades MainFormInputs::SourceFades(int row) const {
  const SourceFileList& list = form_.SourceFiles();
  return row >= 0 && row < list.RowCount() ? list.Fades(row) : RowFades{};
}

int MainFormInputs::OutputTypeIndex() const { return form_.cbbOutputFiletype->currentIndex(); }

OptionList MainFormInputs::Options(OptionListId list) const {
  OptionList result;
  if (form_.frmOption == nullptr) return result;
  const auto* combo = form_.frmOption->findChild<QComboBox*>(ListName(list));
  if (combo == nullptr) return result;
  for (int i = 0; i < combo->count(); ++i) result.Items.push_back(combo->itemText(i).toStdString());
  result.ItemIndex = combo->currentIndex();
  return result;
}

std::string MainFormInputs::OutputFolderText() const {
  return form_.edtOutputFolder->text().toStdString();
}

void MainFormInputs::ApplyCustomProfile() {
  TCustomProc* proc = form_.Context().CustomProc.get();
  if (proc == nullptr) throw std::logic_error("The controller does not exist yet");
  proc->ApplyCustomProfile();
}

#include "ConversionInputs.h"

ConversionInputsData ConversionInputsData::WithDefaults() {
  ConversionInputsData data;
  FillOptionList(data.List(OptionListId::AudioBitrate), GetAudioBitrateList());
  FillOptionList(data.List(OptionListId::AudioSample), GetAudioSampleList());
  FillOptionList(data.List(OptionListId::AudioChannels), GetAudioChannelsList());
  FillOptionList(data.List(OptionListId::AudioVolumeGain), GetVolumeGainList());
  FillOptionList(data.List(OptionListId::VideoSize), GetVideoSizeList());
  FillOptionList(data.List(OptionListId::VideoBitrate), GetVideoBitrateList());
  FillOptionList(data.List(OptionListId::Framerate), GetFrameRateList());
  FillOptionList(data.List(OptionListId::Aspectratio), GetAspectRatioList());
  return data;
}

int ConversionInputsData::SourceRowCount() const { return static_cast<int>(Rows.size()); }

std::string ConversionInputsData::SourceCell(int row, SourceColumn column) const {
  if (row < 0 || static_cast<std::size_t>(row) >= Rows.size()) return {};
  const auto& cells = Rows[static_cast<std::size_t>(row)];
  const auto at = static_cast<std::size_t>(column);
  return at < cells.size() ? cells[at] : std::string();
}

RowFades ConversionInputsData::SourceFades(int row) const {
  if (row < 0 || static_cast<std::size_t>(row) >= Fades.size()) return {};
  return Fades[static_cast<std::size_t>(row)];
}

int ConversionInputsData::OutputTypeIndex() const { return OutputType; }

OptionList ConversionInputsData::Options(OptionListId list) const {
  return Lists[static_cast<int>(list)];
}

std::string ConversionInputsData::OutputFolderText() const { return OutputFolder; }

void ConversionInputsData::ApplyCustomProfile() {
  if (CustomProfile) CustomProfile(*this);
}

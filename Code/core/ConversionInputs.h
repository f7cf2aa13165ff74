// ConversionInputs: what the engine command-line builder reads from the
// windows (the source list's rows, the output type, the option lists, the
// output folder box). The main window implements it over its widgets;
// ConversionInputsData holds the same as plain data for code and tests that
// have no window. Not owned by the builder. User-interface thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "FormatTables.h"
#include "SourceFileList.h"

// The eight option lists of the Options window.
enum class OptionListId : int {
  AudioBitrate,     // cbbAudioBitrate
  AudioSample,      // cbbAudioSample
  AudioChannels,    // cbbAudioChannels
  AudioVolumeGain,  // cbbAudioVolumeGain
  VideoSize,        // cbbVideoSize (hidden)
  VideoBitrate,     // cbbVideoBitrate (hidden)
  Framerate,        // cbbFramerate (hidden)
  Aspectratio,      // cbbAspectratio (hidden)
};

// What the command-line builder reads from the windows. Every call is made on
// the user-interface thread, while a build runs.
class ConversionInputs {
 public:
  virtual ~ConversionInputs() = default;

  // The rows of dxTreeSourceFileInfo, first to last, and the text of one cell.
  virtual int SourceRowCount() const = 0;
  virtual std::string SourceCell(int row, SourceColumn column) const = 0;
  // The fades of one row (none for a row that does not exist).
  virtual RowFades SourceFades(int row) const = 0;

  // The selected index of cbbOutputFiletype (0 MP3 ... 6 WAV).
  virtual int OutputTypeIndex() const = 0;

  // The items and the current selection of one option list.
  virtual OptionList Options(OptionListId list) const = 0;

  // The text of the output folder box edtOutputFolder.
  virtual std::string OutputFolderText() const = 0;

  // Applies the custom profile selected in the Options window to the option
  // lists. Called by GetSegmentStart for every row of the file, so the option
  // lists must be read after it.
  virtual void ApplyCustomProfile() = 0;
};

// ConversionInputs over plain data: rows of seven cells and their fades, the
// output type, the eight lists and the folder text, with the custom-profile
// step supplied as a function. For callers that have no windows (tests, tools).
class ConversionInputsData : public ConversionInputs {
 public:
  std::vector<std::vector<std::string>> Rows;  // seven cells each
  std::vector<RowFades> Fades;                 // by row; a row past its end has none
  int OutputType = 0;
  OptionList Lists[8];
  std::string OutputFolder;
  std::function<void(ConversionInputsData&)> CustomProfile;  // may be empty

  // Every list filled from its table with its default selection.
  static ConversionInputsData WithDefaults();

  OptionList& List(OptionListId id) { return Lists[static_cast<int>(id)]; }

  int SourceRowCount() const override;
  std::string SourceCell(int row, SourceColumn column) const override;
  RowFades SourceFades(int row) const override;
  int OutputTypeIndex() const override;
  OptionList Options(OptionListId list) const override;
  std::string OutputFolderText() const override;
  void ApplyCustomProfile() override;
};

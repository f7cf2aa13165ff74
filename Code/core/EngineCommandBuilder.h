// EngineCommandBuilder: turns a source file, its segment, the chosen output
// type, the option lists, the output folder, the row's fades and the loudness
// setting into the engine's command line (the logged text and the argument
// list the engine is started with). It reads the windows through
// ConversionInputs, the finishing settings held by TCustomProc, and writes the
// pieces into the shared TCommonLib::ConvertParameter; none is owned.
//
// One instance, owned by TCustomProc; user-interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "ConversionInputs.h"
#include "EngineCommand.h"
#include "FinishingSettings.h"
#include "Unit_CommonLib.h"
#include "UtilityObjects.h"

// A folder as the person or the settings file wrote it, made absolute: a
// leading "~" or "~user" becomes that home folder, and any other relative
// folder is taken inside the home folder (as the default output folder is), so
// the program and the engine, which runs in the program folder, mean the same
// folder wherever the program was started. An absolute or empty text is
// returned unchanged.
std::string AbsoluteFolder(const std::string& folder);

class EngineCommandBuilder {
 public:
  // `finishing` is read at every build, so a change of the settings counts
  // from the next job on.
  EngineCommandBuilder(TCommonLib& common, TAppFunc& app, TFileFunc& files,
                       ConversionInputs& inputs, const FinishingSettings& finishing);

  // The segment of the job being built (start text, whole seconds as decimal
  // text); written by every build, read by the progress window.
  std::string StartTime;
  std::string Duration;
  // The line of the last build (empty when no line shape fitted) and the
  // arguments the engine is to be started with.
  std::string CommandLine;
  EngineCommand LastCommand;

  // Builds the engine command line for `source`: fills ConvertParameter,
  // StartTime and Duration, creates the output folder, writes VideoFile.avs in
  // the program folder and picks a free output name. The row's fades (held to
  // what its part allows) and the loudness target, when used, come before the
  // output path; without them the line is exactly as before. Returns the
  // line, or empty text when the codec option fits no line shape. Throws
  // ConversionError for a segment time that is no number and FileError when
  // VideoFile.avs or the log cannot be written.
  std::string BuildCommandLine(const std::string& source);

  // The start cell of the file's row (the last matching row wins); empty when
  // no row matches. Applies the selected custom profile once per matching row.
  std::string GetSegmentStart(const std::string& source);
  // End minus start of the file's row in whole seconds, as decimal text
  // (empty when no row matches) or as a number (0 when no row matches).
  std::string GetSegmentDuration(const std::string& source);
  int64_t GetSegmentSeconds(const std::string& source);

  // The output folder box's text made absolute (see AbsoluteFolder) and
  // ending in "/", created with its parents; logs "Output directory " +
  // folder, or "Output directory error. ->" + folder when it could not be
  // created.
  std::string GetOutputFolder();

  // Joins the pieces of `p` in the line shape its codec option chooses
  // ("-vcodec", "-target", "-acodec" narrow band for .amr/.3gp/.3g2 or plain
  // audio); `output_path` is asked for the output path only when a shape
  // fits. No value when none fits.
  static std::optional<EngineCommand> AssembleCommandLine(
      const TConvertParameterStruct& p, const std::function<std::string()>& output_path);

 private:
  // Visits the rows whose file name cell equals `source` without regard to
  // the case of A-Z, first to last.
  void ForEachRowOf(const std::string& source, const std::function<void(int row)>& visit) const;
  // End minus start seconds of the last matching row; false when none matches.
  bool SegmentSeconds(const std::string& source, int64_t& seconds) const;
  // The fades of the last matching row (none when no row matches), held to
  // what a part of `part_seconds` allows.
  RowFades SegmentFades(const std::string& source, int64_t part_seconds) const;
  void WriteScriptFile() const;

  TCommonLib& common_;
  TAppFunc& app_;
  TFileFunc& files_;
  ConversionInputs& inputs_;
  const FinishingSettings& finishing_;
};

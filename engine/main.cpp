// evc.exe, the Tonbrix converter engine: reads the legacy ffmpeg-style command
// line and converts one file. Exit codes: 0 the output file is complete,
// 1 the command line is wrong (or no arguments: the usage text), 2 the
// conversion failed. A failure leaves no output file.
#include <iostream>
#include <string>
#include <vector>

#include "Converter.h"
#include "EngineOptions.h"
#include "TemporaryOutput.h"

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  bool onlyBlanks = true;
  for (const std::string& argument : arguments) {
    if (argument.find_first_not_of(" \t\r\n") != std::string::npos) onlyBlanks = false;
  }
  if (onlyBlanks) {
    std::cout << evc::UsageText();
    return 1;
  }

  evc::InstallInterruptCleanup();
  // The library's own chatter stays quiet; its errors still show, and every
  // failure the engine itself meets is one line of its own.
  av_log_set_level(AV_LOG_ERROR);

  try {
    const evc::EngineOptions options = evc::ParseEngineOptions(arguments);
    evc::Convert(options, std::cerr);
    return 0;
  } catch (const evc::OptionError& error) {
    std::cerr << "evc.exe: " << evc::OneLine(error.what()) << std::endl;
    return 1;
  } catch (const std::exception& error) {
    std::cerr << "evc.exe: " << evc::OneLine(error.what()) << std::endl;
    return 2;
  }
}

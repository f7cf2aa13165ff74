// The progress line, read back the way Tonbrix reads it: the third "=" piece,
// whole seconds before the ".".
#include <gtest/gtest.h>

#include <vector>

#include "ProgressLine.h"

namespace evc {
namespace {

std::vector<std::string> SplitAtEquals(const std::string& text) {
  std::vector<std::string> pieces;
  size_t begin = 0;
  for (size_t eq; (eq = text.find('=', begin)) != std::string::npos; begin = eq + 1) {
    pieces.push_back(text.substr(begin, eq - begin));
  }
  pieces.push_back(text.substr(begin));
  return pieces;
}

std::string WholeSeconds(const std::string& line) {
  const auto pieces = SplitAtEquals(line);
  if (pieces.size() < 4) return "";
  return pieces[2].substr(0, pieces[2].find('.'));
}

TEST(ProgressLine, KeepsTheLegacyLayout) {
  EXPECT_EQ(FormatProgressLine(234 * 1024 + 100, 14.91),
            "size=     234kB time=14.91 bitrate= 128.6kbits/s");
}

struct TimeCase {
  double seconds;
  std::string whole;
};
class ProgressLineTime : public testing::TestWithParam<TimeCase> {};
TEST_P(ProgressLineTime, WholeSecondsComeBeforeTheDot) {
  EXPECT_EQ(WholeSeconds(FormatProgressLine(1000, GetParam().seconds)), GetParam().whole);
}
INSTANTIATE_TEST_SUITE_P(Cases, ProgressLineTime,
                         testing::Values(TimeCase{0.0, "0"}, TimeCase{0.5, "0"},
                                         TimeCase{17.52, "17"}, TimeCase{29.999, "29"},
                                         TimeCase{30.0, "30"}, TimeCase{3599.99, "3599"},
                                         TimeCase{36000.0, "36000"}));

TEST(ProgressLine, UnknownTimeIsTheLegacyMarker) {
  const std::string line = FormatProgressLine(0, std::nullopt);
  EXPECT_EQ(WholeSeconds(line), "10000000000");
  EXPECT_NE(line.find("time=10000000000.00"), std::string::npos);
}

}  // namespace
}  // namespace evc

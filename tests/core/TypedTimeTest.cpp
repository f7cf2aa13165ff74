// What a person may type into a time cell: how far each text is from a time,
// the cell text it becomes, and the reason a text is refused.
#include <gtest/gtest.h>

#include "TypedTime.h"

namespace {

using typed_time::State;

struct Typed {
  const char* name;
  const char* text;
  State state;
  const char* cell;  // nullptr: not committed as a time
};

class TypedTimeTest : public testing::TestWithParam<Typed> {};

TEST_P(TypedTimeTest, StateAndCellText) {
  const Typed& t = GetParam();
  EXPECT_EQ(typed_time::Check(t.text), t.state);
  const std::optional<std::string> cell = typed_time::CellText(t.text);
  if (t.cell == nullptr) {
    EXPECT_FALSE(cell.has_value()) << *cell;
  } else {
    ASSERT_TRUE(cell.has_value());
    EXPECT_EQ(*cell, t.cell);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TypedTimeTest,
    testing::Values(Typed{"whole", "00:00:30", State::Acceptable, "00:00:30"},
                    Typed{"hours", "12:34:56", State::Acceptable, "12:34:56"},
                    Typed{"seconds_alone", "45", State::Acceptable, "00:00:45"},
                    Typed{"minutes_seconds", "1:30", State::Acceptable, "00:01:30"},
                    Typed{"short_fields", "1:2:3", State::Acceptable, "01:02:03"},
                    Typed{"cleared", "", State::Acceptable, nullptr},
                    Typed{"typing_on", "00:", State::Intermediate, nullptr},
                    Typed{"typing_on_again", "00:00:", State::Intermediate, nullptr},
                    Typed{"empty_field", "00::30", State::Intermediate, nullptr},
                    Typed{"seconds_out_of_range", "00:00:75", State::Intermediate, nullptr},
                    Typed{"minutes_out_of_range", "00:61:00", State::Intermediate, nullptr},
                    Typed{"seconds_alone_out_of_range", "75", State::Intermediate, nullptr},
                    Typed{"what_a_mask_left", "::", State::Intermediate, nullptr},
                    Typed{"letter", "00:0a:00", State::Invalid, nullptr},
                    Typed{"three_digits", "000:00:00", State::Invalid, nullptr},
                    Typed{"four_fields", "00:00:00:00", State::Invalid, nullptr},
                    Typed{"blank", "00 :00", State::Invalid, nullptr}),
    [](const testing::TestParamInfo<Typed>& test) { return std::string(test.param.name); });

TEST(TypedTimeRefusal, NamesTheTextAndTheForm) {
  const std::string reason = typed_time::Refusal("00:00:75");
  EXPECT_NE(reason.find("\"00:00:75\""), std::string::npos) << reason;
  EXPECT_NE(reason.find("hh:mm:ss"), std::string::npos) << reason;
}

}  // namespace

// The field exchange of the parameter dialogs without widgets: how texts
// become members (scan rules, wrap, limits, bounds, messages), how members
// become texts, and how a pass stops at its first failure. Also the text of
// the setpoints dialog's current-output tip.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <string>

#include "dialogs/field_exchange.h"
#include "dialogs/setpoint_tip.h"

namespace {

using dialogs::Direction;
using dialogs::FieldExchange;

// Controls as a dialog would hold them: texts and selected rows by id.
class Controls : public dialogs::FieldAccess {
 public:
  std::map<int, std::string> texts;
  std::map<int, int> rows;

  std::string text(int id) const override {
    const auto it = texts.find(id);
    return it == texts.end() ? std::string() : it->second;
  }
  void setText(int id, const std::string &t) override { texts[id] = t; }
  int selectedRow(int id) const override {
    const auto it = rows.find(id);
    return it == rows.end() ? -1 : it->second;
  }
  void selectRow(int id, int row) override { rows[id] = row; }
};

constexpr int kId = 1000;
constexpr float kNone = std::numeric_limits<float>::quiet_NaN();  // unbounded

enum class Field { Address, Number, Float, List };

struct ReadCase {
  const char *what;
  Field field;
  std::string text;     // the control's text (a list: its row as a number)
  float lo, hi;         // bounds of a float or list; NaN: none
  const char *message;  // expected failure, "" for success
  double value;         // the member afterwards (before: 5)
};

std::string spaces(int n) {
  return std::string(static_cast<std::size_t>(n), ' ');
}

const ReadCase kReadCases[] = {
    // The address: "%u", at most 255, then 0-247.
    {"address 248", Field::Address, "248", 0, 247, "Enter an integer between 0 and 247.", 248},
    {"address 300", Field::Address, "300", 0, 247, "Enter an integer between 0 and 255.", 5},
    {"address abc", Field::Address, "abc", 0, 247, "Enter an integer between 0 and 255.", 5},
    {"address empty", Field::Address, "", 0, 247, "Enter an integer between 0 and 255.", 5},
    {"address 12abc", Field::Address, "12abc", 0, 247, "", 12},
    {"address blank 7", Field::Address, " 7", 0, 247, "", 7},
    {"address tab and plus", Field::Address, "\t+247", 0, 247, "", 247},
    {"address 0", Field::Address, "0", 0, 247, "", 0},
    {"address -1 wraps", Field::Address, "-1", 0, 247, "Enter an integer between 0 and 255.", 5},
    {"address 2^32+7 wraps", Field::Address, "4294967303", 0, 247, "", 7},
    {"address within 63", Field::Address, spaces(62) + "7", 0, 247, "", 7},
    {"address beyond 63", Field::Address, spaces(63) + "7", 0, 247,
     "Enter an integer between 0 and 255.", 5},
    // The sensor number: "%lu", a minus sign wraps.
    {"number abc", Field::Number, "abc", kNone, kNone, "Enter a positive integer.", 5},
    {"number 0", Field::Number, "0", kNone, kNone, "", 0},
    {"number largest", Field::Number, "4294967295", kNone, kNone, "", 4294967295.0},
    {"number -1", Field::Number, "-1", kNone, kNone, "", 4294967295.0},
    {"number 12abc", Field::Number, " 12abc", kNone, kNone, "", 12},
    {"number sign only", Field::Number, "-", kNone, kNone, "Enter a positive integer.", 5},
    // Floats: "%lf", stored as float, bounds compared as floats.
    {"614.4 within 614.4", Field::Float, "614.4", 0, 614.4f, "", 614.4f},
    {"614.5 above 614.4", Field::Float, "614.5", 0, 614.4f, "Enter a number between 0 and 614.4.",
     614.5f},
    {"limit 1001", Field::Float, "1001", 0, 1000, "Enter a number between 0 and 1000.", 1001},
    {"alarm samples 0", Field::Float, "0", 1, 100, "Enter a number between 1 and 100.", 0},
    {"averaging 33", Field::Float, "33", 1, 32, "Enter a number between 1 and 32.", 33},
    {"spectrum bound", Field::Float, "1000001", 0, 1000000, "Enter a number between 0 and 1e+06.",
     1000001},
    {"abc", Field::Float, "abc", 0, 1000, "Enter a number.", 5},
    {"empty", Field::Float, "", kNone, kNone, "Enter a number.", 5},
    {"point only", Field::Float, ".", kNone, kNone, "Enter a number.", 5},
    {"trailing text ignored", Field::Float, " 2.5xyz", kNone, kNone, "", 2.5f},
    {"decimal comma ends the number", Field::Float, "0,5", kNone, kNone, "", 0},
    {"leading point", Field::Float, "-.5", kNone, kNone, "", -0.5f},
    {"exponent", Field::Float, "+1.5e3", kNone, kNone, "", 1500},
    {"exponent without digits", Field::Float, "1e", kNone, kNone, "", 1},
    {"unbounded takes anything", Field::Float, "-1e30", kNone, kNone, "", -1e30f},
    {"no nan", Field::Float, "nan", kNone, kNone, "Enter a number.", 5},
    {"no infinity", Field::Float, "inf", kNone, kNone, "Enter a number.", 5},
    {"no hexadecimal", Field::Float, "0x10", kNone, kNone, "", 0},
    {"beyond float", Field::Float, "1e39", kNone, kNone, "Enter a number.", 5},
    {"beyond double", Field::Float, "-1.5e99999", kNone, kNone, "Enter a number.", 5},
    {"below double", Field::Float, "1e-99999", kNone, kNone, "", 0},
    {"float within 399", Field::Float, spaces(398) + "7", kNone, kNone, "", 7},
    {"float beyond 399", Field::Float, spaces(399) + "7", kNone, kNone, "Enter a number.", 5},
    // Lists: the selected row, -1 for none.
    {"list row", Field::List, "1", 0, 2, "", 1},
    {"list without selection", Field::List, "-1", 0, 2, "Enter an integer between 0 and 2.", -1},
    {"unchecked list without selection", Field::List, "-1", kNone, kNone, "", -1},
};

TEST(FieldExchange, ReadsOneFieldByItsRules) {
  for (const ReadCase &c : kReadCases) {
    SCOPED_TRACE(c.what);
    Controls controls;
    FieldExchange fx(controls, Direction::FromControls);
    const bool bounded = !std::isnan(c.lo);
    double value = 0;
    switch (c.field) {
      case Field::Address: {
        uint8_t v = 5;
        controls.texts[kId] = c.text;
        fx.field(kId, v, static_cast<uint8_t>(c.lo), static_cast<uint8_t>(c.hi));
        value = v;
        break;
      }
      case Field::Number: {
        uint32_t v = 5;
        controls.texts[kId] = c.text;
        fx.field(kId, v);
        value = v;
        break;
      }
      case Field::Float: {
        float v = 5;
        controls.texts[kId] = c.text;
        bounded ? fx.field(kId, v, c.lo, c.hi) : fx.field(kId, v);
        value = v;
        break;
      }
      case Field::List: {
        int v = 5;
        controls.rows[kId] = std::stoi(c.text);
        bounded ? fx.list(kId, v, static_cast<int>(c.lo), static_cast<int>(c.hi)) : fx.list(kId, v);
        value = v;
        break;
      }
    }
    EXPECT_EQ(value, c.value);
    const std::string expected = c.message;
    if (expected.empty()) {
      EXPECT_TRUE(fx.ok()) << fx.failure()->message;
    } else {
      ASSERT_FALSE(fx.ok());
      EXPECT_EQ(fx.failure()->id, kId);
      EXPECT_EQ(fx.failure()->message, expected);
    }
  }
}

TEST(FieldExchange, WritesMembersWithoutChecks) {
  Controls controls;
  FieldExchange fx(controls, Direction::ToControls);
  struct FloatCase {
    float value;
    const char *text;
  } floats[] = {{0.6f, "0.6"},
                {614.4f, "614.4"},
                {0.0f, "0"},
                {-0.001f, "-0.001"},
                {1e-5f, "1e-05"},
                {100000.0f, "100000"},
                {1234567.0f, "1.23457e+06"},
                {1001.0f, "1001"}};  // out of bounds: shown as it is
  int id = 1;
  for (FloatCase &f : floats) {
    fx.field(id, f.value, 0.0f, 1000.0f);
    EXPECT_EQ(controls.texts[id], f.text) << f.value;
    ++id;
  }
  uint8_t address = 250;  // above 247: shown unchanged
  uint32_t number = 4294967295u;
  int row = -1;
  fx.field(100, address, 0, 247);
  fx.field(101, number);
  fx.list(102, row, 0, 2);
  EXPECT_TRUE(fx.ok());
  EXPECT_EQ(controls.texts[100], "250");
  EXPECT_EQ(controls.texts[101], "4294967295");
  EXPECT_EQ(controls.rows[102], -1);
}

TEST(FieldExchange, FirstFailureStopsThePassAndEarlierMembersKeepTheirValues) {
  Controls controls;
  controls.texts = {{1, "2.5"}, {2, "abc"}, {3, "7"}, {4, "9"}};
  float first = 0, second = 1, third = 2, fourth = 3;
  FieldExchange fx(controls, Direction::FromControls);
  fx.field(1, first);
  fx.field(2, second);
  fx.field(3, third);
  fx.field(4, fourth, 0.0f, 5.0f);
  ASSERT_FALSE(fx.ok());
  EXPECT_EQ(fx.failure()->id, 2);
  EXPECT_EQ(fx.failure()->message, "Enter a number.");
  EXPECT_EQ(first, 2.5f) << "read before the failure";
  EXPECT_EQ(second, 1.0f) << "not a number: unchanged";
  EXPECT_EQ(third, 2.0f) << "after the failure: not read";
  EXPECT_EQ(fourth, 3.0f);

  // A range failure keeps the value read and still stops the pass.
  controls.texts = {{1, "6"}, {2, "8"}};
  FieldExchange range(controls, Direction::FromControls);
  range.field(1, first, 0.0f, 5.0f);
  range.field(2, second);
  EXPECT_EQ(range.failure()->id, 1);
  EXPECT_EQ(first, 6.0f);
  EXPECT_EQ(second, 1.0f);
}

TEST(FieldExchange, MessagesAreFilledWithTheirBounds) {
  EXPECT_EQ(dialogs::fillMessage(dialogs::kMsgIntegerRange, "0", "247"),
            "Enter an integer between 0 and 247.");
  EXPECT_EQ(dialogs::fillMessage("%2-%1%", "a", "b"), "b-a%");
}

TEST(SetpointTip, PairsValuesWithCurrents) {
  struct Case {
    const char *what;
    int kind;
    int mode;
    float v;
    const char *tip;
  } cases[] = {
      {"kind 1, 4-20 mA, v = 2", 1, 0, 2.0f,
       "0.00 мм соответствует 4.00 мА\r\n"
       "0.50 мм соответствует 8.00 мА\r\n"
       "1.00 мм соответствует 12.00 мА\r\n"
       "1.50 мм соответствует 16.00 мА\r\n"
       "2.00 мм соответствует 20.00 мА"},
      {"kind 2, 0-24 mA, v = 1000", 2, 2, 1000.0f,
       "0.00 мм/с соответствует 0.00 мА\r\n"
       "250.00 мм/с соответствует 6.00 мА\r\n"
       "500.00 мм/с соответствует 12.00 мА\r\n"
       "750.00 мм/с соответствует 18.00 мА\r\n"
       "1000.00 мм/с соответствует 24.00 мА"},
      {"kind 3, 0-20 mA, v = 1", 3, 1, 1.0f,
       "0.00 мм/с соответствует 0.00 мА\r\n"
       "0.25 мм/с соответствует 5.00 мА\r\n"
       "0.50 мм/с соответствует 10.00 мА\r\n"
       "0.75 мм/с соответствует 15.00 мА\r\n"
       "1.00 мм/с соответствует 20.00 мА"},
      {"unknown mode is 4-20 mA", 1, 3, 4.0f,
       "0.00 мм соответствует 4.00 мА\r\n"
       "1.00 мм соответствует 8.00 мА\r\n"
       "2.00 мм соответствует 12.00 мА\r\n"
       "3.00 мм соответствует 16.00 мА\r\n"
       "4.00 мм соответствует 20.00 мА"},
      {"no sensor: no tip", 0, 0, 2.0f, ""},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(dialogs::setpointTip(c.kind, dialogs::currentRange(c.mode), c.v), c.tip) << c.what;
  }
}

TEST(SetpointTip, ModeRowsFromTheSensorsFloats) {
  EXPECT_EQ(dialogs::dacModeRow(2.0f), 2);
  EXPECT_EQ(dialogs::dacModeRow(1.9f), 1) << "truncated";
  EXPECT_EQ(dialogs::dacModeRow(3.0f), 3) << "a row the lists do not have";
  EXPECT_EQ(dialogs::dacModeRow(-0.5f), 0);
  EXPECT_EQ(dialogs::dacModeRow(std::numeric_limits<float>::quiet_NaN()), -1);
  EXPECT_EQ(dialogs::dacModeRow(1e10f), -1);
}

}  // namespace

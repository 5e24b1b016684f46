// The prompts interface: a test double answers and records; the filter conversion.
#include <gtest/gtest.h>

#include "tests/support/qt_app.h"
#include "tests/support/scripted_prompts.h"
#include "ui/prompts.h"

namespace {

TEST(Prompts, AnInstalledDoubleAnswersAndRecords) {
  testsupport::qtApp();
  testsupport::ScriptedPrompts fake;
  fake.messageAnswers = {ui::kIdNo};
  fake.fileAnswers = {QStringLiteral("/tmp/a.cf"), QString()};
  {
    testsupport::PromptsScope scope(fake);
    EXPECT_EQ(ui::prompts().message(nullptr, "Удалить?", "", ui::MessageIcon::Question,
                                    ui::MessageButtons::YesNo),
              ui::kIdNo);
    EXPECT_EQ(ui::messageBox(nullptr, "Enter a number."), ui::kIdOk);  // no answer left: OK
    ui::FileDialogOptions o;
    o.defaultExtension = "cf";
    o.initialPath = "/data/1234/09122026_1405.cf";
    EXPECT_EQ(ui::prompts().saveFile(nullptr, o), QStringLiteral("/tmp/a.cf"));
    EXPECT_EQ(ui::prompts().openFile(nullptr, o), std::nullopt);
  }
  ASSERT_EQ(fake.messages.size(), 2u);
  EXPECT_EQ(fake.messages[0].buttons, ui::MessageButtons::YesNo);
  EXPECT_EQ(fake.messages[1].text, "Enter a number.");
  EXPECT_EQ(fake.messages[1].icon, ui::MessageIcon::Warning);
  EXPECT_EQ(fake.messages[1].buttons, ui::MessageButtons::Ok);
  ASSERT_EQ(fake.files.size(), 2u);
  EXPECT_TRUE(fake.files[0].save);
  EXPECT_FALSE(fake.files[1].save);
  EXPECT_EQ(fake.files[0].options.initialPath, "/data/1234/09122026_1405.cf");
  EXPECT_NE(&ui::prompts(), &fake) << "the scope restores the real prompts";
}

TEST(Prompts, FiltersBecomeQtFilters) {
  struct Case {
    QString in;
    QString out;
  } cases[] = {
      {QStringLiteral("файлы коэффициентов (*.cf)|*.cf|все файлы (*.*)|*.*||"),
       QStringLiteral("файлы коэффициентов (*.cf);;все файлы (*)")},
      {QStringLiteral("Images|*.png;*.bmp||"), QStringLiteral("Images (*.png *.bmp)")},
      {QStringLiteral(""), QStringLiteral("")},
      {QStringLiteral("Tables|*.bin"),
       QStringLiteral("Tables (*.bin)")},  // without the closing bars
  };
  for (const Case &c : cases)
    EXPECT_EQ(ui::toQtFilter(c.in), c.out) << c.in.toStdString();
}

}  // namespace

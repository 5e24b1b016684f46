// Realisation of a template: dialog units, ids, initial states, mnemonics.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDial>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "sample_dialog.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/qt_app.h"
#include "ui/controls.h"
#include "ui/custom_widget.h"
#include "ui/spin_button.h"

namespace {

using uitest::kSample;
using uitest::RecordingDialog;

class DialogGeometry : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    testsupport::qtApp();
    ui::registerWidget("TestWidget",
                       [](QWidget *parent) -> QWidget * { return new QDial(parent); });
  }
};

TEST(DialogUnits, ScalesLikeThePlatform) {
  // Base units 6 x 13 (an 8-point sans serif): x * 6 / 4 and y * 13 / 8, rounded.
  const ui::DialogUnits u(6, 13);
  struct Case {
    ui::Rect in;
    QRect out;
  } cases[] = {
      {{0, 0, 4, 8}, {0, 0, 6, 13}},
      {{7, 7, 103, 139},
       {11, 11, 155, 226}},              // 10.5 -> 11, 154.5 -> 155, 11.375 -> 11, 225.875 -> 226
      {{1, 1, 1, 1}, {2, 2, 2, 2}},      // 1.5 -> 2, 1.625 -> 2
      {{-2, -4, 0, 0}, {-3, -7, 0, 0}},  // negative coordinates round away from zero
  };
  for (const Case &c : cases) {
    EXPECT_EQ(u.toPixels(c.in), c.out) << c.in.x << "," << c.in.y << "," << c.in.w << "," << c.in.h;
  }
  EXPECT_EQ(u.toPixels(ui::Size{408, 264}), QSize(612, 429));
}

TEST_F(DialogGeometry, BaseUnitsComeFromTheFontThatIsActuallyUsed) {
  for (const auto &[face, points] :
       {std::pair{"MS Sans Serif", 8}, {"Arial", 12}, {"Arial Cyr", 18}}) {
    QFont font(QString::fromLatin1(face));
    font.setPointSize(points);
    const QFontMetrics fm(font);
    const ui::DialogUnits u(font);
    const int alphabet = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ(u.baseX(), (alphabet / 26 + 1) / 2) << face;
    EXPECT_EQ(u.baseY(), fm.height()) << face;
    // The average character is the advance of a typical letter, give or take one pixel.
    EXPECT_NEAR(u.baseX(), alphabet / 52.0, 1.0) << face;
  }
}

TEST_F(DialogGeometry, EveryControlSitsAtItsRectangle) {
  RecordingDialog d(kSample);
  const ui::DialogUnits &u = d.units();
  EXPECT_EQ(d.size(), u.toPixels(kSample.size));
  EXPECT_EQ(d.objectName(), "500");
  EXPECT_EQ(d.windowTitle(), QStringLiteral("Пример"));
  for (const ui::ControlTemplate &c : kSample.controls) {
    if (c.id == ui::kNoId || c.kind == ui::Kind::SpinButton || c.id == 101) continue;
    QWidget *w = d.item(c.id);
    ASSERT_NE(w, nullptr) << c.id;
    const QRect want = u.toPixels(c.rect);
    if (c.kind == ui::Kind::ComboList || c.kind == ui::Kind::ComboEdit) {
      // The template height includes the dropped list; the closed box keeps its own height.
      EXPECT_EQ(w->geometry().topLeft(), want.topLeft()) << c.id;
      EXPECT_EQ(w->width(), want.width()) << c.id;
      EXPECT_LE(w->height(), want.height()) << c.id;
    } else {
      EXPECT_EQ(w->geometry(), want) << c.id;
    }
  }
  // The spin button takes the right end of its buddy, which keeps its left edge.
  const QRect edit = u.toPixels(uitest::kSampleControls[2].rect);
  QWidget *buddy = d.item(101);
  QWidget *spin = d.item(102);
  EXPECT_EQ(buddy->geometry().left(), edit.left());
  EXPECT_EQ(spin->geometry().right(), edit.right());
  EXPECT_EQ(buddy->geometry().right() + 1, spin->geometry().left());
}

TEST_F(DialogGeometry, ControlsAreFoundByIdAndKind) {
  RecordingDialog d(kSample);
  EXPECT_NE(d.control<QPushButton>(113), nullptr);
  EXPECT_EQ(d.control<QLineEdit>(113), nullptr);  // wrong kind
  EXPECT_EQ(d.item(999), nullptr);
  EXPECT_NE(d.control<QLabel>(103), nullptr);
  EXPECT_NE(d.control<QCheckBox>(104), nullptr);
  EXPECT_NE(d.control<QComboBox>(107), nullptr);
  EXPECT_NE(d.control<QProgressBar>(110), nullptr);
  EXPECT_NE(d.control<ui::SpinButton>(102), nullptr);
  EXPECT_NE(d.control<QDial>(112), nullptr);  // registered custom class
  for (const ui::ControlTemplate &c : kSample.controls) {
    if (c.id == ui::kNoId) continue;
    EXPECT_EQ(d.findChild<QWidget *>(QString::number(c.id)), d.item(c.id)) << c.id;
  }
  EXPECT_EQ(d.control<ui::SpinButton>(102)->buddy(), d.item(101));
}

TEST_F(DialogGeometry, InitialStatesAndTexts) {
  RecordingDialog d(kSample);
  d.show();
  EXPECT_FALSE(d.isItemShown(114));
  EXPECT_FALSE(d.isItemEnabled(114));
  EXPECT_TRUE(d.isItemShown(113));
  EXPECT_TRUE(d.isItemEnabled(113));
  EXPECT_EQ(d.itemText(101), "7");
  EXPECT_EQ(d.itemText(103), "value");
  EXPECT_EQ(d.control<QLabel>(103)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
  EXPECT_EQ(d.control<QLabel>(103)->frameShadow(), QFrame::Sunken);
  EXPECT_TRUE(d.control<QPushButton>(1)->isDefault());
  EXPECT_EQ(d.defaultId(), 1);
  EXPECT_EQ(d.inits, 1);
  d.hide();
  d.show();
  EXPECT_EQ(d.inits, 1) << "onInit runs once";

  d.showItem(114, true);
  d.enableItem(114, true);
  EXPECT_TRUE(d.isItemShown(114));
  EXPECT_TRUE(d.isItemEnabled(114));
  d.setItemText(103, "12.50");
  EXPECT_EQ(d.itemText(103), "12.50");
  d.setItemText(ui::kNoId, "ignored");  // unknown ids are ignored
  d.setItemChecked(104, true);
  EXPECT_TRUE(d.isItemChecked(104));
  EXPECT_FALSE(d.isItemChecked(999));
}

TEST_F(DialogGeometry, LabelMnemonicFocusesTheNextControl) {
  RecordingDialog d(kSample);
  auto *label = d.control<QLabel>(100);
  EXPECT_EQ(label->buddy(), d.item(101));
  EXPECT_EQ(d.control<QPushButton>(113)->shortcut(),
            QKeySequence(QKeySequence::mnemonic(QStringLiteral("&Сброс"))));
  EXPECT_TRUE(ui::hasMnemonic("&Порт"));
  EXPECT_FALSE(ui::hasMnemonic("A && B"));
  EXPECT_TRUE(ui::hasMnemonic("A && &B"));
  EXPECT_FALSE(ui::hasMnemonic("end&"));
}

TEST_F(DialogGeometry, ValueControlsAreNamedAfterTheirLabels) {
  RecordingDialog d(kSample);
  for (int id : {101, 103, 107, 108, 109, 110, 112}) {
    EXPECT_EQ(d.item(id)->accessibleName(), "Порт") << id;
  }
  for (int id : {102, 104, 113, 1}) {
    EXPECT_TRUE(d.item(id)->accessibleName().isEmpty()) << id << " speaks for itself";
  }
  EXPECT_TRUE(testsupport::unnamedControls(d).empty());

  // A label that code rewrites renames its controls; a group box title
  // names what follows it when no static text comes in between.
  constexpr ui::ControlTemplate controls[] = {
      {ui::Kind::GroupBox, ui::kNoId, "Последняя ошибка", {5, 5, 100, 30}},
      {ui::Kind::Static, 10, "", {10, 15, 80, 10}, ui::Sunken},
      {ui::Kind::Static, 11, "", {10, 40, 20, 10}},
      {ui::Kind::Edit, 12, "", {35, 40, 40, 12}},
  };
  const ui::DialogTemplate t{1, "", {120, 60}, {"Arial", 10}, ui::NoDialogStyle, controls};
  ui::Dialog named(t);
  EXPECT_EQ(named.item(10)->accessibleName(), "Последняя ошибка");
  EXPECT_EQ(testsupport::unnamedControls(named), std::vector<int>{12});
  named.setItemText(11, "S && W, &мм:");
  EXPECT_EQ(named.item(12)->accessibleName(), "S & W, мм");
  EXPECT_TRUE(testsupport::unnamedControls(named).empty());
}

TEST_F(DialogGeometry, TextsFitWhateverFontIsSubstituted) {
  // Labels of a template written for one font must fit with the font the
  // system really uses, because units follow the font's average width.
  constexpr ui::ControlTemplate controls[] = {
      {ui::Kind::Static, 1, "Modbus - адрес:", {12, 50, 56, 8}},
      {ui::Kind::PushButton, 2, "Прочитать...", {231, 127, 50, 14}},
      {ui::Kind::Static, 3, "Успехов:", {14, 100, 40, 8}},
  };
  for (const char *face : {"MS Sans Serif", "Arial", "DejaVu Sans"}) {
    const ui::DialogTemplate t{1, "", {300, 150}, {face, 10}, ui::NoDialogStyle, controls};
    ui::Dialog d(t);
    for (const ui::ControlTemplate &c : controls) {
      QWidget *w = d.item(c.id);
      const int textWidth = w->fontMetrics().horizontalAdvance(d.itemText(c.id));
      EXPECT_LE(textWidth, w->width()) << face << " " << c.text.data();
    }
  }
}

}  // namespace

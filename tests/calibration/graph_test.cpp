// CGraph painted into an image: the field, the grid, the curves, the points
// and the axis values, checked pixel by pixel in device pixels.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <QPixmap>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>

#include "calibration/graph.h"
#include "device/qvz2.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/qt_app.h"
#include "ui/dialog.h"

namespace calibration {
namespace {

constexpr int kGraph = 1052;
constexpr ui::ControlTemplate kControls[] = {
    {ui::Kind::GroupBox, ui::kNoId, "Интерполяция S(Us)", {6, 4, 292, 196}},
    {ui::Kind::Custom, kGraph, "", {14, 16, 276, 172}, ui::NoStyle, "CGraph"},
    {ui::Kind::DefPushButton, 1, "OK", {248, 206, 50, 14}},
};
constexpr ui::DialogTemplate kDialog{901,           "График",    {304, 226},
                                     {"Arial", 12}, ui::SysMenu, kControls};

const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);

// The painted field: pixel (x, y) of a field of w x h device pixels.
struct Field {
  QImage image;
  QPoint origin;  // of the field in the image
  int w = 0;
  int h = 0;

  QColor at(int x, int y) const { return image.pixelColor(origin + QPoint(x, y)); }
  bool any(const QColor &c, int x0, int y0, int x1, int y1) const {
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x)
        if (at(x, y) == c) return true;
    return false;
  }
  int count(const QColor &c) const {
    int n = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        n += at(x, y) == c;
    return n;
  }
};

class GraphTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    testsupport::qtApp();
    registerGraph();
  }

  void SetUp() override {
    device::resetCalibration(cal_);
    dialog_ = std::make_unique<ui::Dialog>(kDialog);
    graph_ = dialog_->control<CGraph>(kGraph);
    ASSERT_NE(graph_, nullptr);
    graph_->setup(gapGraph(cal_, record_));
  }

  // A table constant at v over lo..hi.
  static void flat(std::array<float, device::kTableSize> &t, float &min, float &max, float v,
                   float lo, float hi) {
    t.fill(v);
    min = lo;
    max = hi;
  }

  Field paint() const {
    Field f;
    f.image = graph_->grab().toImage();
    const qreal dpr = f.image.devicePixelRatio();
    const QRect plot = graph_->plotRect();
    f.origin = QPoint(qRound(plot.x() * dpr), qRound(plot.y() * dpr));
    f.w = qRound(plot.width() * dpr);
    f.h = qRound(plot.height() * dpr);
    return f;
  }

  // Device pixel of a value, as the graph places a curve's samples.
  static int rowOf(const Field &f, float v, float yMin, float yMax) {
    return f.h - static_cast<int>((v - yMin) * static_cast<double>(f.h / (yMax - yMin)) + 0.5);
  }

  device::CalibrationData cal_{};
  device::MeasurementRecord record_;
  std::unique_ptr<ui::Dialog> dialog_;
  CGraph *graph_ = nullptr;
};

TEST_F(GraphTest, TemplatesNameIt) {
  EXPECT_EQ(graph_->accessibleName(), "Интерполяция S(Us)");
  EXPECT_TRUE(testsupport::unnamedControls(*dialog_).empty());
}

TEST_F(GraphTest, BlackFieldWithAFiveBySixGrid) {
  const Field f = paint();
  ASSERT_GT(f.w, 100);
  ASSERT_GT(f.h, 100);
  const int sx = f.w / 5;
  const int sy = f.h / 6;
  // The middle of every cell is black (the stored table is zero: at the bottom).
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 5; ++j)
      EXPECT_EQ(f.at(i * sx + sx / 2, j * sy + sy / 2), kBlack) << i << "," << j;

  // Lines inside dotted, their ends thick and solid, nothing beside them.
  const auto dotted = [](int white, int length) {
    return white > length / 5 && white < length * 4 / 5;
  };
  for (int i = 1; i <= 4; ++i) {
    const int x = i * sx;
    int white = 0, beside = 0, length = 0;
    for (int y = 8; y < f.h - 8; ++y) {
      if (std::abs(y % sy) <= 2 || std::abs(y % sy - sy) <= 2) continue;  // grid rows
      ++length;
      white += f.at(x, y) == kWhite;
      beside += f.at(x + 3, y) != kBlack;
    }
    EXPECT_TRUE(dotted(white, length)) << "column " << x << ": " << white << " of " << length;
    EXPECT_EQ(beside, 0) << "column " << x;
    for (int dx = -1; dx <= 1; ++dx) {
      for (int y : {1, 3, f.h - 4, f.h - 2})
        EXPECT_EQ(f.at(x + dx, y), kWhite) << x + dx << "," << y;
    }
  }
  for (int j = 1; j <= 5; ++j) {
    const int y = j * sy;
    int white = 0, length = 0;
    for (int x = 8; x < f.w - 8; ++x) {
      if (x % sx <= 2 || sx - x % sx <= 2) continue;  // grid columns
      ++length;
      white += f.at(x, y) == kWhite;
    }
    EXPECT_TRUE(dotted(white, length)) << "row " << y << ": " << white << " of " << length;
    for (int dy = -1; dy <= 1; ++dy) {
      for (int x : {1, 3, f.w - 4, f.w - 2})
        EXPECT_EQ(f.at(x, y + dy), kWhite) << x << "," << y + dy;
    }
  }
}

TEST_F(GraphTest, ComputedCurveRedStoredGreenPointsOverBoth) {
  device::TableImage &t = record_.tables;
  flat(cal_.gapComputed, cal_.gapComputedMinUs, cal_.gapComputedMaxUs, 3.0f, 0.5f, 2.0f);
  flat(t.gapTable, t.tableTail.gapTableMinUs, t.tableTail.gapTableMaxUs, 1.5f, 0.0f, 2.5f);
  cal_.gapPoints[2] = {0.9f, 2.2, 0.9};   // valid
  cal_.gapPoints[3] = {-1.0f, 1.2, 5.5};  // reference negative: not drawn
  cal_.gapPoints[4] = {2.0f, -1.0, 2.0};  // not taken: not drawn
  const Field f = paint();

  // Red from 0.5 V to 2.0 V (a fifth to four fifths of the width) at 3 mm.
  const int red = rowOf(f, 3.0f, 0.0f, 6.0f);
  for (int x = f.w / 5 + 2; x < f.w * 4 / 5 - 3; x += 7)
    EXPECT_TRUE(f.any(kRed, x, red - 1, x, red + 1)) << "x " << x;
  EXPECT_FALSE(f.any(kRed, 0, red - 2, f.w / 5 - 3, red + 2));
  EXPECT_FALSE(f.any(kRed, f.w * 4 / 5 + 3, red - 2, f.w - 1, red + 2));
  // Green across the whole width at 1.5 mm.
  const int green = rowOf(f, 1.5f, 0.0f, 6.0f);
  for (int x = 1; x < f.w - 3; x += 7)
    EXPECT_TRUE(f.any(kGreen, x, green - 1, x, green + 1)) << "x " << x;

  // The point: white inside, red rim, at 2.2 V and 0.9 mm.
  const int ex = static_cast<int>(f.w * 2.2 / 2.5 + 0.5);
  const int ey = f.h - static_cast<int>(f.h * 0.9 / 6.0 + 0.5);
  EXPECT_EQ(f.at(ex, ey), kWhite);
  EXPECT_TRUE(f.any(kRed, ex - 5, ey - 5, ex + 5, ey - 3));  // top of the rim
  EXPECT_TRUE(f.any(kRed, ex - 5, ey + 3, ex + 5, ey + 5));  // bottom
  EXPECT_FALSE(f.any(kRed, ex - 2, ey - 2, ex + 2, ey + 2));
  EXPECT_FALSE(f.any(kRed, ex - 12, ey - 12, ex - 7, ey + 12));  // nothing beyond it
  // The points that do not count leave the field black.
  const int ix = static_cast<int>(f.w * 1.2 / 2.5 + 0.5);
  const int iy = f.h - static_cast<int>(f.h * 5.5 / 6.0 + 0.5);
  EXPECT_FALSE(f.any(kWhite, ix - 3, iy - 3, ix + 3, iy + 3));
  EXPECT_FALSE(f.any(kRed, ix - 5, iy - 5, ix + 5, iy + 5));
}

TEST_F(GraphTest, GreenCoversRedAndTheMarkerHidesRed) {
  device::TableImage &t = record_.tables;
  flat(cal_.gapComputed, cal_.gapComputedMinUs, cal_.gapComputedMaxUs, 3.0f, 0.5f, 2.0f);
  flat(t.gapTable, t.tableTail.gapTableMinUs, t.tableTail.gapTableMaxUs, 3.0f, 0.5f, 2.0f);
  Field f = paint();
  const int row = rowOf(f, 3.0f, 0.0f, 6.0f);
  EXPECT_EQ(f.count(kRed), 0);
  EXPECT_TRUE(f.any(kGreen, f.w / 2, row - 1, f.w / 2, row + 1));

  // Read at each repaint: a changed table shows without a new setup.
  t.gapTable.fill(1.0f);
  f = paint();
  EXPECT_TRUE(f.any(kRed, f.w / 2, row - 1, f.w / 2, row + 1));
  cal_.gapComputed[0] = device::kNoCurveMarker;
  f = paint();
  EXPECT_EQ(f.count(kRed), 0);
  EXPECT_GT(f.count(kGreen), f.w);
}

TEST_F(GraphTest, WildSamplesAreDrawnWithoutHarm) {
  device::TableImage &t = record_.tables;
  flat(t.gapTable, t.tableTail.gapTableMinUs, t.tableTail.gapTableMaxUs, 2.0f, 0.0f, 2.5f);
  t.gapTable[100] = std::numeric_limits<float>::quiet_NaN();
  t.gapTable[200] = 3e38f;
  t.gapTable[300] = -std::numeric_limits<float>::infinity();
  t.tableTail.gapTableMaxUs = 1e30f;  // a range far off the field
  cal_.gapComputed.fill(1.0f);
  cal_.gapComputedMinUs = 0.0f;
  cal_.gapComputedMaxUs = 2.5f;
  const Field f = paint();
  const int row = rowOf(f, 1.0f, 0.0f, 6.0f);
  EXPECT_TRUE(f.any(kRed, f.w / 2, row - 1, f.w / 2, row + 1));
}

TEST_F(GraphTest, AxisValuesOfTheChannelGraphs) {
  std::vector<QString> sx, sy, wx, wy;
  for (const AxisLabel &l : axisLabels(gapGraph(cal_, record_), 500, 300))
    (l.abscissa ? sx : sy).push_back(l.text);
  for (const AxisLabel &l : axisLabels(kwGraph(cal_, record_), 500, 300))
    (l.abscissa ? wx : wy).push_back(l.text);
  EXPECT_EQ(sx, (std::vector<QString>{"0", "0.5", "1", "1.5", "2", "2.5"}));
  EXPECT_EQ(sy, (std::vector<QString>{"0", "1", "2", "3", "4", "5"}));
  EXPECT_EQ(wx, (std::vector<QString>{"0.5", "0.8", "1.1", "1.4", "1.7", "2"}));
  EXPECT_EQ(wy, (std::vector<QString>{"0.1", "0.93", "1.8", "2.6", "3.4", "4.3"}));
}

TEST_F(GraphTest, AxisValuesAreWrittenBesideTheField) {
  const Field f = paint();
  const QColor background = f.image.pixelColor(0, 0);
  const auto inked = [&](QRect r) {
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x)
        if (f.image.pixelColor(x, y) != background) return true;
    return false;
  };
  const qreal dpr = f.image.devicePixelRatio();
  const int line = qRound(graph_->fontMetrics().height() * dpr);
  for (const AxisLabel &l : axisLabels(graph_->setup(), f.w, f.h)) {
    const QPoint at = f.origin + l.anchor;
    // Below the field, centred on the anchor; left of it, ending at the anchor.
    const QRect where = l.abscissa ? QRect(at.x() - line / 2, at.y(), line, line)
                                   : QRect(at.x() - line, at.y() - line / 2, line, line / 2);
    EXPECT_TRUE(inked(where)) << l.text.toStdString();
  }
  // Below the field between the values, nothing.
  EXPECT_FALSE(inked(QRect(f.origin.x() + f.w / 10 + line, f.origin.y() + f.h + 1, 2, line)));
}

// A calibration in progress, for a person to look at: five S points fitted
// through the device's own operations against a stored table of another shape.
TEST_F(GraphTest, Screenshot) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("graph_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "sentune.ini") << "[SETTINGS]\n";
  {
    device::TQVZ2 dev((dir / "sentune.ini").string());
    const double volts[] = {0.21, 0.48, 0.82, 1.26, 1.64, 1.93};
    for (int i = 0; i < 6; ++i)
      ASSERT_TRUE(dev.setCalPoint(i + 1, volts[i], false, 1.0));
    cal_ = dev.calibration();
  }
  std::filesystem::remove_all(dir);
  device::TableImage &t = record_.tables;
  t.tableTail.gapTableMinUs = 0.1f;
  t.tableTail.gapTableMaxUs = 2.3f;
  for (int i = 0; i < device::kTableSize; ++i) {
    const double u = 0.1 + 2.2 * i / 749.0;
    t.gapTable[i] = static_cast<float>(3.2 * u - 0.35 * u * u);
  }
  graph_->setup(gapGraph(cal_, record_));
  dialog_->showModeless();
  const Field f = paint();
  EXPECT_GT(f.count(kRed), 100);
  EXPECT_GT(f.count(kGreen), 100);
  EXPECT_TRUE(testsupport::saveScreenshot(dialog_.get(), "calibration_graph"));
}

}  // namespace
}  // namespace calibration

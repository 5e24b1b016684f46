#include "calibration/graph.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <charconv>
#include <cmath>

#include "ui/custom_widget.h"

namespace calibration {

namespace {

constexpr int kColumns = 5;          // grid cells across
constexpr int kRows = 6;             // grid cells down
constexpr int kTick = 5;             // length of the thick grid ends, device pixels
constexpr int kLabelGap = 5;         // between the field and the abscissa values
constexpr int kOrdinateOffset = 10;  // right edge of the ordinate values left of the field
constexpr int kPointRadius = 4;
// Pixel coordinates far beyond any screen; keeps wild samples drawable.
constexpr double kPixelLimit = 1.0e6;

const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);

// Conversion to a pixel coordinate by truncation toward zero.
int toPixel(double v) {
  if (std::isnan(v)) return static_cast<int>(-kPixelLimit);
  return static_cast<int>(std::clamp(v, -kPixelLimit, kPixelLimit));
}

QString format2g(float v) {
  char buf[32];
  const auto r =
      std::to_chars(buf, buf + sizeof buf, static_cast<double>(v), std::chars_format::general, 2);
  return QString::fromLatin1(buf, r.ptr - buf);
}

bool drawable(const GraphTable &t, int count) {
  return t.minUs && t.maxUs && t.samples && count > 0;
}

void drawTable(QPainter &p, const GraphSetup &s, const GraphTable &t, int w, int h) {
  const float xSpan = s.xMax - s.xMin;
  const double x0 = static_cast<float>(w * (*t.minUs - s.xMin) / xSpan);
  const double x1 = static_cast<float>(w * (*t.maxUs - s.xMin) / xSpan);
  const double step = (x1 - x0) / s.sampleCount;
  const double scale = static_cast<float>(h / (s.yMax - s.yMin));
  QPolygon line(s.sampleCount);
  for (int m = 0; m < s.sampleCount; ++m) {
    line.setPoint(m, toPixel(m * step + x0 + 0.5),
                  h - toPixel((t.samples[m] - s.yMin) * scale + 0.5));
  }
  p.drawPolyline(line);
}

}  // namespace

GraphSetup gapGraph(const device::CalibrationData &cal, const device::MeasurementRecord &record) {
  const device::TableTail &tail = record.tables.tableTail;
  return {0.0f,
          2.5f,
          0.0f,
          6.0f,
          {&tail.gapTableMinUs, &tail.gapTableMaxUs, record.tables.gapTable.data()},
          {&cal.gapComputedMinUs, &cal.gapComputedMaxUs, cal.gapComputed.data()},
          device::kTableSize,
          cal.gapPoints.data(),
          false};
}

GraphSetup kwGraph(const device::CalibrationData &cal, const device::MeasurementRecord &record) {
  const device::TableTail &tail = record.tables.tableTail;
  return {0.5f,
          2.0f,
          0.1f,
          5.1f,
          {&tail.kwTableMinUs, &tail.kwTableMaxUs, record.tables.kwTable.data()},
          {&cal.kwComputedMinUs, &cal.kwComputedMaxUs, cal.kwComputed.data()},
          device::kTableSize,
          cal.kwPoints.data(),
          true};
}

std::vector<AxisLabel> axisLabels(const GraphSetup &s, int w, int h) {
  std::vector<AxisLabel> labels;
  labels.reserve(kColumns + 1 + kRows);
  for (int k = 0; k <= kColumns; ++k) {
    const float v = s.xMin + k * (s.xMax - s.xMin) / kColumns;
    labels.push_back({format2g(v), QPoint(toPixel(k * w / double(kColumns)), h + kLabelGap), true});
  }
  for (int l = 0; l < kRows; ++l) {
    const float v = s.yMin + l * (s.yMax - s.yMin) / kRows;
    labels.push_back(
        {format2g(v), QPoint(-kOrdinateOffset, h - toPixel(l * h / double(kRows))), false});
  }
  return labels;
}

CGraph::CGraph(QWidget *parent) : QWidget(parent) {}

void CGraph::setup(const GraphSetup &setup) {
  setup_ = setup;
  update();
}

QRect CGraph::plotRect() const {
  const QFontMetrics fm(font());
  int labelWidth = 0;
  QString last;
  for (const AxisLabel &l : axisLabels(setup_, 1, 1)) {
    if (l.abscissa) {
      last = l.text;
    } else {
      labelWidth = std::max(labelWidth, fm.horizontalAdvance(l.text));
    }
  }
  const int left = kOrdinateOffset + labelWidth + 2;
  const int right = (fm.horizontalAdvance(last) + 1) / 2 + 1;
  const int bottom = kLabelGap + fm.height() + 1;
  return QRect(left, 0, std::max(1, width() - left - right), std::max(1, height() - bottom));
}

void CGraph::paintEvent(QPaintEvent *) {
  const QRect plot = plotRect();
  const qreal dpr = devicePixelRatioF();
  const int w = qRound(plot.width() * dpr);
  const int h = qRound(plot.height() * dpr);
  const GraphSetup &s = setup_;

  QPainter p(this);
  p.save();
  p.translate(plot.topLeft());
  p.scale(1.0 / dpr, 1.0 / dpr);  // from here on, device pixels of the field
  p.setClipRect(0, 0, w, h);
  p.fillRect(0, 0, w, h, kBlack);

  const QPen dotted(kWhite, 1, Qt::DotLine);
  const QPen thick(kWhite, 3, Qt::SolidLine, Qt::RoundCap);
  const int sx = w / kColumns;
  const int sy = h / kRows;
  for (int i = 1; i < kColumns; ++i) {
    const int x = i * sx;
    p.setPen(dotted);
    p.drawLine(x, kTick, x, h - kTick);
    p.setPen(thick);
    p.drawLine(x, 0, x, kTick);
    p.drawLine(x, h - kTick, x, h);
  }
  for (int j = 1; j < kRows; ++j) {
    const int y = j * sy;
    p.setPen(dotted);
    p.drawLine(kTick, y, w - kTick, y);
    p.setPen(thick);
    p.drawLine(0, y, kTick, y);
    p.drawLine(w - kTick, y, w, y);
  }

  // Red first, green over it, the points over both.
  if (drawable(s.computed, s.sampleCount) && device::isComputed(s.computed.samples[0])) {
    p.setPen(QPen(kRed, 2));
    drawTable(p, s, s.computed, w, h);
  }
  if (drawable(s.stored, s.sampleCount)) {
    p.setPen(QPen(kGreen, 2));
    drawTable(p, s, s.stored, w, h);
  }
  if (s.points) {
    p.setPen(QPen(kRed, 1));
    p.setBrush(kWhite);
    const int count = s.eightPoints ? device::kKwPoints : device::kGapPoints;
    for (int i = 0; i < count; ++i) {
      const device::CalPoint &pt = s.points[i];
      if (pt.ref < 0.0f || pt.u < 0.0) continue;
      const int ex = toPixel(w * (pt.u - s.xMin) / (s.xMax - s.xMin) + 0.5);
      const int ey = h - toPixel(h * (pt.y - s.yMin) / (s.yMax - s.yMin) + 0.5);
      p.drawEllipse(QRect(QPoint(ex - kPointRadius, ey - kPointRadius),
                          QPoint(ex + kPointRadius - 1, ey + kPointRadius - 1)));
    }
  }
  p.restore();

  // The values around the field, in the widget's own coordinates and font.
  p.setPen(palette().color(QPalette::WindowText));
  const QFontMetrics fm(font());
  for (const AxisLabel &l : axisLabels(s, w, h)) {
    const QPoint at =
        plot.topLeft() + QPoint(qRound(l.anchor.x() / dpr), qRound(l.anchor.y() / dpr));
    const int width = fm.horizontalAdvance(l.text);
    if (l.abscissa) {
      p.drawText(at.x() - width / 2, at.y() + fm.ascent(), l.text);
    } else {
      p.drawText(at.x() - width, at.y(), l.text);
    }
  }
}

void registerGraph() {
  ui::registerWidget("CGraph", [](QWidget *parent) -> QWidget * { return new CGraph(parent); });
}

}  // namespace calibration

// CGraph: the graph of a calibration dialog. On a black field with a white
// grid of 5 x 6 cells it draws the table the sensor stores (green), the table
// computed from the calibration points (red, while there is one) and the
// valid points (white circles with a red rim), with the axis values ("%.2g")
// left of and below the field.
//
// The graph owns nothing: it reads the tables and points through the pointers
// of its GraphSetup at every repaint, so the owner keeps them alive and asks
// for a repaint (update()) after a change:
//
//   device::MeasurementRecord record_;          // a member of the dialog
//   dev.snapshot(record_);                      // each tick, then update()
//   auto *g = control<calibration::CGraph>(1052);
//   g->setup(calibration::gapGraph(dev.calibration(), record_));
//
// The field is drawn in device pixels. The control's rectangle holds the
// field and, around it, the room for the axis values: plotRect() is the field.
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>
#include <vector>

#include "device/calibration_data.h"
#include "device/record.h"

namespace calibration {

// A 750-sample table over a voltage range, as the graph reads it.
struct GraphTable {
  const float *minUs = nullptr;    // voltage of the first sample
  const float *maxUs = nullptr;    // voltage of the last sample
  const float *samples = nullptr;  // GraphSetup::sampleCount values
};

struct GraphSetup {
  float xMin = 0.0f;  // abscissa range of the field, V
  float xMax = 1.0f;
  float yMin = 0.0f;  // ordinate range of the field
  float yMax = 1.0f;
  GraphTable stored;    // green, always drawn
  GraphTable computed;  // red, drawn while samples[0] is not the no-curve marker
  int sampleCount = 0;
  const device::CalPoint *points = nullptr;  // the set's points
  bool eightPoints = false;                  // 8 points (Kw set), else 10 (S set)
};

// Channel S: 0..2.5 V, 0..6 mm; the stored gapTable of `record`, gapComputed
// and gapPoints of `cal`.
GraphSetup gapGraph(const device::CalibrationData &cal, const device::MeasurementRecord &record);
// Channel W: 0.5..2.0 V, 0.1..5.1; kwTable, kwComputed, kwPoints.
GraphSetup kwGraph(const device::CalibrationData &cal, const device::MeasurementRecord &record);

// A value on an axis, in device pixels from the top-left corner of a field of
// w x h device pixels.
struct AxisLabel {
  QString text;
  QPoint anchor;
  bool abscissa;  // true: centred below the anchor; false: right-aligned, baseline at it
};

// The six abscissa values (from xMin on, one per fifth) and the six ordinate
// values (from yMin on, one per sixth; yMax has none), "%.2g" each.
std::vector<AxisLabel> axisLabels(const GraphSetup &setup, int w, int h);

class CGraph : public QWidget {
  Q_OBJECT

 public:
  explicit CGraph(QWidget *parent = nullptr);

  void setup(const GraphSetup &setup);
  const GraphSetup &setup() const { return setup_; }

  // The field in the widget's coordinates: the widget less room for the
  // ordinate values at the left, the abscissa values below, and half of the
  // last abscissa value at the right.
  QRect plotRect() const;

 protected:
  void paintEvent(QPaintEvent *event) override;

 private:
  GraphSetup setup_;
};

// Registers CGraph for templates (ui::Kind::Custom, class name "CGraph").
// Call once at start, before the first dialog that names it.
void registerGraph();

}  // namespace calibration

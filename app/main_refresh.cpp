// The main window's display refresh: every 100 ms it copies the device's
// published snapshot and the ADC's reading into the controls and decides which
// controls are shown and which buttons may be used. It never waits for the
// device lock and talks to the sensor only to switch a test signal.
#include <QString>

#include "app/globals.h"
#include "app/main_window.h"
#include "device/format.h"
#include "resources/main_dialog.h"
#include "resources/strings.h"

namespace app {

namespace {

using namespace resources;

constexpr const char *kUnavailable = "*****";

// Controls that show "*****" while the link is open but the data are not valid.
constexpr int kLiveFields[] = {kFirmwareBox,
                               kNumberBox,
                               kValueY,
                               kValueSZ,
                               kValueWX,
                               kSetpointBox0 + 0,
                               kSetpointBox0 + 1,
                               kSetpointBox0 + 2,
                               kSetpointBox0 + 3,
                               kSetpointBox0 + 4,
                               kSetpointBox0 + 5,
                               kAuxS,
                               kAuxAlarm,
                               kStatusSZ,
                               kStatusWX,
                               kStatusY,
                               kAuxW,
                               kAlarmSamples,
                               kMinValue,
                               kMaxValue};

// Labels that name the rows and setpoints by sensor kind.
constexpr int kKindLabels[] = {kLabelY,
                               kLabelSZ,
                               kLabelWX,
                               kSetpointLabel0,
                               kSetpointLabel0 + 1,
                               kSetpointLabel0 + 2,
                               kSetpointLabel0 + 3,
                               kSetpointLabel0 + 4,
                               kSetpointLabel0 + 5};

// Row Y: hidden for a gap and vibration sensor.
constexpr int kRowY[] = {kLabelY, kValueY, kStatusY, kMinY, kMaxY, kFlagY};

// String of a label by sensor kind: kind 1, kinds 2 and 3, anything else.
int byKind(int kind, int kind1, int kind23) {
  return kind == 1 ? kind1 : (kind == 2 || kind == 3) ? kind23 : kStrBlank;
}

std::string fixed(double v, int width, int precision) {
  return device::formatFixed(v, width, precision);
}

}  // namespace

void CSentuneDlg::setText(int id, const std::string &text) {
  setItemText(id, QString::fromStdString(text));
}

const std::string &CSentuneDlg::lastErrorLine() {
  // The first failure since the user's last command; later device commands
  // of the same user command (a restart after a file) do not hide it.
  if (snap_.failedCommands != seenFailures_) {
    seenFailures_ = snap_.failedCommands;
    if (failedCommand_.empty()) failedCommand_ = snap_.commandError;
  }
  if (snap_.lastResult == RK_OK && !failedCommand_.empty()) return failedCommand_;
  return snap_.lastError;
}

void CSentuneDlg::refresh() {
  if (!theDevice || theDevice->workerState() != device::TQVZ2::Free) return;
  theDevice->snapshot(snap_);
  const int kind = snap_.sensorKind();

  setText(kPortBox, snap_.portText);
  setText(kSpeedBox, snap_.speedText);
  setText(kAddressBox, snap_.addressText);
  if (snap_.port >= 0) {
    refreshLinkOpen(kind);
  } else {
    refreshLinkClosed();
  }
  for (int id : kRowY)
    showItem(id, kind != 1);
  refreshExtremes();
  setText(kLastError, lastErrorLine());
  refreshAdc();
  refreshButtons(kind);
  refreshTestSignal(kind);
}

void CSentuneDlg::refreshLinkOpen(int kind) {
  if (snap_.online) {
    const auto &c = snap_.config;
    const auto &in = snap_.inputs;
    setItemText(kFirmwareBox, QStringLiteral("%1.%2")
                                  .arg(int{snap_.ident.firmwareMajor})
                                  .arg(int{snap_.ident.firmwareMinor}, 2, 10, QLatin1Char('0')));
    setItemText(kNumberBox, QString::number(c.sensorNumber));
    setItemText(kLabelY, loadString(byKind(kind, kStrRowNone, kStrRowY)));
    setItemText(kLabelSZ, loadString(byKind(kind, kStrRowS, kStrRowZ)));
    setItemText(kLabelWX, loadString(byKind(kind, kStrRowW, kStrRowX)));
    setText(kValueY, fixed(in.valueY, 6, 2));
    setText(kValueSZ, fixed(in.valueSZ, 6, 2));
    setText(kValueWX, fixed(in.valueWX, 6, kind == 1 ? 0 : 2));
    const float setpoints[6] = {c.warn1, c.alarm1, c.warn2, c.alarm2, c.warn3, c.alarm3};
    for (int i = 0; i < 6; ++i) {
      setItemText(kSetpointLabel0 + i,
                  loadString(byKind(kind, kStrSetpointKind1 + i, kStrSetpointKind2 + i)));
      setText(kSetpointBox0 + i, fixed(setpoints[i], 8, 2));
    }
    setText(kAuxS, device::formatValueOrOff(in.auxS));
    setText(kAuxAlarm, device::formatValueOrOff(in.auxAlarm));
    setText(kStatusSZ, device::formatStatus(in.statusSZ));
    setText(kStatusWX, device::formatStatus(in.statusWX));
    setText(kStatusY, device::formatStatus(in.statusY));
    setText(kAuxW, device::formatValueOrOff(in.auxW));
    setText(kAlarmSamples, fixed(c.alarmSamples, 8, 2));
    setText(kMinValue, fixed(c.minValue, 8, 2));
    setText(kMaxValue, fixed(c.maxValue, 8, 2));
    setItemChecked(kFlagY, c.channelFlags & 2u);
    setItemChecked(kFlagSZ, c.channelFlags & 4u);
    setItemChecked(kFlagWX, c.channelFlags & 1u);
  } else {
    for (int id : kLiveFields)
      setText(id, kUnavailable);
    for (int id : {kLabelY, kLabelSZ, kLabelWX})
      setItemText(id, QString());
    for (int i = 0; i < 6; ++i)
      setItemText(kSetpointLabel0 + i, QString());
  }
  setItemText(kGoodReplies, QString::number(snap_.stats.GoodReplies));
  setItemText(kBadAttempts, QString::number(snap_.stats.BadAttempts));
}

void CSentuneDlg::refreshLinkClosed() {
  for (int id : kLiveFields)
    setItemText(id, QString());
  for (int id : kKindLabels)
    setItemText(id, QString());
  setItemText(kGoodReplies, QString());
  setItemText(kBadAttempts, QString());
}

void CSentuneDlg::refreshExtremes() {
  struct Row {
    int minBox, maxBox;
    float min, max;
  };
  const Row rows[] = {{kMinSZ, kMaxSZ, snap_.minSZ, snap_.maxSZ},
                      {kMinWX, kMaxWX, snap_.minWX, snap_.maxWX},
                      {kMinY, kMaxY, snap_.minY, snap_.maxY}};
  for (const Row &r : rows) {
    setText(r.minBox, r.min < 1e38f ? fixed(r.min, 6, 2) : std::string());
    setText(r.maxBox, r.max > -1e38f ? fixed(r.max, 6, 2) : std::string());
  }
}

void CSentuneDlg::refreshAdc() {
  if (!theAdc) return;
  double value = 0;
  // -32768 is the ADC's "no measurement": it is not a reading to show.
  const bool available = theAdc->GetReference(value) && value != TE140::kNoValue;
  setText(kAdcValue, available ? fixed(value, 0, 4) : std::string());
  std::string status;
  theAdc->GetStatusText(status);
  setText(kAdcStatus, status);
}

void CSentuneDlg::refreshButtons(int kind) {
  const bool recognised = kind >= 1;
  enableItem(kChangeExchange, recognised);
  enableItem(kUpload, recognised);
  enableItem(kSetpoints, recognised);
  enableItem(kChangeNumber, recognised && (snap_.config.sensorNumber == 0 || switches_.nd));
  enableItem(kCalibrate, (kind == 1 || kind == 2) && switches_.calibr);
  enableItem(kReadTables, kind == 1);
  enableItem(kWriteTables, kind == 1);
  if (switches_.test) showItem(kTest, true);
  // "Доп. настр." goes with row Y but belongs to a three-component sensor
  // without its test signal only. Decided once, so that the button is not
  // shown and hidden again (and its place repainted) on every tick.
  showItem(kAdditional, kind == 2);
}

void CSentuneDlg::refreshTestSignal(int kind) {
  if (kind < 2) {
    setItemChecked(kTestSignal, false);
    enableItem(kTestSignal, false);
  } else if (isItemEnabled(kTestSignal)) {
    // A tick that differs from the sensor's state is the user's wish; it is
    // repeated until the sensor reports the matching kind.
    const bool ticked = isItemChecked(kTestSignal);
    if (ticked != (kind == 3)) theDevice->setTestSignal(ticked);
  } else {
    enableItem(kTestSignal, true);
    setItemChecked(kTestSignal, kind == 3);
  }
}

}  // namespace app

// CSentuneDlg: the main window (dialog 138). It opens the device and the
// reference ADC, shows their state ten times a second and offers the commands
// of the program; the process ends when it closes.
#pragma once

#include <QFont>
#include <QIcon>
#include <string>

#include "app/coefficient_file.h"
#include "app/startup_config.h"
#include "device/record.h"
#include "ui/dialog.h"

class QContextMenuEvent;

namespace app {

class CSentuneDlg : public ui::Dialog {
 public:
  static constexpr int kRefreshTimer = 1;
  static constexpr int kRefreshPeriodMs = 100;

  // Works out iniPath and the Data directory from the executable's path,
  // creates the Data directory and reads the switches from the command line
  // text (what follows the program name).
  CSentuneDlg(const std::string &exePath, const std::string &commandLine,
              QWidget *parent = nullptr);
  // Deletes theAdc, then theDevice.
  ~CSentuneDlg() override;

  const Switches &switches() const { return switches_; }
  const std::string &dataDir() const { return dataDir_; }

  // The directory and proposed path of a new coefficient file for the sensor
  // of the current snapshot; creates the directory (a failure is ignored).
  CoefficientFileName MakeCoefficientFileName() const;

 protected:
  // Adds the About entry, sets the icon and the display font, then creates
  // theDevice and theAdc and starts the refresh timer.
  void onInit() override;
  void onCommand(int id, ui::Notification n) override;
  void onTimer(int id) override;
  void contextMenuEvent(QContextMenuEvent *event) override;

 private:
  void refresh();
  void refreshLinkOpen(int kind);
  void refreshLinkClosed();
  void refreshExtremes();
  void refreshAdc();
  void refreshButtons(int kind);
  void refreshTestSignal(int kind);
  void showAbout();
  void searchSensor();  // 1003, app/search_command.cpp
  // Sensor settings (app/settings_commands.cpp): runs command id, false when
  // it is none of them.
  bool settingsCommand(int id);
  void changeExchange();
  void changeNumber();
  void changeSetpoints();
  void changeAdditional();
  void changeChannelFlag(int id);
  // 1097 "Тест": CTestDlg.
  void testSensor();
  // Calibration and coefficient files (app/calibration_commands.cpp,
  // app/file_commands.cpp).
  void calibrate();
  void calibrateGapVibration();
  void calibrateThreeAxis();  // CConfig3K, app/three_axis_commands.cpp
  void readTables();
  void writeTables();
  void uploadFile();
  // Sends a coefficient file as "table.bin"; once the sensor has it, the
  // computed tables count as sent.
  bool sendTableFile(const std::string &path);
  void setText(int id, const std::string &text);
  // The last-error line: the poll's error, else the failure of the user's
  // last command, which a good poll would otherwise wipe at once.
  const std::string &lastErrorLine();

  QIcon icon_;
  QFont displayFont_;
  std::string dataDir_;
  Switches switches_;
  device::MeasurementRecord snap_;  // the copy the refresh works on
  uint32_t seenFailures_ = 0;       // snap_.failedCommands when last looked at
  std::string failedCommand_;       // text of the last command's failure, until the next command
};

}  // namespace app

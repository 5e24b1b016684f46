#include "app/main_window.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QShortcut>
#include <ctime>
#include <filesystem>

#include "app/about_dialog.h"
#include "app/globals.h"
#include "calibration/graph.h"
#include "dialogs/numeric_entry.h"
#include "resources/icon.h"
#include "resources/main_dialog.h"
#include "resources/strings.h"

namespace app {

namespace {

// Controls that show their values in the display font.
constexpr int kDisplayFontControls[] = {
    resources::kLabelY,  resources::kValueY,  resources::kLabelSZ, resources::kValueSZ,
    resources::kLabelWX, resources::kValueWX, resources::kAdcValue};

// Creates a directory and any missing parents; a failure (it exists, no
// permission) is left to show when a file is saved there.
void makeDirectory(const std::filesystem::path &path) {
  std::error_code ignored;
  std::filesystem::create_directories(path, ignored);
}

}  // namespace

CSentuneDlg::CSentuneDlg(const std::string &exePath, const std::string &commandLine,
                         QWidget *parent)
    : ui::Dialog(resources::kMainDialog, parent),
      icon_(resources::appIcon()),
      switches_(parseSwitches(commandLine)) {
  const Paths paths = choosePaths(exePath);
  iniPath = paths.iniPath;
  dataDir_ = paths.dataDir;
  makeDirectory(std::filesystem::path(iniPath).parent_path());  // new only in the fallback place
  makeDirectory(dataDir_);
  // The widgets that the dialogs' templates name.
  dialogs::registerNumericControls();
  calibration::registerGraph();
}

CSentuneDlg::~CSentuneDlg() {
  stopTimer(kRefreshTimer);
  theAdc.reset();
  theDevice.reset();
}

void CSentuneDlg::onInit() {
  setWindowIcon(icon_);
  if (!resources::loadString(resources::kStrAbout).isEmpty()) {
    auto *f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, [this] { showAbout(); });
  }

  // "Arial Cyr" is the Cyrillic name of Arial; the system substitutes its own
  // face where it has no Arial.
  QFont::insertSubstitution(QStringLiteral("Arial Cyr"), QStringLiteral("Arial"));
  displayFont_ = QFont(QStringLiteral("Arial Cyr"));
  displayFont_.setPointSize(18);
  for (int id : kDisplayFontControls) {
    if (QWidget *w = item(id)) w->setFont(displayFont_);
  }
  showItem(resources::kUpload, switches_.send);

  theDevice = std::make_unique<device::TQVZ2>(iniPath);
  theAdc = std::make_unique<TE140>(iniPath);
  setTimer(kRefreshTimer, kRefreshPeriodMs);
}

void CSentuneDlg::onCommand(int id, ui::Notification n) {
  if (id == 1) return;  // Enter: the main window has no OK button
  if (n == ui::Notification::Clicked) failedCommand_.clear();  // a new command of the user's
  if (id == resources::kSearch && n == ui::Notification::Clicked) return searchSensor();
  if (n == ui::Notification::Clicked && settingsCommand(id)) return;
  if (n == ui::Notification::Clicked && id == resources::kCalibrate) return calibrate();
  if (n == ui::Notification::Clicked && id == resources::kReadTables) return readTables();
  if (n == ui::Notification::Clicked && id == resources::kWriteTables) return writeTables();
  if (n == ui::Notification::Clicked && id == resources::kUpload) return uploadFile();
  if (n == ui::Notification::Clicked && id == resources::kTest) return testSensor();
  ui::Dialog::onCommand(id, n);
}

void CSentuneDlg::onTimer(int id) {
  if (id == kRefreshTimer) refresh();
}

void CSentuneDlg::contextMenuEvent(QContextMenuEvent *event) {
  const QString about = resources::loadString(resources::kStrAbout);
  if (about.isEmpty()) return;
  QMenu menu(this);
  menu.addAction(about, this, [this] { showAbout(); });
  menu.exec(event->globalPos());
}

void CSentuneDlg::showAbout() {
  if (!theDevice) return;
  theDevice->lock();  // the sensor rests while the box is open
  CAboutDlg about(this);
  about.setWindowIcon(icon_);
  about.runModal();
  theDevice->unlock();
}

CoefficientFileName CSentuneDlg::MakeCoefficientFileName() const {
  const int32_t number = theDevice ? theDevice->snapshot().config.sensorNumber : 0;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  CoefficientFileName name = coefficientFileName(dataDir_, number, local);
  makeDirectory(name.dir);
  return name;
}

}  // namespace app

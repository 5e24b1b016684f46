#include "app/coefficient_file.h"

#include <QFile>
#include <cstdio>

namespace app {

CoefficientFileName coefficientFileName(std::string_view dataDir, int32_t sensorNumber,
                                        const std::tm &local) {
  CoefficientFileName name;
  name.dir = std::string(dataDir) + std::to_string(sensorNumber);
  char file[64];
  std::snprintf(file, sizeof file, "/%02d%02d%04d_%02d%02d.cf", local.tm_mday, local.tm_mon + 1,
                local.tm_year + 1900, local.tm_hour, local.tm_min);
  name.path = name.dir + file;
  return name;
}

ui::FileDialogOptions coefficientFileDialog(const CoefficientFileName &name, bool save) {
  ui::FileDialogOptions o;
  o.title = save ? QStringLiteral("Сохранить как") : QStringLiteral("Открыть");
  o.initialPath = QString::fromStdString(name.path);
  o.initialDir = QString::fromStdString(name.dir);
  o.defaultExtension = QString::fromLatin1(kCoefficientExtension);
  o.filter = QString::fromUtf8(kCoefficientFilter);
  return o;
}

std::string localPath(const QString &chosen) {
  return QFile::encodeName(chosen).toStdString();
}

}  // namespace app

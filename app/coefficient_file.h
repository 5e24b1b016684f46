// Where a new coefficient file of a sensor goes and what it is called.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "ui/prompts.h"

namespace app {

struct CoefficientFileName {
  std::string dir;   // <dataDir><sensor number>
  std::string path;  // <dir>/DDMMYYYY_HHMM.cf
};

// dataDir ends with '/'. A sensor numbered 1234 on 9 December 2026 at 14:05
// gives <dataDir>1234 and <dataDir>1234/09122026_1405.cf.
CoefficientFileName coefficientFileName(std::string_view dataDir, int32_t sensorNumber,
                                        const std::tm &local);

// Default extension and filter of the coefficient-file dialogs.
inline constexpr const char *kCoefficientExtension = "cf";
inline constexpr const char *kCoefficientFilter =
    "файлы коэффициентов (*.cf)|*.cf|все файлы (*.*)|*.*||";

// The file dialog of a coefficient file: the proposed name in its sensor's
// directory, extension "cf", the coefficient-file filter.
ui::FileDialogOptions coefficientFileDialog(const CoefficientFileName &name, bool save);

// A path a file dialog gave, in the file system's encoding.
std::string localPath(const QString &chosen);

}  // namespace app

#include "app/coefficient_file.h"

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

}  // namespace app

#include "app/globals.h"

namespace app {

std::string iniPath;
std::unique_ptr<device::TQVZ2> theDevice;
std::unique_ptr<TE140> theAdc;

}  // namespace app

#include "pty.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qvzsim {
namespace {

constexpr struct {
  speed_t code;
  uint32_t baud;
} kCodes[] = {{B1200, 1200},     {B2400, 2400},     {B4800, 4800},    {B9600, 9600},
              {B19200, 19200},   {B38400, 38400},   {B57600, 57600},  {B115200, 115200},
              {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};

uint32_t speedToBaud(speed_t s) {
  for (const auto &c : kCodes)
    if (c.code == s) return c.baud;
  return 0;
}

}  // namespace

bool Pty::open(std::string &error) {
  close();
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    error = std::string("pseudo-terminal: ") + std::strerror(errno);
    close();
    return false;
  }
  char name[128];
  if (ptsname_r(master_, name, sizeof name) != 0) {
    error = std::string("ptsname: ") + std::strerror(errno);
    close();
    return false;
  }
  slavePath_ = name;
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios t{};
  if (slave_ < 0 || tcgetattr(slave_, &t) != 0) {
    error = slavePath_ + ": " + std::strerror(errno);
    close();
    return false;
  }
  // Raw until the program under test sets its own mode: no echo, no line editing.
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  cfsetispeed(&t, B9600);
  cfsetospeed(&t, B9600);
  tcsetattr(slave_, TCSANOW, &t);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  return true;
}

void Pty::close() {
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
  slave_ = master_ = -1;
  slavePath_.clear();
}

void Pty::flushInput() {
  if (slave_ >= 0) tcflush(slave_, TCIFLUSH);
}

uint32_t Pty::baud() const {
  termios t{};
  if (slave_ < 0 || tcgetattr(slave_, &t) != 0) return 0;
  return speedToBaud(cfgetospeed(&t));
}

}  // namespace qvzsim

// qvzsim: serves simulated QVZ sensors on a pseudo-terminal until stopped.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "control.h"
#include "qvzsim.h"

namespace {

const char *kUsage =
    "Usage: qvzsim [OPTION]...\n"
    "Simulates QVZ vibration sensors (Modbus RTU slaves) on a pseudo-terminal.\n"
    "Prints the path of the terminal's slave side on the first line of standard output;\n"
    "open it like a serial port (8N1) at a sensor's speed.\n"
    "\n"
    "Options:\n"
    "  --link PATH           also make PATH a symbolic link to the slave side\n"
    "  --sensor LIST         add a sensor; LIST is comma-separated KEY=VALUE:\n"
    "                          type=1|2   1 gap and vibration (S, W), 2 three-axis (Z, X, Y)\n"
    "                          address=N  Modbus address 1..247 (default 1)\n"
    "                          baud=N     1200 2400 4800 9600 19200 38400 57600 (default)\n"
    "                                     115200 230400 460800 921600\n"
    "                          state=FILE keep committed settings, tables and files in FILE\n"
    "                          serial=N   sensor number of a new sensor (default 1)\n"
    "                          seed=N     noise and individual spread of the sensor\n"
    "                        repeat for several sensors; without any: type=1,address=1\n"
    "  --reaction-us N       time from the end of a request to the reply (default 3000)\n"
    "  --restart-ms N        silence after the restart coil (default 1000)\n"
    "  --control PATH        accept control commands on a UNIX socket at PATH\n"
    "  --no-stdin            do not read control commands from standard input\n"
    "  --help                show this text\n"
    "\n"
    "The line:\n"
    "  A sensor answers only requests to its address (address 0: writes obeyed, no\n"
    "  reply) that begin while the line is set to its speed. Requests end at the length\n"
    "  their function implies or after 3.5 characters of silence; replies follow after\n"
    "  the reaction time at the line rate (10 bits a byte). A request that begins while\n"
    "  a reply is still going out collides with it and is lost.\n"
    "\n"
    "The sensor (32-bit fields, low word in the lower register):\n"
    "  function 4, input 0-31: S/Z, W/X, Y, aux S, aux alarm, statuses S/Z W/X Y,\n"
    "    temperature, supply, Us, Uw, output 1 and 2 (mA), type (1, 2, 3), aux W\n"
    "  function 3/6/16, holding 0-3: speed and address (after the commit's reply);\n"
    "    4-79: configuration (kept by the commit, restored by a restart);\n"
    "    1024-4095: table image = file table.bin (ks2 4028, kw2 4030)\n"
    "  function 5 coils: 0 commit, 1-3 calibrate Z/X/Y, 4 test signal, 5 restart,\n"
    "    8/9/10 output normal/minimum/maximum, 16/17 test mode off/on (function 1 reads)\n"
    "  function 96 identification, 81/82 clock, 98-103 file requests (512-byte blocks,\n"
    "    at most 48K; table.bin must be 6144 bytes)\n"
    "  Type 1 reads the bench gap through a nonlinear gap curve and its S(Us) and Kw(Us)\n"
    "  tables; type 2 reads the bench velocities through its tare coefficients.\n"
    "\n"
    "Faults (command `fault`): silence = request not heard; crc = reply with a bad CRC;\n"
    "truncate = only `keep` bytes; pieces = reply in `pieces` parts `gap` ms apart;\n"
    "address = valid reply from address `to`; exception = exception `code` instead of\n"
    "executing; late = reply `delay` ms later. Filters: fn, regs; prob; count (default\n"
    "forever). The first matching fault of a sensor applies.\n"
    "\n"
    "The program ends on `quit`, SIGINT or SIGTERM; the end of standard input does not\n"
    "stop it.\n"
    "\n"
    "Control commands (standard input, or one a line on the socket; every answer\n"
    "ends with a line 'ok' or 'error: ...'):\n";

bool parseSensor(const std::string &list, qvzsim::SensorOptions &o, std::string &error) {
  std::istringstream in(list);
  std::string item;
  while (std::getline(in, item, ',')) {
    const auto eq = item.find('=');
    if (eq == std::string::npos) {
      error = "expected KEY=VALUE, got '" + item + "'";
      return false;
    }
    const std::string key = item.substr(0, eq), value = item.substr(eq + 1);
    char *end = nullptr;
    const long n = std::strtol(value.c_str(), &end, 10);
    const bool number = !value.empty() && *end == '\0';
    if (key == "state") {
      o.stateFile = value;
    } else if (!number) {
      error = "'" + key + "' wants a number";
      return false;
    } else if (key == "type") {
      o.type = static_cast<int>(n);
    } else if (key == "address") {
      if (n < 1 || n > 247) {
        error = "address must be 1..247";
        return false;
      }
      o.address = static_cast<uint8_t>(n);
    } else if (key == "baud") {
      o.baud = static_cast<uint32_t>(n);
    } else if (key == "serial") {
      o.serialNumber = static_cast<int32_t>(n);
    } else if (key == "seed") {
      o.seed = static_cast<uint32_t>(n);
    } else {
      error = "unknown sensor key '" + key + "'";
      return false;
    }
  }
  return true;
}

int listenOn(const std::string &path) {
  sockaddr_un addr{};
  if (path.size() >= sizeof addr.sun_path) return -1;
  addr.sun_family = AF_UNIX;
  std::strcpy(addr.sun_path, path.c_str());
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  unlink(path.c_str());
  if (bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || listen(fd, 4) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// One source of command lines: standard input or a socket connection.
struct Client {
  int fd;
  std::string pending;
};

}  // namespace

int main(int argc, char **argv) {
  qvzsim::LineOptions lineOptions;
  std::vector<qvzsim::SensorOptions> sensors;
  std::string controlPath;
  bool useStdin = true;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> const char * {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "qvzsim: %s needs a value\n", a.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--help" || a == "-h") {
      std::printf("%s%s", kUsage, qvzsim::Control::help());
      return 0;
    } else if (a == "--link") {
      lineOptions.linkPath = value();
    } else if (a == "--sensor") {
      qvzsim::SensorOptions o;
      std::string error;
      if (!parseSensor(value(), o, error)) {
        std::fprintf(stderr, "qvzsim: --sensor: %s\n", error.c_str());
        return 2;
      }
      sensors.push_back(o);
    } else if (a == "--reaction-us") {
      lineOptions.reactionTime = std::chrono::microseconds(std::atol(value()));
    } else if (a == "--restart-ms") {
      lineOptions.restartTime = std::chrono::milliseconds(std::atol(value()));
    } else if (a == "--control") {
      controlPath = value();
    } else if (a == "--no-stdin") {
      useStdin = false;
    } else {
      std::fprintf(stderr, "qvzsim: unknown option %s (see --help)\n", a.c_str());
      return 2;
    }
  }
  if (sensors.empty()) sensors.emplace_back();

  // Signals arrive as readable data, so the loop below ends cleanly on them.
  sigset_t mask;
  sigemptyset(&mask);
  sigaddset(&mask, SIGINT);
  sigaddset(&mask, SIGTERM);
  sigaddset(&mask, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &mask, nullptr);
  const int sigFd = signalfd(-1, &mask, SFD_CLOEXEC);
  signal(SIGPIPE, SIG_IGN);

  qvzsim::Line line;
  if (!line.start(lineOptions)) {
    std::fprintf(stderr, "qvzsim: %s\n", line.error().c_str());
    return 1;
  }
  for (const auto &o : sensors) {
    if (!line.addSensor(o)) {
      std::fprintf(stderr, "qvzsim: sensor: %s\n", line.error().c_str());
      return 1;
    }
  }
  std::printf("%s\n", line.slavePath().c_str());
  std::fflush(stdout);
  for (const auto &s : line.sensors()) {
    const auto st = s.status();
    std::fprintf(stderr, "qvzsim: sensor %d: type %d, address %u, %u bit/s\n", s.index(), st.type,
                 unsigned{st.address}, st.baud);
  }
  if (!line.linkPath().empty())
    std::fprintf(stderr, "qvzsim: link %s -> %s\n", line.linkPath().c_str(),
                 line.slavePath().c_str());

  int listenFd = -1;
  if (!controlPath.empty()) {
    listenFd = listenOn(controlPath);
    if (listenFd < 0) {
      std::fprintf(stderr, "qvzsim: control socket %s: %s\n", controlPath.c_str(),
                   std::strerror(errno));
      return 1;
    }
  }

  qvzsim::Control control(line);
  std::vector<Client> clients;
  if (useStdin) clients.push_back({STDIN_FILENO, {}});
  bool quit = false;
  while (!quit) {
    std::vector<pollfd> fds{{sigFd, POLLIN, 0}, {listenFd, POLLIN, 0}};
    for (const Client &c : clients)
      fds.push_back({c.fd, POLLIN, 0});
    if (poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents & POLLIN) break;
    if (fds[1].revents & POLLIN) {
      const int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) clients.push_back({fd, {}});
    }
    for (size_t i = 2; i < fds.size() && !quit; ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      Client &c = clients[i - 2];
      char buf[1024];
      const ssize_t n = read(c.fd, buf, sizeof buf);
      if (n <= 0) {  // end of input: a closed socket goes, the simulator stays
        if (c.fd != STDIN_FILENO) close(c.fd);
        c.fd = -1;
        continue;
      }
      c.pending.append(buf, static_cast<size_t>(n));
      size_t eol;
      while (!quit && (eol = c.pending.find('\n')) != std::string::npos) {
        const std::string answer = control.execute(c.pending.substr(0, eol), quit);
        c.pending.erase(0, eol + 1);
        const int outFd = c.fd == STDIN_FILENO ? STDOUT_FILENO : c.fd;
        [[maybe_unused]] ssize_t w = write(outFd, answer.data(), answer.size());
      }
    }
    std::erase_if(clients, [](const Client &c) { return c.fd < 0; });
  }
  for (const Client &c : clients)
    if (c.fd != STDIN_FILENO) close(c.fd);
  if (listenFd >= 0) {
    close(listenFd);
    unlink(controlPath.c_str());
  }
  line.stop();
  return 0;
}

// Long run: every request the link library sends is answered at random by a
// device on a pseudo-terminal: plausible replies with random contents,
// exceptions, silence, garbage, foreign frames, broken CRCs, replies cut
// short, in pieces, late, too long, or with bytes after them. Meant to run
// under AddressSanitizer and UndefinedBehaviorSanitizer, which stop the run
// at the first memory or undefined-behaviour fault.
//
// The run calls every export that talks to a device (RK_Exchange with every
// function it supports and some it does not, RK_CheckExchange, RK_SendFile,
// RK_ReceiveFile, RK_ReceiveFileCS, RK_DeleteFile) and RK_CountFileCS, with
// random arguments, buffers of exactly the size the call may fill, and a
// port reopened now and then with a random parameter block. It checks:
//   - every result code is one the library documents for that export;
//   - a receive that succeeds leaves a local file of exactly the announced
//     length; one that fails leaves the old local file byte for byte;
//   - no temporary file stays behind in $TMPDIR (a private directory here);
//   - a checksum query that fails reports length and checksum 0;
//   - the fields of RkDateTime the library leaves alone stay as they were.
//
// Usage: rk_random_replies [--seconds N] [--seed S]   (default 600 s, seed from the clock)
// Prints the calls made per export and result, and every violation; exit
// status 0 when there was none.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "rk.h"
#include "tests/support/modbus_frame.h"
#include "tests/support/pty_device.h"
#include "tests/support/rk_blocks.h"

namespace {

namespace fs = std::filesystem;
using rktest::Bytes;
using rktest::Reply;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr uint32_t kPort = 0;  // COM1
constexpr uint8_t kAddress = 17;

// The byte at position pos of the device's file: receives can be told apart.
uint8_t fileByte(uint32_t seed, uint32_t pos) {
  return static_cast<uint8_t>((pos * 2654435761u + seed) >> 13);
}

// The device: answers each request with one of the kinds of reply at random.
class RandomDevice {
 public:
  explicit RandomDevice(uint64_t seed) : random_(seed) {}

  // The file that valid replies to a receive describe; set before each
  // receive (its ask and block requests may be retried).
  void prepareFile(uint32_t total, uint32_t seed) {
    std::lock_guard lock(lock_);
    fileTotal_ = total;
    fileSeed_ = seed;
  }
  // The file lengths that the latest valid replies to an ask request told:
  // the prepared one, one a random valid frame carried, or one of a late
  // reply to an earlier receive that met this receive's request.
  std::vector<uint32_t> announced() {
    std::lock_guard lock(lock_);
    return announced_;
  }
  // Timing of the line as the library sees it, so that pieces and late
  // replies fall around its poll interval and time-out.
  void setTiming(uint32_t pollMs, uint32_t timeoutMs) {
    pollMs_ = pollMs;
    timeoutMs_ = timeoutMs;
  }

  Reply operator()(const Bytes &q) {
    std::lock_guard lock(lock_);
    Reply r = answer(q);
    Bytes sent;
    for (const Reply::Piece &p : r.pieces)
      sent.insert(sent.end(), p.bytes.begin(), p.bytes.end());
    if (q[1] == 101 && sent.size() >= 8 && sent[0] == q[0] && sent[1] == 101 &&
        rktest::crcValid(sent)) {
      announced_.push_back(le32(sent, 2));
      if (announced_.size() > 8) announced_.erase(announced_.begin());
    }
    return r;
  }

 private:
  Reply answer(const Bytes &q) {
    const uint8_t fn = q[1];
    const Bytes good = plausible(q);
    // Receives need runs of valid replies to finish now and then.
    const int validShare = fn == 101 || fn == 102 ? 70 : 35;
    const int roll = pick(0, 99);
    if (roll < validShare) return Reply::raw(good);
    switch (pick(0, 10)) {
      case 0:
        return Reply::exception(q[0], fn, static_cast<uint8_t>(pick(0, 255)));
      case 1:
        return Reply::silence();
      case 2:
        return Reply::raw(noise(pick(1, 300)));
      case 3: {  // a valid frame of another address or function
        Bytes other(good.begin(), good.end() - 2);
        other[pick(0, 1)] ^= static_cast<uint8_t>(pick(1, 255));
        return Reply::frame(other);
      }
      case 4: {  // a broken CRC
        Bytes bad = good;
        bad[pick(0, static_cast<int>(bad.size()) - 1)] ^= static_cast<uint8_t>(pick(1, 255));
        return Reply::raw(bad);
      }
      case 5:  // cut short
        return Reply::raw(
            Bytes(good.begin(), good.begin() + pick(1, static_cast<int>(good.size()) - 1)));
      case 6: {  // in pieces around the poll interval
        Reply r;
        size_t at = 0;
        const int pieces = pick(2, 4);
        for (int i = 0; i < pieces && at < good.size(); ++i) {
          const size_t n = i + 1 == pieces
                               ? good.size() - at
                               : static_cast<size_t>(pick(1, static_cast<int>(good.size() - at)));
          r.pieces.push_back({Bytes(good.begin() + at, good.begin() + at + n),
                              milliseconds(pick(0, 2 * static_cast<int>(pollMs_)))});
          at += n;
        }
        return r;
      }
      case 7:  // after the time-out: it meets the next attempt or request
        return Reply::raw(good,
                          milliseconds(timeoutMs_ + pick(1, 2 * static_cast<int>(pollMs_) + 5)));
      case 8:  // more than a reply may be
        return Reply::raw(noise(pick(3501, 3800)));
      case 9: {  // bytes after a valid reply
        Bytes more = good;
        const Bytes tail = noise(pick(1, 40));
        more.insert(more.end(), tail.begin(), tail.end());
        return Reply::raw(more);
      }
      default: {  // valid frame, random length and contents after the function
        Bytes r{q[0], fn};
        const Bytes body = noise(pick(0, 40));
        r.insert(r.end(), body.begin(), body.end());
        return Reply::frame(r);
      }
    }
  }

  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random_); }
  Bytes noise(int n) {
    Bytes b(static_cast<size_t>(n));
    for (uint8_t &x : b)
      x = static_cast<uint8_t>(pick(0, 255));
    return b;
  }
  static uint32_t le32(const Bytes &q, size_t at) {
    return q[at] | q[at + 1] << 8 | q[at + 2] << 16 | static_cast<uint32_t>(q[at + 3]) << 24;
  }
  static void put32(Bytes &r, uint32_t v) {
    for (int i = 0; i < 4; ++i)
      r.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }

  // A reply of the shape the function expects, random where the device is
  // free, with its CRC.
  Bytes plausible(const Bytes &q) {
    const uint8_t fn = q[1];
    Bytes r{q[0], fn};
    const auto word = [&](size_t at) { return static_cast<uint32_t>(q[at] << 8 | q[at + 1]); };
    const auto append = [&](const Bytes &b) { r.insert(r.end(), b.begin(), b.end()); };
    switch (fn) {
      case 1:
      case 2:
      case 3:
      case 4: {
        const uint32_t count = word(4);
        int n = static_cast<int>(fn <= 2 ? (count + 7) / 8 : 2 * count);
        if (pick(0, 4) == 0) n = std::max(0, n + pick(-3, 3));  // a count that does not fit
        r.push_back(static_cast<uint8_t>(n));
        append(noise(std::min(n, 250)));
        break;
      }
      case 5:
      case 6:
      case 15:
      case 16:
        r.insert(r.end(), q.begin() + 2, q.begin() + 6);
        break;
      case 82:
        append(noise(pick(5, 9)));
        break;
      case 96:
        append(noise(pick(7, 11)));
        break;
      case 101:
        put32(r, fileTotal_);
        break;
      case 102: {
        const uint32_t offset = le32(q, 2);
        const uint32_t left = offset < fileTotal_ ? fileTotal_ - offset : 0;
        uint32_t count = std::min<uint32_t>(left, static_cast<uint32_t>(pick(1, 600)));
        uint32_t carried = count;
        switch (pick(0, 9)) {
          case 0:
            count += static_cast<uint32_t>(pick(1, 100));  // more than announced
            carried = count;
            break;
          case 1:
            carried = count > 0 ? static_cast<uint32_t>(pick(0, static_cast<int>(count) - 1)) : 0;
            break;  // counts more than it carries
          case 2:
            count = carried = 0;
            break;
          default:
            break;
        }
        put32(r, offset);
        r.push_back(static_cast<uint8_t>(count));
        r.push_back(static_cast<uint8_t>(count >> 8));
        for (uint32_t i = 0; i < carried; ++i)
          r.push_back(fileByte(fileSeed_, offset + i));
        break;
      }
      case 103:
        put32(r, static_cast<uint32_t>(pick(0, 60000)));
        append(noise(2));
        break;
      default:  // 81, 97, 98, 99, 100 and whatever else: the library reads nothing
        append(noise(pick(0, 8)));
        break;
    }
    return rktest::withCrc(r);
  }

  std::mutex lock_;
  std::mt19937_64 random_;
  uint32_t fileTotal_ = 0;
  uint32_t fileSeed_ = 0;
  std::vector<uint32_t> announced_;
  std::atomic<uint32_t> pollMs_{2};
  std::atomic<uint32_t> timeoutMs_{20};
};

std::string hex(uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", code);
  return text;
}

bool isException(uint32_t rc) {
  return (rc & 0xFFFFFF00u) == RK_ERR_EXCEPTION_BASE;
}

// What a transaction with a device may end in.
bool transactionResult(uint32_t rc) {
  return rc == RK_OK || rc == RK_ERR_NO_REPLY || rc == RK_ERR_BAD_REPLY ||
         rc == RK_ERR_REPLY_TOO_LONG || isException(rc);
}

class Run {
 public:
  Run(uint64_t seed, fs::path dir)
      : random_(seed ^ 0x5bd1e995), device_(seed), dir_(std::move(dir)), tmp_(dir_ / "tmp") {
    fs::create_directories(tmp_);
    ::setenv("TMPDIR", tmp_.c_str(), 1);
    ::setenv("RK_COM1", pty_.path().c_str(), 1);
    pty_.setHandler(std::ref(device_));
  }
  ~Run() { RK_Close(kPort); }

  void step() {
    if (!open_ || pick(0, 199) == 0) reopen();
    switch (pick(0, 9)) {
      case 0:
      case 1:
      case 2:
        exchange();
        break;
      case 3:
        check();
        break;
      case 4:
        send();
        break;
      case 5:
      case 6:
        receive();
        break;
      case 7:
        checksum();
        break;
      case 8:
        remove();
        break;
      default:
        countLocal();
        break;
    }
    if (!tempFilesLeft().empty()) fail("temporary file left: " + tempFilesLeft());
  }

  // Prints the tallies; true when there was no violation.
  bool report() const {
    std::printf("%-28s %10s  %s\n", "export", "calls", "result codes (count)");
    for (const auto &[name, codes] : tally_) {
      uint64_t calls = 0;
      std::string list;
      for (const auto &[code, n] : codes) {
        calls += n;
        list += " " + (code == kAnyException ? std::string("E0E1xxxx") : hex(code)) + "(" +
                std::to_string(n) + ")";
      }
      std::printf("%-28s %10" PRIu64 " %s\n", name.c_str(), calls, list.c_str());
    }
    std::printf("violations: %zu\n", violations_.size());
    for (size_t i = 0; i < violations_.size() && i < 20; ++i)
      std::printf("  %s\n", violations_[i].c_str());
    return violations_.empty();
  }

 private:
  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random_); }

  void fail(const std::string &what) { violations_.push_back(what); }
  // Device exceptions are counted together, shown as E0E1xxxx.
  void count(const std::string &name, uint32_t rc) {
    ++tally_[name][isException(rc) ? kAnyException : rc];
  }
  static constexpr uint32_t kAnyException = RK_ERR_EXCEPTION_BASE | 0xFFFF;
  void expect(bool documented, const std::string &name, uint32_t rc) {
    count(name, rc);
    if (!documented) fail(name + ": undocumented result " + hex(rc));
  }

  std::string tempFilesLeft() const {
    std::string names;
    for (const auto &e : fs::directory_iterator(tmp_))
      names += e.path().filename().string() + " ";
    return names;
  }

  void reopen() {
    RK_Close(kPort);
    static const uint32_t kBlockSizes[] = {1, 17, 256, 512, 512, 1000, 3489, 3490, 4000};
    RkParamBlock b = rktest::defaultBlock();
    b.PollInterval = static_cast<uint32_t>(pick(1, 4));
    b.ReplyTimeout = static_cast<uint32_t>(pick(3, 30));
    b.FileReplyTimeout = static_cast<uint32_t>(pick(5, 40));
    b.FileBlockSize = kBlockSizes[pick(0, std::size(kBlockSizes) - 1)];
    b.Attempts = static_cast<uint16_t>(pick(1, 3));
    b.FileBlockAttempts = static_cast<uint16_t>(pick(1, 4));
    device_.setTiming(b.PollInterval, b.ReplyTimeout);
    const uint32_t rc = RK_Open(kPort, &b);
    expect(rc == RK_OK, "RK_Open", rc);
    open_ = rc == RK_OK;
    fileBlock_ = b.FileBlockSize;
  }

  void exchange() {
    static const uint32_t kFunctions[] = {1, 2, 3, 4, 5, 6, 15, 16, 81, 82, 96, 97, 7, 98, 102};
    const uint32_t fn = kFunctions[pick(0, std::size(kFunctions) - 1)];
    const uint32_t start = static_cast<uint32_t>(pick(0, 0xFFFF));
    uint32_t count = static_cast<uint32_t>(pick(0, 140));
    if (fn <= 2 || fn == 15) count = static_cast<uint32_t>(pick(0, 2100));
    // Exactly the bytes the call may read or fill.
    size_t size = 2;
    if (fn == 1 || fn == 2 || fn == 15) size = (count + 7) / 8;
    if (fn == 3 || fn == 4 || fn == 16) size = 2 * count;
    if (fn == 81 || fn == 82) size = sizeof(RkDateTime);
    if (fn == 96) size = 9;
    std::vector<uint8_t> data(std::max<size_t>(size, 1));
    for (uint8_t &x : data)
      x = static_cast<uint8_t>(pick(0, 255));
    std::unique_ptr<uint8_t[]> exact(new uint8_t[size == 0 ? 1 : size]);
    std::memcpy(exact.get(), data.data(), size);
    if (fn == 81 || fn == 82) {
      RkDateTime t{};
      std::memcpy(&t, exact.get(), sizeof t);
      t.Reserved1 = 0xA5A5;
      t.Reserved2 = 0x5A5A;
      std::memcpy(exact.get(), &t, sizeof t);
    }

    const uint32_t rc =
        RK_Exchange(kPort, kAddress, fn, start, count, fn == 97 ? nullptr : exact.get());
    const bool supported = fn != 7 && fn != 98 && fn != 102;
    const bool tooLong = (fn == 15 && (count + 7) / 8 > 254) || (fn == 16 && 2 * count > 254);
    bool documented = transactionResult(rc);
    if (!supported) documented = rc == RK_ERR_ILLEGAL_FUNCTION;
    if (tooLong) documented = rc == RK_ERR_REQUEST_TOO_LONG;
    expect(documented, "RK_Exchange " + std::to_string(fn), rc);
    if (fn == 81 || fn == 82) {
      RkDateTime t{};
      std::memcpy(&t, exact.get(), sizeof t);
      if (t.Reserved1 != 0xA5A5 || t.Reserved2 != 0x5A5A)
        fail("RK_Exchange 82 wrote a reserved field");
    }
  }

  void check() {
    const uint32_t rc = RK_CheckExchange(kPort, static_cast<uint32_t>(pick(0, 20)));
    expect(rc == RK_OK || rc == RK_CHECK_BYTES_ARRIVED, "RK_CheckExchange", rc);
  }

  // A local file of random length and bytes.
  fs::path localFile(const char *name, size_t size) {
    const fs::path path = dir_ / name;
    std::string bytes(size, '\0');
    for (char &c : bytes)
      c = static_cast<char>(pick(0, 255));
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path;
  }
  static std::string contents(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }

  void send() {
    const fs::path local = localFile("send.bin", static_cast<size_t>(pick(0, 5000)));
    const uint32_t rc = RK_SendFile(kPort, kAddress, nullptr, "file.bin", local.c_str());
    const bool tooLong = std::min<uint64_t>(fileBlock_, fs::file_size(local)) > 3489;
    expect(tooLong ? rc == RK_ERR_REQUEST_TOO_LONG : transactionResult(rc), "RK_SendFile", rc);
  }

  void receive() {
    const uint32_t total = static_cast<uint32_t>(pick(0, 9) == 0 ? pick(0, 20000) : pick(0, 1500));
    device_.prepareFile(total, static_cast<uint32_t>(pick(0, 1 << 30)));
    const fs::path local = localFile("received.bin", static_cast<size_t>(pick(0, 100)));
    const std::string before = contents(local);
    const uint32_t rc = RK_ReceiveFile(kPort, kAddress, nullptr, "table.bin", local.c_str());
    expect(transactionResult(rc) || rc == RK_ERR_FILE_LENGTH, "RK_ReceiveFile", rc);
    if (rc == RK_OK) {
      const std::vector<uint32_t> told = device_.announced();
      const uint64_t size = fs::exists(local) ? fs::file_size(local) : UINT64_MAX;
      if (std::find(told.begin(), told.end(), size) == told.end()) {
        fail("RK_ReceiveFile: 0, but the local file has " + std::to_string(size) +
             " bytes, a length no reply announced");
      }
    } else if (contents(local) != before) {
      fail("RK_ReceiveFile: " + hex(rc) + ", and the old local file changed");
    }
  }

  void checksum() {
    uint32_t length = 1;
    uint16_t cs = 1;
    const uint32_t rc = RK_ReceiveFileCS(kPort, kAddress, "table.bin", &length, &cs);
    expect(transactionResult(rc), "RK_ReceiveFileCS", rc);
    if (rc != RK_OK && (length != 0 || cs != 0)) fail("RK_ReceiveFileCS: failed with a length");
  }

  void remove() {
    const uint32_t rc = RK_DeleteFile(kPort, kAddress, nullptr, "file.bin;x");
    expect(transactionResult(rc), "RK_DeleteFile", rc);
  }

  void countLocal() {
    const fs::path local = localFile("count.bin", static_cast<size_t>(pick(0, 2000)));
    const std::string bytes = contents(local);
    uint32_t length = 0;
    uint16_t cs = 0;
    const uint32_t rc = RK_CountFileCS(local.c_str(), &length, &cs);
    expect(rc == RK_OK, "RK_CountFileCS", rc);
    const uint16_t want =
        rktest::modbusCrc(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    if (length != bytes.size() || cs != want) fail("RK_CountFileCS: wrong length or checksum");
  }

  std::mt19937_64 random_;
  RandomDevice device_;  // declared before the pseudo-terminal, whose thread calls it
  rktest::PtyDevice pty_;
  fs::path dir_;
  fs::path tmp_;
  bool open_ = false;
  uint32_t fileBlock_ = 512;
  std::map<std::string, std::map<uint32_t, uint64_t>> tally_;
  std::vector<std::string> violations_;
};

}  // namespace

int main(int argc, char **argv) {
  int seconds = 600;
  uint64_t seed = static_cast<uint64_t>(Clock::now().time_since_epoch().count());
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--seed") == 0) seed = std::strtoull(argv[i + 1], nullptr, 10);
  }
  const fs::path dir =
      fs::temp_directory_path() / ("rk_random_replies." + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::printf("rk_random_replies: %d s, seed %" PRIu64 "\n", seconds, seed);
  bool held = false;
  uint64_t steps = 0;
  {
    Run run(seed, dir);
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < end) {
      run.step();
      ++steps;
    }
    std::printf("steps: %" PRIu64 "\n", steps);
    held = run.report();
  }
  fs::remove_all(dir);
  return held ? 0 : 1;
}

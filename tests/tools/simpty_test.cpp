// osc-simpty's options and its server, with a plain termios host on the terminal.
#include "tools/simpty/pty_module_server.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <iterator>
#include <sstream>
#include <thread>

namespace osc::tools {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  return {std::istream_iterator<std::string>(in), {}};
}

TEST(SimPtyOptions, ParsesWhatTheHelpPromises) {
  std::string error;
  auto o =
      ParseSimPtyOptions(Words("--model 2 --signal 1=sine,50,5,8 --range 2=20 --fault silence:once --ac 3 "
                               "--uncalibrated --gain-error 2=1.5 --zero-error all=-0.5 --ac-zero-error 3=2"),
                         &error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->type, sim::ModuleType::TwoChannel);
  ASSERT_EQ(o->signals.size(), 1u);
  EXPECT_EQ(o->signals[0].second.offset, 8.0);
  EXPECT_EQ(o->ac_inputs, std::vector<int>{3});
  ASSERT_EQ(o->faults.size(), 1u);

  // Explicit errors override the typical ones; the rest of the input stays.
  PtyModuleServer server(*o);
  const sim::InputSetup ch2 = server.model().input(2);
  EXPECT_EQ(ch2.range, 20.0);
  EXPECT_EQ(ch2.gain_error, 1.5);
  EXPECT_EQ(ch2.zero_error_bipolar, -0.5);
  EXPECT_EQ(ch2.zero_error_ac, sim::WithTypicalErrors(2, {}).zero_error_ac);
  EXPECT_EQ(server.model().input(1).gain_error, sim::WithTypicalErrors(1, {}).gain_error);
  EXPECT_EQ(server.model().input(3).zero_error_ac, 2.0);

  for (const char* bad :
       {"--rate -1", "--signal 7=sine", "--signal 1=sine,x", "--fault silence:twice", "--gain-error 2"}) {
    error.clear();
    EXPECT_FALSE(ParseSimPtyOptions(Words(bad), &error)) << bad;
    EXPECT_FALSE(error.empty());
  }
}

// A raw host on the terminal's slave side.
class Host {
 public:
  explicit Host(const std::string& path) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_GE(fd_, 0);
    set_baud(B115200);
  }
  ~Host() { close(fd_); }

  void set_baud(speed_t speed) {
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    cfsetspeed(&t, speed);
    tcsetattr(fd_, TCSANOW, &t);
  }
  void send(Bytes b) { ASSERT_EQ(write(fd_, b.data(), b.size()), static_cast<ssize_t>(b.size())); }
  void purge() { tcflush(fd_, TCIFLUSH); }
  // Bytes until `count` have come or nothing comes for `quiet_ms`.
  Bytes read_bytes(std::size_t count, int quiet_ms = 2000) {
    Bytes out;
    while (out.size() < count) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, quiet_ms) != 1) break;
      std::uint8_t buf[4096];
      ssize_t n = read(fd_, buf, std::min(sizeof buf, count - out.size()));
      if (n <= 0) break;
      out.insert(out.end(), buf, buf + n);
    }
    return out;
  }

 private:
  int fd_ = -1;
};

TEST(SimPtyServer, SlowStartThroughTheTerminalAndStopByPurge) {
  SimPtyOptions o;
  o.rate = 10;
  o.signals = {{2, {sim::Waveform::Pattern}}};
  PtyModuleServer server(o);
  std::atomic<bool> stop{false};
  std::thread thread([&] { server.run(stop, nullptr); });
  Host host(server.path());
  host.send({0xF5});
  EXPECT_EQ(host.read_bytes(8), (Bytes{'M', 'd', 'l', '4', 2, 'S', 'I', 'M'}));

  host.send({0x72});
  EXPECT_EQ(host.read_bytes(1), Bytes{0xFC});
  host.set_baud(B19200);  // the server reads the host's rate from the terminal
  host.send({0x00});
  Bytes s = host.read_bytes(12 + 300);
  ASSERT_EQ(s.size(), 312u);
  EXPECT_EQ(s[0], 0x72);
  for (std::size_t k = 0; k < 300; ++k)
    ASSERT_EQ(s[12 + k], sim::ExpectedSample(2, k)) << k;

  host.purge();  // the end of the stream
  host.set_baud(B115200);
  host.send({0xF5});
  // Stream bytes sent just before the purge was seen may come first; the reply ends it all.
  Bytes tail = host.read_bytes(100000, 300);
  ASSERT_GE(tail.size(), 8u);
  EXPECT_EQ(Bytes(tail.end() - 8, tail.end()), (Bytes{'M', 'd', 'l', '4', 2, 'S', 'I', 'M'}));
  stop = true;
  thread.join();
}

}  // namespace
}  // namespace osc::tools

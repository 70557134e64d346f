#include "platform/comm/comm_posix.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <sstream>
#include <utility>

namespace osc::win::detail {
namespace {

// The kernel's termios2 (generic layout), for rates that have no Bnnn code. glibc 2.36
// does not declare it, and <asm/termbits.h> cannot be included beside <termios.h>.
#if defined(__x86_64__) || defined(__i386__) || defined(__aarch64__) || defined(__arm__) || defined(__riscv)
#define OSC_HAVE_TERMIOS2 1
struct KernelTermios2 {
  tcflag_t c_iflag, c_oflag, c_cflag, c_lflag;
  cc_t c_line;
  cc_t c_cc[19];
  speed_t c_ispeed, c_ospeed;
};
constexpr unsigned long kGetTermios2 = _IOR('T', 0x2A, KernelTermios2);
constexpr unsigned long kSetTermios2 = _IOW('T', 0x2B, KernelTermios2);
constexpr tcflag_t kBaudOther = 0010000;
#endif

struct SpeedCode {
  unsigned baud;
  speed_t code;
};
constexpr SpeedCode kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

unsigned baud_of_code(speed_t code) {
  for (const auto& s : kSpeeds) {
    if (s.code == code) return s.baud;
  }
  return 0;
}

template <class Call>
auto retry_eintr(Call call) {
  for (;;) {
    auto result = call();
    if (result >= 0 || errno != EINTR) return result;
  }
}

DWORD error_of_errno(int e) {
  switch (e) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
    case ENOTTY:
    case ENAMETOOLONG:
    case ELOOP:
      return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK:
      return ERROR_ACCESS_DENIED;
    default:
      return ERROR_GEN_FAILURE;
  }
}

// No line discipline processing: bytes pass both ways unchanged, and reads never wait
// (VMIN = VTIME = 0) because all waiting is done with poll().
void make_raw(termios& t) {
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                      IUCLC | IXANY | IMAXBEL);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN | TOSTOP);
  t.c_lflag |= NOFLSH;
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
}

TtyKind kind_of_device(dev_t rdev) {
  std::ifstream in("/proc/tty/drivers");
  if (in) {
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return tty_driver_kind(text, major(rdev), minor(rdev));
  }
  // Without /proc: refuse at least the controlling terminal, consoles and virtual terminals.
  if (major(rdev) >= 136 && major(rdev) <= 143) return TtyKind::kPseudoTerminal;
  bool refused = major(rdev) == 5 || (major(rdev) == 4 && minor(rdev) < 64);
  return refused ? TtyKind::kNone : TtyKind::kSerialPort;
}

class TermiosDevice final : public CommDevice {
 public:
  TermiosDevice(const CommSys& sys, int fd, bool pseudoTerminal)
      : sys_(sys), fd_(fd), pseudo_terminal_(pseudoTerminal) {}
  ~TermiosDevice() override {
    sys_.ioctl(fd_, TIOCNXCL, nullptr);
    sys_.close(fd_);  // not retried: the descriptor is gone even when close reports EINTR
  }
  TermiosDevice(const TermiosDevice&) = delete;
  TermiosDevice& operator=(const TermiosDevice&) = delete;

  bool start() {
    termios t{};
    if (retry_eintr([&] { return sys_.tcgetattr(fd_, &t); }) != 0) return false;
    make_raw(t);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | INPCK);
    if (retry_eintr([&] { return sys_.tcsetattr(fd_, TCSANOW, &t); }) != 0) return false;
    icount_supported_ = sys_.ioctl(fd_, TIOCGICOUNT, &counts_) == 0;
    return true;
  }

  int poll_fd() const override { return fd_; }

  ssize_t read_some(void* buffer, std::size_t count) override {
    ssize_t n = retry_eintr([&] { return sys_.read(fd_, buffer, count); });
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
    return n;
  }

  ssize_t write_some(const void* buffer, std::size_t count) override {
    ssize_t n = retry_eintr([&] { return sys_.write(fd_, buffer, count); });
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
    return n;
  }

  bool configure(const DCB& dcb) override;
  bool get_state(DCB* dcb) override;

  bool set_break(bool on) override {
    return retry_eintr([&] { return sys_.ioctl(fd_, on ? TIOCSBRK : TIOCCBRK, nullptr); }) == 0;
  }

  void purge(DWORD flags) override {
    bool rx = (flags & PURGE_RXCLEAR) != 0;
    bool tx = (flags & PURGE_TXCLEAR) != 0;
    if (rx || tx) sys_.tcflush(fd_, rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH);
  }

  DWORD take_errors() override;

  DWORD output_queue() const override {
    int n = 0;
    return sys_.ioctl(fd_, TIOCOUTQ, &n) == 0 && n > 0 ? static_cast<DWORD>(n) : 0;
  }

 private:
  bool set_custom_speed(unsigned baud);
  unsigned custom_speed() const;
  void set_modem_line(int line, bool on) {
    int bits = line;
    sys_.ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits);  // a pseudo-terminal has no modem lines
  }

  const CommSys& sys_;
  int fd_;
  bool pseudo_terminal_;
  bool icount_supported_ = false;
  serial_icounter_struct counts_{};
};

bool TermiosDevice::configure(const DCB& dcb) {
  termios t{};
  if (retry_eintr([&] { return sys_.tcgetattr(fd_, &t); }) != 0) return false;
  make_raw(t);
  if (dcb.ByteSize < 5 || dcb.ByteSize > 8) {
    errno = EINVAL;
    return false;
  }
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= kSizes[dcb.ByteSize - 5];
  switch (dcb.Parity) {
    case 1:
      t.c_cflag |= PARENB | PARODD;
      break;
    case 2:
      t.c_cflag |= PARENB;
      break;
    case 3:
      t.c_cflag |= PARENB | PARODD | CMSPAR;
      break;
    case 4:
      t.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  if (dcb.StopBits != 0) t.c_cflag |= CSTOPB;  // 1.5 with five data bits, else 2
  DWORD dtr = (dcb.Flags >> 4) & 3;
  DWORD rts = (dcb.Flags >> 12) & 3;
  if ((dcb.Flags & DCB_fOutxCtsFlow) || rts == 2) t.c_cflag |= CRTSCTS;
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | INPCK);
  if (dcb.Flags & DCB_fParity) t.c_iflag |= INPCK;
  if (dcb.Flags & DCB_fOutX) t.c_iflag |= IXON;
  if (dcb.Flags & DCB_fInX) t.c_iflag |= IXOFF;
  if (dcb.Flags & (DCB_fOutX | DCB_fInX)) {
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
  }
  unsigned code = standard_speed_code(dcb.BaudRate);
  bool custom = code == 0;
  if (custom) code = B38400;  // replaced by the exact rate below
  cfsetispeed(&t, code);
  cfsetospeed(&t, code);
  if (retry_eintr([&] { return sys_.tcsetattr(fd_, TCSANOW, &t); }) != 0) {
    // glibc reports EINVAL when the kernel kept 8 bits without parity, which a
    // pseudo-terminal always does; everything else was applied.
    if (!(pseudo_terminal_ && errno == EINVAL)) return false;
  }
  if (custom && !set_custom_speed(dcb.BaudRate)) return false;
  set_modem_line(TIOCM_DTR, dtr != 0);  // handshake is not available: held on
  if (rts != 2) set_modem_line(TIOCM_RTS, rts != 0);
  return true;
}

bool TermiosDevice::set_custom_speed(unsigned baud) {
#ifdef OSC_HAVE_TERMIOS2
  KernelTermios2 t{};
  if (retry_eintr([&] { return sys_.ioctl(fd_, kGetTermios2, &t); }) != 0) return false;
  t.c_cflag &= ~static_cast<tcflag_t>(CBAUD);
  t.c_cflag |= kBaudOther;
  t.c_ispeed = baud;
  t.c_ospeed = baud;
  return retry_eintr([&] { return sys_.ioctl(fd_, kSetTermios2, &t); }) == 0;
#else
  (void)baud;
  errno = EINVAL;
  return false;
#endif
}

unsigned TermiosDevice::custom_speed() const {
#ifdef OSC_HAVE_TERMIOS2
  KernelTermios2 t{};
  if (sys_.ioctl(fd_, kGetTermios2, &t) == 0) return t.c_ospeed;
#endif
  return 0;
}

bool TermiosDevice::get_state(DCB* dcb) {
  termios t{};
  if (retry_eintr([&] { return sys_.tcgetattr(fd_, &t); }) != 0) return false;
  *dcb = DCB{};
  dcb->DCBlength = sizeof(DCB);
  speed_t code = cfgetospeed(&t);
  unsigned baud = baud_of_code(code);
  dcb->BaudRate = baud != 0 ? baud : custom_speed();
  switch (t.c_cflag & CSIZE) {
    case CS5:
      dcb->ByteSize = 5;
      break;
    case CS6:
      dcb->ByteSize = 6;
      break;
    case CS7:
      dcb->ByteSize = 7;
      break;
    default:
      dcb->ByteSize = 8;
      break;
  }
  if (t.c_cflag & PARENB) {
    bool odd = t.c_cflag & PARODD;
    dcb->Parity = (t.c_cflag & CMSPAR) ? (odd ? 3 : 4) : (odd ? 1 : 2);
  }
  if (t.c_cflag & CSTOPB) dcb->StopBits = dcb->ByteSize == 5 ? 1 : 2;
  int lines = 0;
  bool have_lines = sys_.ioctl(fd_, TIOCMGET, &lines) == 0;
  DWORD flags = DCB_fBinary;
  if (!have_lines || (lines & TIOCM_DTR)) flags |= DCB_fDtrControlEnable;
  if (t.c_cflag & CRTSCTS) {
    flags |= DCB_fOutxCtsFlow | DCB_fRtsControlHandshake;
  } else if (!have_lines || (lines & TIOCM_RTS)) {
    flags |= DCB_fRtsControlEnable;
  }
  if (t.c_iflag & INPCK) flags |= DCB_fParity;
  if (t.c_iflag & IXON) flags |= DCB_fOutX;
  if (t.c_iflag & IXOFF) flags |= DCB_fInX;
  dcb->Flags = flags;
  dcb->XonChar = static_cast<char>(t.c_cc[VSTART]);
  dcb->XoffChar = static_cast<char>(t.c_cc[VSTOP]);
  return true;
}

DWORD TermiosDevice::take_errors() {
  if (!icount_supported_) return 0;
  serial_icounter_struct now{};
  if (sys_.ioctl(fd_, TIOCGICOUNT, &now) != 0) return 0;
  DWORD errors = 0;
  if (now.buf_overrun != counts_.buf_overrun) errors |= CE_RXOVER;
  if (now.overrun != counts_.overrun) errors |= CE_OVERRUN;
  if (now.parity != counts_.parity) errors |= CE_RXPARITY;
  if (now.frame != counts_.frame) errors |= CE_FRAME;
  if (now.brk != counts_.brk) errors |= CE_BREAK;
  counts_ = now;
  return errors;
}

}  // namespace

unsigned standard_speed_code(unsigned baud) {
  for (const auto& s : kSpeeds) {
    if (s.baud == baud) return s.code;
  }
  return 0;
}

TtyKind tty_driver_kind(std::string_view drivers, unsigned major, unsigned minor) {
  std::istringstream lines{std::string(drivers)};
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string name, path, type, range;
    unsigned maj = 0;
    if (!(fields >> name >> path >> maj >> range >> type)) continue;
    if (maj != major) continue;
    unsigned first = 0, last = 0;
    char dash = 0;
    std::istringstream r(range);
    if (!(r >> first)) continue;
    last = (r >> dash >> last && dash == '-') ? last : first;
    if (minor < first || minor > last) continue;
    if (type == "serial") return TtyKind::kSerialPort;
    if (type == "pty:slave") return TtyKind::kPseudoTerminal;
    return TtyKind::kNone;
  }
  return TtyKind::kNone;
}

std::unique_ptr<CommDevice> open_termios_device(const std::string& path, DWORD* error, const CommSys& sys) {
  auto fail = [&](DWORD code) -> std::unique_ptr<CommDevice> {
    *error = code;
    return nullptr;
  };
  // Decide before opening: opening some character devices has effects of its own.
  struct stat st {};
  if (sys.stat(path.c_str(), &st) != 0) return fail(error_of_errno(errno));
  TtyKind kind = S_ISCHR(st.st_mode) ? kind_of_device(st.st_rdev) : TtyKind::kNone;
  if (kind == TtyKind::kNone) return fail(ERROR_FILE_NOT_FOUND);

  int fd = retry_eintr([&] { return sys.open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
  if (fd < 0) return fail(error_of_errno(errno));
  struct stat opened {};
  termios t{};
  if (sys.fstat(fd, &opened) != 0 || !S_ISCHR(opened.st_mode) || opened.st_rdev != st.st_rdev ||
      sys.tcgetattr(fd, &t) != 0) {
    sys.close(fd);
    return fail(ERROR_FILE_NOT_FOUND);
  }
  // TIOCEXCL alone does not stop root; the lock does.
  if (retry_eintr([&] { return sys.flock(fd, LOCK_EX | LOCK_NB); }) != 0) {
    int e = errno;
    sys.close(fd);
    return fail(e == EWOULDBLOCK ? ERROR_ACCESS_DENIED : error_of_errno(e));
  }
  sys.ioctl(fd, TIOCEXCL, nullptr);
  auto device = std::make_unique<TermiosDevice>(sys, fd, kind == TtyKind::kPseudoTerminal);
  if (!device->start()) return fail(ERROR_GEN_FAILURE);
  *error = ERROR_SUCCESS;
  return device;
}

}  // namespace osc::win::detail

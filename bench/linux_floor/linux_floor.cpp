// The least a Linux program can do to quiet a player on a ring, for
// bench/linux.sh to measure beside hushcalld: a bare poll() on the tty,
// the same ring scanner, and on each report the same two D-Bus calls the
// service makes (the player's PlaybackStatus, then Pause), synchronously.
//
//   linux_floor DEVICE BUS_NAME
#include <fcntl.h>
#include <poll.h>
#include <systemd/sd-bus.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "common/posix/unique_fd.h"
#include "ringwatch/core/ring_scanner.h"

namespace {

constexpr const char* kPath = "/org/mpris/MediaPlayer2";
constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";

bool PausePlayer(sd_bus* bus, const char* name) {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  char* status = nullptr;
  int r = sd_bus_get_property_string(bus, name, kPath, kPlayer, "PlaybackStatus", &error, &status);
  std::free(status);
  if (r >= 0) {
    sd_bus_message* reply = nullptr;
    r = sd_bus_call_method(bus, name, kPath, kPlayer, "Pause", &error, &reply, "");
    sd_bus_message_unref(reply);
  }
  if (r < 0) std::fprintf(stderr, "linux_floor: %s\n", error.message ? error.message : "failed");
  sd_bus_error_free(&error);
  return r >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: linux_floor DEVICE BUS_NAME\n");
    return 2;
  }
  hushcall::posix::UniqueFd tty(::open(argv[1], O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!tty) {
    std::perror("linux_floor: open");
    return 1;
  }
  termios mode{};
  ::tcgetattr(tty.get(), &mode);
  ::cfmakeraw(&mode);
  ::cfsetspeed(&mode, B9600);
  mode.c_cflag |= CLOCAL | CREAD;
  ::tcsetattr(tty.get(), TCSANOW, &mode);

  sd_bus* bus = nullptr;
  if (sd_bus_open_user(&bus) < 0) {
    std::fprintf(stderr, "linux_floor: no session bus\n");
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);

  hushcall::ringwatch::RingScanner scanner;
  for (;;) {
    pollfd watched{tty.get(), POLLIN, 0};
    if (::poll(&watched, 1, -1) < 0) continue;
    if ((watched.revents & (POLLHUP | POLLERR)) != 0) break;
    char buffer[256];
    const ssize_t n = ::read(tty.get(), buffer, sizeof buffer);
    if (n <= 0) continue;
    if (scanner.Scan(std::string(buffer, static_cast<std::size_t>(n)))) PausePlayer(bus, argv[2]);
  }
  sd_bus_flush_close_unref(bus);
  return 0;
}

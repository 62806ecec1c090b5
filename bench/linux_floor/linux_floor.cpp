// The least a Linux program can do to quiet a player on a ring, for
// bench/linux.sh to measure beside hushcalld: a bare poll() on the tty or
// on a TCP connection to a call monitor, the service's own ring scanner or
// line reader, a bare MQTT subscriber taking every message on a topic
// for a ring, or a bare UDP socket (registered by bench/sip_caller.py)
// taking each new INVITE for one; and on each ring the same two D-Bus calls
// the service makes (the player's properties, then Pause), synchronously.
//
//   linux_floor DEVICE BUS_NAME
//   linux_floor --callmonitor PORT BUS_NAME    (the call monitor on 127.0.0.1)
//   linux_floor --mqtt PORT TOPIC BUS_NAME     (a broker on 127.0.0.1)
//   linux_floor --sip PORT BUS_NAME            (INVITEs to 127.0.0.1:PORT)
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <systemd/sd-bus.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "common/posix/unique_fd.h"
#include "ringwatch/calls/line_splitter.h"
#include "ringwatch/core/ring_scanner.h"
#include "ringwatch/sources/callmonitor/call_monitor_line.h"
#include "ringwatch/sources/mqtt/mosquitto_handles.h"

namespace {

constexpr const char* kPath = "/org/mpris/MediaPlayer2";
constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";

bool PausePlayer(sd_bus* bus, const char* name) {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  int r = sd_bus_call_method(bus, name, kPath, "org.freedesktop.DBus.Properties", "GetAll", &error,
                             &reply, "s", kPlayer);
  sd_bus_message_unref(reply);
  reply = nullptr;
  if (r >= 0) {
    r = sd_bus_call_method(bus, name, kPath, kPlayer, "Pause", &error, &reply, "");
    sd_bus_message_unref(reply);
  }
  if (r < 0) std::fprintf(stderr, "linux_floor: %s\n", error.message ? error.message : "failed");
  sd_bus_error_free(&error);
  return r >= 0;
}

hushcall::posix::UniqueFd OpenTty(const char* path) {
  hushcall::posix::UniqueFd tty(::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!tty) return tty;
  termios mode{};
  ::tcgetattr(tty.get(), &mode);
  ::cfmakeraw(&mode);
  ::cfsetspeed(&mode, B9600);
  mode.c_cflag |= CLOCAL | CREAD;
  ::tcsetattr(tty.get(), TCSANOW, &mode);
  return tty;
}

// Connected as the service connects: no delay on small writes either way.
hushcall::posix::UniqueFd ConnectLoopback(int port) {
  hushcall::posix::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd) return fd;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int on = 1;
  ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return hushcall::posix::UniqueFd();
  }
  return fd;
}

struct Subscriber {
  sd_bus* bus;
  const char* player;
  const char* topic;
};

// libmosquitto's own loop: subscribed on connecting, "ready" once the
// broker has granted it, a Pause for every message.
int FollowTopic(sd_bus* bus, int port, const char* topic, const char* player) {
  hushcall::ringwatch::MosquittoLibrary library;
  Subscriber subscriber{bus, player, topic};
  hushcall::ringwatch::MosquittoPtr client(::mosquitto_new(nullptr, true, &subscriber));
  if (!client) return 1;
  ::mosquitto_connect_callback_set(client.get(), [](mosquitto* m, void* self, int) {
    ::mosquitto_subscribe(m, nullptr, static_cast<Subscriber*>(self)->topic, 1);
  });
  ::mosquitto_subscribe_callback_set(client.get(), [](mosquitto*, void*, int, int, const int*) {
    std::printf("ready\n");
    std::fflush(stdout);
  });
  ::mosquitto_message_callback_set(client.get(), [](mosquitto*, void* self, const mosquitto_message*) {
    const auto* s = static_cast<Subscriber*>(self);
    PausePlayer(s->bus, s->player);
  });
  if (::mosquitto_connect(client.get(), "127.0.0.1", port, 60) != MOSQ_ERR_SUCCESS) {
    std::fprintf(stderr, "linux_floor: the broker refused\n");
    return 1;
  }
  return ::mosquitto_loop_forever(client.get(), -1, 1) == MOSQ_ERR_SUCCESS ? 0 : 1;
}

// Answers nothing: the registrar's resends of an INVITE are known by their
// Call-ID and taken once.
int TakeInvites(sd_bus* bus, int port, const char* player) {
  hushcall::posix::UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (!fd || ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    std::perror("linux_floor: bind");
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  std::deque<std::string> seen;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::recv(fd.get(), buffer, sizeof buffer, 0);
    if (n <= 0) continue;
    const std::string_view text(buffer, static_cast<std::size_t>(n));
    if (!text.starts_with("INVITE ")) continue;
    const std::size_t at = text.find("\r\nCall-ID:");
    const std::string_view rest = at == std::string_view::npos ? text : text.substr(at + 2);
    const std::string callId(rest.substr(0, rest.find("\r\n")));
    if (std::find(seen.begin(), seen.end(), callId) != seen.end()) continue;
    if (seen.size() == 64) seen.pop_front();
    seen.push_back(callId);
    PausePlayer(bus, player);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const bool callMonitor = argc == 4 && std::string(argv[1]) == "--callmonitor";
  const bool mqtt = argc == 5 && std::string(argv[1]) == "--mqtt";
  const bool sip = argc == 4 && std::string(argv[1]) == "--sip";
  if (argc != 3 && !callMonitor && !mqtt && !sip) {
    std::fprintf(stderr, "usage: linux_floor DEVICE BUS_NAME\n"
                         "       linux_floor --callmonitor PORT BUS_NAME\n"
                         "       linux_floor --mqtt PORT TOPIC BUS_NAME\n"
                         "       linux_floor --sip PORT BUS_NAME\n");
    return 2;
  }
  if (mqtt || sip) {
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0) {
      std::fprintf(stderr, "linux_floor: no session bus\n");
      return 1;
    }
    const int code = mqtt ? FollowTopic(bus, std::atoi(argv[2]), argv[3], argv[4])
                          : TakeInvites(bus, std::atoi(argv[2]), argv[3]);
    sd_bus_flush_close_unref(bus);
    return code;
  }
  const char* player = argv[argc - 1];
  hushcall::posix::UniqueFd fd = callMonitor ? ConnectLoopback(std::atoi(argv[2])) : OpenTty(argv[1]);
  if (!fd) {
    std::perror(callMonitor ? "linux_floor: connect" : "linux_floor: open");
    return 1;
  }

  sd_bus* bus = nullptr;
  if (sd_bus_open_user(&bus) < 0) {
    std::fprintf(stderr, "linux_floor: no session bus\n");
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);

  // Whether what was read completes a ring.
  std::function<bool(std::string_view)> rings;
  hushcall::ringwatch::RingScanner scanner;
  hushcall::ringwatch::LineSplitter splitter(hushcall::ringwatch::kCallMonitorMaxLine);
  if (callMonitor) {
    rings = [&splitter](std::string_view bytes) {
      bool ring = false;
      for (const std::string& text : splitter.Feed(bytes).complete) {
        const auto line = hushcall::ringwatch::ParseCallMonitorLine(text);
        ring = ring || (line.verdict == hushcall::ringwatch::CallMonitorLine::Verdict::kCall &&
                        line.report.direction == hushcall::ringwatch::CallDirection::kIncoming &&
                        line.report.phase == hushcall::ringwatch::CallPhase::kRinging);
      }
      return ring;
    };
  } else {
    rings = [&scanner](std::string_view bytes) { return scanner.Scan(std::string(bytes)); };
  }
  for (;;) {
    pollfd watched{fd.get(), POLLIN, 0};
    if (::poll(&watched, 1, -1) < 0) continue;
    char buffer[4096];
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n == 0 && callMonitor) break;
    if (n <= 0) {
      if ((watched.revents & (POLLHUP | POLLERR)) != 0) break;
      continue;
    }
    if (rings(std::string_view(buffer, static_cast<std::size_t>(n)))) PausePlayer(bus, player);
  }
  sd_bus_flush_close_unref(bus);
  return 0;
}

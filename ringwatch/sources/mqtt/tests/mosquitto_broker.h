// A real mosquitto broker for a test: its own configuration in a scratch
// folder, on a free loopback port, started as a child and stopped with the
// object. Never a system service.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "common/posix/unique_fd.h"

extern char** environ;

namespace hushcall::testing {

class MosquittoBroker {
 public:
  struct Options {
    // With a user, only that user and password are let in; without, anyone.
    std::string user;
    std::string password;
    // Non-empty: TLS only, with a certificate for this name from a CA of
    // its own, ca.pem in folder().
    std::string certificateFor;
  };

  explicit MosquittoBroker(const Options& options = {}) {
    const std::string& user = options.user;
    const std::string& password = options.password;
    char dir[] = "/tmp/hc-mosquitto.XXXXXX";
    if (::mkdtemp(dir) == nullptr) std::abort();
    dir_ = dir;
    // mosquitto started as root drops to its own user, which must still
    // read what is here.
    ::chmod(dir_.c_str(), 0755);
    port_ = FreePort();
    std::string conf = "listener " + std::to_string(port_) + " 127.0.0.1\npersistence false\n";
    if (user.empty()) {
      conf += "allow_anonymous true\n";
    } else {
      const std::string passwords = dir_ + "/passwords";
      const std::string command = "mosquitto_passwd -c -b " + passwords + " " + user + " " +
                                  password + " >/dev/null 2>&1";
      if (std::system(command.c_str()) != 0) std::abort();
      ::chmod(passwords.c_str(), 0644);
      conf += "allow_anonymous false\npassword_file " + passwords + "\n";
    }
    if (!options.certificateFor.empty()) {
      MakeCertificates(options.certificateFor);
      conf += "cafile " + dir_ + "/ca.pem\ncertfile " + dir_ + "/server.pem\nkeyfile " + dir_ +
              "/server.key\n";
    }
    Write(dir_ + "/mosquitto.conf", conf);
    Start();
  }
  ~MosquittoBroker() {
    Stop();
    const std::string command = "rm -rf " + dir_;
    [[maybe_unused]] const int rc = std::system(command.c_str());
  }
  MosquittoBroker(const MosquittoBroker&) = delete;
  MosquittoBroker& operator=(const MosquittoBroker&) = delete;

  std::uint16_t port() const { return port_; }
  const std::string& folder() const { return dir_; }

  static sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
  }

  // A loopback port nothing listens on, for this and the tests' other servers.
  static std::uint16_t FreePort() {
    posix::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      std::abort();
    }
    return ntohs(address.sin_port);
  }

  // Starts it (again, on the same port); true once it takes connections.
  bool Start() {
    const std::string conf = dir_ + "/mosquitto.conf";
    const char* argv[] = {"mosquitto", "-c", conf.c_str(), nullptr};
    pid_ = Spawn(argv, dir_ + "/mosquitto.log");
    for (int i = 0; pid_ > 0 && i < 100; ++i) {
      if (Accepts()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  void Stop() { End(pid_); }

  // A child with its output and errors appended to `log`, and its input
  // from `input` when one is given: its pid, or -1.
  static pid_t Spawn(const char* const argv[], const std::string& log, int input = -1) {
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    if (input >= 0) ::posix_spawn_file_actions_adddup2(&actions, input, 0);
    ::posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                       0644);
    ::posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    if (::posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv),
                       environ) != 0) {
      pid = -1;
    }
    ::posix_spawn_file_actions_destroy(&actions);
    return pid;
  }

  static void End(pid_t& pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
  }

 private:
  // A CA and a server certificate signed by it, with `name` as its DNS name.
  void MakeCertificates(const std::string& name) {
    Write(dir_ + "/san.ext", "subjectAltName=DNS:" + name + "\n");
    const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    const std::string in = "cd " + dir_ + " && ";
    const std::string commands[] = {
        in + "openssl req -x509" + ec + " -keyout ca.key -out ca.pem -days 1 -subj /CN=HushcallTestCA",
        in + "openssl req" + ec + " -keyout server.key -out server.csr -subj /CN=" + name,
        in + "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial "
             "-out server.pem -days 1 -extfile san.ext",
        in + "chmod 644 server.key ca.pem server.pem",
    };
    for (const std::string& command : commands) {
      if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) std::abort();
    }
  }

  static void Write(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) std::abort();
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    ::chmod(path.c_str(), 0644);
  }

  bool Accepts() const {
    posix::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in address = Loopback(port_);
    return ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }

  std::string dir_;
  std::uint16_t port_ = 0;
  pid_t pid_ = -1;
};

}  // namespace hushcall::testing

// Reading the settings file.
#include "daemon/settings_loader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/posix/unique_fd.h"
#include "ringwatch/posix/secret_file.h"

namespace hushcall::daemon {
namespace {

// A settings file is a few hundred bytes; this bounds a wrong path such as
// /dev/zero.
constexpr std::size_t kMaxBytes = 64 * 1024;

LoadedSettings Unreadable(const std::string& path, const std::string& why) {
  LoadedSettings loaded;
  loaded.file = LoadedSettings::File::kUnreadable;
  loaded.settings = DefaultServiceSettings();
  loaded.messages.push_back(path + ": cannot be read: " + why);
  return loaded;
}

// A password file is checked where the settings are read, so that --check
// says what the start would: one that others may read is refused, and its
// source stays off until the file is the user's alone. False once said.
bool PasswordFileUsable(const std::string& path, const std::string& key, const std::string& file,
                        const std::string& source, LoadedSettings& loaded) {
  const ringwatch::SecretFile read = ringwatch::ReadSecretFile(file);
  if (read.problem.empty()) return true;
  loaded.messages.push_back(path + ": " + key + " " + file + " " + read.problem + "; " + source +
                            " is not used");
  return false;
}

void CheckPasswordFiles(const std::string& path, LoadedSettings& loaded) {
  MqttSettings& mqtt = loaded.settings.mqtt;
  if (!mqtt.broker.host.empty() && !mqtt.broker.user.empty() && !mqtt.passwordFile.empty() &&
      !PasswordFileUsable(path, "MqttPasswordFile", mqtt.passwordFile, "MQTT", loaded)) {
    mqtt.broker = {};
  }
  SipSettings& sip = loaded.settings.sip;
  if (!sip.account.domain.empty() && !sip.passwordFile.empty() &&
      !PasswordFileUsable(path, "SipPasswordFile", sip.passwordFile, "SIP", loaded)) {
    sip.account = {};
  }
}

}  // namespace

LoadedSettings LoadSettingsFile(const std::string& path) {
  posix::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (!fd) {
    if (errno == ENOENT) {
      LoadedSettings loaded;
      loaded.settings = DefaultServiceSettings();
      return loaded;
    }
    return Unreadable(path, std::strerror(errno));
  }
  std::string text;
  char buffer[4096];
  while (true) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Unreadable(path, std::strerror(errno));
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > kMaxBytes) return Unreadable(path, "larger than 64 KiB");
  }
  SettingsFileResult parsed = ParseSettingsFile(text, path);
  LoadedSettings loaded;
  loaded.file = LoadedSettings::File::kRead;
  loaded.settings = std::move(parsed.settings);
  loaded.messages = std::move(parsed.messages);
  CheckPasswordFiles(path, loaded);
  return loaded;
}

}  // namespace hushcall::daemon

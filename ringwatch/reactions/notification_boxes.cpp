// Message boxes as org.freedesktop.Notifications.Notify calls.
#include "ringwatch/reactions/notification_boxes.h"

#include <string>

#include "common/status.h"
#include "ringwatch/dbus/bus_message.h"

namespace hushcall::ringwatch {

namespace {

// The icon bits of a box's code (MB_ICONHAND, MB_ICONEXCLAMATION,
// MB_ICONASTERISK).
constexpr int kIconMask = 0xF0;
constexpr int kIconError = 16;
constexpr int kIconWarning = 48;

// The notification urgency levels (low, normal, critical).
constexpr std::uint8_t kUrgencyNormal = 1;
constexpr std::uint8_t kUrgencyCritical = 2;

// Nothing waits on a notification, so its answer may take as long as D-Bus
// allows by default: a server that the bus starts on demand can take
// seconds, and an earlier timeout would log it as missing. Zero is sd-bus's
// own default method call timeout (25 s).
constexpr std::uint64_t kNotifyTimeoutUs = 0;

bool MeansNoServer(const std::string& error) {
  return error == "org.freedesktop.DBus.Error.ServiceUnknown" ||
         error == "org.freedesktop.DBus.Error.NameHasNoOwner" ||
         error == "org.freedesktop.DBus.Error.NoReply" ||
         error == "org.freedesktop.DBus.Error.Timeout" ||
         error == "org.freedesktop.DBus.Error.TimedOut";
}

}  // namespace

NotificationBoxes::NotificationBoxes(Bus& session, Log& log)
    : bus_(session), log_(log), calls_(session) {}

int NotificationBoxes::Show(std::string_view text, std::string_view title, int code) {
  try {
    const std::string body(text);
    const std::string summary(title);
    log_.Line(summary + ": " + body);
    const int icon = code & kIconMask;
    const char* iconName = icon == kIconError     ? "dialog-error"
                           : icon == kIconWarning ? "dialog-warning"
                                                  : "dialog-information";
    const std::uint8_t urgency = icon == kIconError ? kUrgencyCritical : kUrgencyNormal;
    auto call =
        bus_.NewMethodCall("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                           "org.freedesktop.Notifications", "Notify");
    // app_name, replaces_id, app_icon, summary, body, actions, hints,
    // expire_timeout (-1: the server's default).
    if (sd_bus_message_append(call.get(), "susssasa{sv}i", "Hushcall", 0u, iconName,
                              summary.c_str(), body.c_str(), 0, 1, "urgency", "y", urgency,
                              -1) < 0) {
      log_.Line("Hushcall could not make a notification of that text");
      return kAnswer;
    }
    calls_.Call(std::move(call), kNotifyTimeoutUs,
                [this](sd_bus_message& reply) { OnReply(reply); });
  } catch (...) {
    // Bus::CallAsync has said why; the text is in the log.
  }
  return kAnswer;
}

void NotificationBoxes::OnReply(sd_bus_message& reply) {
  const std::string error = ErrorName(reply);
  if (error.empty()) {
    noServerLogged_ = false;
  } else if (MeansNoServer(error)) {
    if (!noServerLogged_) {
      noServerLogged_ = true;
      log_.Line("No notification server took Hushcall's notification (" + ErrorText(reply) +
                "); its messages are in this log only");
    }
  } else {
    log_.Line("The notification server refused Hushcall's notification (" + ErrorText(reply) + ")");
  }
}

}  // namespace hushcall::ringwatch

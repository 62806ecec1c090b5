// Message boxes as org.freedesktop.Notifications.Notify calls.
#include "ringwatch/reactions/notification_boxes.h"

#include <string>
#include <utility>

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

std::string EscapeBodyMarkup(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

NotificationBoxes::NotificationBoxes(Bus& session, Log& log)
    : bus_(session), log_(log), calls_(session) {}

int NotificationBoxes::Show(std::string_view text, std::string_view title, int code) {
  Send({std::string(text), std::string(title)}, code, 0, [](sd_bus_message&) {});
  return kAnswer;
}

void NotificationBoxes::ShowChangeable(std::string_view text, std::string_view title, int code) {
  const std::uint64_t notice = ++notice_;
  noticeCode_ = code;
  noticeId_ = 0;
  waitingChange_.reset();
  noticeSending_ = Send({std::string(text), std::string(title)}, code, 0,
                        [this, notice](sd_bus_message& reply) { OnChangeableReply(notice, reply); });
}

void NotificationBoxes::Change(std::string_view text, std::string_view title) {
  if (notice_ == 0) return;
  Texts texts{std::string(text), std::string(title)};
  // One Notify of it at a time, so each change replaces the id the last
  // one returned.
  if (noticeSending_) {
    waitingChange_ = std::move(texts);
    return;
  }
  SendChange(texts);
}

void NotificationBoxes::SendChange(const Texts& texts) {
  const std::uint64_t notice = notice_;
  noticeSending_ = Send(texts, noticeCode_, noticeId_, [this, notice](sd_bus_message& reply) {
    OnChangeableReply(notice, reply);
  });
}

void NotificationBoxes::OnChangeableReply(std::uint64_t notice, sd_bus_message& reply) {
  if (notice != notice_) return;
  noticeSending_ = false;
  std::uint32_t id = 0;
  // Without an id (no server, or a refusal) a change is shown anew.
  if (ErrorName(reply).empty() && sd_bus_message_read(&reply, "u", &id) < 0) id = 0;
  noticeId_ = id;
  if (waitingChange_) {
    const Texts texts = std::move(*waitingChange_);
    waitingChange_.reset();
    SendChange(texts);
  }
}

bool NotificationBoxes::Send(const Texts& texts, int code, std::uint32_t replacesId,
                             MessageHandler onReply) {
  try {
    const std::string body = EscapeBodyMarkup(texts.text);
    const std::string& summary = texts.title;
    log_.Line(summary + ": " + texts.text);
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
    if (sd_bus_message_append(call.get(), "susssasa{sv}i", "Hushcall", replacesId, iconName,
                              summary.c_str(), body.c_str(), 0, 1, "urgency", "y", urgency,
                              -1) < 0) {
      log_.Line("Hushcall could not make a notification of that text");
      return false;
    }
    calls_.Call(std::move(call), kNotifyTimeoutUs,
                [this, onReply = std::move(onReply)](sd_bus_message& reply) {
                  OnReply(reply);
                  onReply(reply);
                });
    return true;
  } catch (...) {
    // Bus::CallAsync has said why; the text is in the log.
    return false;
  }
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

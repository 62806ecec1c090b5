// The ring watch's message boxes on the Linux desktop: desktop
// notifications (org.freedesktop.Notifications), sent without waiting, and
// every text also in the log. Nobody answers a notification, so each box
// counts as answered with OK at once.
#pragma once

#include <cstdint>
#include <string_view>

#include "ringwatch/core/message_boxes.h"
#include "ringwatch/dbus/bus.h"
#include "ringwatch/dbus/pending_calls.h"
#include "ringwatch/posix/log.h"

namespace hushcall::ringwatch {


class NotificationBoxes final : public MessageBoxes {
 public:
  // What Show answers: the OK button's code.
  static constexpr int kAnswer = 1;

  NotificationBoxes(Bus& session, Log& log);

  // Logs "title: text", sends the notification (app "Hushcall", summary the
  // title, body the text; the icon and urgency from `code`'s icon) and
  // returns kAnswer at once. Without a notification server the log says so
  // once, until one answers again. Never throws.
  int Show(std::string_view text, std::string_view title, int code) override;
  // A notification is never waiting for an answer.
  bool Unanswered(std::string_view, std::string_view) override { return false; }

 private:
  void OnReply(sd_bus_message& reply);

  Bus& bus_;
  Log& log_;
  PendingCalls calls_;
  bool noServerLogged_ = false;
};

}  // namespace hushcall::ringwatch

// The ring watch's message boxes on the Linux desktop: desktop
// notifications (org.freedesktop.Notifications), sent without waiting, and
// every text also in the log. Nobody answers a notification, so each box
// counts as answered with OK at once. A body may be markup to the server:
// every body is sent escaped, so that no text (a caller's name from the
// line, say) is ever taken for markup.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ringwatch/core/message_boxes.h"
#include "ringwatch/dbus/bus.h"
#include "ringwatch/dbus/pending_calls.h"
#include "ringwatch/posix/log.h"

namespace hushcall::ringwatch {

// `text` with &, < and > as the notification body's markup escapes them.
std::string EscapeBodyMarkup(std::string_view text);

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

  // Shows a notification as Show does, one that Change may alter in place
  // later; an earlier one can no longer be changed then.
  void ShowChangeable(std::string_view text, std::string_view title, int code);
  // Replaces the changeable notification's text and title in place, with
  // the id its server returned as replaces_id. A change made before that id
  // is back is sent once it is, the latest change alone. Never throws.
  void Change(std::string_view text, std::string_view title);

 private:
  struct Texts {
    std::string text;
    std::string title;
  };
  // Sends one Notify; false when it could not be sent. `onReply` sees the
  // server's reply after it was logged.
  bool Send(const Texts& texts, int code, std::uint32_t replacesId,
            MessageHandler onReply);
  void OnReply(sd_bus_message& reply);
  void OnChangeableReply(std::uint64_t notice, sd_bus_message& reply);
  void SendChange(const Texts& texts);

  Bus& bus_;
  Log& log_;
  PendingCalls calls_;
  bool noServerLogged_ = false;
  // The changeable notification: its number among them, its code, the
  // server's id (0 until known), whether a Notify of it is on its way, and
  // the change that waits for its reply.
  std::uint64_t notice_ = 0;
  int noticeCode_ = 0;
  std::uint32_t noticeId_ = 0;
  bool noticeSending_ = false;
  std::optional<Texts> waitingChange_;
};

}  // namespace hushcall::ringwatch

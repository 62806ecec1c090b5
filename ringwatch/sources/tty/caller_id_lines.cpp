#include "ringwatch/sources/tty/caller_id_lines.h"

#include <utility>

namespace hushcall::ringwatch {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

std::string Printable(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c < 0x20 || c > 0x7E) c = '?';
  }
  return out;
}

CallerDetail Detail(std::string_view value) {
  if (value == "O") return {CallerDetail::Kind::kUnavailable, {}};
  if (value == "P") return {CallerDetail::Kind::kWithheld, {}};
  if (value.empty()) return {};
  return CallerDetail::Known(Printable(value));
}

}  // namespace

CallerIdLines::Read CallerIdLines::Feed(std::string_view text) {
  Read read;
  LineSplitter::Lines lines = splitter_.Feed(text);
  read.dropped = lines.dropped;
  for (const std::string& line : lines.complete) Line(Trim(line), read);
  return read;
}

void CallerIdLines::Reset() {
  splitter_.Clear();
  block_.reset();
}

void CallerIdLines::Line(std::string_view line, Read& read) {
  const std::size_t equals = line.find('=');
  const std::string_view key = Trim(line.substr(0, equals));
  const bool field = equals != std::string_view::npos &&
                     (key == "NMBR" || key == "NAME" || key == "DATE" || key == "TIME");
  if (!field) {
    Finish(read);
    if (line == "OK") read.ok = true;
    if (line == "ERROR") read.error = true;
    return;
  }
  const std::string_view value = Trim(line.substr(equals + 1));
  if (!block_) block_.emplace();
  ModemCallerId& block = *block_;
  const bool again = key == "NMBR"   ? block.number.kind != CallerDetail::Kind::kUnknown
                     : key == "NAME" ? block.name.kind != CallerDetail::Kind::kUnknown
                     : key == "DATE" ? !block.date.empty()
                                     : !block.time.empty();
  if (again) {
    Finish(read);
    block_.emplace();
  }
  if (key == "NMBR") {
    block_->number = Detail(value);
  } else if (key == "NAME") {
    block_->name = Detail(value);
  } else {
    (key == "DATE" ? block_->date : block_->time) = Printable(value);
  }
  if (block_->number.kind != CallerDetail::Kind::kUnknown &&
      block_->name.kind != CallerDetail::Kind::kUnknown) {
    Finish(read);
  }
}

void CallerIdLines::Finish(Read& read) {
  if (!block_) return;
  // Date and time alone say nothing of the caller.
  if (block_->number.kind != CallerDetail::Kind::kUnknown ||
      block_->name.kind != CallerDetail::Kind::kUnknown) {
    read.callers.push_back(std::move(*block_));
  }
  block_.reset();
}

}  // namespace hushcall::ringwatch

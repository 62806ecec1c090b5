// Reading messages with sd-bus's cursor, container by container.
#include "ringwatch/dbus/bus_message.h"

#include <string>
#include <string_view>

#include "common/status.h"

namespace hushcall::ringwatch {

namespace {

int Check(int r) {
  if (r < 0) Fail(kFail);
  return r;
}

// The type at the cursor (0 at the end of a container) and, for a
// container, the signature of what it holds.
char PeekType(sd_bus_message& message, const char** contents) {
  char type = 0;
  *contents = nullptr;
  if (Check(sd_bus_message_peek_type(&message, &type, contents)) == 0) return 0;
  return type;
}

template <class Body>
void InContainer(sd_bus_message& message, char type, const char* contents, Body&& body) {
  Check(sd_bus_message_enter_container(&message, type, contents));
  body();
  Check(sd_bus_message_exit_container(&message));
}

// Runs `body` in each dict entry of the array at the cursor; `entry` is
// the entry's signature, braces included ("{sv}").
template <class Body>
void ForEachEntry(sd_bus_message& message, std::string_view entry, Body&& body) {
  const std::string array(entry);
  const std::string inside(entry.substr(1, entry.size() - 2));
  InContainer(message, 'a', array.c_str(), [&] {
    while (Check(sd_bus_message_enter_container(&message, 'e', inside.c_str())) > 0) {
      body();
      Check(sd_bus_message_exit_container(&message));
    }
  });
}

}  // namespace

std::string ErrorName(sd_bus_message& message) {
  const sd_bus_error* error = sd_bus_message_get_error(&message);
  if (error == nullptr || error->name == nullptr) return {};
  return error->name;
}

std::string ErrorText(sd_bus_message& message) {
  const sd_bus_error* error = sd_bus_message_get_error(&message);
  if (error == nullptr) return {};
  std::string text = error->name ? error->name : "an error";
  if (error->message && *error->message) {
    text += ": ";
    text += error->message;
  }
  return text;
}

std::string ReadString(sd_bus_message& message) {
  const char* contents = nullptr;
  const char type = PeekType(message, &contents);
  if (type != 's' && type != 'o') Fail(kTypeMismatch);
  const char* value = nullptr;
  Check(sd_bus_message_read_basic(&message, type, &value));
  return value;
}

std::vector<std::string> ReadStrings(sd_bus_message& message) {
  const char* contents = nullptr;
  if (PeekType(message, &contents) != 'a' || contents == nullptr ||
      (std::string_view(contents) != "s" && std::string_view(contents) != "o")) {
    Fail(kTypeMismatch);
  }
  const char element = contents[0];
  std::vector<std::string> values;
  InContainer(message, 'a', contents, [&] {
    const char* value = nullptr;
    while (Check(sd_bus_message_read_basic(&message, element, &value)) > 0)
      values.emplace_back(value);
  });
  return values;
}

PropertyValue ReadVariant(sd_bus_message& message) {
  const char* contents = nullptr;
  if (PeekType(message, &contents) != 'v' || contents == nullptr) Fail(kTypeMismatch);
  const std::string inner = contents;
  PropertyValue value;
  InContainer(message, 'v', inner.c_str(), [&] {
    if (inner == "b") {
      int b = 0;
      Check(sd_bus_message_read_basic(&message, 'b', &b));
      value = b != 0;
    } else if (inner == "i") {
      std::int32_t i = 0;
      Check(sd_bus_message_read_basic(&message, 'i', &i));
      value = i;
    } else if (inner == "u") {
      std::uint32_t u = 0;
      Check(sd_bus_message_read_basic(&message, 'u', &u));
      value = u;
    } else if (inner == "d") {
      double d = 0;
      Check(sd_bus_message_read_basic(&message, 'd', &d));
      value = d;
    } else if (inner == "s" || inner == "o") {
      value = ReadString(message);
    } else if (inner == "as" || inner == "ao") {
      value = ReadStrings(message);
    } else {
      Check(sd_bus_message_skip(&message, inner.c_str()));
    }
  });
  return value;
}

Properties ReadProperties(sd_bus_message& message) {
  Properties properties;
  ForEachEntry(message, "{sv}", [&] {
    std::string name = ReadString(message);
    properties[std::move(name)] = ReadVariant(message);
  });
  return properties;
}

InterfaceProperties ReadInterfaces(sd_bus_message& message) {
  InterfaceProperties interfaces;
  ForEachEntry(message, "{sa{sv}}", [&] {
    std::string name = ReadString(message);
    interfaces[std::move(name)] = ReadProperties(message);
  });
  return interfaces;
}

ManagedObjects ReadManagedObjects(sd_bus_message& message) {
  ManagedObjects objects;
  ForEachEntry(message, "{oa{sa{sv}}}", [&] {
    std::string path = ReadString(message);
    objects[std::move(path)] = ReadInterfaces(message);
  });
  return objects;
}

}  // namespace hushcall::ringwatch

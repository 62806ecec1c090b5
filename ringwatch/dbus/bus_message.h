// Reading what other programs send: error replies, strings, and property
// values in the shapes D-Bus services use for them (v, a{sv}, a{sa{sv}},
// ObjectManager's a{oa{sa{sv}}}).
#pragma once

#include <systemd/sd-bus.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace hushcall::ringwatch {

// The property types Hushcall reads; a value of any other type is skipped
// and kept as monostate. Object paths are kept as strings.
using PropertyValue = std::variant<std::monostate, bool, std::int32_t, std::uint32_t, double,
                                   std::string, std::vector<std::string>>;
// A property's name to its value.
using Properties = std::map<std::string, PropertyValue, std::less<>>;
// An interface's name to its properties.
using InterfaceProperties = std::map<std::string, Properties, std::less<>>;
// An object's path to its interfaces.
using ManagedObjects = std::map<std::string, InterfaceProperties, std::less<>>;

// The error's name ("org.freedesktop.DBus.Error.ServiceUnknown"); empty
// when `message` is not an error.
std::string ErrorName(sd_bus_message& message);
// "name: text", for log lines.
std::string ErrorText(sd_bus_message& message);

// Each reads at the message's current position, and throws Failure when
// something else is there.
std::string ReadString(sd_bus_message& message);                // s or o
std::vector<std::string> ReadStrings(sd_bus_message& message);  // as or ao
PropertyValue ReadVariant(sd_bus_message& message);             // v
Properties ReadProperties(sd_bus_message& message);             // a{sv}
InterfaceProperties ReadInterfaces(sd_bus_message& message);    // a{sa{sv}}
ManagedObjects ReadManagedObjects(sd_bus_message& message);     // a{oa{sa{sv}}}

// The value of `name` when it is there with type T.
template <class T>
std::optional<T> Find(const Properties& properties, std::string_view name) {
  const auto it = properties.find(name);
  if (it == properties.end()) return std::nullopt;
  if (const T* value = std::get_if<T>(&it->second)) return *value;
  return std::nullopt;
}

}  // namespace hushcall::ringwatch

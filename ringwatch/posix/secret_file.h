// A secret kept in a file of its own, such as the MQTT broker's password:
// taken only when no one but its owner may read or change it, as ssh takes
// a private key, so that a mode slip never passes unnoticed.
#pragma once

#include <string>

namespace hushcall::ringwatch {

struct SecretFile {
  std::string secret;   // the first line, without its line end
  std::string problem;  // empty when read; else why not ("is readable by ...")
};

// Reads `path`: a regular file of this user's, without access for group or
// others, of at most 4 KiB, whose first line is not empty. Never throws
// but for std::bad_alloc.
SecretFile ReadSecretFile(const std::string& path);

}  // namespace hushcall::ringwatch

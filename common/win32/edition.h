// The two Windows editions built from these sources, and which one this
// code is compiled as: the 32-bit one for 32-bit hosts, the 64-bit one for
// 64-bit hosts. Both share one CLSID, ProgID and settings key.
#pragma once

#include <windows.h>

namespace hushcall::win32 {

enum class Edition { k32Bit, k64Bit };

inline constexpr Edition kThisEdition = sizeof(void*) == 8 ? Edition::k64Bit : Edition::k32Bit;

constexpr Edition OtherEdition(Edition edition) {
  return edition == Edition::k32Bit ? Edition::k64Bit : Edition::k32Bit;
}

// As the user reads it: "32-bit" or "64-bit".
constexpr const wchar_t* EditionName(Edition edition) {
  return edition == Edition::k32Bit ? L"32-bit" : L"64-bit";
}

// The machine field of the edition's PE files.
constexpr WORD EditionMachine(Edition edition) {
  return edition == Edition::k32Bit ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64;
}

}  // namespace hushcall::win32

#include "host/library_edition.h"

#include "common/win32/unique.h"

namespace hushcall::host {
namespace {

bool ReadAt(HANDLE file, LONG offset, void* buffer, DWORD size) {
  LARGE_INTEGER at{};
  at.QuadPart = offset;
  DWORD read = 0;
  return ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ::ReadFile(file, buffer, size, &read, nullptr) &&
         read == size;
}

}  // namespace

std::optional<win32::Edition> LibraryEdition(const std::wstring& path) {
  win32::unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  IMAGE_DOS_HEADER dos{};
  if (!ReadAt(file.get(), 0, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0)
    return std::nullopt;
  // The PE signature, then the COFF file header that starts with the machine.
  struct {
    DWORD signature;
    IMAGE_FILE_HEADER header;
  } pe{};
  if (!ReadAt(file.get(), dos.e_lfanew, &pe, sizeof pe) || pe.signature != IMAGE_NT_SIGNATURE) return std::nullopt;
  for (win32::Edition edition : {win32::Edition::k32Bit, win32::Edition::k64Bit})
    if (pe.header.Machine == win32::EditionMachine(edition)) return edition;
  return std::nullopt;
}

}  // namespace hushcall::host

#include "plugin/win32/host_wrapper_adapter.h"

#include "common/win32/unique.h"

namespace hushcall::win32 {

Status HostWrapperAdapter::SetDescription(std::u16string_view name) {
  static_assert(sizeof(char16_t) == sizeof(OLECHAR));
  unique_bstr text(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(name.data()),
                                     static_cast<UINT>(name.size())));
  if (!text) return kOutOfMemory;
  // The host must not free it: the plug-in still owns it after the call.
  return wrapper_->SetDescription(text.get());
}

Status HostWrapperAdapter::GetPlayerWindow(std::int32_t* hwnd) {
  LONG value = *hwnd;  // the caller's preset 0, kept when the host writes nothing
  const Status status = wrapper_->GetPlayerWindow(&value);
  *hwnd = value;
  return status;
}

}  // namespace hushcall::win32

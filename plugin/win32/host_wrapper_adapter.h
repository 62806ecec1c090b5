// The host's COM Wrapper seen through the core's HostWrapper seam.
#pragma once

#include "TavWinAmpGenLib.h"
#include "plugin/core/plugin_logic.h"

namespace hushcall::win32 {

class HostWrapperAdapter final : public HostWrapper {
 public:
  // `wrapper` must outlive the adapter; the Plugin object holds it.
  explicit HostWrapperAdapter(::Wrapper* wrapper) : wrapper_(wrapper) {}
  // Passes a BSTR that the plug-in allocates and frees itself.
  Status SetDescription(std::u16string_view name) override;
  Status GetPlayerWindow(std::int32_t* hwnd) override;

 private:
  ::Wrapper* wrapper_;
};

}  // namespace hushcall::win32

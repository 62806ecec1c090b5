#include "plugin/win32/module_lifetime.h"

#include "common/win32/module_file.h"

namespace hushcall::win32 {
namespace {

HINSTANCE g_instance = nullptr;
LONG g_refs = 0;
int g_frames = 0;  // the UI thread's only

}  // namespace

void SetModuleInstance(HINSTANCE instance) { g_instance = instance; }
HINSTANCE ModuleInstance() { return g_instance; }

std::wstring ModulePath() { return ModuleFileName(g_instance); }

FrameOnStack::FrameOnStack() { ++g_frames; }
FrameOnStack::~FrameOnStack() { --g_frames; }
bool FramesOnStack() { return g_frames > 0; }

void PinModuleIfFramesOnStack() {
  if (!FramesOnStack()) return;
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&g_frames), &self);
}

void AddModuleRef() { InterlockedIncrement(&g_refs); }
void ReleaseModuleRef() { InterlockedDecrement(&g_refs); }
LONG ModuleRefCount() { return g_refs; }

}  // namespace hushcall::win32

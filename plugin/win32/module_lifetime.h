// What the library knows about itself: its instance handle and path, and the
// count of live objects and class-factory locks that DllCanUnloadNow reports.
#pragma once

#include <windows.h>

#include <string>

namespace hushcall::win32 {

// Set once by DllMain; null in a program that links these sources directly.
void SetModuleInstance(HINSTANCE instance);
HINSTANCE ModuleInstance();
// Full path of the library (of the program when no instance was set).
std::wstring ModulePath();

// Every live COM object of the library and every LockServer(TRUE) holds one
// reference; the library may unload only at zero.
void AddModuleRef();
void ReleaseModuleRef();
LONG ModuleRefCount();

// A frame of this library that a nested message loop may run beneath: the
// dialog's load and modal showing, its message boxes, the modem wait. The
// player unloads us right after quit, even when its close was dispatched by
// such a loop; the loop then returns into our code.
class FrameOnStack {
 public:
  FrameOnStack();
  ~FrameOnStack();
  FrameOnStack(const FrameOnStack&) = delete;
  FrameOnStack& operator=(const FrameOnStack&) = delete;
};
bool FramesOnStack();
// Keeps the library mapped until the process ends, whatever is freed later.
// Done at quit only while a FrameOnStack lives: otherwise nothing of ours
// runs after quit and the library may go.
void PinModuleIfFramesOnStack();

// Holds one module reference for as long as it lives.
class ModuleRef {
 public:
  ModuleRef() { AddModuleRef(); }
  ~ModuleRef() { ReleaseModuleRef(); }
  ModuleRef(const ModuleRef&) = delete;
  ModuleRef& operator=(const ModuleRef&) = delete;
};

}  // namespace hushcall::win32

// Shared by the Windows-side tests: Hushcall.dll as the host loads it (it
// sits next to the test program), and registry helpers.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <optional>
#include <string>

#include "Hushcall.h"
#include "common/win32/unique.h"

namespace hushcall::win32::test {

// Full path of a file next to the test program.
std::wstring BesideProgram(const wchar_t* name);
inline std::wstring DllPath() { return BesideProgram(L"Hushcall.dll"); }

// Hushcall.dll, loaded once for the whole test run, and its exports.
struct Dll {
  HMODULE module;
  HRESULT(STDAPICALLTYPE* GetClassObject)(REFCLSID, REFIID, void**);
  HRESULT(STDAPICALLTYPE* CanUnloadNow)();
  HRESULT(STDAPICALLTYPE* RegisterServer)();
  HRESULT(STDAPICALLTYPE* UnregisterServer)();
};
const Dll& TheDll();

// A new Plugin through the DLL's own class factory.
com_ptr<IUnknown> CreatePlugin();

// The current reference count, read through an AddRef/Release pair.
ULONG RefCount(IUnknown* object);

// The default (null name) or named REG_SZ value of a key; nothing when the
// key or value is absent.
std::optional<std::wstring> ReadString(HKEY root, const std::wstring& key, const wchar_t* name = nullptr);
bool KeyExists(HKEY root, const std::wstring& key);

std::wstring GuidText(REFGUID guid);

// The host's Wrapper at its plainest: it lives on the stack, counts the
// references the plug-in holds, and answers both calls with no player window.
class StackWrapper final : public ::Wrapper {
 public:
  LONG refs = 1;
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    *object = (riid == IID_IUnknown || riid == IID_Wrapper) ? this : nullptr;
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  STDMETHODIMP Reserved() override { return S_OK; }
  STDMETHODIMP SetDescription(BSTR) override { return S_OK; }
  STDMETHODIMP GetPlayerWindow(LONG* hwnd) override {
    *hwnd = 0;
    return S_OK;
  }
};

}  // namespace hushcall::win32::test

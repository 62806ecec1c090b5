#include "plugin/win32/tests/test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace hushcall::win32::test {

std::wstring BesideProgram(const wchar_t* name) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path);
  dir.resize(dir.find_last_of(L"\\/") + 1);
  return dir + name;
}

const Dll& TheDll() {
  static const Dll dll = [] {
    Dll d{};
    d.module = LoadLibraryW(DllPath().c_str());
    if (!d.module) return d;
    d.GetClassObject = reinterpret_cast<decltype(d.GetClassObject)>(
        reinterpret_cast<void*>(GetProcAddress(d.module, "DllGetClassObject")));
    d.CanUnloadNow = reinterpret_cast<decltype(d.CanUnloadNow)>(
        reinterpret_cast<void*>(GetProcAddress(d.module, "DllCanUnloadNow")));
    d.RegisterServer = reinterpret_cast<decltype(d.RegisterServer)>(
        reinterpret_cast<void*>(GetProcAddress(d.module, "DllRegisterServer")));
    d.UnregisterServer = reinterpret_cast<decltype(d.UnregisterServer)>(
        reinterpret_cast<void*>(GetProcAddress(d.module, "DllUnregisterServer")));
    return d;
  }();
  return dll;
}

com_ptr<IUnknown> CreatePlugin() {
  com_ptr<IClassFactory> factory;
  com_ptr<IUnknown> object;
  if (!TheDll().GetClassObject) return object;
  if (FAILED(TheDll().GetClassObject(CLSID_Plugin, IID_IClassFactory, factory.put_void()))) return object;
  factory->CreateInstance(nullptr, IID_IUnknown, object.put_void());
  return object;
}

ULONG RefCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& key, const wchar_t* name) {
  unique_hkey hkey;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, hkey.put()) != ERROR_SUCCESS) return std::nullopt;
  DWORD type = 0, bytes = 0;
  if (RegQueryValueExW(hkey.get(), name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return std::nullopt;
  std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(hkey.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(buffer.data());
}

bool KeyExists(HKEY root, const std::wstring& key) {
  unique_hkey hkey;
  return RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, hkey.put()) == ERROR_SUCCESS;
}

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

}  // namespace hushcall::win32::test

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}

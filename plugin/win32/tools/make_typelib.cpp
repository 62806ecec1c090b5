// Build-time tool, run under Wine: writes Hushcall's type library with
// oleaut32's ICreateTypeLib2.
//
//   make_typelib win32|win64 <host TavWinAmpGenLib.tlb> <output Hushcall.tlb>
//
// The first argument is the platform the library describes, whatever this
// tool's own: the 64-bit tool writes the 32-bit edition's library too, with
// its pointers and vtable slots 4 bytes wide.
// widl can describe the library but always copies an interface that a
// coclass lists into the library it writes; the class Plugin must instead
// refer to ITavWinAmpGenPlugin as an import from the host's library (and to
// IDispatch as an import from OLE Automation). The identities come from the
// header widl made from Hushcall.idl, so the IDL stays their only source.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

#include "Hushcall.h"
#include "TavWinAmpGenLib.h"
#include "common/win32/unique.h"

using hushcall::win32::com_ptr;

namespace {

#define HC_CHECK(expr)                                                           \
  do {                                                                           \
    HRESULT hr_ = (expr);                                                        \
    if (FAILED(hr_)) {                                                           \
      std::fprintf(stderr, "make_typelib: %s failed: 0x%08lx\n", #expr,          \
                   static_cast<unsigned long>(hr_));                             \
      return hr_;                                                                \
    }                                                                            \
  } while (0)

const GUID kStdOleLibId = {0x00020430, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

std::wstring Widen(const char* s) {
  int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
  std::wstring w(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_ACP, 0, s, -1, w.data(), n);
  return w;
}

// Adds `ref` (a type from this or another library) as implemented type
// number `index` of `info`, with the given IMPLTYPEFLAGS.
HRESULT AddImpl(ICreateTypeInfo* info, ITypeInfo* ref, UINT index, INT flags) {
  HREFTYPE href = 0;
  HC_CHECK(info->AddRefTypeInfo(ref, &href));
  HC_CHECK(info->AddImplType(index, href));
  if (flags) HC_CHECK(info->SetImplTypeFlags(index, flags));
  return S_OK;
}

HRESULT Build(SYSKIND platform, const std::wstring& hostTlb, const std::wstring& outTlb) {
  com_ptr<ITypeLib> stdole;
  HC_CHECK(LoadRegTypeLib(kStdOleLibId, 2, 0, 0, stdole.put()));
  com_ptr<ITypeInfo> dispatch;
  HC_CHECK(stdole->GetTypeInfoOfGuid(IID_IDispatch, dispatch.put()));

  com_ptr<ITypeLib> host;
  HC_CHECK(LoadTypeLibEx(hostTlb.c_str(), REGKIND_NONE, host.put()));
  com_ptr<ITypeInfo> hostPlugin;
  HC_CHECK(host->GetTypeInfoOfGuid(IID_ITavWinAmpGenPlugin, hostPlugin.put()));

  com_ptr<ICreateTypeLib2> lib;
  HC_CHECK(CreateTypeLib2(platform, outTlb.c_str(), lib.put()));
  HC_CHECK(lib->SetName(const_cast<LPOLESTR>(L"Hushcall")));
  HC_CHECK(lib->SetGuid(LIBID_Hushcall));
  HC_CHECK(lib->SetVersion(1, 0));
  HC_CHECK(lib->SetLcid(0));
  HC_CHECK(lib->SetDocString(const_cast<LPOLESTR>(L"Hushcall: quiets the player when the phone rings")));

  // _Plugin: dual, hidden, derived from IDispatch, no operations of its own.
  com_ptr<ICreateTypeInfo> iface;
  HC_CHECK(lib->CreateTypeInfo(const_cast<LPOLESTR>(L"_Plugin"), TKIND_INTERFACE, iface.put()));
  HC_CHECK(iface->SetGuid(IID__Plugin));
  HC_CHECK(iface->SetVersion(1, 0));
  HC_CHECK(iface->SetTypeFlags(TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE |
                               TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE));
  HC_CHECK(AddImpl(iface.get(), dispatch.get(), 0, 0));
  HC_CHECK(iface->LayOut());

  com_ptr<ITypeInfo> ifaceInfo;
  HC_CHECK(iface->QueryInterface(IID_ITypeInfo, ifaceInfo.put_void()));

  // Plugin: creatable; _Plugin by default, and the host's interface.
  com_ptr<ICreateTypeInfo> cls;
  HC_CHECK(lib->CreateTypeInfo(const_cast<LPOLESTR>(L"Plugin"), TKIND_COCLASS, cls.put()));
  HC_CHECK(cls->SetGuid(CLSID_Plugin));
  HC_CHECK(cls->SetVersion(1, 0));
  HC_CHECK(cls->SetTypeFlags(TYPEFLAG_FCANCREATE));
  HC_CHECK(AddImpl(cls.get(), ifaceInfo.get(), 0, IMPLTYPEFLAG_FDEFAULT));
  HC_CHECK(AddImpl(cls.get(), hostPlugin.get(), 1, 0));
  HC_CHECK(cls->LayOut());

  HC_CHECK(lib->SaveAllChanges());
  return S_OK;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string platform = argc == 4 ? argv[1] : "";
  if (platform != "win32" && platform != "win64") {
    std::fprintf(stderr, "usage: make_typelib win32|win64 <TavWinAmpGenLib.tlb> <Hushcall.tlb>\n");
    return 2;
  }
  if (FAILED(CoInitialize(nullptr))) return 1;
  HRESULT hr = Build(platform == "win64" ? SYS_WIN64 : SYS_WIN32, Widen(argv[2]), Widen(argv[3]));
  CoUninitialize();
  return SUCCEEDED(hr) ? 0 : 1;
}

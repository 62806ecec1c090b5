// What the built Hushcall.dll carries: its type library, _Plugin's IID for
// the host, and the version block.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "plugin/win32/classes_registry.h"
#include "plugin/win32/tests/test_support.h"

namespace hushcall::win32::test {
namespace {

const WORD kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
const WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

std::vector<BYTE> Resource(const wchar_t* type, WORD language) {
  HRSRC found = FindResourceExW(TheDll().module, type, MAKEINTRESOURCEW(1), language);
  if (!found) return {};
  const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(TheDll().module, found)));
  return std::vector<BYTE>(data, data + SizeofResource(TheDll().module, found));
}

TEST(Resources, IidResourceHoldsLengthThenPluginIid) {
  const std::vector<BYTE> bytes = Resource(L"_IID_PLUGIN", kNeutral);
  ASSERT_EQ(bytes.size(), 20u);
  const BYTE length[4] = {16, 0, 0, 0};
  EXPECT_EQ(std::memcmp(bytes.data(), length, 4), 0);
  EXPECT_EQ(std::memcmp(bytes.data() + 4, &IID__Plugin, 16), 0);
}

TEST(Resources, TypeLibraryIsLanguageNeutral) {
  const std::vector<BYTE> bytes = Resource(L"TYPELIB", kNeutral);
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(std::memcmp(bytes.data(), "MSFT", 4), 0);
}

// --- The type library --------------------------------------------------------

class TypeLibrary : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(LoadTypeLibEx(DllPath().c_str(), REGKIND_NONE, library.put()), S_OK); }

  static std::wstring Name(ITypeInfo* info) {
    unique_bstr name;
    info->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr);
    return name ? std::wstring(name.get()) : std::wstring();
  }

  com_ptr<ITypeLib> library;
};

TEST_F(TypeLibrary, HasItsIdentityAndVersion) {
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
  EXPECT_EQ(attr->guid, LIBID_Hushcall);
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  EXPECT_EQ(attr->lcid, 0u);
  // Registration files it under this platform's subkey (win32, win64).
  EXPECT_EQ(attr->syskind, TypeLibSysKind(kThisEdition));
  library->ReleaseTLibAttr(attr);

  unique_bstr name;
  ASSERT_EQ(library->GetDocumentation(-1, name.put(), nullptr, nullptr, nullptr), S_OK);
  EXPECT_STREQ(name.get(), L"Hushcall");
  EXPECT_EQ(library->GetTypeInfoCount(), 2u) << "_Plugin and Plugin, nothing copied in";
}

TEST_F(TypeLibrary, PluginInterfaceIsDualHiddenAndEmpty) {
  com_ptr<ITypeInfo> info;
  ASSERT_EQ(library->GetTypeInfoOfGuid(IID__Plugin, info.put()), S_OK);
  EXPECT_EQ(Name(info.get()), L"_Plugin");
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FHIDDEN);
  EXPECT_EQ(attr->wMajorVerNum, 1);
  info->ReleaseTypeAttr(attr);

  // Its vtable half: IDispatch's seven slots and none of its own.
  com_ptr<ITypeInfo> vtable;
  HREFTYPE href = 0;
  if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &href)))
    ASSERT_EQ(info->GetRefTypeInfo(href, vtable.put()), S_OK);
  else
    vtable.assign(info.get());
  ASSERT_EQ(vtable->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
  EXPECT_EQ(attr->cFuncs, 0);
  EXPECT_EQ(attr->cbSizeVft, 7 * sizeof(void*));
  vtable->ReleaseTypeAttr(attr);

  com_ptr<ITypeInfo> base;
  ASSERT_EQ(vtable->GetRefTypeOfImplType(0, &href), S_OK);
  ASSERT_EQ(vtable->GetRefTypeInfo(href, base.put()), S_OK);
  EXPECT_EQ(Name(base.get()), L"IDispatch");
}

TEST_F(TypeLibrary, PluginClassImplementsPluginByDefaultAndTheHostInterfaceFromItsLibrary) {
  com_ptr<ITypeInfo> cls;
  ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_Plugin, cls.put()), S_OK);
  EXPECT_EQ(Name(cls.get()), L"Plugin");
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(cls->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_COCLASS);
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE);
  EXPECT_EQ(attr->cImplTypes, 2);
  cls->ReleaseTypeAttr(attr);

  INT flags = 0;
  ASSERT_EQ(cls->GetImplTypeFlags(0, &flags), S_OK);
  EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
  HREFTYPE href = 0;
  com_ptr<ITypeInfo> first;
  ASSERT_EQ(cls->GetRefTypeOfImplType(0, &href), S_OK);
  ASSERT_EQ(cls->GetRefTypeInfo(href, first.put()), S_OK);
  EXPECT_EQ(Name(first.get()), L"_Plugin");

  ASSERT_EQ(cls->GetImplTypeFlags(1, &flags), S_OK);
  EXPECT_EQ(flags, 0);
  com_ptr<ITypeInfo> second;
  ASSERT_EQ(cls->GetRefTypeOfImplType(1, &href), S_OK);
  ASSERT_EQ(cls->GetRefTypeInfo(href, second.put()), S_OK);
  ASSERT_EQ(second->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->guid, IID_ITavWinAmpGenPlugin);
  second->ReleaseTypeAttr(attr);

  com_ptr<ITypeLib> container;
  UINT index = 0;
  ASSERT_EQ(second->GetContainingTypeLib(container.put(), &index), S_OK);
  EXPECT_NE(container.get(), library.get()) << "an import, not a copy";
  TLIBATTR* libAttr = nullptr;
  ASSERT_EQ(container->GetLibAttr(&libAttr), S_OK);
  EXPECT_EQ(libAttr->guid, LIBID_TavWinAmpGenLib);
  EXPECT_EQ(libAttr->wMajorVerNum, 1);
  EXPECT_EQ(libAttr->wMinorVerNum, 0);
  container->ReleaseTLibAttr(libAttr);
}

// --- The version block --------------------------------------------------------

// One node of the version resource: key, value bytes and children.
struct VersionNode {
  std::wstring key;
  std::vector<BYTE> value;
  WORD valueLength = 0;
  std::vector<VersionNode> children;
};

size_t Align4(size_t n) { return (n + 3) & ~size_t{3}; }

VersionNode ParseNode(const BYTE* base, size_t offset, size_t end, bool textValue) {
  VersionNode node;
  const WORD length = *reinterpret_cast<const WORD*>(base + offset);
  node.valueLength = *reinterpret_cast<const WORD*>(base + offset + 2);
  const wchar_t* key = reinterpret_cast<const wchar_t*>(base + offset + 6);
  node.key = key;
  size_t pos = Align4(offset + 6 + (node.key.size() + 1) * sizeof(wchar_t));
  const size_t nodeEnd = std::min(end, offset + length);
  const size_t valueBytes = textValue ? node.valueLength * sizeof(wchar_t) : node.valueLength;
  node.value.assign(base + pos, base + std::min(nodeEnd, pos + valueBytes));
  pos = Align4(pos + valueBytes);
  while (pos + 6 < nodeEnd) {
    const WORD childLength = *reinterpret_cast<const WORD*>(base + pos);
    if (childLength == 0) break;
    node.children.push_back(ParseNode(base, pos, nodeEnd, true));
    pos = Align4(pos + childLength);
  }
  return node;
}

TEST(VersionBlock, FixedPartSaysDllVersionOneForWin32) {
  const std::wstring path = DllPath();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
  EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
  EXPECT_EQ(fixed->dwFileFlags, 0u);

  DWORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                             &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(LOWORD(*translation), 0x0409);
  EXPECT_EQ(HIWORD(*translation), 1200);
}

TEST(VersionBlock, StringTableHoldsExactlyTheSixEntries) {
  const std::vector<BYTE> bytes = Resource(MAKEINTRESOURCEW(16) /* RT_VERSION */, kEnglishUs);
  ASSERT_FALSE(bytes.empty()) << "version block in language 0x0409";
  const VersionNode root = ParseNode(bytes.data(), 0, bytes.size(), false);
  ASSERT_EQ(root.key, L"VS_VERSION_INFO");

  std::vector<std::wstring> sections;
  const VersionNode* table = nullptr;
  for (const VersionNode& child : root.children) {
    sections.push_back(child.key);
    if (child.key == L"StringFileInfo") {
      ASSERT_EQ(child.children.size(), 1u);
      table = &child.children[0];
    }
  }
  EXPECT_EQ(sections, (std::vector<std::wstring>{L"StringFileInfo", L"VarFileInfo"}));
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->key, L"040904B0");

  std::map<std::wstring, std::wstring> strings;
  for (const VersionNode& entry : table->children) {
    std::wstring value(reinterpret_cast<const wchar_t*>(entry.value.data()), entry.value.size() / sizeof(wchar_t));
    value = value.c_str();  // up to the terminator
    strings[entry.key] = value;
  }
  const std::map<std::wstring, std::wstring> expected = {
      {L"ProductName", L"Hushcall"},     {L"FileVersion", L"1.00"},
      {L"ProductVersion", L"1.00"},      {L"InternalName", L"Hushcall"},
      {L"OriginalFilename", L"Hushcall.dll"}, {L"OLESelfRegister", L""}};
  EXPECT_EQ(strings, expected);
  EXPECT_EQ(table->children.size(), 6u);
}

}  // namespace
}  // namespace hushcall::win32::test

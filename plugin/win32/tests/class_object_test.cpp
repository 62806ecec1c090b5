// The class factory, COM identity and reference counts, and DllCanUnloadNow,
// through Hushcall.dll's own exports.
#include <gtest/gtest.h>

#include "plugin/win32/tests/test_support.h"

namespace hushcall::win32::test {
namespace {

TEST(ClassObject, DllLoadsBesideTheTests) {
  ASSERT_NE(TheDll().module, nullptr);
  ASSERT_NE(TheDll().GetClassObject, nullptr);
  ASSERT_NE(TheDll().CanUnloadNow, nullptr);
}

TEST(ClassObject, AnyOtherClassIsRefused) {
  com_ptr<IClassFactory> factory;
  EXPECT_EQ(TheDll().GetClassObject(IID__Plugin, IID_IClassFactory, factory.put_void()),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_FALSE(factory);
  EXPECT_EQ(TheDll().GetClassObject(GUID_NULL, IID_IClassFactory, factory.put_void()),
            CLASS_E_CLASSNOTAVAILABLE);
}

TEST(ClassObject, EachCreationMakesANewObject) {
  com_ptr<IUnknown> a = CreatePlugin();
  com_ptr<IUnknown> b = CreatePlugin();
  ASSERT_TRUE(a);
  ASSERT_TRUE(b);
  EXPECT_NE(a.get(), b.get());
  EXPECT_EQ(RefCount(a.get()), 1u);
}

TEST(ClassObject, AggregationIsRefused) {
  com_ptr<IClassFactory> factory;
  ASSERT_EQ(TheDll().GetClassObject(CLSID_Plugin, IID_IClassFactory, factory.put_void()), S_OK);
  com_ptr<IUnknown> outer = CreatePlugin();
  com_ptr<IUnknown> object;
  EXPECT_EQ(factory->CreateInstance(outer.get(), IID_IUnknown, object.put_void()), CLASS_E_NOAGGREGATION);
}

TEST(ClassObject, AnUnknownInterfaceLeavesNoObjectAlive) {
  ASSERT_EQ(TheDll().CanUnloadNow(), S_OK);
  com_ptr<IClassFactory> factory;
  ASSERT_EQ(TheDll().GetClassObject(CLSID_Plugin, IID_IClassFactory, factory.put_void()), S_OK);
  com_ptr<IUnknown> object;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, object.put_void()), E_NOINTERFACE);
  factory.reset();
  EXPECT_EQ(TheDll().CanUnloadNow(), S_OK);
}

// Every interface the class answers, asked from every other, must lead back
// to one IUnknown.
TEST(Identity, EveryInterfaceSharesOneIUnknown) {
  com_ptr<IUnknown> object = CreatePlugin();
  ASSERT_TRUE(object);
  const IID* iids[] = {&IID_IUnknown, &IID_IDispatch, &IID__Plugin, &IID_ITavWinAmpGenPlugin};
  for (const IID* from : iids) {
    com_ptr<IUnknown> start;
    ASSERT_EQ(object->QueryInterface(*from, start.put_void()), S_OK);
    for (const IID* to : iids) {
      com_ptr<IUnknown> other;
      ASSERT_EQ(start->QueryInterface(*to, other.put_void()), S_OK);
      com_ptr<IUnknown> unknown;
      ASSERT_EQ(other->QueryInterface(IID_IUnknown, unknown.put_void()), S_OK);
      EXPECT_EQ(unknown.get(), object.get());
    }
  }
  EXPECT_EQ(RefCount(object.get()), 1u);
}

TEST(Identity, UnsupportedInterfaceIsRefusedAndNulled) {
  com_ptr<IUnknown> object = CreatePlugin();
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(object->QueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST(Identity, ReferencesCountAcrossInterfaces) {
  com_ptr<IUnknown> object = CreatePlugin();
  com_ptr<ITavWinAmpGenPlugin> plugin;
  ASSERT_EQ(object->QueryInterface(IID_ITavWinAmpGenPlugin, plugin.put_void()), S_OK);
  EXPECT_EQ(RefCount(object.get()), 2u);
  EXPECT_EQ(plugin->AddRef(), 3u);
  EXPECT_EQ(plugin->Release(), 2u);
  plugin.reset();
  EXPECT_EQ(RefCount(object.get()), 1u);
}

TEST(Unload, OnlyWhenNoObjectFactoryOrLockIsLeft) {
  ASSERT_EQ(TheDll().CanUnloadNow(), S_OK);

  com_ptr<IClassFactory> factory;
  ASSERT_EQ(TheDll().GetClassObject(CLSID_Plugin, IID_IClassFactory, factory.put_void()), S_OK);
  EXPECT_EQ(TheDll().CanUnloadNow(), S_FALSE) << "a held factory";

  com_ptr<IUnknown> object;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, object.put_void()), S_OK);
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  factory.reset();
  EXPECT_EQ(TheDll().CanUnloadNow(), S_FALSE) << "an object and a lock";

  object.reset();
  EXPECT_EQ(TheDll().CanUnloadNow(), S_FALSE) << "a lock alone";

  ASSERT_EQ(TheDll().GetClassObject(CLSID_Plugin, IID_IClassFactory, factory.put_void()), S_OK);
  ASSERT_EQ(factory->LockServer(FALSE), S_OK);
  factory.reset();
  EXPECT_EQ(TheDll().CanUnloadNow(), S_OK);
}

TEST(Dispatch, GetTypeInfoReturnsPluginsTypeInfo) {
  com_ptr<IUnknown> object = CreatePlugin();
  com_ptr<IDispatch> dispatch;
  ASSERT_EQ(object->QueryInterface(IID_IDispatch, dispatch.put_void()), S_OK);

  UINT count = 0;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);

  com_ptr<ITypeInfo> info;
  ASSERT_EQ(dispatch->GetTypeInfo(0, 0, info.put()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->guid, IID__Plugin);
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FHIDDEN);
  info->ReleaseTypeAttr(attr);

  com_ptr<ITypeInfo> none;
  EXPECT_EQ(dispatch->GetTypeInfo(1, 0, none.put()), DISP_E_BADINDEX);
}

TEST(Dispatch, PluginHasNoMembersToCall) {
  com_ptr<IUnknown> object = CreatePlugin();
  com_ptr<IDispatch> dispatch;
  ASSERT_EQ(object->QueryInterface(IID_IDispatch, dispatch.put_void()), S_OK);
  // The host's operations are on the vtable interface only.
  OLECHAR name[] = L"Initialize";
  LPOLESTR names[] = {name};
  DISPID id = 0;
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
  DISPPARAMS none = {};
  EXPECT_EQ(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
}

}  // namespace
}  // namespace hushcall::win32::test

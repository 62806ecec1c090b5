// The class factory for Plugin: each CreateInstance makes a new object.
#pragma once

#include <unknwn.h>

#include "plugin/win32/module_lifetime.h"

namespace hushcall::win32 {

class ClassFactory final : public IClassFactory {
 public:
  // A new factory with one reference, or null when out of memory.
  static ClassFactory* Create();

  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
  // Each lock holds the library loaded.
  STDMETHODIMP LockServer(BOOL lock) override;

 private:
  ClassFactory() = default;
  ~ClassFactory() = default;

  LONG refs_ = 1;
  ModuleRef moduleRef_;  // a client holding the factory keeps the code loaded
};

}  // namespace hushcall::win32

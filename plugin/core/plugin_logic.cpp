// Initialize, Configure and Quit as the host drives them.
#include "plugin/core/plugin_logic.h"

#include "ringwatch/core/options_dialog.h"
#include "settings/settings_store.h"

namespace hushcall {
namespace {

// The product name as the host wants it: UTF-16, the same literal as
// kProductName.
constexpr std::u16string_view kProductNameUtf16 = u"Hushcall";

}  // namespace

Status PluginInitialize(PluginEnvironment& env, HostWrapper* wrapper) {
  if (wrapper == nullptr) return kPointer;
  return StatusOf([&]() -> Status {
    Status status = wrapper->SetDescription(kProductNameUtf16);
    if (Failed(status)) return status;

    // A host that succeeds without writing the handle leaves it 0.
    std::int32_t playerWnd = 0;
    status = wrapper->GetPlayerWindow(&playerWnd);
    if (Failed(status)) return status;
    env.playerWnd = playerWnd;

    LoadSettings(env.settings, env.store, env.decimalSeparator);

    // Loading the dialog starts the ring watch; it returns once the modem
    // initialisation has finished one way or the other.
    if (env.settings.Enabled) env.frmOptions.Load();
    return kOk;
  });
}

Status PluginConfigure(PluginEnvironment& env) {
  return StatusOf([&]() -> Status {
    env.frmOptions.ShowModal();
    return kOk;
  });
}

Status PluginQuit(PluginEnvironment& env) {
  const Status saved = StatusOf([&]() -> Status {
    SaveSettings(env.settings, env.store);
    return kOk;
  });
  // Unloaded even when the store refused a write: the player unloads us
  // next, and the port, the timer and the windows must not outlive that.
  const Status unloaded = StatusOf([&]() -> Status {
    env.frmOptions.Unload();
    return kOk;
  });
  return Failed(saved) ? saved : unloaded;
}

}  // namespace hushcall

// Where each plug-in and module of the product starts from: its set-up with the vendor and the
// version filled in, and the identity of a module's one class as the factory lists it.
#pragma once

#include "framework/plugin_setup.h"
#include "framework/vst3/plugin_class.h"
#include "product/vendor.h"
#include "product/version.h"

namespace tarnwell {

// Each plug-in fills the rest.
constexpr plugkit::PluginSetup ProductSetup() {
  plugkit::PluginSetup setup{};
  setup.vendorName = kVendorName;
  setup.versionCode = kVersionCode;
  setup.vendorId = plugkit::FourCharCode(kVendorId);
  return setup;
}

constexpr plugkit::PluginClassIdentity ProductClassIdentity(const char* name, const char (&uniqueId)[5]) {
  return {name,
          plugkit::FourCharCode(uniqueId),
          plugkit::FourCharCode(kVendorId),
          kVersionText,
          kVendorName,
          kVendorUrl,
          kVendorEmail};
}

}  // namespace tarnwell

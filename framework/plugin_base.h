// IPluginBase: the plug-in's identity, the host's identity, the preset slots and the
// default parameter state (every parameter value as one 8-byte double in index order).
// It sits on the editor delegate bases, which own the parameters and declare the
// parameter-change hooks.
#pragma once

#include <cstdint>
#include <memory>

#include "framework/core/grow_string.h"
#include "framework/core/state_blob.h"
#include "framework/host_id.h"
#include "framework/plugin_setup.h"
#include "framework/web_view_editor_delegate.h"

namespace plugkit {

class IPluginBase : public WebViewEditorDelegate {
 public:
  // Names are cut to 128 characters.
  static constexpr int32_t kMaxNameLength = 128;
  static constexpr int32_t kMaxPresetNameLength = 255;

  // Builds the editor delegate bases with setup.paramCount parameters, copies the identity
  // and creates setup.presetCount empty preset slots (none when memory runs out).
  explicit IPluginBase(const PluginSetup& setup);
  ~IPluginBase() override;
  IPluginBase(const IPluginBase&) = delete;
  IPluginBase& operator=(const IPluginBase&) = delete;

  // --- Parameter state (UI thread; values are stored atomically for the audio thread).
  // Appends every parameter value (8 bytes each, index order). False when the blob could
  // not grow; it then holds the values appended before.
  bool SerializeParams(StateBlob& blob) const noexcept;
  // Reads the values back from start, each clamped and snapped into its parameter, then
  // notifies every parameter as changed by a preset (also after a failure). Returns the
  // position after the last value, or -1 when the blob ended early (the values read
  // before keep their new values) or start was negative.
  int32_t UnserializeParams(const StateBlob& blob, int32_t start) noexcept;

  // --- State hooks, overridden by plug-ins that store more than the parameters.
  virtual bool SaveState(StateBlob& blob) { return SerializeParams(blob); }
  virtual int32_t LoadState(const StateBlob& blob, int32_t start) { return UnserializeParams(blob, start); }
  // After a LoadState that did not fail: whether the bytes at the position it returned are
  // where the binding keeps its bypass flag. False when the plug-in's own data was damaged
  // there, so that the binding leaves the bypass as it was instead of reading that data as it.
  virtual bool LoadedStateEndsAtBypass() const { return true; }

  // --- Preset slots: named, empty at creation; nothing fills them yet.
  int32_t PresetCount() const noexcept { return presetCount_; }
  // "" for an index outside 0 .. PresetCount() - 1.
  const char* PresetNameAt(int32_t index) const noexcept;

  // --- Identity.
  const char* PluginName() const noexcept { return pluginName_.Get(); }
  const char* ProductName() const noexcept { return productName_.Get(); }
  const char* VendorName() const noexcept { return vendorName_.Get(); }
  int32_t UniqueId() const noexcept { return uniqueId_; }
  int32_t VendorId() const noexcept { return vendorId_; }
  int32_t VersionCode() const noexcept { return versionCode_; }
  bool HasEditor() const noexcept { return hasEditor_; }
  bool HostMayResize() const noexcept { return hostResizable_; }

  // --- The host, once IPluginAPIBase::SetHost identified it.
  HostId GetHostId() const noexcept { return hostId_; }
  int32_t HostVersion() const noexcept { return hostVersion_; }
  const char* HostName() const noexcept { return hostName_.Get(); }

 protected:
  // Written by IPluginAPIBase::SetHost.
  void SetHostIdentity(const char* name, HostId id, int32_t version) noexcept;

 private:
  struct PresetSlot {
    char name[kMaxPresetNameLength + 1] = "empty";
    StateBlob state;
  };

  GrowString pluginName_;
  GrowString productName_;
  GrowString vendorName_;
  int32_t uniqueId_;
  int32_t vendorId_;
  int32_t versionCode_;
  int32_t hostVersion_ = 0;
  HostId hostId_ = kHostNotIdentified;
  GrowString hostName_;
  bool hasEditor_;
  bool hostResizable_;
  std::unique_ptr<PresetSlot[]> presets_;
  int32_t presetCount_ = 0;
};

}  // namespace plugkit

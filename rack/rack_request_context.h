// What the page's requests may use of the plug-in. Tarnwell implements it; the request
// handlers (factory presets, preset files, session token) take it instead of the whole
// class, so that each can be tested against a small fake. Everything here runs on the UI
// thread.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "rack/factory_presets.h"
#include "rack/session_token_store.h"

namespace tarnwell {

class RackRequestContext {
 public:
  // Writes the 53 parameters from a preset, sends each new value to the page, updates the
  // latency and has the current preset id sent at the next idle tick. The host is not told
  // (no edit, no gesture), but its parameter objects read the new values.
  virtual void ApplyPresetSlots(const PresetSlots& slots) = 0;
  // The row's id as the current preset id, then its slots; an index outside 0..3 does nothing.
  virtual void SelectFactoryPreset(int32_t index) = 0;
  // A parameter's plain value; 0 for an index that names none.
  virtual double ParamValue(int32_t paramIdx) const = 0;
  virtual const std::string& CurrentPresetId() const = 0;
  // Sets the id only; the page hears of it with the next MarkPresetIdChanged.
  virtual void SetCurrentPresetId(std::string id) = 0;
  // Has the current preset id sent to the page at the next idle tick.
  virtual void MarkPresetIdChanged() = 0;
  // The user's local application-data folder (UTF-8), "" when the platform names none. Read
  // afresh by every request that needs it.
  virtual std::string LocalAppDataFolder() const = 0;
  // Queues a reply for the next idle tick while the editor is open; dropped while it is closed.
  virtual void QueueUIReply(int32_t msgTag, const nlohmann::json& reply) = 0;
  // The user's account session token, shared by every instance.
  virtual SessionTokenStore& SessionTokens() = 0;

 protected:
  ~RackRequestContext() = default;
};

}  // namespace tarnwell

// IEditorDelegate: the root of every plug-in class. It owns the parameters and the editor
// size, and declares the hooks by which the editor, the page, the host binding and the
// plug-in class talk. Hooks whose bodies belong to a later base (the plug-in base's state
// hooks, the API base's host-side hooks) are declared there.
#pragma once

#include <cstdint>

#include "framework/core/grow_buffer.h"
#include "framework/core/key_event.h"
#include "framework/core/midi_message.h"
#include "framework/core/param.h"
#include "framework/core/param_change_origin.h"
#include "framework/core/sysex_message.h"

namespace plugkit {

class IEditorDelegate {
 public:
  // Creates paramCount parameters in index order (fewer when memory runs out).
  explicit IEditorDelegate(int32_t paramCount);
  virtual ~IEditorDelegate();
  IEditorDelegate(const IEditorDelegate&) = delete;
  IEditorDelegate& operator=(const IEditorDelegate&) = delete;

  int32_t NParams() const noexcept { return params_.Count<IParam*>(); }
  // Null for an index outside 0..NParams() - 1.
  IParam* GetParam(int32_t paramIdx) const noexcept;
  const IParam* const* Params() const noexcept { return params_.DataAs<IParam*>(); }

  int32_t EditorWidth() const noexcept { return editorWidth_; }
  int32_t EditorHeight() const noexcept { return editorHeight_; }
  void SetEditorSize(int32_t width, int32_t height) noexcept;
  void SetEditorSizeBounds(int32_t minWidth, int32_t maxWidth, int32_t minHeight, int32_t maxHeight) noexcept;
  int32_t EditorMinWidth() const noexcept { return minWidth_; }
  int32_t EditorMaxWidth() const noexcept { return maxWidth_; }
  int32_t EditorMinHeight() const noexcept { return minHeight_; }
  int32_t EditorMaxHeight() const noexcept { return maxHeight_; }

  // Every parameter's normalised value to the page, in index order.
  void SendAllParamValuesToUI();

  // --- The editor.
  // Returns the window the editor lives in (none here).
  virtual void* AttachEditorWindow(void* parentWindow);
  virtual void DetachEditorWindow();
  virtual void ParentWindowResized(int32_t width, int32_t height);
  virtual void OnEditorOpened();
  virtual void OnEditorClosed() {}

  // --- Parameter notifications. OnParamChange and ParamChanged also run on the audio thread
  // (host automation), so overrides must not allocate or lock.
  virtual void ParamChanged(int32_t paramIdx) { (void)paramIdx; }
  virtual void OnParamChange(int32_t paramIdx, ParamChangeOrigin origin, int32_t sampleOffset);
  virtual void OnUIParamChanged(int32_t paramIdx, ParamChangeOrigin origin) { (void)paramIdx, (void)origin; }
  virtual void NotifyAllParamsChanged(ParamChangeOrigin origin);

  // --- From the processor and the page to the plug-in class.
  virtual void OnMidiForUI(const MidiMessage& message) { (void)message; }
  virtual void OnSysExForUI(const SysExMessage& message) { (void)message; }
  virtual bool HandleUIMessage(int32_t msgTag, int32_t ctrlTag, int32_t dataSize, const void* data);
  virtual void OnStateRestored();
  virtual bool HandleKeyDown(const KeyEvent& key) {
    (void)key;
    return false;
  }
  virtual bool HandleKeyUp(const KeyEvent& key) {
    (void)key;
    return false;
  }

  // --- To the editor.
  virtual void SendControlValueToUI(int32_t ctrlTag, double value) { (void)ctrlTag, (void)value; }
  virtual void SendControlMsgToUI(int32_t ctrlTag, int32_t msgTag, int32_t dataSize, const void* data);
  virtual void SendArbitraryMsgToUI(int32_t msgTag, int32_t dataSize, const void* data);
  virtual void SendMidiMsgToUI(const MidiMessage& message);
  virtual void SendSysExToUI(const SysExMessage& message);
  virtual void SendParamValueToUI(int32_t paramIdx, double value, bool isNormalised);

  // --- From the editor to the host.
  virtual void BeginParamGestureFromUI(int32_t paramIdx) = 0;
  // Sets the parameter from a normalised value and tells OnUIParamChanged.
  virtual void SetParamValueFromUI(int32_t paramIdx, double normalised);
  virtual void EndParamGestureFromUI(int32_t paramIdx) = 0;
  virtual bool ResizeEditorFromUI(int32_t width, int32_t height, bool resizeHost);
  virtual void ForwardMidiFromUI(const MidiMessage& message) { (void)message; }
  virtual void ForwardMsgFromUI(int32_t msgTag, int32_t ctrlTag, int32_t dataSize, const void* data);
  virtual void QueueMidiFromUI(const MidiMessage& message) { (void)message; }

  // Limits width and height to the size bounds; true when both already lay inside.
  virtual bool ConstrainEditorSize(int32_t& width, int32_t& height);
  virtual void OnContentScaleChanged(float scale) { (void)scale; }

 private:
  GrowBuffer params_{GrowBuffer::kListGranularity};
  int32_t editorWidth_ = 0;
  int32_t editorHeight_ = 0;
  int32_t minWidth_ = 10;
  int32_t maxWidth_ = 100000;
  int32_t minHeight_ = 10;
  int32_t maxHeight_ = 100000;
};

}  // namespace plugkit

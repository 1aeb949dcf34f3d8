#include "framework/editor_delegate.h"

#include <algorithm>
#include <new>

namespace plugkit {

IEditorDelegate::IEditorDelegate(int32_t paramCount) {
  for (int32_t i = 0; i < paramCount; ++i) {
    IParam* param = new (std::nothrow) IParam();
    if (param == nullptr) break;
    if (!params_.Append(&param, static_cast<int32_t>(sizeof(param)))) {
      delete param;
      break;
    }
  }
}

IEditorDelegate::~IEditorDelegate() {
  IParam** params = params_.DataAs<IParam*>();
  for (int32_t i = NParams() - 1; i >= 0; --i) delete params[i];
}

IParam* IEditorDelegate::GetParam(int32_t paramIdx) const noexcept {
  if (paramIdx < 0 || paramIdx >= NParams()) return nullptr;
  return params_.DataAs<IParam*>()[paramIdx];
}

void IEditorDelegate::SetEditorSize(int32_t width, int32_t height) noexcept {
  editorWidth_ = width;
  editorHeight_ = height;
}

void IEditorDelegate::SetEditorSizeBounds(int32_t minWidth, int32_t maxWidth, int32_t minHeight,
                                          int32_t maxHeight) noexcept {
  minWidth_ = minWidth;
  maxWidth_ = maxWidth;
  minHeight_ = minHeight;
  maxHeight_ = maxHeight;
}

void IEditorDelegate::SendAllParamValuesToUI() {
  for (int32_t i = 0; i < NParams(); ++i) {
    const IParam* param = GetParam(i);
    SendParamValueToUI(i, param->NormaliseValue(param->Value()), true);
  }
}

void* IEditorDelegate::AttachEditorWindow(void*) {
  OnEditorOpened();
  return nullptr;
}

void IEditorDelegate::DetachEditorWindow() { OnEditorClosed(); }

void IEditorDelegate::ParentWindowResized(int32_t, int32_t) {}

void IEditorDelegate::OnEditorOpened() { SendAllParamValuesToUI(); }

void IEditorDelegate::OnParamChange(int32_t paramIdx, ParamChangeOrigin, int32_t) { ParamChanged(paramIdx); }

void IEditorDelegate::NotifyAllParamsChanged(ParamChangeOrigin origin) {
  for (int32_t i = 0; i < NParams(); ++i) {
    OnParamChange(i, origin, -1);
    OnUIParamChanged(i, origin);
  }
}

bool IEditorDelegate::HandleUIMessage(int32_t, int32_t, int32_t, const void*) { return false; }

void IEditorDelegate::OnStateRestored() { SendAllParamValuesToUI(); }

void IEditorDelegate::SendControlMsgToUI(int32_t ctrlTag, int32_t msgTag, int32_t dataSize, const void* data) {
  HandleUIMessage(msgTag, ctrlTag, dataSize, data);
}

void IEditorDelegate::SendArbitraryMsgToUI(int32_t msgTag, int32_t dataSize, const void* data) {
  HandleUIMessage(msgTag, -1, dataSize, data);
}

void IEditorDelegate::SendMidiMsgToUI(const MidiMessage& message) { OnMidiForUI(message); }

void IEditorDelegate::SendSysExToUI(const SysExMessage& message) { OnSysExForUI(message); }

void IEditorDelegate::SendParamValueToUI(int32_t paramIdx, double, bool) {
  OnUIParamChanged(paramIdx, ParamChangeOrigin::EditorDelegate);
}

void IEditorDelegate::SetParamValueFromUI(int32_t paramIdx, double normalised) {
  IParam* param = GetParam(paramIdx);
  if (param == nullptr) return;
  param->SetNormalised(normalised);
  OnUIParamChanged(paramIdx, ParamChangeOrigin::UI);
}

bool IEditorDelegate::ResizeEditorFromUI(int32_t, int32_t, bool) { return false; }

void IEditorDelegate::ForwardMsgFromUI(int32_t, int32_t, int32_t, const void*) {}

bool IEditorDelegate::ConstrainEditorSize(int32_t& width, int32_t& height) {
  const bool inside = width >= minWidth_ && width <= maxWidth_ && height >= minHeight_ && height <= maxHeight_;
  if (!inside) {
    width = std::min(maxWidth_, std::max(width, minWidth_));
    height = std::min(maxHeight_, std::max(height, minHeight_));
  }
  return inside;
}

}  // namespace plugkit

#include "framework/vst3/view.h"

#include <algorithm>
#include <cstdint>

#include "framework/vst3/host_run_loop.h"
#include "framework/vst3/keys.h"
#include "framework/vst3/plugin.h"
#include "platform/view_platform_type.h"

namespace plugkit {

using namespace Steinberg;

namespace {

// This host sends every key to the view, including those its own shortcuts need: only the
// space bar (start and stop) is passed on.
constexpr HostId kSpaceOnlyHost = 1;

}  // namespace

IPluginVST3View::IPluginVST3View(IPluginVST3& plugin) : plugin_(plugin) { plugin_.addRef(); }

IPluginVST3View::~IPluginVST3View() {
  LeaveFrameRunLoop();  // a host may release a view it never told of its removal
  plugin_.ForgetView(this);
  plugin_.release();
}

tresult PLUGIN_API IPluginVST3View::isPlatformTypeSupported(FIDString type) {
  return plugin_.OffersEditorView() && platform::IsSupportedViewPlatformType(type) ? kResultOk : kResultFalse;
}

tresult PLUGIN_API IPluginVST3View::attached(void* parent, FIDString type) {
  if (isPlatformTypeSupported(type) != kResultOk || parent == nullptr) return kResultFalse;
  plugin_.AttachEditorWindow(parent);
  const tresult result = CPluginView::attached(parent, type);
  LeaveFrameRunLoop();
  frameRunLoop_ = FindHostRunLoop(plugFrame);
  if (frameRunLoop_ != nullptr) plugin_.UseFrameRunLoop(frameRunLoop_.get());
  return result;
}

tresult PLUGIN_API IPluginVST3View::removed() {
  LeaveFrameRunLoop();
  if (plugin_.HasEditor()) plugin_.DetachEditorWindow();
  return CPluginView::removed();
}

void IPluginVST3View::LeaveFrameRunLoop() noexcept {
  if (frameRunLoop_ == nullptr) return;
  plugin_.ForgetFrameRunLoop(frameRunLoop_.get());
  frameRunLoop_.reset();
}

bool IPluginVST3View::KeyForDelegate(char16 key, int16 keyCode, int16 modifiers, KeyEvent& event) const {
  if (plugin_.GetHostId() != kSpaceOnlyHost) {
    event = KeyFromVst3Key(key, keyCode, modifiers);
    return true;
  }
  if (keyCode != kVst3KeySpace) return false;
  event = KeyFromVst3Key(u' ', keyCode, modifiers);
  return true;
}

tresult PLUGIN_API IPluginVST3View::onKeyDown(char16 key, int16 keyCode, int16 modifiers) {
  KeyEvent event;
  return KeyForDelegate(key, keyCode, modifiers, event) && plugin_.HandleKeyDown(event) ? kResultOk : kResultFalse;
}

tresult PLUGIN_API IPluginVST3View::onKeyUp(char16 key, int16 keyCode, int16 modifiers) {
  KeyEvent event;
  return KeyForDelegate(key, keyCode, modifiers, event) && plugin_.HandleKeyUp(event) ? kResultOk : kResultFalse;
}

tresult PLUGIN_API IPluginVST3View::getSize(ViewRect* size) {
  if (size == nullptr) return kInvalidArgument;
  if (!plugin_.HasEditor()) return kResultFalse;
  *size = ViewRect(0, 0, plugin_.EditorWidth(), plugin_.EditorHeight());
  return kResultOk;
}

tresult PLUGIN_API IPluginVST3View::onSize(ViewRect* newSize) {
  if (newSize == nullptr || !plugin_.HostMayResize()) return kResultFalse;
  setRect(*newSize);
  plugin_.ParentWindowResized(newSize->getWidth(), newSize->getHeight());
  return kResultOk;
}

tresult PLUGIN_API IPluginVST3View::canResize() {
  return plugin_.HasEditor() && plugin_.HostMayResize() ? kResultOk : kResultFalse;
}

tresult PLUGIN_API IPluginVST3View::checkSizeConstraint(ViewRect* rect) {
  if (rect == nullptr) return kInvalidArgument;
  // A host's rectangle may lie anywhere in the int32 range: its sums are taken in 64 bits.
  auto clamp32 = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  int32_t width = clamp32(int64_t{rect->right} - rect->left);
  int32_t height = clamp32(int64_t{rect->bottom} - rect->top);
  if (!plugin_.ConstrainEditorSize(width, height)) {
    rect->right = clamp32(int64_t{rect->left} + width);
    rect->bottom = clamp32(int64_t{rect->top} + height);
  }
  return kResultOk;
}

tresult PLUGIN_API IPluginVST3View::setContentScaleFactor(ScaleFactor factor) {
  plugin_.OnContentScaleChanged(factor);
  return kResultOk;
}

void IPluginVST3View::AskFrameToResize(int32_t width, int32_t height) {
  if (plugFrame == nullptr || !isAttached()) return;
  ViewRect rect(0, 0, width, height);
  plugFrame->resizeView(this, &rect);
}

tresult PLUGIN_API IPluginVST3View::queryInterface(const TUID iid, void** obj) {
  QUERY_INTERFACE(iid, obj, IPlugViewContentScaleSupport::iid, IPlugViewContentScaleSupport)
  return CPluginView::queryInterface(iid, obj);
}

}  // namespace plugkit

// IPluginVST3View: the editor view a host asks for with createView("editor"). It draws
// nothing itself: it hands the host's parent window to the plug-in's editor delegate,
// reports and checks the editor size, forwards resizes and content scale changes, and
// translates host key events for the delegate's key hooks. While attached it lends the
// plug-in its frame's run loop, where the frame offers one. All calls come on the UI thread.
#pragma once

#include <memory>

#include "framework/core/key_event.h"
#include "framework/timer.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "public.sdk/source/common/pluginview.h"

namespace plugkit {

class IPluginVST3;

class IPluginVST3View : public Steinberg::CPluginView, public Steinberg::IPlugViewContentScaleSupport {
 public:
  // Holds a reference to the plug-in for as long as the view lives.
  explicit IPluginVST3View(IPluginVST3& plugin);
  ~IPluginVST3View() override;

  // kResultFalse for every type while the plug-in offers no editor view (OffersEditorView).
  Steinberg::tresult PLUGIN_API isPlatformTypeSupported(Steinberg::FIDString type) override;
  // kResultFalse without an editor, for a window type other than the platform's or for a
  // null parent; the editor delegate then gets no window.
  Steinberg::tresult PLUGIN_API attached(void* parent, Steinberg::FIDString type) override;
  Steinberg::tresult PLUGIN_API removed() override;
  Steinberg::tresult PLUGIN_API onKeyDown(Steinberg::char16 key, Steinberg::int16 keyCode,
                                          Steinberg::int16 modifiers) override;
  Steinberg::tresult PLUGIN_API onKeyUp(Steinberg::char16 key, Steinberg::int16 keyCode,
                                        Steinberg::int16 modifiers) override;
  Steinberg::tresult PLUGIN_API getSize(Steinberg::ViewRect* size) override;
  Steinberg::tresult PLUGIN_API onSize(Steinberg::ViewRect* newSize) override;
  Steinberg::tresult PLUGIN_API canResize() override;
  // Moves right and bottom so that the size fits the editor's bounds; left and top stay.
  Steinberg::tresult PLUGIN_API checkSizeConstraint(Steinberg::ViewRect* rect) override;
  Steinberg::tresult PLUGIN_API setContentScaleFactor(ScaleFactor factor) override;

  // Asks the host's frame for a new size, when the host gave a frame and the view is attached.
  void AskFrameToResize(int32_t width, int32_t height);

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  REFCOUNT_METHODS(CPluginView)

 private:
  // The key for the delegate, or false when this host's keys are not passed on.
  bool KeyForDelegate(Steinberg::char16 key, Steinberg::int16 keyCode, Steinberg::int16 modifiers,
                      KeyEvent& event) const;

  // Takes the frame's run loop back from the plug-in and releases it.
  void LeaveFrameRunLoop() noexcept;

  IPluginVST3& plugin_;
  std::unique_ptr<TimerLoop> frameRunLoop_;
};

}  // namespace plugkit

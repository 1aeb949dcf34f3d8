// The controller: places the browser in the parent window and owns its life.
#pragma once

#include "webview/webview2/types.h"

namespace plugkit::webview2 {

class ICoreWebView2;

class ICoreWebView2Controller : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("4d00c0d1-9434-4eb6-8078-8697a560334f");
  PLUGKIT_WEBVIEW2_RESERVED(3)
  virtual HResult put_IsVisible(Bool32 visible) = 0;  // 4
  PLUGKIT_WEBVIEW2_RESERVED(5)
  virtual HResult put_Bounds(Rect bounds) = 0;  // 6
  PLUGKIT_WEBVIEW2_RESERVED(7)
  PLUGKIT_WEBVIEW2_RESERVED(8)
  PLUGKIT_WEBVIEW2_RESERVED(9)
  PLUGKIT_WEBVIEW2_RESERVED(10)
  PLUGKIT_WEBVIEW2_RESERVED(11)
  PLUGKIT_WEBVIEW2_RESERVED(12)
  PLUGKIT_WEBVIEW2_RESERVED(13)
  PLUGKIT_WEBVIEW2_RESERVED(14)
  PLUGKIT_WEBVIEW2_RESERVED(15)
  PLUGKIT_WEBVIEW2_RESERVED(16)
  PLUGKIT_WEBVIEW2_RESERVED(17)
  PLUGKIT_WEBVIEW2_RESERVED(18)
  PLUGKIT_WEBVIEW2_RESERVED(19)
  PLUGKIT_WEBVIEW2_RESERVED(20)
  PLUGKIT_WEBVIEW2_RESERVED(21)
  PLUGKIT_WEBVIEW2_RESERVED(22)
  PLUGKIT_WEBVIEW2_RESERVED(23)
  virtual HResult Close() = 0;                                    // 24
  virtual HResult get_CoreWebView2(ICoreWebView2** webView) = 0;  // 25
};

class ICoreWebView2Controller2 : public ICoreWebView2Controller {
 public:
  static constexpr Guid kIid = MakeGuid("c979903e-d4ca-4228-92eb-47ee3fa96eab");
  PLUGKIT_WEBVIEW2_RESERVED(26)
  virtual HResult put_DefaultBackgroundColor(Color color) = 0;  // 27
};

}  // namespace plugkit::webview2

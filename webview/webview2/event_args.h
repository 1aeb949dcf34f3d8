// Arguments of the browser events we handle. Texts returned through Char** are task-memory
// copies that the caller frees.
#pragma once

#include "webview/webview2/types.h"

namespace plugkit::webview2 {

class ICoreWebView2WebMessageReceivedEventArgs : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("0f99a40c-e962-4207-9e92-e3d542eff849");
  PLUGKIT_WEBVIEW2_RESERVED(3)
  virtual HResult get_WebMessageAsJson(Char** json) = 0;  // 4
};

class ICoreWebView2NavigationStartingEventArgs : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("5b495469-e119-438a-9b18-7604f25f2e49");
  virtual HResult get_Uri(Char** uri) = 0;  // 3
  PLUGKIT_WEBVIEW2_RESERVED(4)
  PLUGKIT_WEBVIEW2_RESERVED(5)
  PLUGKIT_WEBVIEW2_RESERVED(6)
  PLUGKIT_WEBVIEW2_RESERVED(7)
  virtual HResult put_Cancel(Bool32 cancel) = 0;  // 8
};

class ICoreWebView2NavigationCompletedEventArgs : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("30d68b7d-20d9-4752-a9ca-ec8448fbb5c1");
  virtual HResult get_IsSuccess(Bool32* success) = 0;              // 3
  virtual HResult get_WebErrorStatus(WebErrorStatus* status) = 0;  // 4
};

class ICoreWebView2NewWindowRequestedEventArgs : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("34acb11c-fc37-4418-9132-f9c21d1eafb9");
  virtual HResult get_Uri(Char** uri) = 0;  // 3
  PLUGKIT_WEBVIEW2_RESERVED(4)
  PLUGKIT_WEBVIEW2_RESERVED(5)
  virtual HResult put_Handled(Bool32 handled) = 0;  // 6
  PLUGKIT_WEBVIEW2_RESERVED(7)
  PLUGKIT_WEBVIEW2_RESERVED(8)
  PLUGKIT_WEBVIEW2_RESERVED(9)
  PLUGKIT_WEBVIEW2_RESERVED(10)
};

// Derives the first arguments interface; we only ask for it as a capability check.
class ICoreWebView2NewWindowRequestedEventArgs2 : public ICoreWebView2NewWindowRequestedEventArgs {
 public:
  static constexpr Guid kIid = MakeGuid("bbc7baed-74c6-4c92-b63a-7f5aeae03de3");
  PLUGKIT_WEBVIEW2_RESERVED(11)
};

}  // namespace plugkit::webview2

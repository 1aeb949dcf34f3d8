// The callback interfaces the browser calls back on (we implement them): IUnknown and one
// Invoke at slot 3.
#pragma once

#include "webview/webview2/types.h"

namespace plugkit::webview2 {

class ICoreWebView2;
class ICoreWebView2Controller;
class ICoreWebView2DownloadOperation;
class ICoreWebView2DownloadStartingEventArgs;
class ICoreWebView2Environment;
class ICoreWebView2NavigationCompletedEventArgs;
class ICoreWebView2NavigationStartingEventArgs;
class ICoreWebView2NewWindowRequestedEventArgs;
class ICoreWebView2WebMessageReceivedEventArgs;

class ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("4e8a3389-c9d8-4bd2-b6b5-124fee6cc14d");
  virtual HResult Invoke(HResult result, ICoreWebView2Environment* environment) = 0;
};

class ICoreWebView2CreateCoreWebView2ControllerCompletedHandler : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("6c4819f3-c9b7-4260-8127-c9f5bde7f68c");
  virtual HResult Invoke(HResult result, ICoreWebView2Controller* controller) = 0;
};

class ICoreWebView2WebMessageReceivedEventHandler : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("57213f19-00e6-49fa-8e07-898ea01ecbd2");
  virtual HResult Invoke(ICoreWebView2* sender, ICoreWebView2WebMessageReceivedEventArgs* args) = 0;
};

class ICoreWebView2NavigationStartingEventHandler : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("9adbe429-f36d-432b-9ddc-f8881fbd76e3");
  virtual HResult Invoke(ICoreWebView2* sender, ICoreWebView2NavigationStartingEventArgs* args) = 0;
};

class ICoreWebView2NavigationCompletedEventHandler : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("d33a35bf-1c49-4f98-93ab-006e0533fe1c");
  virtual HResult Invoke(ICoreWebView2* sender, ICoreWebView2NavigationCompletedEventArgs* args) = 0;
};

class ICoreWebView2NewWindowRequestedEventHandler : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("d4c185fe-c81c-4989-97af-2d3fa7ab5651");
  virtual HResult Invoke(ICoreWebView2* sender, ICoreWebView2NewWindowRequestedEventArgs* args) = 0;
};

class ICoreWebView2DownloadStartingEventHandler : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("efedc989-c396-41ca-83f7-07f845a55724");
  virtual HResult Invoke(ICoreWebView2* sender, ICoreWebView2DownloadStartingEventArgs* args) = 0;
};

class ICoreWebView2BytesReceivedChangedEventHandler : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("828e8ab6-d94c-4264-9cef-5217170d6251");
  virtual HResult Invoke(ICoreWebView2DownloadOperation* sender, IUnknown* args) = 0;
};

class ICoreWebView2StateChangedEventHandler : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("81336594-7ede-4ba9-bf71-acf0a95b58dd");
  virtual HResult Invoke(ICoreWebView2DownloadOperation* sender, IUnknown* args) = 0;
};

class ICoreWebView2ExecuteScriptCompletedHandler : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("49511172-cc67-4bca-9923-137112f4c4cc");
  virtual HResult Invoke(HResult errorCode, const Char* resultObjectAsJson) = 0;
};

class ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("b99369f3-9b11-47b5-bc6f-8e7895fcea17");
  virtual HResult Invoke(HResult errorCode, const Char* id) = 0;
};

}  // namespace plugkit::webview2

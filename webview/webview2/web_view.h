// The browser view: navigation, scripts, page messages and its events.
#pragma once

#include "webview/webview2/handlers.h"
#include "webview/webview2/types.h"

namespace plugkit::webview2 {

class ICoreWebView2Settings : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("e562e4f0-d7fa-43ac-8d71-c05150499f00");
  PLUGKIT_WEBVIEW2_RESERVED(3)
  virtual HResult put_IsScriptEnabled(Bool32 value) = 0;  // 4
  PLUGKIT_WEBVIEW2_RESERVED(5)
  virtual HResult put_IsWebMessageEnabled(Bool32 value) = 0;  // 6
  PLUGKIT_WEBVIEW2_RESERVED(7)
  virtual HResult put_AreDefaultScriptDialogsEnabled(Bool32 value) = 0;  // 8
  PLUGKIT_WEBVIEW2_RESERVED(9)
  PLUGKIT_WEBVIEW2_RESERVED(10)
  PLUGKIT_WEBVIEW2_RESERVED(11)
  virtual HResult put_AreDevToolsEnabled(Bool32 value) = 0;  // 12
  PLUGKIT_WEBVIEW2_RESERVED(13)
  virtual HResult put_AreDefaultContextMenusEnabled(Bool32 value) = 0;  // 14
};

class ICoreWebView2 : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("76eceacb-0462-4d94-ac83-423a6793775e");
  virtual HResult get_Settings(ICoreWebView2Settings** settings) = 0;  // 3
  PLUGKIT_WEBVIEW2_RESERVED(4)
  virtual HResult Navigate(const Char* uri) = 0;  // 5
  PLUGKIT_WEBVIEW2_RESERVED(6)
  virtual HResult add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* handler,
                                         EventRegistrationToken* token) = 0;  // 7
  PLUGKIT_WEBVIEW2_RESERVED(8)
  PLUGKIT_WEBVIEW2_RESERVED(9)
  PLUGKIT_WEBVIEW2_RESERVED(10)
  PLUGKIT_WEBVIEW2_RESERVED(11)
  PLUGKIT_WEBVIEW2_RESERVED(12)
  PLUGKIT_WEBVIEW2_RESERVED(13)
  PLUGKIT_WEBVIEW2_RESERVED(14)
  virtual HResult add_NavigationCompleted(ICoreWebView2NavigationCompletedEventHandler* handler,
                                          EventRegistrationToken* token) = 0;  // 15
  PLUGKIT_WEBVIEW2_RESERVED(16)
  PLUGKIT_WEBVIEW2_RESERVED(17)
  PLUGKIT_WEBVIEW2_RESERVED(18)
  PLUGKIT_WEBVIEW2_RESERVED(19)
  PLUGKIT_WEBVIEW2_RESERVED(20)
  PLUGKIT_WEBVIEW2_RESERVED(21)
  PLUGKIT_WEBVIEW2_RESERVED(22)
  PLUGKIT_WEBVIEW2_RESERVED(23)
  PLUGKIT_WEBVIEW2_RESERVED(24)
  PLUGKIT_WEBVIEW2_RESERVED(25)
  PLUGKIT_WEBVIEW2_RESERVED(26)
  virtual HResult AddScriptToExecuteOnDocumentCreated(
      const Char* javaScript, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* handler) = 0;  // 27
  PLUGKIT_WEBVIEW2_RESERVED(28)
  virtual HResult ExecuteScript(const Char* javaScript, ICoreWebView2ExecuteScriptCompletedHandler* handler) = 0;  // 29
  PLUGKIT_WEBVIEW2_RESERVED(30)
  PLUGKIT_WEBVIEW2_RESERVED(31)
  PLUGKIT_WEBVIEW2_RESERVED(32)
  PLUGKIT_WEBVIEW2_RESERVED(33)
  virtual HResult add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* handler,
                                         EventRegistrationToken* token) = 0;  // 34
  PLUGKIT_WEBVIEW2_RESERVED(35)
  PLUGKIT_WEBVIEW2_RESERVED(36)
  PLUGKIT_WEBVIEW2_RESERVED(37)
  PLUGKIT_WEBVIEW2_RESERVED(38)
  PLUGKIT_WEBVIEW2_RESERVED(39)
  PLUGKIT_WEBVIEW2_RESERVED(40)
  PLUGKIT_WEBVIEW2_RESERVED(41)
  PLUGKIT_WEBVIEW2_RESERVED(42)
  PLUGKIT_WEBVIEW2_RESERVED(43)
  virtual HResult add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* handler,
                                         EventRegistrationToken* token) = 0;  // 44
  PLUGKIT_WEBVIEW2_RESERVED(45)
  PLUGKIT_WEBVIEW2_RESERVED(46)
  PLUGKIT_WEBVIEW2_RESERVED(47)
  PLUGKIT_WEBVIEW2_RESERVED(48)
  PLUGKIT_WEBVIEW2_RESERVED(49)
  PLUGKIT_WEBVIEW2_RESERVED(50)
  PLUGKIT_WEBVIEW2_RESERVED(51)
  PLUGKIT_WEBVIEW2_RESERVED(52)
  PLUGKIT_WEBVIEW2_RESERVED(53)
  PLUGKIT_WEBVIEW2_RESERVED(54)
  PLUGKIT_WEBVIEW2_RESERVED(55)
  PLUGKIT_WEBVIEW2_RESERVED(56)
  PLUGKIT_WEBVIEW2_RESERVED(57)
  PLUGKIT_WEBVIEW2_RESERVED(58)
  PLUGKIT_WEBVIEW2_RESERVED(59)
  PLUGKIT_WEBVIEW2_RESERVED(60)
};

class ICoreWebView2_2 : public ICoreWebView2 {
 public:
  static constexpr Guid kIid = MakeGuid("9e8f0cf8-e670-4b5e-b2bc-73e061e3184c");
  PLUGKIT_WEBVIEW2_RESERVED(61)
  PLUGKIT_WEBVIEW2_RESERVED(62)
  PLUGKIT_WEBVIEW2_RESERVED(63)
  PLUGKIT_WEBVIEW2_RESERVED(64)
  PLUGKIT_WEBVIEW2_RESERVED(65)
  PLUGKIT_WEBVIEW2_RESERVED(66)
  PLUGKIT_WEBVIEW2_RESERVED(67)
};

class ICoreWebView2_3 : public ICoreWebView2_2 {
 public:
  static constexpr Guid kIid = MakeGuid("a0d6df20-3b92-416d-aa0c-437a9c727857");
  PLUGKIT_WEBVIEW2_RESERVED(68)
  PLUGKIT_WEBVIEW2_RESERVED(69)
  PLUGKIT_WEBVIEW2_RESERVED(70)
  virtual HResult SetVirtualHostNameToFolderMapping(const Char* hostName, const Char* folderPath,
                                                    HostResourceAccessKind accessKind) = 0;  // 71
  PLUGKIT_WEBVIEW2_RESERVED(72)
};

class ICoreWebView2_4 : public ICoreWebView2_3 {
 public:
  static constexpr Guid kIid = MakeGuid("20d02d59-6df2-42dc-bd06-f98a694b1302");
  PLUGKIT_WEBVIEW2_RESERVED(73)
  PLUGKIT_WEBVIEW2_RESERVED(74)
  virtual HResult add_DownloadStarting(ICoreWebView2DownloadStartingEventHandler* handler,
                                       EventRegistrationToken* token) = 0;  // 75
  PLUGKIT_WEBVIEW2_RESERVED(76)
};

}  // namespace plugkit::webview2

// Downloads: the starting event's arguments and the operation they carry.
#pragma once

#include "webview/webview2/handlers.h"
#include "webview/webview2/types.h"

namespace plugkit::webview2 {

class ICoreWebView2DownloadOperation : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("3d6b6cf2-afe1-44c7-a995-c65117714336");
  virtual HResult add_BytesReceivedChanged(ICoreWebView2BytesReceivedChangedEventHandler* handler,
                                           EventRegistrationToken* token) = 0;    // 3
  virtual HResult remove_BytesReceivedChanged(EventRegistrationToken token) = 0;  // 4
  PLUGKIT_WEBVIEW2_RESERVED(5)
  PLUGKIT_WEBVIEW2_RESERVED(6)
  virtual HResult add_StateChanged(ICoreWebView2StateChangedEventHandler* handler,
                                   EventRegistrationToken* token) = 0;    // 7
  virtual HResult remove_StateChanged(EventRegistrationToken token) = 0;  // 8
  PLUGKIT_WEBVIEW2_RESERVED(9)
  PLUGKIT_WEBVIEW2_RESERVED(10)
  virtual HResult get_MimeType(Char** mimeType) = 0;            // 11
  virtual HResult get_TotalBytesToReceive(int64_t* total) = 0;  // 12
  virtual HResult get_BytesReceived(int64_t* received) = 0;     // 13
  PLUGKIT_WEBVIEW2_RESERVED(14)
  virtual HResult get_ResultFilePath(Char** path) = 0;  // 15
  virtual HResult get_State(DownloadState* state) = 0;  // 16
};

class ICoreWebView2DownloadStartingEventArgs : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("e99bbe21-43e9-4544-a732-282764eafa60");
  virtual HResult get_DownloadOperation(ICoreWebView2DownloadOperation** operation) = 0;  // 3
  PLUGKIT_WEBVIEW2_RESERVED(4)
  virtual HResult put_Cancel(Bool32 cancel) = 0;             // 5
  virtual HResult get_ResultFilePath(Char** path) = 0;       // 6
  virtual HResult put_ResultFilePath(const Char* path) = 0;  // 7
  PLUGKIT_WEBVIEW2_RESERVED(8)
  virtual HResult put_Handled(Bool32 handled) = 0;  // 9
};

}  // namespace plugkit::webview2

// The environment, its options and the loader entry point that creates it.
#pragma once

#include "webview/webview2/handlers.h"
#include "webview/webview2/types.h"

namespace plugkit::webview2 {

class ICoreWebView2Environment : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("b96d755e-0319-4e92-a296-23436f46a1fc");
  virtual HResult CreateCoreWebView2Controller(void* parentWindow,
                                               ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) = 0;
};

// Getters hand out task-memory copies that the caller frees.
class ICoreWebView2EnvironmentOptions : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("2fde08a8-1e9a-4766-8c05-95a9ceb9d1c5");
  virtual HResult get_AdditionalBrowserArguments(Char** value) = 0;
  virtual HResult put_AdditionalBrowserArguments(const Char* value) = 0;
  virtual HResult get_Language(Char** value) = 0;
  virtual HResult put_Language(const Char* value) = 0;
  virtual HResult get_TargetCompatibleBrowserVersion(Char** value) = 0;
  virtual HResult put_TargetCompatibleBrowserVersion(const Char* value) = 0;
  virtual HResult get_AllowSingleSignOnUsingOSPrimaryAccount(Bool32* value) = 0;
  virtual HResult put_AllowSingleSignOnUsingOSPrimaryAccount(Bool32 value) = 0;
};

// Options2 and Options3 derive IUnknown directly, not the first options interface.
class ICoreWebView2EnvironmentOptions2 : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("ff85c98a-1ba7-4a6b-90c8-2b752c89e9e2");
  virtual HResult get_ExclusiveUserDataFolderAccess(Bool32* value) = 0;
  virtual HResult put_ExclusiveUserDataFolderAccess(Bool32 value) = 0;
};

class ICoreWebView2EnvironmentOptions3 : public IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("4a5c436e-a9e3-4a2e-89c3-910d3513f5cc");
  virtual HResult get_IsCustomCrashReportingEnabled(Bool32* value) = 0;
  virtual HResult put_IsCustomCrashReportingEnabled(Bool32 value) = 0;
};

// CreateCoreWebView2EnvironmentWithOptions, exported undecorated by the loader DLL.
using CreateEnvironmentWithOptionsFunction = HResult (*)(
    const Char* browserExecutableFolder, const Char* userDataFolder, ICoreWebView2EnvironmentOptions* options,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler);

}  // namespace plugkit::webview2

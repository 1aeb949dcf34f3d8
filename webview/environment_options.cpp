#include "webview/environment_options.h"

#include "webview/browser_runtime.h"

namespace plugkit::webview {

using webview2::Bool32;
using webview2::Char;
using webview2::HResult;

ComPtr<webview2::ICoreWebView2EnvironmentOptions> EnvironmentOptions::Make() {
  return ComPtr<webview2::ICoreWebView2EnvironmentOptions>::Adopt(new EnvironmentOptions());
}

HResult EnvironmentOptions::QueryInterface(const webview2::Guid& iid, void** object) {
  if (object == nullptr) return webview2::kInvalidPointer;
  *object = nullptr;
  if (iid == webview2::IUnknown::kIid || iid == webview2::ICoreWebView2EnvironmentOptions::kIid)
    *object = static_cast<webview2::ICoreWebView2EnvironmentOptions*>(this);
  else if (iid == webview2::ICoreWebView2EnvironmentOptions2::kIid)
    *object = static_cast<webview2::ICoreWebView2EnvironmentOptions2*>(this);
  else if (iid == webview2::ICoreWebView2EnvironmentOptions3::kIid)
    *object = static_cast<webview2::ICoreWebView2EnvironmentOptions3*>(this);
  else
    return webview2::kNoInterface;
  AddRef();
  return webview2::kOk;
}

webview2::ULong EnvironmentOptions::AddRef() { return references_.fetch_add(1) + 1; }

webview2::ULong EnvironmentOptions::Release() {
  const webview2::ULong left = references_.fetch_sub(1) - 1;
  if (left == 0) delete this;
  return left;
}

HResult EnvironmentOptions::GetText(const TextOption& option, Char** value) {
  if (value == nullptr) return webview2::kInvalidPointer;
  *value = nullptr;
  if (!option.present) return webview2::kOk;
  *value = NewBrowserText(option.value);
  return *value != nullptr ? webview2::kOk : webview2::kOutOfMemory;
}

HResult EnvironmentOptions::PutText(TextOption& option, const Char* value) {
  try {
    option.present = value != nullptr;
    option.value = value != nullptr ? std::u16string(value) : std::u16string();
    return webview2::kOk;
  } catch (...) {
    return webview2::kOutOfMemory;
  }
}

static HResult GetFlag(Bool32 flag, Bool32* value) {
  if (value == nullptr) return webview2::kInvalidPointer;
  *value = flag;
  return webview2::kOk;
}

HResult EnvironmentOptions::get_AdditionalBrowserArguments(Char** value) {
  return GetText(additionalBrowserArguments_, value);
}
HResult EnvironmentOptions::put_AdditionalBrowserArguments(const Char* value) {
  return PutText(additionalBrowserArguments_, value);
}
HResult EnvironmentOptions::get_Language(Char** value) { return GetText(language_, value); }
HResult EnvironmentOptions::put_Language(const Char* value) { return PutText(language_, value); }
HResult EnvironmentOptions::get_TargetCompatibleBrowserVersion(Char** value) {
  return GetText(targetBrowserVersion_, value);
}
HResult EnvironmentOptions::put_TargetCompatibleBrowserVersion(const Char* value) {
  return PutText(targetBrowserVersion_, value);
}
HResult EnvironmentOptions::get_AllowSingleSignOnUsingOSPrimaryAccount(Bool32* value) {
  return GetFlag(singleSignOn_, value);
}
HResult EnvironmentOptions::put_AllowSingleSignOnUsingOSPrimaryAccount(Bool32 value) {
  singleSignOn_ = value;
  return webview2::kOk;
}
HResult EnvironmentOptions::get_ExclusiveUserDataFolderAccess(Bool32* value) {
  return GetFlag(exclusiveUserDataFolderAccess_, value);
}
HResult EnvironmentOptions::put_ExclusiveUserDataFolderAccess(Bool32 value) {
  exclusiveUserDataFolderAccess_ = value;
  return webview2::kOk;
}
HResult EnvironmentOptions::get_IsCustomCrashReportingEnabled(Bool32* value) {
  return GetFlag(customCrashReporting_, value);
}
HResult EnvironmentOptions::put_IsCustomCrashReportingEnabled(Bool32 value) {
  customCrashReporting_ = value;
  return webview2::kOk;
}

}  // namespace plugkit::webview

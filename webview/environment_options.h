// The options object handed to environment creation. The loader and the runtime read every
// getter, so all of them answer; getters hand out task-memory copies.
#pragma once

#include <atomic>
#include <string>

#include "webview/com_ptr.h"
#include "webview/webview2/environment.h"

namespace plugkit::webview {

inline constexpr char16_t kTargetBrowserVersion[] = u"131.0.2903.40";

class EnvironmentOptions final : public webview2::ICoreWebView2EnvironmentOptions,
                                 public webview2::ICoreWebView2EnvironmentOptions2,
                                 public webview2::ICoreWebView2EnvironmentOptions3 {
 public:
  // A new object with one reference for the caller. Throws std::bad_alloc.
  static ComPtr<webview2::ICoreWebView2EnvironmentOptions> Make();

  webview2::HResult QueryInterface(const webview2::Guid& iid, void** object) override;
  webview2::ULong AddRef() override;
  webview2::ULong Release() override;

  webview2::HResult get_AdditionalBrowserArguments(webview2::Char** value) override;
  webview2::HResult put_AdditionalBrowserArguments(const webview2::Char* value) override;
  webview2::HResult get_Language(webview2::Char** value) override;
  webview2::HResult put_Language(const webview2::Char* value) override;
  webview2::HResult get_TargetCompatibleBrowserVersion(webview2::Char** value) override;
  webview2::HResult put_TargetCompatibleBrowserVersion(const webview2::Char* value) override;
  webview2::HResult get_AllowSingleSignOnUsingOSPrimaryAccount(webview2::Bool32* value) override;
  webview2::HResult put_AllowSingleSignOnUsingOSPrimaryAccount(webview2::Bool32 value) override;
  webview2::HResult get_ExclusiveUserDataFolderAccess(webview2::Bool32* value) override;
  webview2::HResult put_ExclusiveUserDataFolderAccess(webview2::Bool32 value) override;
  webview2::HResult get_IsCustomCrashReportingEnabled(webview2::Bool32* value) override;
  webview2::HResult put_IsCustomCrashReportingEnabled(webview2::Bool32 value) override;

 private:
  EnvironmentOptions() = default;
  ~EnvironmentOptions() = default;

  // A text option: absent (null to the reader) or a value.
  struct TextOption {
    bool present = false;
    std::u16string value;
  };
  static webview2::HResult GetText(const TextOption& option, webview2::Char** value);
  static webview2::HResult PutText(TextOption& option, const webview2::Char* value);

  std::atomic<webview2::ULong> references_{1};
  TextOption additionalBrowserArguments_;
  TextOption language_;
  TextOption targetBrowserVersion_{true, kTargetBrowserVersion};
  webview2::Bool32 singleSignOn_ = 0;
  webview2::Bool32 exclusiveUserDataFolderAccess_ = 0;
  webview2::Bool32 customCrashReporting_ = 0;
};

}  // namespace plugkit::webview

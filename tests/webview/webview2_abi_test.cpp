// Proves that every browser method we call sits at its published vtable slot: a probe object
// whose vtable stubs record their own index is viewed as each declared interface.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <utility>

#include "webview/webview2/webview2.h"

namespace {

using namespace plugkit::webview2;

int calledSlot = -1;

template <int N>
intptr_t RecordSlot() {
  calledSlot = N;
  return 0;
}

constexpr int kProbeSlots = 80;

// The stubs ignore their arguments; on x64 the caller owns the argument area, so a stub
// without parameters can stand in for any method.
template <int... N>
constexpr std::array<void*, kProbeSlots> MakeTable(std::integer_sequence<int, N...>) {
  return {reinterpret_cast<void*>(&RecordSlot<N>)...};
}

const std::array<void*, kProbeSlots> probeTable = MakeTable(std::make_integer_sequence<int, kProbeSlots>());

struct Probe {
  const void* const* vtable = probeTable.data();
} probe;

template <typename Interface>
Interface* As() {
  return reinterpret_cast<Interface*>(&probe);
}

struct SlotCase {
  const char* method;
  int slot;
  void (*call)();
};

const Char kText[] = u"x";

const SlotCase kSlotCases[] = {
    {"IUnknown::QueryInterface", 0, [] { As<ICoreWebView2>()->QueryInterface(IUnknown::kIid, nullptr); }},
    {"IUnknown::AddRef", 1, [] { As<ICoreWebView2>()->AddRef(); }},
    {"IUnknown::Release", 2, [] { As<ICoreWebView2>()->Release(); }},
    {"ICoreWebView2::get_Settings", 3, [] { As<ICoreWebView2>()->get_Settings(nullptr); }},
    {"ICoreWebView2::Navigate", 5, [] { As<ICoreWebView2>()->Navigate(kText); }},
    {"ICoreWebView2::add_NavigationStarting", 7, [] { As<ICoreWebView2>()->add_NavigationStarting(nullptr, nullptr); }},
    {"ICoreWebView2::add_NavigationCompleted", 15,
     [] { As<ICoreWebView2>()->add_NavigationCompleted(nullptr, nullptr); }},
    {"ICoreWebView2::AddScriptToExecuteOnDocumentCreated", 27,
     [] { As<ICoreWebView2>()->AddScriptToExecuteOnDocumentCreated(kText, nullptr); }},
    {"ICoreWebView2::ExecuteScript", 29, [] { As<ICoreWebView2>()->ExecuteScript(kText, nullptr); }},
    {"ICoreWebView2::add_WebMessageReceived", 34,
     [] { As<ICoreWebView2>()->add_WebMessageReceived(nullptr, nullptr); }},
    {"ICoreWebView2::add_NewWindowRequested", 44,
     [] { As<ICoreWebView2>()->add_NewWindowRequested(nullptr, nullptr); }},
    {"ICoreWebView2_3::SetVirtualHostNameToFolderMapping", 71,
     [] { As<ICoreWebView2_3>()->SetVirtualHostNameToFolderMapping(kText, kText, kHostResourceAccessDenyCors); }},
    {"ICoreWebView2_4::add_DownloadStarting", 75,
     [] { As<ICoreWebView2_4>()->add_DownloadStarting(nullptr, nullptr); }},
    {"ICoreWebView2_4 inherits Navigate", 5, [] { As<ICoreWebView2_4>()->Navigate(kText); }},
    {"ICoreWebView2Controller::put_IsVisible", 4, [] { As<ICoreWebView2Controller>()->put_IsVisible(1); }},
    {"ICoreWebView2Controller::put_Bounds", 6,
     [] {
       As<ICoreWebView2Controller>()->put_Bounds(Rect{1, 2, 3, 4});
     }},
    {"ICoreWebView2Controller::Close", 24, [] { As<ICoreWebView2Controller>()->Close(); }},
    {"ICoreWebView2Controller::get_CoreWebView2", 25, [] { As<ICoreWebView2Controller>()->get_CoreWebView2(nullptr); }},
    {"ICoreWebView2Controller2::put_DefaultBackgroundColor", 27,
     [] {
       As<ICoreWebView2Controller2>()->put_DefaultBackgroundColor(Color{0, 0, 0, 0});
     }},
    {"ICoreWebView2Environment::CreateCoreWebView2Controller", 3,
     [] { As<ICoreWebView2Environment>()->CreateCoreWebView2Controller(nullptr, nullptr); }},
    {"Options::get_AdditionalBrowserArguments", 3,
     [] { As<ICoreWebView2EnvironmentOptions>()->get_AdditionalBrowserArguments(nullptr); }},
    {"Options::put_AdditionalBrowserArguments", 4,
     [] { As<ICoreWebView2EnvironmentOptions>()->put_AdditionalBrowserArguments(kText); }},
    {"Options::get_Language", 5, [] { As<ICoreWebView2EnvironmentOptions>()->get_Language(nullptr); }},
    {"Options::put_Language", 6, [] { As<ICoreWebView2EnvironmentOptions>()->put_Language(kText); }},
    {"Options::get_TargetCompatibleBrowserVersion", 7,
     [] { As<ICoreWebView2EnvironmentOptions>()->get_TargetCompatibleBrowserVersion(nullptr); }},
    {"Options::put_TargetCompatibleBrowserVersion", 8,
     [] { As<ICoreWebView2EnvironmentOptions>()->put_TargetCompatibleBrowserVersion(kText); }},
    {"Options::get_AllowSingleSignOnUsingOSPrimaryAccount", 9,
     [] { As<ICoreWebView2EnvironmentOptions>()->get_AllowSingleSignOnUsingOSPrimaryAccount(nullptr); }},
    {"Options::put_AllowSingleSignOnUsingOSPrimaryAccount", 10,
     [] { As<ICoreWebView2EnvironmentOptions>()->put_AllowSingleSignOnUsingOSPrimaryAccount(0); }},
    {"Options2::get_ExclusiveUserDataFolderAccess", 3,
     [] { As<ICoreWebView2EnvironmentOptions2>()->get_ExclusiveUserDataFolderAccess(nullptr); }},
    {"Options2::put_ExclusiveUserDataFolderAccess", 4,
     [] { As<ICoreWebView2EnvironmentOptions2>()->put_ExclusiveUserDataFolderAccess(0); }},
    {"Options3::get_IsCustomCrashReportingEnabled", 3,
     [] { As<ICoreWebView2EnvironmentOptions3>()->get_IsCustomCrashReportingEnabled(nullptr); }},
    {"Options3::put_IsCustomCrashReportingEnabled", 4,
     [] { As<ICoreWebView2EnvironmentOptions3>()->put_IsCustomCrashReportingEnabled(0); }},
    {"Settings::put_IsScriptEnabled", 4, [] { As<ICoreWebView2Settings>()->put_IsScriptEnabled(1); }},
    {"Settings::put_IsWebMessageEnabled", 6, [] { As<ICoreWebView2Settings>()->put_IsWebMessageEnabled(1); }},
    {"Settings::put_AreDefaultScriptDialogsEnabled", 8,
     [] { As<ICoreWebView2Settings>()->put_AreDefaultScriptDialogsEnabled(1); }},
    {"Settings::put_AreDevToolsEnabled", 12, [] { As<ICoreWebView2Settings>()->put_AreDevToolsEnabled(0); }},
    {"Settings::put_AreDefaultContextMenusEnabled", 14,
     [] { As<ICoreWebView2Settings>()->put_AreDefaultContextMenusEnabled(0); }},
    {"WebMessageReceivedEventArgs::get_WebMessageAsJson", 4,
     [] { As<ICoreWebView2WebMessageReceivedEventArgs>()->get_WebMessageAsJson(nullptr); }},
    {"NavigationStartingEventArgs::get_Uri", 3,
     [] { As<ICoreWebView2NavigationStartingEventArgs>()->get_Uri(nullptr); }},
    {"NavigationStartingEventArgs::put_Cancel", 8,
     [] { As<ICoreWebView2NavigationStartingEventArgs>()->put_Cancel(1); }},
    {"NavigationCompletedEventArgs::get_IsSuccess", 3,
     [] { As<ICoreWebView2NavigationCompletedEventArgs>()->get_IsSuccess(nullptr); }},
    {"NavigationCompletedEventArgs::get_WebErrorStatus", 4,
     [] { As<ICoreWebView2NavigationCompletedEventArgs>()->get_WebErrorStatus(nullptr); }},
    {"NewWindowRequestedEventArgs::get_Uri", 3,
     [] { As<ICoreWebView2NewWindowRequestedEventArgs>()->get_Uri(nullptr); }},
    {"NewWindowRequestedEventArgs::put_Handled", 6,
     [] { As<ICoreWebView2NewWindowRequestedEventArgs>()->put_Handled(1); }},
    {"NewWindowRequestedEventArgs2 inherits get_Uri", 3,
     [] { As<ICoreWebView2NewWindowRequestedEventArgs2>()->get_Uri(nullptr); }},
    {"DownloadStartingEventArgs::get_DownloadOperation", 3,
     [] { As<ICoreWebView2DownloadStartingEventArgs>()->get_DownloadOperation(nullptr); }},
    {"DownloadStartingEventArgs::put_Cancel", 5, [] { As<ICoreWebView2DownloadStartingEventArgs>()->put_Cancel(1); }},
    {"DownloadStartingEventArgs::get_ResultFilePath", 6,
     [] { As<ICoreWebView2DownloadStartingEventArgs>()->get_ResultFilePath(nullptr); }},
    {"DownloadStartingEventArgs::put_ResultFilePath", 7,
     [] { As<ICoreWebView2DownloadStartingEventArgs>()->put_ResultFilePath(kText); }},
    {"DownloadStartingEventArgs::put_Handled", 9, [] { As<ICoreWebView2DownloadStartingEventArgs>()->put_Handled(1); }},
    {"DownloadOperation::add_BytesReceivedChanged", 3,
     [] { As<ICoreWebView2DownloadOperation>()->add_BytesReceivedChanged(nullptr, nullptr); }},
    {"DownloadOperation::remove_BytesReceivedChanged", 4,
     [] { As<ICoreWebView2DownloadOperation>()->remove_BytesReceivedChanged(EventRegistrationToken{7}); }},
    {"DownloadOperation::add_StateChanged", 7,
     [] { As<ICoreWebView2DownloadOperation>()->add_StateChanged(nullptr, nullptr); }},
    {"DownloadOperation::remove_StateChanged", 8,
     [] { As<ICoreWebView2DownloadOperation>()->remove_StateChanged(EventRegistrationToken{7}); }},
    {"DownloadOperation::get_MimeType", 11, [] { As<ICoreWebView2DownloadOperation>()->get_MimeType(nullptr); }},
    {"DownloadOperation::get_TotalBytesToReceive", 12,
     [] { As<ICoreWebView2DownloadOperation>()->get_TotalBytesToReceive(nullptr); }},
    {"DownloadOperation::get_BytesReceived", 13,
     [] { As<ICoreWebView2DownloadOperation>()->get_BytesReceived(nullptr); }},
    {"DownloadOperation::get_ResultFilePath", 15,
     [] { As<ICoreWebView2DownloadOperation>()->get_ResultFilePath(nullptr); }},
    {"DownloadOperation::get_State", 16, [] { As<ICoreWebView2DownloadOperation>()->get_State(nullptr); }},
    // The browser calls Invoke on our handlers: slot 3 of each.
    {"EnvironmentCompletedHandler::Invoke", 3,
     [] { As<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>()->Invoke(0, nullptr); }},
    {"ControllerCompletedHandler::Invoke", 3,
     [] { As<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>()->Invoke(0, nullptr); }},
    {"WebMessageReceivedEventHandler::Invoke", 3,
     [] { As<ICoreWebView2WebMessageReceivedEventHandler>()->Invoke(nullptr, nullptr); }},
    {"NavigationStartingEventHandler::Invoke", 3,
     [] { As<ICoreWebView2NavigationStartingEventHandler>()->Invoke(nullptr, nullptr); }},
    {"NavigationCompletedEventHandler::Invoke", 3,
     [] { As<ICoreWebView2NavigationCompletedEventHandler>()->Invoke(nullptr, nullptr); }},
    {"NewWindowRequestedEventHandler::Invoke", 3,
     [] { As<ICoreWebView2NewWindowRequestedEventHandler>()->Invoke(nullptr, nullptr); }},
    {"DownloadStartingEventHandler::Invoke", 3,
     [] { As<ICoreWebView2DownloadStartingEventHandler>()->Invoke(nullptr, nullptr); }},
    {"BytesReceivedChangedEventHandler::Invoke", 3,
     [] { As<ICoreWebView2BytesReceivedChangedEventHandler>()->Invoke(nullptr, nullptr); }},
    {"StateChangedEventHandler::Invoke", 3,
     [] { As<ICoreWebView2StateChangedEventHandler>()->Invoke(nullptr, nullptr); }},
    {"ExecuteScriptCompletedHandler::Invoke", 3,
     [] { As<ICoreWebView2ExecuteScriptCompletedHandler>()->Invoke(0, kText); }},
    {"AddScriptCompletedHandler::Invoke", 3,
     [] { As<ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler>()->Invoke(0, kText); }},
};

TEST(WebView2Abi, EveryCalledMethodSitsAtItsPublishedSlot) {
  for (const SlotCase& c : kSlotCases) {
    calledSlot = -1;
    c.call();
    EXPECT_EQ(calledSlot, c.slot) << c.method;
  }
}

TEST(WebView2Abi, ValueTypesHaveTheirWindowsSizes) {
  EXPECT_EQ(sizeof(Guid), 16u);
  EXPECT_EQ(sizeof(Rect), 16u);
  EXPECT_EQ(sizeof(Color), 4u);
  EXPECT_EQ(sizeof(EventRegistrationToken), 8u);
  EXPECT_EQ(sizeof(HostResourceAccessKind), 4u);
  EXPECT_EQ(sizeof(Char), 2u);
}

TEST(WebView2Abi, InterfaceIdsKeepTheirByteOrder) {
  // The braced form in which the new-window arguments' identifier is usually quoted.
  const Guid expected{0xBBC7BAED, 0x74C6, 0x4C92, {0xB6, 0x3A, 0x7F, 0x5A, 0xEA, 0xE0, 0x3D, 0xE3}};
  EXPECT_TRUE(ICoreWebView2NewWindowRequestedEventArgs2::kIid == expected);
  EXPECT_FALSE(ICoreWebView2NewWindowRequestedEventArgs::kIid == expected);
  const Guid unknown{0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  EXPECT_TRUE(IUnknown::kIid == unknown);
}

}  // namespace

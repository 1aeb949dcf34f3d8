// The scripts added to every document before the page's own: the function the page posts
// its messages with, and key forwarding for keys typed outside text fields.
#pragma once

namespace plugkit::webview {

inline constexpr const char16_t* kDocumentScripts[] = {
    u"function IPluginSendMsg(m) {window.chrome.webview.postMessage(m)};",
    u"document.addEventListener('keydown', function(e) { if(document.activeElement.type != \"text\") { "
    u"IPluginSendMsg({'msg': 'SKPFUI', 'keyCode': e.keyCode, 'utf8': e.key, 'S': e.shiftKey, 'C': e.ctrlKey, "
    u"'A': e.altKey, 'isUp': false}); }});",
    u"document.addEventListener('keyup', function(e) { if(document.activeElement.type != \"text\") { "
    u"IPluginSendMsg({'msg': 'SKPFUI', 'keyCode': e.keyCode, 'utf8': e.key, 'S': e.shiftKey, 'C': e.ctrlKey, "
    u"'A': e.altKey, 'isUp': true}); }});",
};

}  // namespace plugkit::webview

// The name under which the web folder is served. The browser reports hosts in lower case,
// and the navigation guard compares byte for byte, so it must stay lower-case ASCII. The
// reserved ".example" top-level domain can never resolve to a real site.
#pragma once

namespace plugkit::webview {

inline constexpr char kVirtualHostName[] = "plugin.tarnwell.example";
inline constexpr char16_t kVirtualHostName16[] = u"plugin.tarnwell.example";
// "https://" + the host name + "/": every page address of the web folder starts so.
inline constexpr char kVirtualHostOrigin[] = "https://plugin.tarnwell.example/";

}  // namespace plugkit::webview

// Everything we declare of the browser's COM surface.
#pragma once

#include "webview/webview2/controller.h"
#include "webview/webview2/download.h"
#include "webview/webview2/environment.h"
#include "webview/webview2/event_args.h"
#include "webview/webview2/handlers.h"
#include "webview/webview2/types.h"
#include "webview/webview2/web_view.h"

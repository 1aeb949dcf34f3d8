// What Tarnwell's page takes from the plug-in instead of keeping copies, sent after the values
// at every load of the page: the message tags by name, the factory rows with the preset ids they
// make current, a bay's effect and character texts (the parameters' own display texts, as a host
// shows them), the bay count and the empty effect. UI thread.
#pragma once

#include <string>

#include "framework/editor_delegate.h"

namespace tarnwell {

// The compact JSON text, keys in sorted order:
// {"bays":10,"characters":["1",...],"effects":["Gate",...],"emptyEffect":17,
//  "factory":[{"id":"factory:empty","name":"Empty"},...],"tags":{"currentPreset":12,...}}.
// The delegate holds Tarnwell's parameters. "" only when memory ran out.
std::string PageVocabularyJson(const plugkit::IEditorDelegate& delegate) noexcept;

}  // namespace tarnwell

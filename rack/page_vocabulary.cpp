#include "rack/page_vocabulary.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "framework/core/grow_string.h"
#include "rack/dsp/effect_type.h"
#include "rack/factory_presets.h"
#include "rack/tarnwell_params.h"
#include "rack/ui_msg_tag.h"
#include "rack/ui_outbox.h"

namespace tarnwell {

namespace {

// The text of each whole value of a list parameter, in value order.
nlohmann::json ValueTexts(const plugkit::IParam* param) {
  nlohmann::json texts = nlohmann::json::array();
  if (param == nullptr) return texts;
  plugkit::GrowString text;
  const auto last = static_cast<int32_t>(std::lround(param->Max()));
  for (auto value = static_cast<int32_t>(std::lround(param->Min())); value <= last; ++value) {
    param->FormatValue(value, false, text, true);
    texts.push_back(text.Get());
  }
  return texts;
}

}  // namespace

std::string PageVocabularyJson(const plugkit::IEditorDelegate& delegate) noexcept {
  try {
    nlohmann::json tags = nlohmann::json::object();
    for (const NamedUIMsgTag& named : kNamedUIMsgTags) tags[named.name] = TagValue(named.tag);
    nlohmann::json factory = nlohmann::json::array();
    for (const FactoryPreset& preset : FactoryPresets())
      factory.push_back({{"id", FactoryPresetId(preset)}, {"name", preset.name}});
    return CompactJson({{"bays", dsp::kBayCount},
                        {"characters", ValueTexts(delegate.GetParam(BayParam(0, BayField::Character)))},
                        {"effects", ValueTexts(delegate.GetParam(BayParam(0, BayField::Effect)))},
                        {"emptyEffect", static_cast<int32_t>(dsp::EffectType::Empty)},
                        {"factory", std::move(factory)},
                        {"tags", std::move(tags)}});
  } catch (...) {
    return {};
  }
}

}  // namespace tarnwell

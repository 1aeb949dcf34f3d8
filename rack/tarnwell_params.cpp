#include "rack/tarnwell_params.h"

#include <array>
#include <string>

#include "product/product_identity.h"
#include "rack/dsp/effect_type.h"

namespace tarnwell {

namespace {

constexpr std::array<int32_t, dsp::kBayCount> kDefaultCharacter = {1, 1, 1, 2, 1, 0, 1, 1, 1, 1};
constexpr std::array<double, dsp::kBayCount> kDefaultAmount = {40, 35, 30, 45, 25, 20, 18, 20, 25, 30};
constexpr std::array<const char*, kCharacterCount> kCharacterTexts = {"1", "2",  "3",  "4",  "5",  "6",  "7",  "8",
                                                                      "9", "10", "11", "12", "13", "14", "15", "16"};

std::string BayName(int32_t bay, const char* field) { return "Bay " + std::to_string(bay + 1) + " " + field; }

}  // namespace

plugkit::PluginSetup TarnwellSetup() {
  plugkit::PluginSetup setup = ProductSetup();
  setup.paramCount = kParamCount;
  setup.presetCount = 0;
  setup.channelLayouts = "2-2";
  setup.pluginName = "Tarnwell";
  setup.productName = "Tarnwell";
  setup.uniqueId = plugkit::FourCharCode("bhR9");
  setup.apiFlag = 1;
  setup.pluginKind = plugkit::PluginKind::Effect;
  setup.hasEditor = 1;
  setup.editorWidth = setup.editorMinWidth = setup.editorMaxWidth = 680;
  setup.editorHeight = setup.editorMinHeight = setup.editorMaxHeight = 588;
  setup.extraText1 = "";
  setup.extraText2 = "";
  return setup;
}

void DefineParameters(plugkit::IEditorDelegate& delegate) {
  delegate.GetParam(kInputParam)->SetupContinuous("Input", 0.0, -12.0, 12.0, 0.1, "dB");
  delegate.GetParam(kOutputParam)->SetupContinuous("Output", 0.0, -12.0, 12.0, 0.1, "dB");
  delegate.GetParam(kSafetyParam)->SetupSwitch("Safety", true);
  for (int32_t bay = 0; bay < dsp::kBayCount; ++bay) {
    const auto b = static_cast<size_t>(bay);
    delegate.GetParam(BayParam(bay, BayField::On))->SetupSwitch(BayName(bay, "On").c_str(), false);
    delegate.GetParam(BayParam(bay, BayField::Effect))
        ->SetupChoiceList(BayName(bay, "Effect").c_str(), static_cast<int32_t>(dsp::EffectType::Empty),
                          std::span<const char* const>(dsp::kEffectTypeNames));
    delegate.GetParam(BayParam(bay, BayField::Character))
        ->SetupChoiceArgs(BayName(bay, "Character").c_str(), kDefaultCharacter[b], kCharacterCount, "", 0, "",
                          std::span<const char* const>(kCharacterTexts));
    delegate.GetParam(BayParam(bay, BayField::Amount))
        ->SetupContinuous(BayName(bay, "Amount").c_str(), kDefaultAmount[b], 0.0, 100.0, 1.0, "%");
    delegate.GetParam(BayParam(bay, BayField::Solo))->SetupSwitch(BayName(bay, "Solo").c_str(), false);
  }
  for (int32_t i = 0; i < delegate.NParams(); ++i) delegate.GetParam(i)->SetValue(delegate.GetParam(i)->Default());
}

}  // namespace tarnwell

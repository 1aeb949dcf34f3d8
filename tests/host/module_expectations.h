// Checks shared by the tests of each built module: the one class its factory registers, the
// parameters as the host sees them, and an editor of one fixed size.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "host/module.h"
#include "host/text.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

namespace tarnwell::test {

inline std::string Narrow(const Steinberg::Vst::TChar* text) { return tarnwell::host::Utf16ToUtf8(text, 128); }

// The factory holds one class of this name and class id (vendor 'TwAu', the plug-in's code last).
inline void ExpectOneClass(const tarnwell::host::Module& module, const char* name, Steinberg::uint32 pluginCode) {
  Steinberg::PClassInfo info{};
  ASSERT_EQ(module.Factory()->countClasses(), 1);
  ASSERT_EQ(module.Factory()->getClassInfo(0, &info), Steinberg::kResultOk);
  EXPECT_STREQ(info.name, name);
  Steinberg::TUID expected;
  Steinberg::FUID(0xF2AEE70D, 0x00DE4F4E, 0x54774175 /* TwAu */, pluginCode).toTUID(expected);
  EXPECT_EQ(std::memcmp(info.cid, expected, sizeof expected), 0);
}

struct ExpectedParam {
  Steinberg::Vst::ParamID id;
  const char* title;
  const char* units;
  Steinberg::int32 stepCount;
  double defaultValue;
  double probe;  // a normalised value and the text the host shows for it
  const char* probeText;
};

// Each parameter's host record (listed after the bypass, at id + 1), automatable, and one text.
inline void ExpectParameters(Steinberg::Vst::IEditController* controller, std::initializer_list<ExpectedParam> params) {
  for (const ExpectedParam& expected : params) {
    Steinberg::Vst::ParameterInfo p{};
    ASSERT_EQ(controller->getParameterInfo(static_cast<Steinberg::int32>(expected.id) + 1, p), Steinberg::kResultOk);
    EXPECT_EQ(p.id, expected.id);
    EXPECT_EQ(Narrow(p.title), expected.title);
    EXPECT_EQ(Narrow(p.units), expected.units);
    EXPECT_EQ(p.stepCount, expected.stepCount) << expected.title;
    EXPECT_EQ(p.defaultNormalizedValue, expected.defaultValue) << expected.title;
    EXPECT_NE(p.flags & Steinberg::Vst::ParameterInfo::kCanAutomate, 0) << expected.title;
    Steinberg::Vst::String128 text{};
    ASSERT_EQ(controller->getParamStringByValue(expected.id, expected.probe, text), Steinberg::kResultOk);
    EXPECT_EQ(Narrow(text), expected.probeText);
  }
}

// One stereo audio bus each way.
inline void ExpectOneStereoBusEachWay(Steinberg::Vst::IComponent* component) {
  using namespace Steinberg::Vst;
  for (BusDirection direction : {kInput, kOutput}) {
    ASSERT_EQ(component->getBusCount(kAudio, direction), 1) << direction;
    BusInfo bus{};
    ASSERT_EQ(component->getBusInfo(kAudio, direction, 0, bus), Steinberg::kResultOk) << direction;
    EXPECT_EQ(bus.channelCount, 2) << direction;
  }
}

// The editor opens at its one size, answers any other with that size, and cannot be resized.
inline void ExpectFixedEditor(Steinberg::Vst::IEditController* controller, int width, int height) {
  Steinberg::IPlugView* view = controller->createView(Steinberg::Vst::ViewType::kEditor);
  ASSERT_NE(view, nullptr);
  Steinberg::ViewRect size{};
  EXPECT_EQ(view->getSize(&size), Steinberg::kResultOk);
  EXPECT_EQ(size.getWidth(), width);
  EXPECT_EQ(size.getHeight(), height);
  Steinberg::ViewRect wanted(0, 0, 500, 100);
  EXPECT_EQ(view->checkSizeConstraint(&wanted), Steinberg::kResultOk);
  EXPECT_EQ(wanted.getWidth(), width);
  EXPECT_EQ(wanted.getHeight(), height);
  EXPECT_EQ(view->canResize(), Steinberg::kResultFalse);
  view->release();
}

}  // namespace tarnwell::test

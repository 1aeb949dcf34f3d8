// The module's factory, class information and instance creation, seen through a really
// built module loaded by our host.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "host/host_application.h"
#include "host/module.h"
#include "host/text.h"
#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstchannelcontextinfo.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/ivstunits.h"

namespace {

using namespace Steinberg;
using tarnwell::host::Module;

class ModuleFactoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(module_.Load(FIXTURE_BUNDLE, &error)) << error;
  }

  PClassInfo2 ClassInfo2() {
    IPluginFactory2* factory2 = nullptr;
    EXPECT_EQ(module_.Factory()->queryInterface(IPluginFactory2::iid, reinterpret_cast<void**>(&factory2)), kResultOk);
    PClassInfo2 info{};
    if (factory2) {
      EXPECT_EQ(factory2->getClassInfo2(0, &info), kResultOk);
      factory2->release();
    }
    return info;
  }

  Vst::IComponent* CreateComponent() {
    PClassInfo2 info = ClassInfo2();
    Vst::IComponent* component = nullptr;
    EXPECT_EQ(module_.Factory()->createInstance(info.cid, Vst::IComponent::iid, reinterpret_cast<void**>(&component)),
              kResultOk);
    return component;
  }

  Module module_;
};

uint32 RefCount(FUnknown* object) {
  object->addRef();
  return object->release();
}

TEST_F(ModuleFactoryTest, SecondGetPluginFactoryReturnsSameFactoryWithOneMoreReference) {
  uint32 before = RefCount(module_.Factory());
  IPluginFactory* again = module_.CallGetPluginFactory();
  EXPECT_EQ(again, module_.Factory());
  EXPECT_EQ(RefCount(module_.Factory()), before + 1);
  again->release();
}

TEST_F(ModuleFactoryTest, ReleasedFactoryIsBuiltAgainOnNextRequest) {
  // Drop every reference: the factory is destroyed and must not be handed out again.
  IPluginFactory* first = module_.CallGetPluginFactory();
  first->release();
  module_.ReleaseFactory();
  IPluginFactory* fresh = module_.CallGetPluginFactory();
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(RefCount(fresh), 1u);
  EXPECT_EQ(fresh->countClasses(), 1);
  fresh->release();
}

TEST_F(ModuleFactoryTest, FactoryDescribesOneAudioEffectClass) {
  IPluginFactory* factory = module_.Factory();
  PFactoryInfo factoryInfo{};
  ASSERT_EQ(factory->getFactoryInfo(&factoryInfo), kResultOk);
  EXPECT_STREQ(factoryInfo.vendor, "TarnwellAudio");
  EXPECT_EQ(factoryInfo.flags, PFactoryInfo::kUnicode);
  ASSERT_EQ(factory->countClasses(), 1);

  PClassInfo2 info = ClassInfo2();
  EXPECT_STREQ(info.category, "Audio Module Class");
  EXPECT_STREQ(info.name, "Tarnwell Fixture");
  EXPECT_STREQ(info.subCategories, "Fx");
  EXPECT_STREQ(info.version, "1.0.10");
  EXPECT_STREQ(info.sdkVersion, "VST 3.8.1");
  EXPECT_STREQ(info.vendor, "");
  EXPECT_EQ(info.classFlags, 2u);
  EXPECT_EQ(info.cardinality, 0x7FFFFFFF);

  IPluginFactory3* factory3 = nullptr;
  ASSERT_EQ(factory->queryInterface(IPluginFactory3::iid, reinterpret_cast<void**>(&factory3)), kResultOk);
  PClassInfoW wide{};
  ASSERT_EQ(factory3->getClassInfoUnicode(0, &wide), kResultOk);
  EXPECT_EQ(tarnwell::host::Utf16ToUtf8(wide.name, 64), "Tarnwell Fixture");
  EXPECT_EQ(tarnwell::host::Utf16ToUtf8(wide.version, 64), "1.0.10");
  EXPECT_EQ(std::memcmp(wide.cid, info.cid, sizeof(TUID)), 0);
  factory3->release();

  PClassInfo outOfRange{};
  EXPECT_EQ(factory->getClassInfo(1, &outOfRange), kInvalidArgument);
  EXPECT_EQ(factory->getClassInfo(-1, &outOfRange), kInvalidArgument);
}

TEST_F(ModuleFactoryTest, ClassIdFollowsThePlatformLayout) {
  PClassInfo2 info = ClassInfo2();
  std::array<uint8_t, 16> bytes{};
  std::memcpy(bytes.data(), info.cid, 16);
  // Words 3 and 4 are the vendor code 'TwAu' and the unique code 'Tfix', big-endian in both layouts.
  const std::array<uint8_t, 8> tail{0x54, 0x77, 0x41, 0x75, 0x54, 0x66, 0x69, 0x78};
  std::array<uint8_t, 8> head{};
  if constexpr (COM_COMPATIBLE)
    head = {0x0D, 0xE7, 0xAE, 0xF2, 0xDE, 0x00, 0x4E, 0x4F};  // COM: word 1 little-endian, word 2 split
  else
    head = {0xF2, 0xAE, 0xE7, 0x0D, 0x00, 0xDE, 0x4F, 0x4E};
  EXPECT_TRUE(std::equal(head.begin(), head.end(), bytes.begin()));
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), bytes.begin() + 8));
}

TEST_F(ModuleFactoryTest, CreateInstanceAnswersOnlyTheRightClassAndInterfaces) {
  Vst::IComponent* component = CreateComponent();
  ASSERT_NE(component, nullptr);
  TUID controllerCid{};
  EXPECT_EQ(component->getControllerClassId(controllerCid), kNotImplemented);

  struct Case {
    const char* name;
    const TUID& iid;
    bool expected;
  };
  const Case cases[] = {
      {"IAudioProcessor", Vst::IAudioProcessor::iid, true},
      {"IEditController", Vst::IEditController::iid, true},
      {"IEditController2", Vst::IEditController2::iid, true},
      {"IUnitInfo", Vst::IUnitInfo::iid, true},
      {"IProcessContextRequirements", Vst::IProcessContextRequirements::iid, true},
      {"IPluginBase", IPluginBase::iid, true},
      {"IConnectionPoint", Vst::IConnectionPoint::iid, false},
  };
  for (const Case& c : cases) {
    void* obj = reinterpret_cast<void*>(1);
    tresult result = component->queryInterface(c.iid, &obj);
    EXPECT_EQ(result == kResultOk, c.expected) << c.name;
    if (result == kResultOk)
      static_cast<FUnknown*>(obj)->release();
    else
      EXPECT_EQ(obj, nullptr) << c.name;
  }
  component->release();

  TUID wrongCid{};
  void* obj = reinterpret_cast<void*>(1);
  EXPECT_EQ(module_.Factory()->createInstance(wrongCid, Vst::IComponent::iid, &obj), kNoInterface);
  EXPECT_EQ(obj, nullptr);
  PClassInfo2 info = ClassInfo2();
  obj = reinterpret_cast<void*>(1);
  EXPECT_EQ(module_.Factory()->createInstance(info.cid, Vst::IConnectionPoint::iid, &obj), kNoInterface);
  EXPECT_EQ(obj, nullptr);
}

TEST_F(ModuleFactoryTest, InstancesAreIndependentAlsoWhenCreatedConcurrently) {
  constexpr int kPerThread = 20;
  std::vector<Vst::IComponent*> created(2 * kPerThread, nullptr);
  auto create = [&](int offset) {
    for (int i = 0; i < kPerThread; ++i) created[offset + i] = CreateComponent();
  };
  std::thread a(create, 0);
  std::thread b(create, kPerThread);
  a.join();
  b.join();
  std::set<Vst::IComponent*> distinct(created.begin(), created.end());
  EXPECT_EQ(distinct.size(), created.size());
  EXPECT_EQ(distinct.count(nullptr), 0u);

  // A parameter change on one instance leaves the other alone.
  Vst::IEditController* first = nullptr;
  Vst::IEditController* second = nullptr;
  created[0]->queryInterface(Vst::IEditController::iid, reinterpret_cast<void**>(&first));
  created[1]->queryInterface(Vst::IEditController::iid, reinterpret_cast<void**>(&second));
  ASSERT_TRUE(first && second);
  tarnwell::host::HostApplication host;
  ASSERT_EQ(first->initialize(&host), kResultOk);
  ASSERT_EQ(second->initialize(&host), kResultOk);
  first->setParamNormalized(0, 0.25);
  EXPECT_DOUBLE_EQ(first->getParamNormalized(0), 0.25);
  EXPECT_DOUBLE_EQ(second->getParamNormalized(0), 0.5);  // the fixture's gain of 0 dB
  first->terminate();
  second->terminate();
  first->release();
  second->release();
  for (auto* component : created) component->release();
}

TEST_F(ModuleFactoryTest, ExitAfterLastUnloadAnswersTrueAndAnExtraExitFalse) {
  EXPECT_TRUE(module_.CallExit());   // load counter back to 0: the unload hook answers
  EXPECT_FALSE(module_.CallExit());  // more exits than entries
  EXPECT_TRUE(module_.CallEntry());
  EXPECT_TRUE(module_.CallEntry());  // counter back to 1, as Unload expects
}

}  // namespace

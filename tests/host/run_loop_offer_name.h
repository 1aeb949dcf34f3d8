// Test names for the ways a host hands out its run loop.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "host/plugin_instance.h"

namespace tarnwell::test {

inline std::string OfferName(const ::testing::TestParamInfo<host::PluginInstance::RunLoopOffer>& info) {
  switch (info.param) {
    case host::PluginInstance::RunLoopOffer::HostContext:
      return "ThroughTheHostContext";
    case host::PluginInstance::RunLoopOffer::Frame:
      return "ThroughTheFrame";
    default:
      return "NotOffered";
  }
}

}  // namespace tarnwell::test

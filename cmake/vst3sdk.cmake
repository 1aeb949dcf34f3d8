# The VST 3 SDK is compiled from its sources into one static library per build.
# The default is the subset that Debian ships; point VST3_SDK_DIR at an official SDK to use that.
set(VST3_SDK_DIR "/usr/share/juce/modules/juce_audio_processors/format_types/VST3_SDK"
    CACHE PATH "Root of the VST 3 SDK (the folder holding pluginterfaces/, base/ and public.sdk/)")

if(NOT EXISTS "${VST3_SDK_DIR}/pluginterfaces/base/funknown.h")
  message(FATAL_ERROR "No VST 3 SDK at VST3_SDK_DIR=${VST3_SDK_DIR}; install juce-modules-source-data or set VST3_SDK_DIR")
endif()

set(_sdk_sources
  pluginterfaces/base/conststringtable.cpp
  pluginterfaces/base/coreiids.cpp
  pluginterfaces/base/funknown.cpp
  pluginterfaces/base/ustring.cpp
  base/source/baseiids.cpp
  base/source/fbuffer.cpp
  base/source/fdebug.cpp
  base/source/fobject.cpp
  base/source/fstreamer.cpp
  base/source/fstring.cpp
  base/source/updatehandler.cpp
  base/thread/source/flock.cpp
  public.sdk/source/common/memorystream.cpp
  public.sdk/source/common/pluginview.cpp
  public.sdk/source/vst/vstbus.cpp
  public.sdk/source/vst/vstcomponent.cpp
  public.sdk/source/vst/vstcomponentbase.cpp
  public.sdk/source/vst/vsteditcontroller.cpp
  public.sdk/source/vst/vstinitiids.cpp
  public.sdk/source/vst/vstparameters.cpp
  public.sdk/source/vst/hosting/hostclasses.cpp
  public.sdk/source/vst/hosting/pluginterfacesupport.cpp
)
list(TRANSFORM _sdk_sources PREPEND "${VST3_SDK_DIR}/")

add_library(vst3sdk STATIC ${_sdk_sources})
target_include_directories(vst3sdk SYSTEM PUBLIC "${VST3_SDK_DIR}")
target_compile_definitions(vst3sdk PUBLIC $<IF:$<CONFIG:Debug>,DEVELOPMENT=1,RELEASE=1>)
# Third-party code: its warnings are not ours to fix.
target_compile_options(vst3sdk PRIVATE -w)
if(WIN32)
  target_link_libraries(vst3sdk PUBLIC ole32 uuid)
else()
  target_link_libraries(vst3sdk PUBLIC Threads::Threads ${CMAKE_DL_LIBS})
endif()

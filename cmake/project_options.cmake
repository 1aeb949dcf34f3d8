# Warning and platform settings shared by every target of ours (not the SDK's).
add_library(project_options INTERFACE)
target_compile_options(project_options INTERFACE -Wall -Wextra)
target_compile_definitions(project_options INTERFACE $<IF:$<CONFIG:Debug>,DEVELOPMENT=1,RELEASE=1>)
if(WIN32)
  target_compile_definitions(project_options INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
endif()

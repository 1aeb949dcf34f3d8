# tarnwell_add_bundle(<target> NAME <BundleName> [PRODUCT] WEB <folder> SOURCES ... LIBS ...)
# Builds a VST 3 module into its bundle:
#   bundles/<Name>.vst3/Contents/x86_64-win/<Name>.vst3   (Windows)
#   bundles/<Name>.vst3/Contents/x86_64-linux/<Name>.so   (Linux)
# with the page copied to Contents/Resources/web.
# PRODUCT marks a bundle we ship, as opposed to a test fixture: it joins the `products` target
# and the install component `bundles`, which installs it as <prefix>/<Name>.vst3, so that
#   cmake --install <build folder> --component bundles --prefix <folder>
# lays out exactly what a user installs.
set(TARNWELL_BUNDLE_DIR "${CMAKE_BINARY_DIR}/bundles")

function(tarnwell_add_bundle target)
  cmake_parse_arguments(B "PRODUCT" "NAME;WEB" "SOURCES;LIBS" ${ARGN})
  add_library(${target} MODULE ${B_SOURCES})
  target_link_libraries(${target} PRIVATE project_options vst3entry ${B_LIBS})
  set(contents "${TARNWELL_BUNDLE_DIR}/${B_NAME}.vst3/Contents")
  if(WIN32)
    set(arch x86_64-win)
    set(suffix .vst3)
  else()
    set(arch x86_64-linux)
    set(suffix .so)
  endif()
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    OUTPUT_NAME "${B_NAME}"
    SUFFIX "${suffix}"
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LIBRARY_OUTPUT_DIRECTORY "${contents}/${arch}")
  if(NOT WIN32)
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
  if(B_WEB)
    # Copied at every build, not only when the module links again, so that an edited page
    # never leaves a stale copy in the bundle. The pages' shared scripts go beside each page.
    add_custom_target(${target}_web ALL
      COMMAND ${CMAKE_COMMAND} -E copy_directory "${B_WEB}" "${contents}/Resources/web"
      COMMAND ${CMAKE_COMMAND} -E copy_directory "${CMAKE_SOURCE_DIR}/resources/web/common"
              "${contents}/Resources/web/common"
      VERBATIM)
    add_dependencies(${target} ${target}_web)
  else()
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E make_directory "${contents}/Resources")
  endif()
  if(B_PRODUCT)
    if(NOT TARGET products)
      add_custom_target(products)
    endif()
    add_dependencies(products ${target})
    install(TARGETS ${target} LIBRARY DESTINATION "${B_NAME}.vst3/Contents/${arch}" COMPONENT bundles)
    install(DIRECTORY "${contents}/Resources" DESTINATION "${B_NAME}.vst3/Contents" COMPONENT bundles)
  endif()
  set_property(GLOBAL APPEND PROPERTY TARNWELL_BUNDLES "${B_NAME}")
  set(${target}_BUNDLE_PATH "${TARNWELL_BUNDLE_DIR}/${B_NAME}.vst3" PARENT_SCOPE)
endfunction()

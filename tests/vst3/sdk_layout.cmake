# Our VST 3 definitions against the SDK's interface headers. The SDK stays out of
# the repository: a developer who has fetched one points TESK_VST3_SDK_DIR at it
# (the folder holding pluginterfaces/). Without it the test builds all the same
# and is reported skipped, saying how to run it.
set(TESK_VST3_SDK_DIR "" CACHE PATH
  "Folder of a VST 3 SDK (holding pluginterfaces/) to check our definitions against")

add_executable(vst3_sdk_layout_test ${CMAKE_CURRENT_LIST_DIR}/vst3_sdk_layout_test.cpp)
target_include_directories(vst3_sdk_layout_test PRIVATE ${PROJECT_SOURCE_DIR}/src/formats/vst3)
target_link_libraries(vst3_sdk_layout_test PRIVATE GTest::gtest_main tesk_warnings)
if(TESK_VST3_SDK_DIR)
  if(NOT EXISTS "${TESK_VST3_SDK_DIR}/pluginterfaces/base/funknown.h")
    message(FATAL_ERROR "TESK_VST3_SDK_DIR is ${TESK_VST3_SDK_DIR}, which has no "
      "pluginterfaces/base/funknown.h: give the folder that holds pluginterfaces/")
  endif()
  # SYSTEM: the SDK's own warnings are not ours to fix.
  target_include_directories(vst3_sdk_layout_test SYSTEM PRIVATE ${TESK_VST3_SDK_DIR})
  target_compile_definitions(vst3_sdk_layout_test PRIVATE
    TESK_VST3_SDK_DIR="${TESK_VST3_SDK_DIR}")
endif()

if(WIN32 AND CMAKE_CROSSCOMPILING)
  # No discovery through the emulator: one test for the program, which still
  # tells a skip from a pass.
  add_test(NAME vst3.SdkLayout COMMAND vst3_sdk_layout_test)
  set_tests_properties(vst3.SdkLayout PROPERTIES SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
else()
  gtest_discover_tests(vst3_sdk_layout_test TEST_PREFIX "vst3." DISCOVERY_TIMEOUT 60)
endif()

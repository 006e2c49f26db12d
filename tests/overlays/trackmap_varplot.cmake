# Track map and variable plot: dead reckoning, pixels of the views, and the two
# programs end to end. Tests that open windows move to the source root, which
# holds Shaders/.
overlay_test(trackmap_test TrackMapTest.cpp)
target_include_directories(trackmap_test PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(trackmap_test PRIVATE overlays demosynth ibtwriter)
target_compile_definitions(trackmap_test PRIVATE OVERLAY_SOURCE_ROOT="${PROJECT_SOURCE_DIR}")

# Track map and variable plot: dead reckoning, pixels of the views, and the two
# programs end to end.
overlay_gui_test(trackmap_test TrackMapTest.cpp)
target_include_directories(trackmap_test PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(trackmap_test PRIVATE overlays demosynth ibtwriter)

overlay_gui_test(varplot_test VariablePlotTest.cpp)
target_include_directories(varplot_test PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(varplot_test PRIVATE overlays ibtwriter)

# Each program starts in a fresh folder with Shaders/ and a demo recording.
overlay_test(mapplot_programs_test MapPlotProgramsTest.cpp)
target_link_libraries(mapplot_programs_test PRIVATE demosynth)
target_compile_definitions(mapplot_programs_test PRIVATE
    OVERLAY_SOURCE_ROOT="${PROJECT_SOURCE_DIR}"
    TRACKMAP_PROGRAM="$<TARGET_FILE:overlay-trackmap>"
    VARPLOT_PROGRAM="$<TARGET_FILE:overlay-varplot>")
add_dependencies(mapplot_programs_test overlay-trackmap overlay-varplot)

# The demo-session synthesizer and the ibt tool (run as a built binary).
overlay_test(recorded_tools_test DemoSynthTest.cpp IbtToolTest.cpp)
target_link_libraries(recorded_tools_test PRIVATE irsdk ibtwriter demosynth ibtcolumns)
target_compile_definitions(recorded_tools_test PRIVATE IBT_PATH="$<TARGET_FILE:ibt>")
add_dependencies(recorded_tools_test ibt)

# ibt reference, with the user's data folder pointed at a temporary one.
overlay_test(reference_tool_test IbtReferenceTest.cpp)
target_link_libraries(reference_tool_test PRIVATE ibtwriter demosynth)
target_compile_definitions(reference_tool_test PRIVATE IBT_PATH="$<TARGET_FILE:ibt>")
add_dependencies(reference_tool_test ibt)

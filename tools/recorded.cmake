# Demo-session synthesizer, shared by the ibt tool, tests and benchmarks.
add_library(demosynth STATIC demo_synth.cpp)
target_include_directories(demosynth PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(demosynth PUBLIC ibtwriter)

# Demo-session synthesizer, shared by the ibt tool, tests and benchmarks.
add_library(demosynth STATIC demo_synth.cpp)
target_include_directories(demosynth PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(demosynth PUBLIC ibtwriter)

# Column syntax and value formatting of ibt csv, reused by ibt watch.
add_library(ibtcolumns STATIC ibt_columns.cpp)
target_include_directories(ibtcolumns PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

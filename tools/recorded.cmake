# Demo-session synthesizer, shared by the ibt tool, tests and benchmarks.
add_library(demosynth STATIC demo_synth.cpp)
target_include_directories(demosynth PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(demosynth PUBLIC ibtwriter)

# Column syntax and value formatting of ibt csv, reused by ibt watch.
add_library(ibtcolumns STATIC ibt_columns.cpp)
target_include_directories(ibtcolumns PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

# The ibt tool. Its live commands (publish, watch) live in ibt_live.cpp.
add_executable(ibt ibt.cpp ibt_reference.cpp)
target_link_libraries(ibt PRIVATE irsdk demosynth ibtcolumns referencelaps)
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/ibt_live.cpp)
    target_sources(ibt PRIVATE ibt_live.cpp)
    target_compile_definitions(ibt PRIVATE IBT_HAVE_LIVE)
else()
    message(STATUS "ibt: publish/watch not built")
endif()

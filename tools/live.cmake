# The live publisher: writes telemetry into the named shared memory as the
# simulator does (ibt publish, the tests, the benchmarks).
if(WIN32)
    set(LIVE_PUBLISHER_PLATFORM live_publisher_win32.cpp)
else()
    set(LIVE_PUBLISHER_PLATFORM live_publisher_posix.cpp)
endif()
add_library(livepublisher STATIC live_publisher.cpp ${LIVE_PUBLISHER_PLATFORM})
target_include_directories(livepublisher PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(livepublisher PUBLIC irsdk)

# ibt_live.cpp joins the ibt tool, which tools/recorded.cmake defines.
if(TARGET ibt)
    target_link_libraries(ibt PRIVATE livepublisher)
    if(TARGET ibtcolumns)
        target_link_libraries(ibt PRIVATE ibtcolumns)
    endif()
endif()

# The live layer checked on Windows (under Wine): tests/ is not built when
# cross-compiling, so the check program is defined here.
if(WIN32)
    add_executable(live_exchange_check ${PROJECT_SOURCE_DIR}/tests/irsdk/LiveExchangeCheck.cpp)
    target_include_directories(live_exchange_check PRIVATE ${PROJECT_SOURCE_DIR}/tests/irsdk)
    target_link_libraries(live_exchange_check PRIVATE livepublisher)
endif()

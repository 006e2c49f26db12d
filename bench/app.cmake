# One pass of the throttle/brake overlay's data path (needs a display: the
# controller opens its window).
if(OVERLAY_GUI)
    add_executable(overlay_pass_bench overlay_pass_bench.cpp)
    target_link_libraries(overlay_pass_bench PRIVATE overlays demosynth benchmark::benchmark)
endif()

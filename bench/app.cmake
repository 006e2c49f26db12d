# One pass of the throttle/brake overlay's data path (needs a display: the
# controller opens its window).
if(OVERLAY_GUI)
    add_executable(overlay_pass_bench overlay_pass_bench.cpp)
    target_link_libraries(overlay_pass_bench PRIVATE overlays demosynth benchmark::benchmark)
endif()

# Measured runs of the whole overlay process against a bare window (see
# bench/overlay-process-run).
if(OVERLAY_GUI)
    add_executable(overlay_process overlay_process.cpp)
    target_link_libraries(overlay_process PRIVATE apploop overlays)
endif()

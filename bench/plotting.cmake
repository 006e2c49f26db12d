# One frame of a plot with two shaded series and two lines of 625 samples:
# the library's own work, the GL submission, and the whole frame on the
# display's GL driver (needs a display: run under scripts/with-x).
if(TARGET qvis)
    add_executable(plotting_bench plotting_bench.cpp)
    target_link_libraries(plotting_bench PRIVATE qvis benchmark::benchmark)
endif()

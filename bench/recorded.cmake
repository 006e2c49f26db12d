# The recorded-file reader over a synthesized one-hour recording, against a
# plain sequential read of the same file.
add_executable(reader_bench reader_bench.cpp)
target_link_libraries(reader_bench PRIVATE irsdk demosynth benchmark::benchmark)

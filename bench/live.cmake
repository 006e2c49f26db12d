# Live telemetry: torn-record stress to a million deliveries and the latency
# from the publisher's signal to waitForData returning.
add_executable(live_bench live_bench.cpp)
target_include_directories(live_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/irsdk)
target_link_libraries(live_bench PRIVATE irsdk livepublisher benchmark::benchmark)

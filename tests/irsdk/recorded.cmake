# Recorded telemetry: the session-info lookup and the file reader, over
# recordings built in the tests with the writer.
overlay_test(recorded_reader_test SessionLookupTest.cpp DiskClientTest.cpp)
target_link_libraries(recorded_reader_test PRIVATE irsdk ibtwriter)

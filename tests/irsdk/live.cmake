# Live telemetry: the shared-memory layer and the client against a writer in
# the test, a concurrent writer for torn-record detection, and a hostile writer.
overlay_test(live_access_test LiveAccessTest.cpp LiveClientTest.cpp LiveStressTest.cpp LiveHostileWriterTest.cpp)
target_link_libraries(live_access_test PRIVATE irsdk livepublisher ibtwriter)

# Live telemetry: the shared-memory layer and the client against a writer in
# the test, and a concurrent writer for torn-record detection.
overlay_test(live_access_test LiveAccessTest.cpp LiveClientTest.cpp LiveStressTest.cpp)
target_link_libraries(live_access_test PRIVATE irsdk livepublisher ibtwriter)

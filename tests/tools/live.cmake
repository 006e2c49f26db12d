# ibt publish and ibt watch end to end, as separate processes.
if(TARGET ibt)
    overlay_test(ibt_live_test IbtLiveTest.cpp)
    target_link_libraries(ibt_live_test PRIVATE ibtwriter rt)
    target_compile_definitions(ibt_live_test PRIVATE IBT_PATH="$<TARGET_FILE:ibt>")
    add_dependencies(ibt_live_test ibt)
endif()

# The phone screen's video surface with the real engine under a virtual X server.
find_program(MOVARA_XVFB_RUN xvfb-run)
if(MOVARA_XVFB_RUN)
    add_executable(tst_videosurface ${CMAKE_CURRENT_LIST_DIR}/xvfb_videosurface.cpp)
    target_link_libraries(tst_videosurface PRIVATE movara_core Qt6::Test)
    add_test(NAME tst_videosurface
        COMMAND ${MOVARA_XVFB_RUN} -a -s "-screen 0 640x480x24" $<TARGET_FILE:tst_videosurface>)
    set_tests_properties(tst_videosurface PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=xcb" LABELS "xvfb" TIMEOUT 120)
endif()

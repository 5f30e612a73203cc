# The phone screen's video surface with the real engine under a private X server.
add_executable(tst_videosurface ${CMAKE_CURRENT_LIST_DIR}/xvfb_videosurface.cpp)
target_include_directories(tst_videosurface PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(tst_videosurface PRIVATE movara_core Qt6::Test)
add_test(NAME tst_videosurface
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/support/with-xvfb.sh 640x480x24
        $<TARGET_FILE:tst_videosurface>)
set_tests_properties(tst_videosurface PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=xcb" LABELS "xvfb" TIMEOUT 120 SKIP_RETURN_CODE 77)

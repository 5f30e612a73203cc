# The whole program on a private X server with real input, inside a private
# root that has the phone's media folders.
add_library(movara_cwdprobe MODULE ${CMAKE_CURRENT_SOURCE_DIR}/support/cwdprobe.c)
set_target_properties(movara_cwdprobe PROPERTIES PREFIX "" C_VISIBILITY_PRESET default)
if(MOVARA_SANITIZE)
    target_compile_options(movara_cwdprobe PRIVATE -fno-sanitize=all)
    target_link_options(movara_cwdprobe PRIVATE -fno-sanitize=all)
endif()

add_executable(tst_movarawindow
    ${CMAKE_CURRENT_SOURCE_DIR}/window/tst_movarawindow.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/support/movararun.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/support/xsession.cpp)
target_include_directories(tst_movarawindow PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(tst_movarawindow PRIVATE Qt6::Core Qt6::Gui Qt6::Test)
target_compile_definitions(tst_movarawindow PRIVATE
    MOVARA_BIN_DIR="${PROJECT_BINARY_DIR}/bin"
    MOVARA_LIB_DIR="${PROJECT_BINARY_DIR}/lib")
add_dependencies(tst_movarawindow movara movara_engine_adapter movara_scripted_engine movara_cwdprobe)
add_test(NAME tst_movarawindow
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/phone-sandbox.sh
        --bind ${PROJECT_SOURCE_DIR} --bind ${PROJECT_BINARY_DIR}
        -- $<TARGET_FILE:tst_movarawindow>)
set_tests_properties(tst_movarawindow PROPERTIES
    TIMEOUT 600 LABELS "window;e2e" RESOURCE_LOCK movara_curmedia)

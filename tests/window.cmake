# The whole program on a private X server with real input, inside a private
# root that has the phone's media folders.
add_library(movara_cwdprobe MODULE ${CMAKE_CURRENT_SOURCE_DIR}/support/cwdprobe.c)
set_target_properties(movara_cwdprobe PROPERTIES PREFIX "" C_VISIBILITY_PRESET default)
if(MOVARA_SANITIZE)
    target_compile_options(movara_cwdprobe PRIVATE -fno-sanitize=all)
    target_link_options(movara_cwdprobe PRIVATE -fno-sanitize=all)
endif()

add_executable(tst_movarawindow ${CMAKE_CURRENT_SOURCE_DIR}/window/tst_movarawindow.cpp)
# The phone's geometry and paths, from the program's own headers.
target_include_directories(tst_movarawindow PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(tst_movarawindow PRIVATE movara_core movara_testsupport Qt6::Test)
target_compile_definitions(tst_movarawindow PRIVATE
    MOVARA_BIN_DIR="${PROJECT_BINARY_DIR}/bin"
    MOVARA_LIB_DIR="${PROJECT_BINARY_DIR}/lib")
add_dependencies(tst_movarawindow movara movara_engine_adapter movara_scripted_engine movara_cwdprobe)
# The real engine's journey runs as a test of its own, beside the others.
foreach(journey window realengine)
    set(name tst_movarawindow)
    set(args)
    if(journey STREQUAL realengine)
        set(name tst_movarawindow_realengine)
        set(args realengine)
    endif()
    add_test(NAME ${name}
        COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/phone-sandbox.sh
            --bind ${PROJECT_SOURCE_DIR} --bind ${PROJECT_BINARY_DIR}
            -- $<TARGET_FILE:tst_movarawindow> ${args})
    set_tests_properties(${name} PROPERTIES
        TIMEOUT 600 LABELS "window;e2e")
endforeach()

# A book continued across a quit and a start, with each engine, on a session
# bus of its own.
foreach(engine mplayer mpv)
    add_test(NAME tst_movarawindow_book_${engine}
        COMMAND dbus-run-session -- ${CMAKE_CURRENT_SOURCE_DIR}/phone-sandbox.sh
            --bind ${PROJECT_SOURCE_DIR} --bind ${PROJECT_BINARY_DIR}
            -- $<TARGET_FILE:tst_movarawindow> book)
    set_tests_properties(tst_movarawindow_book_${engine} PROPERTIES
        ENVIRONMENT MOVARA_ENGINE=${engine} TIMEOUT 300 LABELS "window;e2e")
endforeach()

# The window's own logic in process, offscreen, with the scripted engine, in a
# private root that has the phone's media folders.
movara_add_qtest(tst_movaralogic
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/window/tst_movaralogic.cpp ${MOVARA_ENGINE_TEST_HELPERS}
    LABELS window SANDBOX)
add_dependencies(tst_movaralogic movara_scripted_engine)

# The same, driven over a session bus of its own by playerctl.
add_test(NAME tst_movaralogic_remote
    COMMAND dbus-run-session -- ${CMAKE_CURRENT_SOURCE_DIR}/phone-sandbox.sh
        --bind ${PROJECT_SOURCE_DIR} --bind ${PROJECT_BINARY_DIR}
        -- $<TARGET_FILE:tst_movaralogic> remoteControl remoteFlood remoteCoverFile playlistTitleWins)
set_tests_properties(tst_movaralogic_remote PROPERTIES
    ENVIRONMENT QT_QPA_PLATFORM=offscreen TIMEOUT 300 LABELS window)

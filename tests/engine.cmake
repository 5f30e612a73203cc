# The player engine control's tests: a scripted stand-in for the engine and
# an interposed fake of the phone's devices.

add_executable(movara_scripted_engine ${CMAKE_CURRENT_SOURCE_DIR}/scriptedengine/main.cpp)

add_library(movara_devicefake MODULE ${CMAKE_CURRENT_SOURCE_DIR}/devicefake/devicefake.c)
set_target_properties(movara_devicefake PROPERTIES PREFIX "" C_VISIBILITY_PRESET default)
target_link_libraries(movara_devicefake PRIVATE ${CMAKE_DL_LIBS})
# The fake sits in front of the sanitizer runtime; it is not instrumented itself.
if(MOVARA_SANITIZE)
    target_compile_options(movara_devicefake PRIVATE -fno-sanitize=all)
    target_link_options(movara_devicefake PRIVATE -fno-sanitize=all)
endif()

set(MOVARA_ENGINE_TEST_HELPERS ${CMAKE_CURRENT_SOURCE_DIR}/support/enginetesthelpers.h)

movara_add_qtest(tst_engineoutput
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/engine/tst_engineoutput.cpp LABELS engine)

# They run in a sandbox: the current-media file in /tmp is then their own.
movara_add_qtest(tst_playercontrol
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/engine/tst_playercontrol.cpp ${MOVARA_ENGINE_TEST_HELPERS}
    LABELS engine SANDBOX)
add_dependencies(tst_playercontrol movara_scripted_engine)

movara_add_qtest(tst_playbackstate
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/engine/tst_playbackstate.cpp ${MOVARA_ENGINE_TEST_HELPERS}
    LABELS engine SANDBOX)
add_dependencies(tst_playbackstate movara_scripted_engine)

movara_add_qtest(tst_enginedevices
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/engine/tst_enginedevices.cpp ${MOVARA_ENGINE_TEST_HELPERS}
    LABELS engine SANDBOX
    ENVIRONMENT
        LD_PRELOAD=$<TARGET_FILE:movara_devicefake>
        ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:verify_asan_link_order=0)
add_dependencies(tst_enginedevices movara_scripted_engine movara_devicefake)

# The same control with the real engine behind the adapter.
movara_add_qtest(tst_realengine
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/engine/tst_realengine.cpp ${MOVARA_ENGINE_TEST_HELPERS}
    LABELS "engine;e2e" SANDBOX BOTH_ENGINES)
add_dependencies(tst_realengine movara_engine_adapter)

# What the window shows while playing, with the scripted engine.
movara_add_qtest(tst_playscreen
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/engine/tst_playscreen.cpp ${MOVARA_ENGINE_TEST_HELPERS}
    LABELS "engine;window" SANDBOX)
add_dependencies(tst_playscreen movara_scripted_engine)

movara_add_qtest(tst_playbacksession
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/engine/tst_playbacksession.cpp ${MOVARA_ENGINE_TEST_HELPERS}
    LABELS engine SANDBOX)
add_dependencies(tst_playbacksession movara_scripted_engine)

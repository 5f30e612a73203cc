# The engine adapter's tests: its filters and argument list, and the adapter
# run against the real MPlayer and mpv (labelled e2e).
movara_add_qtest(tst_adapterfilters SOURCES ${CMAKE_CURRENT_LIST_DIR}/adapter/tst_adapterfilters.cpp)
target_link_libraries(tst_adapterfilters PRIVATE movara_adapter)
movara_add_qtest(tst_mpvtranslation SOURCES ${CMAKE_CURRENT_LIST_DIR}/adapter/tst_mpvtranslation.cpp)
target_link_libraries(tst_mpvtranslation PRIVATE movara_adapter)

movara_add_qtest(tst_adapterengine SOURCES ${CMAKE_CURRENT_LIST_DIR}/adapter/tst_adapterengine.cpp
    LABELS e2e BOTH_ENGINES)
add_dependencies(tst_adapterengine movara_engine_adapter)
target_link_libraries(tst_adapterengine PRIVATE movara_testsupport)

movara_add_qtest(tst_adapterscreen SOURCES ${CMAKE_CURRENT_LIST_DIR}/adapter/tst_adapterscreen.cpp
    LABELS e2e BOTH_ENGINES)
add_dependencies(tst_adapterscreen movara_engine_adapter)
target_link_libraries(tst_adapterscreen PRIVATE movara_testsupport)

# The phone launcher's sandbox, with a private Xvfb.
movara_add_qtest(tst_phonelauncher SOURCES ${CMAKE_CURRENT_LIST_DIR}/adapter/tst_phonelauncher.cpp
    LABELS e2e)
add_dependencies(tst_phonelauncher movara movara_engine_adapter movara_phone_launcher)
target_link_libraries(tst_phonelauncher PRIVATE movara_testsupport)

# The whole program in the launcher: the headless tour, the display's sleep, an interrupt,
# the place kept.
movara_add_qtest(tst_phonetour SOURCES ${CMAKE_CURRENT_LIST_DIR}/adapter/tst_phonetour.cpp
    LABELS e2e)
add_dependencies(tst_phonetour movara movara_engine_adapter movara_geometry movara_phone_launcher
    movara_scripted_engine)
target_link_libraries(tst_phonetour PRIVATE movara_testsupport)

# cmake --install into a staging folder: what a desktop user would find.
add_test(NAME install_layout
    COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/adapter/install-check.sh ${PROJECT_BINARY_DIR}
        ${PROJECT_BINARY_DIR}/install-check ${PROJECT_VERSION})
set_tests_properties(install_layout PROPERTIES LABELS "install;e2e" TIMEOUT 300)

# The launcher's choice of translation by the locale, with a stand-in program.
add_test(NAME launcher_translation
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/adapter/launcher-translation.sh
        ${PROJECT_BINARY_DIR}/bin/movara-phone ${PROJECT_BINARY_DIR}/launcher-translation)
set_tests_properties(launcher_translation PROPERTIES LABELS "sandbox;e2e" TIMEOUT 120)

# What a listener hears, recorded from a private sound server (labelled sound).
movara_add_qtest(tst_sound SOURCES ${CMAKE_CURRENT_LIST_DIR}/adapter/tst_sound.cpp
    LABELS "sound;e2e" BOTH_ENGINES)
add_dependencies(tst_sound movara movara_engine_adapter movara_phone_launcher)
target_link_libraries(tst_sound PRIVATE movara_testsupport)

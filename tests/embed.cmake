# Another project takes Movara in with add_subdirectory: configured, built and
# run in a folder of its own, which a later run builds on rather than anew.
set(MOVARA_EMBED_OPTIONS -DMOVARA_DIR=${PROJECT_SOURCE_DIR} -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE})
if(CMAKE_CXX_COMPILER_LAUNCHER)
    list(APPEND MOVARA_EMBED_OPTIONS -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER})
endif()
add_test(NAME embed_subproject
    COMMAND ${CMAKE_CTEST_COMMAND} --build-and-test
        ${CMAKE_CURRENT_SOURCE_DIR}/embed ${CMAKE_CURRENT_BINARY_DIR}/embed
        --build-generator ${CMAKE_GENERATOR}
        --build-noclean
        --build-target consumer
        --build-options ${MOVARA_EMBED_OPTIONS}
        --test-command ${CMAKE_CURRENT_BINARY_DIR}/embed/consumer)
set_tests_properties(embed_subproject PROPERTIES
    LABELS install TIMEOUT 900 ENVIRONMENT CMAKE_BUILD_PARALLEL_LEVEL=2)

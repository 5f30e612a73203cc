# The file browser's tests need the phone's fixed media roots: they run in a
# private root (phone-sandbox.sh) where those folders are temporary ones.
add_executable(tst_filebrowser ${CMAKE_CURRENT_SOURCE_DIR}/browser/tst_filebrowser.cpp)
target_link_libraries(tst_filebrowser PRIVATE movara_core Qt6::Test)
target_compile_definitions(tst_filebrowser PRIVATE
    MOVARA_BIN_DIR="${PROJECT_BINARY_DIR}/bin"
    MOVARA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
add_test(NAME tst_filebrowser
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/phone-sandbox.sh
        --bind ${PROJECT_SOURCE_DIR} --bind ${PROJECT_BINARY_DIR}
        -- $<TARGET_FILE:tst_filebrowser>)
set_tests_properties(tst_filebrowser PROPERTIES
    ENVIRONMENT QT_QPA_PLATFORM=offscreen TIMEOUT 300 LABELS "browser;sandbox")

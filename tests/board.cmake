# The board command in a virtual machine (labelled board): the guest is built
# at run time in the build folder from the machine's kernel and busybox.
# The guest and its monitor, shared with the board benchmark.
find_package(Qt6 REQUIRED COMPONENTS Network)
add_library(movara_boardguest STATIC support/boardguest.cpp support/boardguest.h)
target_include_directories(movara_boardguest PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(movara_boardguest PUBLIC Qt6::Gui Qt6::Network Qt6::Test)
target_compile_definitions(movara_boardguest PRIVATE
    MOVARA_BIN_DIR="${PROJECT_BINARY_DIR}/bin"
    MOVARA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

movara_add_qtest(tst_board SOURCES ${CMAKE_CURRENT_LIST_DIR}/board/tst_board.cpp LABELS board)
add_dependencies(tst_board movara movara_engine_adapter movara_geometry)
set_tests_properties(tst_board PROPERTIES TIMEOUT 300)
target_link_libraries(tst_board PRIVATE movara_boardguest)

# The board command's checks of its devices, on this machine.
add_test(NAME board_options
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/board/board-options.sh ${PROJECT_BINARY_DIR}/bin
        ${PROJECT_BINARY_DIR}/board-options)
set_tests_properties(board_options PROPERTIES LABELS board TIMEOUT 120)

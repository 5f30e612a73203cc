# The board command in a virtual machine (labelled board): the guest is built
# at run time in the build folder from the machine's kernel and busybox.
movara_add_qtest(tst_board SOURCES ${CMAKE_CURRENT_LIST_DIR}/board/tst_board.cpp LABELS board)
add_dependencies(tst_board movara movara_engine_adapter)
set_tests_properties(tst_board PROPERTIES TIMEOUT 300)
# The guest's monitor is a local socket.
find_package(Qt6 REQUIRED COMPONENTS Network)
target_link_libraries(tst_board PRIVATE Qt6::Network)

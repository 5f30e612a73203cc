# The board command, beside the program so that it finds it there, and
# installed beside the launcher.
configure_file(${CMAKE_CURRENT_LIST_DIR}/movara-board ${PROJECT_BINARY_DIR}/bin/movara-board @ONLY)
install(PROGRAMS ${PROJECT_BINARY_DIR}/bin/movara-board DESTINATION ${CMAKE_INSTALL_LIBDIR}/movara)

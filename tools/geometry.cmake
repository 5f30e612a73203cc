# movara-geometry: prints the tap points on the phone's screen for scripts; the
# launcher's tour finds it beside the program.
add_executable(movara_geometry ${CMAKE_CURRENT_LIST_DIR}/phonegeometry.cpp)
target_include_directories(movara_geometry PRIVATE ${PROJECT_SOURCE_DIR}/src)
set_target_properties(movara_geometry PROPERTIES OUTPUT_NAME movara-geometry)
install(TARGETS movara_geometry RUNTIME DESTINATION ${CMAKE_INSTALL_LIBDIR}/movara)

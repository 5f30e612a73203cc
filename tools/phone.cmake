# The phone launcher and its tour, beside the program so that they find it there.
# The launcher gets the project's version as it is copied.
configure_file(${CMAKE_CURRENT_LIST_DIR}/movara-phone ${PROJECT_BINARY_DIR}/bin/movara-phone @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/bin/phone-tour.sh
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_LIST_DIR}/phone-tour.sh ${PROJECT_BINARY_DIR}/bin/phone-tour.sh
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/phone-tour.sh
    COMMENT "Copying phone-tour.sh")
add_custom_target(movara_phone_launcher ALL DEPENDS ${PROJECT_BINARY_DIR}/bin/phone-tour.sh)

# "cmake --build <dir> --target mplayer" builds the engine adapter.
add_custom_target(mplayer DEPENDS movara_engine_adapter)

# Installed: the program, its adapter and the launcher side by side in lib/movara,
# the launcher on the PATH.
set(MOVARA_PRIVATE_DIR ${CMAKE_INSTALL_LIBDIR}/movara)
install(TARGETS movara_engine_adapter RUNTIME DESTINATION ${MOVARA_PRIVATE_DIR})
install(PROGRAMS ${PROJECT_BINARY_DIR}/bin/movara-phone DESTINATION ${MOVARA_PRIVATE_DIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/phone-tour.sh DESTINATION ${MOVARA_PRIVATE_DIR})
# The link is worked out when installing, against the prefix given then
# (cmake --install --prefix), and written below DESTDIR.
install(CODE "
    set(movara_bindir [[${CMAKE_INSTALL_BINDIR}]])
    set(movara_launcher [[${MOVARA_PRIVATE_DIR}/movara-phone]])
    cmake_path(ABSOLUTE_PATH movara_bindir BASE_DIRECTORY \"\${CMAKE_INSTALL_PREFIX}\" NORMALIZE)
    cmake_path(ABSOLUTE_PATH movara_launcher BASE_DIRECTORY \"\${CMAKE_INSTALL_PREFIX}\" NORMALIZE)
    file(RELATIVE_PATH movara_link \"\${movara_bindir}\" \"\${movara_launcher}\")
    set(movara_bin \"\$ENV{DESTDIR}\${movara_bindir}\")
    message(STATUS \"Installing: \${movara_bin}/movara-phone -> \${movara_link}\")
    file(MAKE_DIRECTORY \"\${movara_bin}\")
    file(CREATE_LINK \"\${movara_link}\" \"\${movara_bin}/movara-phone\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${movara_bin}/movara-phone\")
")

# Everything the launcher and its tour run from a build: "scripts/run.sh" builds this.
add_custom_target(phone)
add_dependencies(phone movara movara_engine_adapter movara_geometry movara_phone_launcher)

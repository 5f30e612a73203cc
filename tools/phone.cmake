# The phone launcher and its tour, copied beside the program so that they find it there.
set(MOVARA_PHONE_SCRIPTS movara-phone phone-tour.sh)
set(MOVARA_PHONE_OUTPUTS)
foreach(script ${MOVARA_PHONE_SCRIPTS})
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/bin/${script}
        COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_LIST_DIR}/${script} ${PROJECT_BINARY_DIR}/bin/${script}
        DEPENDS ${CMAKE_CURRENT_LIST_DIR}/${script}
        COMMENT "Copying ${script}")
    list(APPEND MOVARA_PHONE_OUTPUTS ${PROJECT_BINARY_DIR}/bin/${script})
endforeach()
add_custom_target(movara_phone_launcher ALL DEPENDS ${MOVARA_PHONE_OUTPUTS})

# "cmake --build <dir> --target mplayer" builds the engine adapter.
add_custom_target(mplayer DEPENDS movara_engine_adapter)

# Installed: the program, its adapter and the launcher side by side in lib/movara,
# the launcher on the PATH and a desktop entry for the menus.
install(TARGETS movara_engine_adapter RUNTIME DESTINATION ${CMAKE_INSTALL_LIBDIR}/movara)
install(PROGRAMS ${CMAKE_CURRENT_LIST_DIR}/movara-phone DESTINATION ${CMAKE_INSTALL_LIBDIR}/movara)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/phone-tour.sh DESTINATION ${CMAKE_INSTALL_LIBDIR}/movara)
file(RELATIVE_PATH MOVARA_LAUNCHER_LINK ${CMAKE_INSTALL_FULL_BINDIR}
    ${CMAKE_INSTALL_FULL_LIBDIR}/movara/movara-phone)
install(CODE "
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}${CMAKE_INSTALL_FULL_BINDIR}\")
    file(CREATE_LINK ${MOVARA_LAUNCHER_LINK}
        \"\$ENV{DESTDIR}${CMAKE_INSTALL_FULL_BINDIR}/movara-phone\" SYMBOLIC)
    message(STATUS \"Installing: \$ENV{DESTDIR}${CMAKE_INSTALL_FULL_BINDIR}/movara-phone\")
")
install(FILES ${CMAKE_CURRENT_LIST_DIR}/movara.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The phone launcher, copied beside the program so that it finds it there.
set(MOVARA_PHONE_LAUNCHER ${CMAKE_BINARY_DIR}/bin/movara-phone)
add_custom_command(OUTPUT ${MOVARA_PHONE_LAUNCHER}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_LIST_DIR}/movara-phone ${MOVARA_PHONE_LAUNCHER}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/movara-phone
    COMMENT "Copying the phone launcher")
add_custom_target(movara_phone_launcher ALL DEPENDS ${MOVARA_PHONE_LAUNCHER})

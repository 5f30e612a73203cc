# phoneshot: renders the phone's screen in the normal and full-screen layouts to PNG files.
add_executable(phoneshot ${CMAKE_CURRENT_LIST_DIR}/phoneshot.cpp)
target_link_libraries(phoneshot PRIVATE movara_core)

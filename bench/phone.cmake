# phonewatch: times what appears on an X screen, for bench/phone_bench.sh.
find_package(X11)
if(X11_FOUND)
    add_executable(phonewatch ${CMAKE_CURRENT_LIST_DIR}/phonewatch.cpp)
    target_link_libraries(phonewatch PRIVATE X11::X11)
    set_target_properties(phonewatch PROPERTIES AUTOMOC OFF)
endif()

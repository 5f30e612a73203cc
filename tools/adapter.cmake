# The media engine adapter: built as "mplayer" beside the program, which
# starts it as "./mplayer". Plain C++ and POSIX, no Qt.
add_library(movara_adapter STATIC
    ${CMAKE_CURRENT_LIST_DIR}/adapter/commandfilter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/adapter/enginecommandline.cpp
    ${CMAKE_CURRENT_LIST_DIR}/adapter/engineprocess.cpp
    ${CMAKE_CURRENT_LIST_DIR}/adapter/enginerelay.cpp
    ${CMAKE_CURRENT_LIST_DIR}/adapter/mpegaudiocounter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/adapter/mpegaudiolength.cpp
    ${CMAKE_CURRENT_LIST_DIR}/adapter/jsonvalue.cpp
    ${CMAKE_CURRENT_LIST_DIR}/adapter/mpvcommandline.cpp
    ${CMAKE_CURRENT_LIST_DIR}/adapter/mpvrelay.cpp
    ${CMAKE_CURRENT_LIST_DIR}/adapter/mpvtranslator.cpp
    ${CMAKE_CURRENT_LIST_DIR}/adapter/outputfilter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/adapter/seektranslator.cpp)
target_include_directories(movara_adapter PUBLIC ${CMAKE_CURRENT_LIST_DIR}/adapter
    PRIVATE ${PROJECT_SOURCE_DIR}/src)
set_target_properties(movara_adapter PROPERTIES AUTOMOC OFF)
find_package(Threads REQUIRED)
target_link_libraries(movara_adapter PUBLIC Threads::Threads)

add_executable(movara_engine_adapter ${CMAKE_CURRENT_LIST_DIR}/adapter/main.cpp)
target_link_libraries(movara_engine_adapter PRIVATE movara_adapter)
set_target_properties(movara_engine_adapter PROPERTIES OUTPUT_NAME mplayer AUTOMOC OFF)

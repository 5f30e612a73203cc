# browser-shots <out-dir>: renders the file browser on the phone's 240 x 320
# screen, at the media roots and inside a folder of demo media, to PNG files.
add_executable(browser-shots ${CMAKE_CURRENT_SOURCE_DIR}/browser_shots.cpp)
target_link_libraries(browser-shots PRIVATE movara_core)

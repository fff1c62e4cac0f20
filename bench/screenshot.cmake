# Screenshot capture: the scan against ffmpeg's own decode, text detection speed,
# and what the capture finds in a generated 20-minute 1080p lecture.
add_executable(screenshot_bench ${CMAKE_CURRENT_LIST_DIR}/screenshot_bench.cpp)
target_link_libraries(screenshot_bench PRIVATE lumenote_screenshots Qt6::Gui)
target_compile_definitions(screenshot_bench PRIVATE LUMENOTE_BENCH_CACHE="${CMAKE_BINARY_DIR}/bench-cache")

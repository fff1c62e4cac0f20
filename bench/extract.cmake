add_executable(extract_bench ${CMAKE_CURRENT_LIST_DIR}/extract_bench.cpp)
target_link_libraries(extract_bench PRIVATE lumenote_transcription)
target_compile_definitions(extract_bench PRIVATE LUMENOTE_BENCH_DIR="${CMAKE_CURRENT_BINARY_DIR}")

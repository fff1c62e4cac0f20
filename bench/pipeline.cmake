add_executable(pipeline_bench ${CMAKE_CURRENT_LIST_DIR}/pipeline_bench.cpp)
target_link_libraries(pipeline_bench PRIVATE lumenote_pipeline)
add_dependencies(pipeline_bench make-test-model)
target_compile_definitions(pipeline_bench PRIVATE LUMENOTE_BENCH_DIR="${CMAKE_CURRENT_BINARY_DIR}"
  MAKE_TEST_MODEL="$<TARGET_FILE:make-test-model>")

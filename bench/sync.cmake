add_executable(sync_bench ${CMAKE_CURRENT_LIST_DIR}/sync_bench.cpp)
target_link_libraries(sync_bench PRIVATE lumenote_core)

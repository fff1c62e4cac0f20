add_executable(store_bench ${CMAKE_CURRENT_LIST_DIR}/store_bench.cpp)
target_link_libraries(store_bench PRIVATE lumenote_core)

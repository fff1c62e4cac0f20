# export_bench: building the study page of a three-hour lecture in memory, and
# the whole export run with its images and a three-hour AAC track.
add_executable(export_bench ${CMAKE_CURRENT_LIST_DIR}/export_bench.cpp ${PROJECT_SOURCE_DIR}/tests/export/LectureFixture.cpp)
target_include_directories(export_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/export)
target_link_libraries(export_bench PRIVATE lumenote_export Qt6::Gui)
target_compile_definitions(export_bench PRIVATE LUMENOTE_BENCH_DIR="${CMAKE_CURRENT_BINARY_DIR}")

# workspace_bench: the transcript workspace of a three-hour lecture: rows
# rebuilt from the records, and one follow-playback tick.
add_executable(workspace_bench ${CMAKE_CURRENT_LIST_DIR}/workspace_bench.cpp ${PROJECT_SOURCE_DIR}/tests/export/LectureFixture.cpp)
target_include_directories(workspace_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/export)
target_link_libraries(workspace_bench PRIVATE lumenote_workspace Qt6::Gui)

# transcript_panel_bench: the transcript panel of a three-hour lecture shown,
# following playback and scrolled, offscreen.
add_executable(transcript_panel_bench ${CMAKE_CURRENT_LIST_DIR}/transcript_panel_bench.cpp ${PROJECT_SOURCE_DIR}/tests/export/LectureFixture.cpp)
target_include_directories(transcript_panel_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/export)
target_link_libraries(transcript_panel_bench PRIVATE lumenote_app)

# make-test-model: random Whisper model folders for tests and benchmarks (see the source).
add_executable(make-test-model ${CMAKE_CURRENT_LIST_DIR}/make-test-model.cpp)
target_link_libraries(make-test-model PRIVATE lumenote_engine_testmodel)
set_target_properties(make-test-model PROPERTIES AUTOMOC OFF)

# engine_bench: the speech engine's speed on a random model of a published shape.
add_executable(engine_bench ${CMAKE_CURRENT_LIST_DIR}/engine_bench.cpp)
target_link_libraries(engine_bench PRIVATE lumenote_engine_testmodel PkgConfig::OPENBLAS)
set_target_properties(engine_bench PROPERTIES AUTOMOC OFF)

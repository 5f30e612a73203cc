# The output-handling benchmark runs the scripted engine in place of the real one.
add_dependencies(bench_engineoutput movara_scripted_engine)
# The gap benchmark runs the adapter and the real engines, and records a private sound server.
add_dependencies(bench_gap movara_engine_adapter)
target_sources(bench_gap PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/soundserver.cpp)
target_include_directories(bench_gap PRIVATE ${PROJECT_SOURCE_DIR}/tests)

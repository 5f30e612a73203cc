# The output-handling benchmark runs the scripted engine in place of the real one.
add_dependencies(bench_engineoutput movara_scripted_engine)
# The gap benchmark runs the adapter and the real engines, and records a private sound server.
add_dependencies(bench_gap movara_engine_adapter)
# The big MP3 benchmark runs the adapter and the real engine.
add_dependencies(bench_bigmp3 movara_engine_adapter)

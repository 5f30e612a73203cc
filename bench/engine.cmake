# The output-handling benchmark runs the scripted engine in place of the real one.
add_dependencies(bench_engineoutput movara_scripted_engine)

# Runs one fuzz target for SECONDS over a fresh copy of its SEEDS in WORK, so the inputs it finds
# stay in the build folder and the tree keeps only the seeds. A crashing input is kept in
# CRASHES, which the next run leaves alone.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK} ${CRASHES})
file(COPY ${SEEDS}/ DESTINATION ${WORK})
execute_process(COMMAND ${FUZZER} -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=1024
                        -print_final_stats=1 -artifact_prefix=${CRASHES}/ ${WORK}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${FUZZER} failed (${result}); the input is in ${CRASHES}")
endif()

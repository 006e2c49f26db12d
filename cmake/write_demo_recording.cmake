# Script, run with `cmake -DIBT=... -DOUT=... -P`: writes the demo recording
# to OUT with `ibt synth` unless OUT exists, so a recording put there by hand
# stays.
if(NOT EXISTS "${OUT}")
    execute_process(COMMAND "${IBT}" synth "${OUT}" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "ibt synth ${OUT} failed (${status})")
    endif()
endif()

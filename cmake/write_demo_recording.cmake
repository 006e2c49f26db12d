# Script, run with `cmake -DIBT=... -DOUT=... [-DEMULATOR=...] -P`: writes the
# demo recording to OUT with `ibt synth` unless OUT exists, so a recording put
# there by hand stays. A cross-compiled ibt runs through EMULATOR (Wine).
if(NOT EXISTS "${OUT}")
    execute_process(COMMAND ${EMULATOR} "${IBT}" synth "${OUT}" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "ibt synth ${OUT} failed (${status})")
    endif()
endif()

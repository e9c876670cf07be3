# The real program on Linux: each System Settings check prints its one
# "NOT MEASURED" line and exits 3. A case is "arguments,separated,by,commas|line".
set(cases "--probe,accessibility,--photo,/tmp/shot.png|NOT MEASURED: Accessibility is off for this binary"
    "--ax-dump,loginitems|NOT MEASURED" "--settings-unchanged-check|NOT MEASURED: Accessibility is off")
foreach(case IN LISTS cases)
    string(REPLACE "|" ";" parts "${case}")
    list(GET parts 0 args)
    list(GET parts 1 expected)
    string(REPLACE "," ";" args "${args}")
    execute_process(COMMAND ${ROWKEEPER} ${args} RESULT_VARIABLE status OUTPUT_VARIABLE out TIMEOUT 60)
    if(NOT status EQUAL 3 OR NOT out STREQUAL "${expected}\n")
        message(FATAL_ERROR "rowkeeper ${args}: status ${status}, printed '${out}'; wanted 3 and '${expected}'")
    endif()
endforeach()

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

# Without a display the window app names what it would not use, as with one,
# above the options line, then ends with the display line, whose hint keeps
# the arguments. A case is "arguments,separated,by,commas|first line".
set(cases "--selftst|--selftst is not an option Rowkeeper knows."
    "--capture-pages|--capture-pages needs a folder." "--demo|")
foreach(case IN LISTS cases)
    string(REPLACE "|" ";" parts "${case}")
    list(GET parts 0 args)
    list(LENGTH parts count)
    set(expected "")
    if(count GREATER 1)
        list(GET parts 1 expected)
    endif()
    string(REPLACE "," ";" args "${args}")
    string(REPLACE ";" " " shown "${args}")
    execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
                            --unset=QT_QPA_PLATFORM ${ROWKEEPER} ${args}
                    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
    set(display "Rowkeeper needs a display for its window and could not open one (DISPLAY is not set, \
WAYLAND_DISPLAY is not set). Without a desktop, start it under a virtual display: xvfb-run -a rowkeeper ${shown}\n")
    set(wanted "${display}")
    set(wantedLines 1)
    if(expected)
        set(wanted "${expected}\nOptions: ")
        set(wantedLines 3)
    endif()
    string(FIND "${err}" "${wanted}" at)
    string(FIND "${err}" "${display}" displayAt)
    string(REGEX MATCHALL "\n" newlines "${err}")
    list(LENGTH newlines lines)
    string(LENGTH "${err}" length)
    string(LENGTH "${display}" displayLength)
    math(EXPR end "${displayAt} + ${displayLength}")
    if(NOT status EQUAL 1 OR NOT at EQUAL 0 OR NOT end EQUAL length OR NOT lines EQUAL wantedLines)
        message(FATAL_ERROR "rowkeeper ${shown} without a display: status ${status}, said '${err}'")
    endif()
endforeach()

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

# Without a display, or with one named that is not there, the window app
# names what it would not use, as with one, above the options line, then
# ends with the display line, whose hint keeps the arguments. A case is
# "DISPLAY (-: unset)|arguments,separated,by,commas|first line".
set(cases "-|--selftst|--selftst is not an option Rowkeeper knows."
    "-|--capture-pages|--capture-pages needs a folder." "-|--demo"
    ":977|--bogus|--bogus is not an option Rowkeeper knows." ":977|--demo")
foreach(case IN LISTS cases)
    string(REPLACE "|" ";" parts "${case}")
    list(GET parts 0 display)
    list(GET parts 1 args)
    list(LENGTH parts count)
    set(expected "")
    if(count GREATER 2)
        list(GET parts 2 expected)
    endif()
    string(REPLACE "," ";" args "${args}")
    string(REPLACE ";" " " shown "${args}")
    set(named "is not set")
    set(setDisplay --unset=DISPLAY)
    if(NOT display STREQUAL "-")
        set(named "is \"${display}\"")
        set(setDisplay DISPLAY=${display})
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E env ${setDisplay} --unset=WAYLAND_DISPLAY
                            --unset=QT_QPA_PLATFORM --unset=XDG_SESSION_TYPE ${ROWKEEPER} ${args}
                    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
    set(line "Rowkeeper needs a display for its window and could not open one (DISPLAY ${named}, \
WAYLAND_DISPLAY is not set). Without a desktop, start it under a virtual display: xvfb-run -a rowkeeper ${shown}\n")
    set(wanted "${line}")
    set(wantedLines 1)
    if(expected)
        set(wanted "${expected}\nOptions: ")
        set(wantedLines 3)
    endif()
    string(FIND "${err}" "${wanted}" at)
    string(FIND "${err}" "${line}" lineAt)
    string(REGEX MATCHALL "\n" newlines "${err}")
    list(LENGTH newlines lines)
    string(LENGTH "${err}" length)
    string(LENGTH "${line}" lineLength)
    math(EXPR end "${lineAt} + ${lineLength}")
    if(NOT status EQUAL 1 OR NOT at EQUAL 0 OR NOT end EQUAL length OR NOT lines EQUAL wantedLines)
        message(FATAL_ERROR "rowkeeper ${shown} with DISPLAY ${named}: status ${status}, said '${err}'")
    endif()
endforeach()

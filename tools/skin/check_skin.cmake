# Repaints the skin into a scratch directory and compares it with the bitmaps
# kept in resources/: the committed pictures must be what the program paints.
file(REMOVE_RECURSE "${OUTPUT}")
file(MAKE_DIRECTORY "${OUTPUT}")
execute_process(COMMAND "${GENERATOR}" "${OUTPUT}" RESULT_VARIABLE painted)
if(NOT painted EQUAL 0)
    message(FATAL_ERROR "the skin generator failed")
endif()
foreach(name needle_strip.bmp knob_strip.bmp face_sheet.bmp)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${OUTPUT}/${name}" "${SOURCE}/${name}"
                    RESULT_VARIABLE differs)
    if(NOT differs EQUAL 0)
        message(FATAL_ERROR "resources/${name} is not what tools/skin paints: rebuild it with the quillo_skin target")
    endif()
endforeach()

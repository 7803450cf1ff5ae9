# cmake -DPROGRAM=<Vantrel.exe> -DLIMIT=<bytes> -P shipped_size.cmake: fails when the program is larger.
file(SIZE "${PROGRAM}" size)
message(STATUS "${PROGRAM}: ${size} bytes, budget ${LIMIT}")
if(size GREATER LIMIT)
  message(FATAL_ERROR "Vantrel.exe is ${size} bytes, over its budget of ${LIMIT}")
endif()

# Reads the program file's notes and checks the version fields a file manager
# or package tool shows.
execute_process(COMMAND ${READELF} -n ${PROGRAM} OUTPUT_VARIABLE notes RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "readelf failed on ${PROGRAM}")
endif()
foreach(field
    "\"version\":\"1.1.0\""
    "\"FileDescription\":\"Tavrelo2 v1.1.0\""
    "\"ProductName\":\"Tavrelo2 v1.1.0\""
    "\"LegalTrademarks\":\"Tavrelo2 v1.1.0\""
    "\"FileVersion\":\"1.01\""
    "\"ProductVersion\":\"1.01\""
    "\"InternalName\":\"Tavrelo2\""
    "\"OriginalFilename\":\"Tavrelo2.exe\""
    "\"Comments\":\"Tavrelo2\""
    "\"Language\":\"fr-FR\"")
  string(FIND "${notes}" "${field}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "The version note lacks ${field}:\n${notes}")
  endif()
endforeach()

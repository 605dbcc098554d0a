# cmake -DINPUT=... -DOUTPUT=... -DFROM=... -DTO=... -P replace_text.cmake
# Writes a copy of INPUT with the string literal "FROM" replaced by "TO".
# Fails when the literal is not there, so the copy can never silently be the
# same as the original.
file(READ "${INPUT}" text)
string(FIND "${text}" "\"${FROM}\"" at)
if(at EQUAL -1)
  message(FATAL_ERROR "\"${FROM}\" is not in ${INPUT}")
endif()
string(REPLACE "\"${FROM}\"" "\"${TO}\"" text "${text}")
file(WRITE "${OUTPUT}" "${text}")

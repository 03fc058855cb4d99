# cmake -DINPUT=<utf-8 file> -DOUTPUT=<gbk file> -P encode_gbk.cmake
# Writes the language file in GBK with CR LF line ends.
find_program(ICONV iconv REQUIRED)
file(READ ${INPUT} text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
set(crlf ${OUTPUT}.crlf)
file(WRITE ${crlf} "${text}")
execute_process(
  COMMAND ${ICONV} -f UTF-8 -t GBK ${crlf}
  OUTPUT_FILE ${OUTPUT}.tmp
  RESULT_VARIABLE status
  ERROR_VARIABLE error)
file(REMOVE ${crlf})
if(NOT status EQUAL 0)
  file(REMOVE ${OUTPUT}.tmp)
  message(FATAL_ERROR "cannot encode ${INPUT} as GBK: ${error}")
endif()
file(RENAME ${OUTPUT}.tmp ${OUTPUT})

# cmake -DFILE=EXE -DOSSLSIGNCODE=PATH -DPFX=P12 -DPASSWORD_FILE=F [-DTIMESTAMP_URL=URL] -P sign_file.cmake
# Signs EXE in place (Authenticode, SHA-256). The signed copy is written beside it and moved
# over it in one step; when signing fails EXE is removed, so the build stops with no unsigned
# program left where a signed one is expected (and the next build links it again).
# SOURCE_DATE_EPOCH, when set, is the signature's signing time instead of now: the signing
# tool records the time in the signature, so without it every signing gives other bytes.
set(signed "${FILE}.signed")
file(REMOVE "${signed}")
set(args sign -pkcs12 "${PFX}" -readpass "${PASSWORD_FILE}" -h sha256)
if(TIMESTAMP_URL)
  list(APPEND args -ts "${TIMESTAMP_URL}")
endif()
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  list(APPEND args -time "$ENV{SOURCE_DATE_EPOCH}")
endif()
execute_process(COMMAND "${OSSLSIGNCODE}" ${args} -in "${FILE}" -out "${signed}"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0 OR NOT EXISTS "${signed}")
  file(REMOVE "${signed}" "${FILE}")
  message(FATAL_ERROR "Signing ${FILE} failed (${status}):\n${output}")
endif()
# Executable as the linker left it (the signing tool creates its output without the bits).
file(CHMOD "${signed}" FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                         WORLD_READ WORLD_EXECUTE)
file(RENAME "${signed}" "${FILE}")

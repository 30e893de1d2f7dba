# Authenticode signing of the programs this build makes (Windows build only).
# Set both cache variables to sign; leave them empty and nothing is signed:
#   INSTALADOR_SIGN_PFX            the PKCS#12 file holding the certificate and its key
#   INSTALADOR_SIGN_PASSWORD_FILE  a file holding its password (first line)
#   INSTALADOR_SIGN_TIMESTAMP_URL  optional: an RFC 3161 time-stamp server, so the
#                                  signature outlives the certificate
# instalador_sign(TARGET) signs TARGET's executable right after it is linked, in the
# same build step, so anything that packs or ships it only ever sees the signed file.
# Programs carried from outside (INSTALADOR_PRODUCT_EXE, ...) are packed as they come.

set(INSTALADOR_SIGN_PFX "" CACHE FILEPATH "PKCS#12 certificate to sign the programs with (empty: not signed)")
set(INSTALADOR_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File holding the password of INSTALADOR_SIGN_PFX")
set(INSTALADOR_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signatures (empty: none)")

set(INSTALADOR_SIGNING OFF)
if(INSTALADOR_SIGN_PFX OR INSTALADOR_SIGN_PASSWORD_FILE)
  if(NOT INSTALADOR_SIGN_PFX OR NOT INSTALADOR_SIGN_PASSWORD_FILE)
    message(FATAL_ERROR "Signing needs both INSTALADOR_SIGN_PFX and INSTALADOR_SIGN_PASSWORD_FILE")
  endif()
  # The x86-64 build only stands in for the release under a Wine without its 32-bit side.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    message(FATAL_ERROR "The x86-64 build is a test build and is never signed: sign the 32-bit build (cmake/mingw-i686.cmake)")
  endif()
  foreach(var INSTALADOR_SIGN_PFX INSTALADOR_SIGN_PASSWORD_FILE)
    if(NOT IS_ABSOLUTE "${${var}}" OR NOT EXISTS "${${var}}" OR IS_DIRECTORY "${${var}}")
      message(FATAL_ERROR "${var} must name an existing file by its absolute path, got \"${${var}}\"")
    endif()
  endforeach()
  find_program(INSTALADOR_OSSLSIGNCODE osslsigncode)
  if(NOT INSTALADOR_OSSLSIGNCODE)
    message(FATAL_ERROR "Signing needs osslsigncode (scripts/setup.sh installs it)")
  endif()
  # A password file inside the work tree and not ignored would be one "git add ." from
  # being published with the certificate.
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${CMAKE_SOURCE_DIR} ls-files --error-unmatch --others
                            --cached --exclude-standard -- "${INSTALADOR_SIGN_PASSWORD_FILE}"
                    RESULT_VARIABLE not_tracked OUTPUT_QUIET ERROR_QUIET)
    if(not_tracked EQUAL 0)
      message(WARNING "INSTALADOR_SIGN_PASSWORD_FILE lies in the repository and is not ignored: "
                      "keep it outside, it must never be committed")
    endif()
  endif()
  set(INSTALADOR_SIGNING ON)
endif()

function(instalador_sign target)
  if(NOT INSTALADOR_SIGNING)
    return()
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:${target}> -DOSSLSIGNCODE=${INSTALADOR_OSSLSIGNCODE}
            -DPFX=${INSTALADOR_SIGN_PFX} -DPASSWORD_FILE=${INSTALADOR_SIGN_PASSWORD_FILE}
            -DTIMESTAMP_URL=${INSTALADOR_SIGN_TIMESTAMP_URL} -P ${CMAKE_SOURCE_DIR}/cmake/sign_file.cmake
    COMMENT "Signing $<TARGET_FILE_NAME:${target}>"
    VERBATIM)
  # Another certificate signs again: the link (and so the signing) depends on it.
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${INSTALADOR_SIGN_PFX} ${INSTALADOR_SIGN_PASSWORD_FILE})
endfunction()

# The four files the installer carries, as paths for the payload build. Included by
# resources/ (which builds the installer) and standins/ (which builds the stand-ins);
# plain variables in the including folder's scope, so include it where you need them:
#   INSTALADOR_CARRIED_EXE          item 0, the product executable
#   INSTALADOR_CARRIED_TNSNAMES     item 1, tnsnames.ora with the product's entry
#   INSTALADOR_CARRIED_ORACLE       item 2, the Oracle XE client setup program
#   INSTALADOR_CARRIED_UNINSTALLER  item 3, the uninstaller
#   INSTALADOR_CARRIED_FILES        the four in item order
#   INSTALADOR_CARRIED_TARGETS      targets that build the stand-ins among them: add them
#                                   to the DEPENDS of the command that packs the payload
# A release build names the real programs with the cache variables below; each one left
# empty is replaced by its stand-in from standins/, or for the uninstaller by the one
# built from uninstaller/ (Windows build only).

set(INSTALADOR_PRODUCT_EXE "" CACHE FILEPATH "Product executable to carry (empty: the Pliegorama stand-in)")
set(INSTALADOR_UNINSTALLER_EXE "" CACHE FILEPATH "Uninstaller to carry (empty: the one built from uninstaller/)")
set(INSTALADOR_ORACLE_SETUP_EXE "" CACHE FILEPATH "Oracle XE client setup to carry (empty: the OracleXEClient stand-in)")

# The database address goes verbatim into tnsnames.ora and into the installer's
# code: accept a dotted IPv4 address only, so no parenthesis or line break can reach them.
set(_octet "(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])")
if(NOT INSTALADOR_DB_HOST MATCHES "^${_octet}\\.${_octet}\\.${_octet}\\.${_octet}$")
  message(FATAL_ERROR "INSTALADOR_DB_HOST must be an IPv4 address in dotted form, got \"${INSTALADOR_DB_HOST}\"")
endif()

set(INSTALADOR_CARRIED_TARGETS "")
foreach(role PRODUCT UNINSTALLER ORACLE_SETUP)
  if(INSTALADOR_${role}_EXE AND NOT EXISTS "${INSTALADOR_${role}_EXE}")
    message(FATAL_ERROR "INSTALADOR_${role}_EXE names a missing file: ${INSTALADOR_${role}_EXE}")
  endif()
endforeach()

if(INSTALADOR_PRODUCT_EXE)
  set(INSTALADOR_CARRIED_EXE "${INSTALADOR_PRODUCT_EXE}")
else()
  set(INSTALADOR_CARRIED_EXE "${CMAKE_BINARY_DIR}/bin/Pliegorama.exe")
  list(APPEND INSTALADOR_CARRIED_TARGETS Pliegorama)
endif()
set(INSTALADOR_CARRIED_TNSNAMES "${CMAKE_BINARY_DIR}/standins/tnsnames.ora")
if(INSTALADOR_ORACLE_SETUP_EXE)
  set(INSTALADOR_CARRIED_ORACLE "${INSTALADOR_ORACLE_SETUP_EXE}")
else()
  set(INSTALADOR_CARRIED_ORACLE "${CMAKE_BINARY_DIR}/bin/OracleXEClient.exe")
  list(APPEND INSTALADOR_CARRIED_TARGETS OracleXEClient)
endif()
if(INSTALADOR_UNINSTALLER_EXE)
  set(INSTALADOR_CARRIED_UNINSTALLER "${INSTALADOR_UNINSTALLER_EXE}")
else()
  set(INSTALADOR_CARRIED_UNINSTALLER "${CMAKE_BINARY_DIR}/bin/DesInstalador.exe")
  list(APPEND INSTALADOR_CARRIED_TARGETS DesInstalador)
endif()
set(INSTALADOR_CARRIED_FILES "${INSTALADOR_CARRIED_EXE}" "${INSTALADOR_CARRIED_TNSNAMES}"
    "${INSTALADOR_CARRIED_ORACLE}" "${INSTALADOR_CARRIED_UNINSTALLER}")

# The stored tnsnames.ora: the product's entry on one line, CR LF, nothing else.
# Written here rather than in standins/ so it exists whichever folder includes this first;
# file(CONFIGURE) rewrites it only when the address changes, so the payload is not rebuilt needlessly.
file(CONFIGURE OUTPUT "${INSTALADOR_CARRIED_TNSNAMES}"
     CONTENT "Tramidex = (DESCRIPTION = (ADDRESS_LIST = (ADDRESS = (PROTOCOL = TCP)(HOST = ${INSTALADOR_DB_HOST})(PORT = 1521)) ) (CONNECT_DATA = (SID = vardo) ) )\n"
     @ONLY NEWLINE_STYLE CRLF)

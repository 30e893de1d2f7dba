// The Oracle client provisioning's fixed texts: the Spanish ones of its dialogs,
// byte for byte in code page 1252 (the first joins its lines by LF CR, the
// others by CR LF; "instaci\xF3n" is the text as users have always seen it),
// and its error.
#pragma once

namespace texts {

inline constexpr char kNoValidOracleClient[] =
    "No se ha encontrado un Cliente de Oracle valido,"
    "\n\r"
    "se instalara el Cliente de Oracle XE.";
inline constexpr char kWaitForOracleSetup[] =
    "Debe esperar a que el instalador del Cliente de Oracle XE termine."
    "\r\n"
    "Una vez terminada la instaci\xF3n presione en Yes para continuar o No para cancelar la instalaci\xF3n.";

// The XE client is installed but its home is unknown: the product's entry
// could not be written, and the user is told how to add it by hand. The
// placeholders: the database server's address, then the whole entry line.
inline constexpr char kNetServiceEntryNotPlaced[] =
    "No se pudo agregar la entrada de servicio de red Tramidex al archivo tnsnames.ora del Cliente de Oracle XE: "
    "no se sabe en qu\xE9 carpeta est\xE1 instalado."
    "\r\n"
    "Para que el Sistema de Lumentra se conecte con su base de datos (servidor %s), agregue a mano esta l\xEDnea a ese "
    "archivo:"
    "\r\n\r\n"
    "%s";

// An existing tnsnames.ora with text after a NUL: the rewrite would lose it.
inline constexpr char kNotATextFile[] = "Cannot edit file \"%s\". It is not a text file";

}  // namespace texts

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

// An Oracle client is there, but the product's entry could not be written:
// the user is told why and how to add it by hand. The placeholders: which
// file and why not (one of the reasons below), the database server's
// address, then the whole entry line.
inline constexpr char kNetServiceEntryNotPlaced[] =
    "No se pudo agregar la entrada de servicio de red Tramidex al archivo tnsnames.ora %s."
    "\r\n"
    "Para que el Sistema de Lumentra se conecte con su base de datos (servidor %s), agregue a mano esta l\xEDnea a ese "
    "archivo:"
    "\r\n\r\n"
    "%s";
// The XE client is known by its uninstall entry alone.
inline constexpr char kXEHomeUnknown[] = "del Cliente de Oracle XE: no se sabe en qu\xE9 carpeta est\xE1 instalado";
// A link on the way to the home's file that the installer does not follow
// (one that no administrator made), or one in the file's own place. The
// placeholders: the home, the link.
inline constexpr char kHomeBehindLink[] =
    "de la carpeta de Oracle %s: el instalador no escribe a trav\xE9s de %s, un v\xEDnculo (una uni\xF3n, un "
    "v\xEDnculo "
    "simb\xF3lico o un punto de montaje) que no cre\xF3 un administrador o que ocupa el lugar del propio archivo";
// The home's file has a second name (a hard link), which may lie in a folder
// the user cannot read: it is neither read nor replaced. The placeholder: the home.
inline constexpr char kFileWithSecondName[] =
    "de la carpeta de Oracle %s: ese archivo tiene otro nombre en el disco (un v\xEDnculo f\xEDsico), y el instalador "
    "no "
    "lo lee ni lo reemplaza";

// An existing tnsnames.ora with text after a NUL: the rewrite would lose it.
inline constexpr char kNotATextFile[] = "No se puede editar el archivo \"%s\". No es un archivo de texto";

}  // namespace texts

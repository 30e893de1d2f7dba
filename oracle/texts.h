// The Oracle client provisioning's fixed texts: the Spanish ones of its dialogs,
// byte for byte in code page 1252 (the first joins its lines by LF CR, the
// second by CR LF; "instaci\xF3n" is the text as users have always seen it),
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

// An existing tnsnames.ora with text after a NUL: the rewrite would lose it.
inline constexpr char kNotATextFile[] = "Cannot edit file \"%s\". It is not a text file";

}  // namespace texts

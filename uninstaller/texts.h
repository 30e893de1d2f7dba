// The Spanish texts the uninstaller shows, byte for byte in code page 1252.
#pragma once

namespace texts {

inline constexpr char kUninstallQuestion[] =
    "\xBF"
    "Desea desinstalar el Sistema de Lumentra de este equipo?"
    "\r\n\r\n"
    "Se quitar\xE1n el programa, el desinstalador y sus accesos directos. "
    "El Cliente de Oracle y el archivo tnsnames.ora no se modifican.";
inline constexpr char kUninstallSucceeded[] = "El Sistema de Lumentra ha sido desinstalado.";
// Followed by one line per file or folder that goes at the next restart.
inline constexpr char kUninstallSucceededAtRestart[] =
    "El Sistema de Lumentra ha sido desinstalado. Al reiniciar el equipo se quitar\xE1n tambi\xE9n:";
// Followed by one line per file or folder that is still there.
inline constexpr char kUninstallIncomplete[] =
    "No se pudo quitar todo el Sistema de Lumentra. Cierre el programa si est\xE1 abierto y vuelva a "
    "ejecutar el desinstalador. Quedan:";
inline constexpr char kUninstallNotInstalled[] = "El Sistema de Lumentra no est\xE1 instalado en este equipo.";

}  // namespace texts

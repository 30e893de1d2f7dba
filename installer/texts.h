// The Spanish texts the user reads from the install sequence, the Oracle XE
// client dialogs and the uninstaller, byte for byte in code page 1252. The
// line joins differ on purpose: each dialog has always shown its text so.
#pragma once

namespace texts {

// A carried file fails its check before the install writes anything.
inline constexpr char kInstallerDamaged[] =
    "El instalador est\xE1 da\xF1"
    "ado (Sistema de Lumentra). Descargue una copia nueva.";

// Install sequence outcome.
inline constexpr char kInstallSucceeded[] = "La instalaci\xF3n ha terminado con exito";
inline constexpr char kInstallCancelled[] = "La instalaci\xF3n ha sido cancelada";
// Two lines joined by LF CR (0x0A 0x0D, in that order).
inline constexpr char kRestartQuestion[] =
    "Para que se termine de actualizar los cambios, es necesario reiniciar el equipo,"
    "\n\r"
    "\xBFSi desea reiniciar el equipo en este momento presione si o no para reiniciarlo mas tarde?";

// Oracle XE client provisioning. The first joins its lines by LF CR, the
// second by CR LF; "instaci\xF3n" is the text as users have always seen it.
inline constexpr char kNoValidOracleClient[] =
    "No se ha encontrado un Cliente de Oracle valido,"
    "\n\r"
    "se instalara el Cliente de Oracle XE.";
inline constexpr char kWaitForOracleSetup[] =
    "Debe esperar a que el instalador del Cliente de Oracle XE termine."
    "\r\n"
    "Una vez terminada la instaci\xF3n presione en Yes para continuar o No para cancelar la instalaci\xF3n.";

// Uninstaller.
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

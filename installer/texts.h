// The Spanish texts the user reads from the install sequence, byte for byte in
// code page 1252. The line joins differ on purpose: each dialog has always
// shown its text so (the Oracle client's dialogs are in oracle/texts.h, the
// uninstaller's in uninstaller/texts.h).
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

}  // namespace texts

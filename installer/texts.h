// The installer's fixed texts, byte for byte in code page 1252: the title and
// caption, the Spanish texts of the install sequence (their line joins differ
// on purpose: each dialog has always shown its text so) and its errors, and the
// start-up refusal and failure box both programs share. The Oracle client's are in
// oracle/texts.h, the uninstaller's in uninstaller/texts.h.
#pragma once

namespace texts {

// The application title: caption of the error boxes and of the taskbar.
inline constexpr char kApplicationTitle[] =
    "Instalador M\xF3"
    "dulo de Captura - Sistema Lumentra";
// The window caption before FormShow completes it with the file version.
inline constexpr char kCaptionPrefix[] = "Ostrelia - Instalador ";

// The folder look-up's errors (the system's own wording).
inline constexpr char kProgramFilesPathError[] = "Program Files Path Error";
inline constexpr char kUserProgramPathError[] = "User Program Path Error";

// A window stream without one of the window's components is damaged.
inline constexpr char kMissingComponent[] = "No se encontr\xF3 el componente %s";

// The window's own failures to appear (the start-up failure box shows them).
inline constexpr char kCannotCreateApplicationWindow[] = "No se pudo crear la ventana de la aplicaci\xF3n";
inline constexpr char kCannotCreateInstallerWindow[] = "No se pudo crear la ventana del instalador";
inline constexpr char kCannotCreateControl[] = "No se pudo crear el control %s";

// The box of a failure before the window shows (and of any error the
// uninstaller's dialogs do not show): its caption (the system's own wording),
// and the first line, naming the kind of failure and the module, before the
// message.
inline constexpr char kStartupFailureCaption[] = "Application Error";
inline constexpr char kStartupFailureFirstLine[] =
    "Excepci\xF3n %s en el m\xF3"
    "dulo %s.";

// Both programs refuse to start on a Windows that cannot narrow the search for
// DLLs to the system folder (KB2533623 brings SetDefaultDllDirectories to
// Vista and 7); shown before any window of theirs.
inline constexpr char kWindowsWithoutSafeDllSearch[] =
    "Este programa necesita una actualizaci\xF3n de seguridad de Windows que falta en este equipo "
    "(KB2533623, que permite cargar las bibliotecas solo desde la carpeta del sistema)."
    "\r\n\r\n"
    "Instale las actualizaciones de Windows y vuelva a ejecutar el programa.";

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
// Before the restart question, when other users are signed in (a shared PC,
// a Remote Desktop server): a restart ends their sessions too.
inline constexpr char kOtherUsersSignedIn[] =
    "Hay otros usuarios con la sesi\xF3n iniciada en este equipo. Si lo reinicia ahora, sus sesiones se cerrar\xE1n "
    "y podr\xED"
    "an perder el trabajo que no hayan guardado.";

}  // namespace texts

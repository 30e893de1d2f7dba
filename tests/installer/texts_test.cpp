// The texts the user reads, pinned byte for byte in code page 1252: the line
// joins (LF CR in two texts, CR LF in the others), 0xF3 and 0xBF included.
#include "installer/texts.h"

#include <gtest/gtest.h>

#include <string>

#include "framework/errors.h"
#include "oracle/texts.h"
#include "uninstaller/texts.h"

namespace {

TEST(Texts, AreTheGoldenBytes) {
  struct Golden {
    const char* what;
    const char* text;
    const char* bytes;
  };
  // The box as it reads for an XE client whose home is unknown.
  const std::string notPlaced = Format(texts::kNetServiceEntryNotPlaced, texts::kXEHomeUnknown, "%s", "%s");
  const Golden golden[] = {
      {"title", texts::kApplicationTitle,
       "Instalador M\xF3"
       "dulo de Captura - Sistema Lumentra"},
      {"install succeeded", texts::kInstallSucceeded, "La instalaci\xF3n ha terminado con exito"},
      {"install cancelled", texts::kInstallCancelled, "La instalaci\xF3n ha sido cancelada"},
      {"restart question", texts::kRestartQuestion,
       "Para que se termine de actualizar los cambios, es necesario reiniciar el equipo,\n\r\xBFSi desea "
       "reiniciar el equipo en este momento presione si o no para reiniciarlo mas tarde?"},
      {"no valid Oracle client", texts::kNoValidOracleClient,
       "No se ha encontrado un Cliente de Oracle valido,\n\rse instalara el Cliente de Oracle XE."},
      {"wait for the Oracle setup", texts::kWaitForOracleSetup,
       "Debe esperar a que el instalador del Cliente de Oracle XE termine.\r\nUna vez terminada la instaci\xF3n "
       "presione en Yes para continuar o No para cancelar la instalaci\xF3n."},
      {"net service entry not placed", notPlaced.c_str(),
       "No se pudo agregar la entrada de servicio de red Tramidex al archivo tnsnames.ora del Cliente de "
       "Oracle XE: no se sabe en qu\xE9 carpeta est\xE1 instalado.\r\nPara que el Sistema de Lumentra se "
       "conecte con su base de datos (servidor %s), agregue a mano esta l\xEDnea a ese archivo:\r\n\r\n%s"},
      {"home behind a link", texts::kHomeBehindLink,
       "de la carpeta de Oracle %s: el instalador no escribe a trav\xE9s de %s, un v\xEDnculo (una uni\xF3n, "
       "un v\xEDnculo simb\xF3lico o un punto de montaje) que no cre\xF3 un administrador o que ocupa el "
       "lugar del propio archivo"},
      {"file with a second name", texts::kFileWithSecondName,
       "de la carpeta de Oracle %s: ese archivo tiene otro nombre en el disco (un v\xEDnculo f\xEDsico), "
       "y el instalador no lo lee ni lo reemplaza"},
      {"other users signed in", texts::kOtherUsersSignedIn,
       "Hay otros usuarios con la sesi\xF3n iniciada en este equipo. Si lo reinicia ahora, sus sesiones "
       "se cerrar\xE1n y podr\xED"
       "an perder el trabajo que no hayan guardado."},
      {"uninstall question", texts::kUninstallQuestion,
       "\xBF"
       "Desea desinstalar el Sistema de Lumentra de este equipo?\r\n\r\nSe quitar\xE1n el programa, el desinstalador "
       "y sus accesos directos. El Cliente de Oracle y el archivo tnsnames.ora no se modifican."},
      {"uninstall succeeded", texts::kUninstallSucceeded, "El Sistema de Lumentra ha sido desinstalado."},
      {"uninstall incomplete", texts::kUninstallIncomplete,
       "No se pudo quitar todo el Sistema de Lumentra. Cierre el programa si est\xE1 abierto y vuelva a "
       "ejecutar el desinstalador. Quedan:"},
      {"not installed", texts::kUninstallNotInstalled, "El Sistema de Lumentra no est\xE1 instalado en este equipo."},
      {"installer damaged", texts::kInstallerDamaged,
       "El instalador est\xE1 da\xF1"
       "ado (Sistema de Lumentra). Descargue una copia nueva."},
      {"uninstall succeeded, the rest at the restart", texts::kUninstallSucceededAtRestart,
       "El Sistema de Lumentra ha sido desinstalado. Al reiniciar el equipo se quitar\xE1n tambi\xE9n:"},
      {"Windows without the safe DLL search", texts::kWindowsWithoutSafeDllSearch,
       "Este programa necesita una actualizaci\xF3n de seguridad de Windows que falta en este equipo (KB2533623, "
       "que permite cargar las bibliotecas solo desde la carpeta del sistema).\r\n\r\nInstale las actualizaciones "
       "de Windows y vuelva a ejecutar el programa."},
      {"not a text file", texts::kNotATextFile, "No se puede editar el archivo \"%s\". No es un archivo de texto"},
      {"missing component", texts::kMissingComponent, "No se encontr\xF3 el componente %s"},
      {"start-up failure", texts::kStartupFailureFirstLine,
       "Excepci\xF3n %s en el m\xF3"
       "dulo %s."},
      {"no application window", texts::kCannotCreateApplicationWindow,
       "No se pudo crear la ventana de la aplicaci\xF3n"},
  };
  for (const Golden& g : golden) EXPECT_EQ(std::string(g.text), g.bytes) << g.what;
}

}  // namespace

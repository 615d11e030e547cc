#include "base/program_version.h"

// The build passes the project's version; a compiler run by hand gets a
// visible placeholder rather than a made-up number.
#ifndef VESKOR_VERSION
#define VESKOR_VERSION "inconnue"
#endif

namespace veskor {

const char* ProgramVersion() { return VESKOR_VERSION; }

std::string VersionText(std::string_view program) {
  std::string text(program);
  text += ' ';
  text += ProgramVersion();
  text +=
      "\nCopyright (c) The Veskor developers\n"
      "Logiciel libre sous licence MIT : vous pouvez le copier, le modifier et le\n"
      "redistribuer. Il est fourni tel quel, sans aucune garantie ; le texte de la\n"
      "licence accompagne le programme (fichier LICENSE).\n";
  return text;
}

}  // namespace veskor

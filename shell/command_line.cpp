#include "shell/command_line.h"

#include "base/program_version.h"

namespace veskor {

namespace {
constexpr int kExitUsage = 2;
}

std::string ProgramUsageText() {
  return "Usage : veskor [--help | --version]\n"
         "\n"
         "Cherche un mot dans l'archive web des newsgroups Usenet et réunit les\n"
         "réponses dans un tableau. Le programme se lance sans argument et travaille\n"
         "dans le répertoire courant : la liste des groupes gpeliste.lst, les fichiers\n"
         "des groupes et le logo logo2.bmp y sont lus et écrits. Lancé depuis le menu\n"
         "des applications, veskor-launcher le démarre dans le dossier de données de\n"
         "l'utilisateur.\n"
         "\n"
         "L'adresse de l'archive est celle de la variable d'environnement\n"
         "VESKOR_ARCHIVE, à défaut l'adresse intégrée au programme.\n"
         "\n"
         "  -h, --help     afficher cette aide\n"
         "  --version      afficher la version et la licence\n";
}

StartDecision AnswerCommandLine(const std::vector<std::string>& args, std::FILE* out,
                                std::FILE* err) {
  if (args.empty()) return {true, 0};
  const std::string& option = args.front();
  if (args.size() == 1 && (option == "--help" || option == "-h")) {
    std::fputs(ProgramUsageText().c_str(), out);
    return {false, 0};
  }
  if (args.size() == 1 && option == "--version") {
    std::fputs(VersionText("veskor").c_str(), out);
    return {false, 0};
  }
  // The first word that is not an answerable request on its own.
  const std::string& culprit =
      (option == "--help" || option == "-h" || option == "--version") ? args[1] : option;
  std::fprintf(err, "veskor : option inconnue : %s\n\n%s", culprit.c_str(),
               ProgramUsageText().c_str());
  return {false, kExitUsage};
}

}  // namespace veskor

#include "shell/command_line.h"

#include "base/program_version.h"

namespace veskor {

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFailed = 1;

StartDecision EndWith(int exitCode) {
  StartDecision decision;
  decision.exitCode = exitCode;
  return decision;
}

// Under a file-size limit or on a full disk the answer is cut short; a
// script that reads it must not take it for whole.
StartDecision Answered(const std::string& text, std::FILE* out, std::FILE* err) {
  if (std::fputs(text.c_str(), out) >= 0 && std::fflush(out) == 0) return EndWith(0);
  std::fputs("veskor : écriture impossible sur la sortie standard\n", err);
  return EndWith(kExitFailed);
}

}  // namespace

std::string ProgramUsageText() {
  return "Usage : veskor [--help | --version | --message TEXTE]\n"
         "\n"
         "Cherche un mot dans l'archive web des newsgroups Usenet et réunit les\n"
         "réponses dans un tableau. Le programme se lance sans argument et travaille\n"
         "dans le répertoire courant : la liste des groupes gpeliste.lst, les fichiers\n"
         "des groupes, le logo logo2.bmp et le relevé des réponses déjà vues\n"
         "resultats-vus.lst y sont lus et écrits. Lancé depuis le menu des\n"
         "applications, veskor-launcher le démarre dans le dossier de données de\n"
         "l'utilisateur.\n"
         "\n"
         "L'adresse de l'archive est celle de la variable d'environnement\n"
         "VESKOR_ARCHIVE, à défaut l'adresse intégrée au programme.\n"
         "\n"
         "  -h, --help     afficher cette aide\n"
         "  --version      afficher la version et la licence\n"
         "  --message TEXTE\n"
         "                 montrer TEXTE dans une fenêtre de message, puis finir (le\n"
         "                 lanceur y signale ce qui l'empêche de démarrer Veskor)\n";
}

StartDecision AnswerCommandLine(const std::vector<std::string>& args, std::FILE* out,
                                std::FILE* err) {
  StartDecision decision;
  if (args.empty()) {
    decision.startWindows = true;
    return decision;
  }
  const std::string& option = args.front();
  if (args.size() == 1 && (option == "--help" || option == "-h"))
    return Answered(ProgramUsageText(), out, err);
  if (args.size() == 1 && option == "--version")
    return Answered(VersionText("veskor"), out, err);
  if (args.size() == 2 && option == "--message") {
    decision.showMessage = true;
    decision.message = args[1];
    return decision;
  }
  if (args.size() == 1 && option == "--message") {
    std::fprintf(err, "veskor : l'option --message attend un texte\n\n%s",
                 ProgramUsageText().c_str());
    return EndWith(kExitUsage);
  }
  // The first word that is not an answerable request on its own.
  std::size_t culprit = 0;
  if (option == "--help" || option == "-h" || option == "--version") culprit = 1;
  if (option == "--message") culprit = 2;
  std::fprintf(err, "veskor : option inconnue : %s\n\n%s", args[culprit].c_str(),
               ProgramUsageText().c_str());
  return EndWith(kExitUsage);
}

}  // namespace veskor

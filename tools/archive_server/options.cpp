#include "tools/archive_server/options.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <limits>

namespace veskor::archive {
namespace {

bool ReadInt(const std::string& text, int low, int high, int& value) {
  int parsed = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  if (parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

}  // namespace

OptionsParse ParseOptions(const std::vector<std::string>& args) {
  OptionsParse parse;
  ServerOptions& options = parse.options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool hasValue = false;
    if (const std::size_t eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
      hasValue = true;
    }
    if (name == "--help" || name == "-h") {
      options.help = true;
      continue;
    }
    if (name == "--version") {
      options.version = true;
      continue;
    }
    if (name == "--verbose") {
      options.verbose = true;
      continue;
    }
    static constexpr const char* kValued[] = {"--host", "--port", "--page-size", "--slow-ms",
                                              "--stall-s", "--corpus", "--fault",
                                              "--parent"};
    if (std::find(std::begin(kValued), std::end(kValued), name) == std::end(kValued)) {
      parse.error = "option inconnue : " + name;
      return parse;
    }
    if (!hasValue) {
      if (i + 1 >= args.size()) {
        parse.error = "l'option " + name + " attend une valeur";
        return parse;
      }
      value = args[++i];
    }
    bool ok = true;
    if (name == "--host") {
      options.host = value;
      ok = !value.empty();
    } else if (name == "--port") {
      ok = ReadInt(value, 0, 65535, options.port);
    } else if (name == "--page-size") {
      ok = ReadInt(value, 1, 10000, options.pageSize);
    } else if (name == "--slow-ms") {
      ok = ReadInt(value, 0, 3600 * 1000, options.slowMs);
    } else if (name == "--stall-s") {
      ok = ReadInt(value, 0, 24 * 3600, options.stallSeconds);
    } else if (name == "--corpus") {
      options.corpusPath = value;
      ok = !value.empty();
    } else if (name == "--parent") {
      ok = ReadInt(value, 2, std::numeric_limits<int>::max(), options.parentPid);
    } else if (name == "--fault") {
      options.fault = ParseFault(value);
      ok = options.fault.has_value();
    }
    if (!ok) {
      parse.error = "valeur invalide pour " + name + " : « " + value + " »";
      return parse;
    }
  }
  return parse;
}

std::string UsageText() {
  return "Usage : veskor-archive [options]\n"
         "Serveur d'archives Usenet de démonstration (part2.pl, articles.pl).\n\n"
         "  --host ADRESSE     adresse d'écoute (127.0.0.1)\n"
         "  --port N           port d'écoute, 0 pour un port libre (8642)\n"
         "  --page-size N      résultats par page (20)\n"
         "  --slow-ms N        retard des réponses lentes, en ms (2000)\n"
         "  --stall-s N        durée maximale d'une réponse bloquée, en s (120)\n"
         "  --corpus FICHIER   articles à servir (TSV UTF-8 : newsgroup, ID, JJ/MM/AAAA,\n"
         "                     posteur, sujet) au lieu des articles de démonstration\n"
         "  --fault TYPE[-pN]  toutes les pages de résultats (à partir de la page N)\n"
         "                     se comportent mal : slow stall reset 500 redirect\n"
         "                     redirectloop nul huge nopl notresults\n"
         "  --verbose          une ligne par requête sur la sortie d'erreur\n"
         "  --parent PID       s'arrêter dès que PID, le processus qui l'a lancé, se\n"
         "                     termine, même tué (le lanceur y lie son archive)\n"
         "  --help             cette aide\n"
         "  --version          la version et la licence\n";
}

}  // namespace veskor::archive

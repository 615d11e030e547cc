#include "tools/search_cli/cli_options.h"

#include <algorithm>
#include <string_view>

#include "base/cp1252.h"

namespace veskor::search_cli {
namespace {

// The bytes of the UTF-8 character that starts at `i`, or nothing when no
// well-formed character starts there.
std::optional<std::string_view> CharacterAt(std::string_view utf8, std::size_t i) {
  const auto lead = static_cast<unsigned char>(utf8[i]);
  std::size_t length = 0;
  if (lead < 0x80) length = 1;
  else if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
  if (length == 0 || i + length > utf8.size()) return std::nullopt;
  for (std::size_t k = 1; k < length; ++k)
    if ((static_cast<unsigned char>(utf8[i + k]) & 0xC0) != 0x80) return std::nullopt;
  return utf8.substr(i, length);
}

// The argument in Windows-1252, or why it has no such form. The message quotes
// the first character that Windows-1252 lacks, so that the user sees which.
std::variant<std::string, UsageError> ToWindows1252(const std::string& arg) {
  if (auto bytes = Utf8ToCp1252(arg)) return std::move(*bytes);
  for (std::size_t i = 0; i < arg.size();) {
    const auto character = CharacterAt(arg, i);
    if (!character) break;
    if (!Utf8ToCp1252(*character))
      return UsageError{"le caractère « " + std::string(*character) + " » de « " + arg +
                        " » n'existe pas en Windows-1252, le jeu de caractères de l'archive"};
    i += character->size();
  }
  return UsageError{"un argument n'est pas du texte UTF-8 valide"};
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CliOptions options;
  std::optional<std::string> newsgroup, group, connections;
  std::vector<std::string> words;
  bool optionsEnded = false;

  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      words.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") return HelpRequest{};
    if (arg == "--version") return VersionRequest{};
    if (arg == "--grid") {
      options.allRows = true;
      continue;
    }
    if (arg == "--csv") {
      options.format = RowFormat::Csv;
      continue;
    }
    if (arg == "-q" || arg == "--quiet") {
      options.quiet = true;
      continue;
    }

    // The options that take a value: "--name value" or "--name=value".
    std::optional<std::string> value;
    if (const auto equals = arg.find('='); equals != std::string::npos) {
      value = arg.substr(equals + 1);
      arg.resize(equals);
    }
    std::optional<std::string>* slot = nullptr;
    if (arg == "--archive") slot = &options.archive;
    else if (arg == "--newsgroup") slot = &newsgroup;
    else if (arg == "--group") slot = &group;
    else if (arg == "--connexions") slot = &connections;
    else if (arg == "--nouveaux") slot = &options.seenRecord;
    if (slot == nullptr) return UsageError{"option inconnue : " + args[i]};
    if (!value) {
      if (i + 1 >= args.size()) return UsageError{"l'option " + arg + " demande une valeur"};
      value = args[++i];
    }
    if (*slot) return UsageError{"l'option " + arg + " est donnée deux fois"};
    *slot = std::move(value);
  }

  if (newsgroup && group) return UsageError{"--newsgroup et --group ne vont pas ensemble"};
  if (!newsgroup && !group) return UsageError{"indiquez --newsgroup NOM ou --group NOM"};
  if (options.seenRecord && options.allRows)
    return UsageError{"--grid et --nouveaux ne vont pas ensemble"};
  if (options.seenRecord && options.seenRecord->empty())
    return UsageError{"--nouveaux attend un nom de fichier"};
  if (words.empty()) return UsageError{"le mot à chercher manque"};
  if (words.size() > 1)
    return UsageError{"un seul mot à chercher est attendu (mettez plusieurs mots entre guillemets)"};

  if (connections) {
    const std::string& n = *connections;
    const bool digits = !n.empty() && n.size() <= 2 &&
                        std::all_of(n.begin(), n.end(), [](char c) { return c >= '0' && c <= '9'; });
    const std::size_t count = digits ? std::stoul(n) : 0;
    if (count < 1 || count > kMostConnections)
      return UsageError{"--connexions attend un nombre de 1 à " + std::to_string(kMostConnections) +
                        " : " + n};
    options.connections = count;
  }

  options.groupSearch = group.has_value();
  // Every text goes to the engine in the archive's character set.
  for (auto [from, to] : {std::pair{&words[0], &options.word},
                          std::pair{group ? &*group : &*newsgroup, &options.target}}) {
    auto converted = ToWindows1252(*from);
    if (auto* error = std::get_if<UsageError>(&converted)) return *error;
    *to = std::get<std::string>(std::move(converted));
  }
  if (options.archive) {
    auto converted = ToWindows1252(*options.archive);
    if (auto* error = std::get_if<UsageError>(&converted)) return *error;
    options.archive = std::get<std::string>(std::move(converted));
  }
  return options;
}

std::string UsageText() {
  return R"(Usage : veskor-search [--archive URL] [--grid | --nouveaux FICHIER] [--csv]
                     [-q] [--connexions N] (--newsgroup NOM | --group NOM) MOT

Cherche MOT dans l'archive des newsgroups et écrit les réponses sur la sortie
standard, page par page, à mesure que les pages arrivent. Les espaces de MOT
deviennent le joker « % » de l'archive.

  --newsgroup NOM  recherche rapide dans le newsgroup NOM (son ID est demandé
                   à l'archive)
  --group NOM      recherche dans chaque newsgroup du groupe NOM, d'après le
                   fichier NOM.txt du répertoire courant, écrite dans l'ordre
                   du fichier
  --connexions N   au plus N connexions à l'archive à la fois pendant une
                   recherche (1 à 16, 4 par défaut) : les pages suivantes
                   d'un newsgroup, et les newsgroups suivants d'un groupe,
                   sont demandés d'avance, plusieurs à la fois, et écrits
                   dans l'ordre ; 1 : une page après l'autre
  --archive URL    adresse de l'archive ; à défaut, la variable d'environnement
                   VESKOR_ARCHIVE, puis l'adresse intégrée au programme
  --grid           toutes les lignes du tableau de résultats, y compris la
                   ligne vide qui suit chaque page (écrite comme trois
                   tabulations) ; sinon seules les réponses
  --nouveaux FICHIER
                   seulement les réponses nouvelles : celles que le relevé
                   FICHIER ne connaît pas pour cette recherche ; chaque
                   réponse des pages écrites y est ensuite notée (un arrêt
                   par Ctrl-C ou par une erreur ne note que ces pages).
                   FICHIER est créé au besoin, sert à plusieurs recherches
                   et garde les 100 000 adresses les plus récentes. Le
                   bilan va sur la sortie d'erreur : « 3 nouveaux résultats
                   sur 86 » ; rien de nouveau, rien sur la sortie standard
  --csv            CSV pour un tableur, selon la RFC 4180 (fins de ligne
                   CRLF, sans marque d'ordre des octets), précédé d'une ligne
                   de titres Sujet,Date,Posteur,Newsgroup ; une cellule qui
                   commence par =, +, -, @, une tabulation ou un retour
                   chariot y prend une apostrophe en tête, pour qu'un tableur
                   ne l'exécute pas comme une formule
  -q, --quiet      ne pas écrire les lignes « Connexion à » et les adresses
                   sur la sortie d'erreur, ni le bilan de --nouveaux
  -h, --help       afficher cette aide
  --version        afficher la version et la licence

Sans --csv, chaque ligne donne Sujet, Date, Posteur et Newsgroup séparés par
des tabulations, sans ligne de titres, pour les scripts : les textes y sont
tels que l'archive les donne, sans apostrophe ajoutée ; seule une tabulation
ou une fin de ligne à l'intérieur d'un champ y devient une espace. La sortie
est en UTF-8.

Ctrl-C laisse finir la page en cours puis termine la recherche ; un second
Ctrl-C l'interrompt aussitôt.

Code de sortie :
  0    recherche terminée, ou arrêtée par Ctrl-C ou par un lecteur qui ferme
       la sortie (| head) ; un avertissement nomme les newsgroups du groupe
       sans ID d'archive
  1    erreur (les lignes déjà écrites restent), sortie impossible à écrire,
       mémoire insuffisante, relevé de --nouveaux illisible (laissé tel quel)
       ou impossible à enregistrer, ou rien n'a pu être cherché : newsgroup
       inconnu de l'archive, groupe introuvable, vide ou sans aucun ID
  2    mauvaise utilisation
  130  second Ctrl-C
)";
}

}  // namespace veskor::search_cli

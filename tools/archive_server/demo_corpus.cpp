#include "tools/archive_server/demo_corpus.h"

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/cp1252.h"

namespace veskor::archive {
namespace {

// The texts below are UTF-8 source text; the archive keeps Windows-1252.
std::string Ansi(std::string_view utf8) {
  auto bytes = Utf8ToCp1252(utf8);
  if (!bytes) throw std::logic_error("demo text without a Windows-1252 form");
  return *bytes;
}

// A tiny linear congruential generator: the demo must come out the same on
// every machine and every run, which std::rand and the <random> engines'
// distributions do not promise.
class Lcg {
 public:
  explicit Lcg(std::uint32_t seed) : state_(seed) {}
  int Below(int bound) {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<int>((state_ >> 8) % static_cast<std::uint32_t>(bound));
  }

 private:
  std::uint32_t state_;
};

struct GroupPlan {
  const char* name;
  const char* id;
  int size;
  std::uint32_t seed;
  int filePercent;  // share of binary posts (file names) against discussions
  std::vector<const char*> files;
  std::vector<const char*> threads;
};

// Posters of the generated posts. None holds ".pl": the client stops reading
// a page at such a poster, so those are placed by hand below.
// clang-format off
const std::vector<const char*> kPosters = {
    "Gégé", "lecteur.assidu@laposte.net", "Nico", "Stéphane L.", "astro_fan@club-internet.fr",
    "Bébert du 63", "marc.dupont@wanadoo.fr", "Zébulon", "photographe@orange.fr", "Françoise",
    "jp.martin@wanadoo.fr", "Le Grincheux", "claude.m@libertysurf.fr", "motard38@aol.com",
    "Hélène", "pascal_b@noos.fr", "Yannick", "news@tiscali.fr"};

// Name, ID, number of posts, seed, share of file posts, file names, thread
// subjects; "{n}" takes a small number and "{y}" the post's year.
std::vector<GroupPlan> Plans() {
  return {
      {"fr.rec.photo", "512", 110, 17u, 80,
       {"Église de Vézelay.jpg", "Église de Vézelay {n}.jpg", "Château de Chambord.jpg",
        "Château de Chenonceau au printemps.jpg", "Cathédrale de Chartres - vitraux {n}.jpg",
        "Étretat au crépuscule.jpg", "Falaises d'Étretat {n}.jpg", "Pont du Gard.jpg",
        "Mont Saint-Michel sous la brume.jpg", "Gorges du Verdon {n}.jpg",
        "Forêt de Brocéliande.jpg", "Île de Ré - le phare.jpg",
        "Abbaye de Sénanque et lavandes.jpg", "Calanques de Cassis {n}.jpg",
        "Marché de Noël à Colmar {y}.jpg", "Macro - libellule {n}.jpg"},
       {"Test du Canon EOS 300D", "Nikon D70 ou Canon 10D ?", "Quel objectif pour le paysage ?",
        "Développement N&B : quel révélateur ?", "Concours photo d'été {y}",
        "Scanner pour diapos : vos avis"}},
      {"alt.binaries.fr", "1544", 95, 29u, 100,
       {"Rétrospective été 2004.avi", "Vacances à Biarritz {y}.avi",
        "Mariage de Sophie et Léo - partie {n}.avi", "Fête de la musique {y}.mpg",
        "Noël en Alsace.avi", "Chansons françaises - Brassens {n}.mp3",
        "Concert Téléphone 1982.mp3", "Documentaire - Les Cévennes.avi",
        "Carnaval de Dunkerque {y}.avi", "Compilation années 80 - CD{n}.rar",
        "Émission spéciale Tour de France.avi", "Pâques chez mémé.jpg",
        "Randonnée au Mont Blanc.avi", "Feu d'artifice du 14 juillet.mpg",
        "Cours de cuisine - crêpes bretonnes.avi", "Spectacle de fin d'année {y}.avi"},
       {}},
      {"fr.comp.lang.c++", "1207", 60, 43u, 0,
       {},
       {"Question sur les templates", "Problème de compilation avec g++ 3.{n}",
        "Héritage virtuel et constructeurs", "std::map et itérateurs invalidés",
        "Différence entre struct et class", "Fuite mémoire avec new[]",
        "Surcharge de l'opérateur <<", "Les exceptions & les destructeurs",
        "Que vaut \"sizeof(char)\" ?", "auto_ptr ou boost::shared_ptr ?",
        "Templates et spécialisation partielle", "Conversion implicite d'un const char*",
        "Où déclarer les variables statiques ?", "Portabilité Visual C++ 6 / g++",
        "FAQ fr.comp.lang.c++ - version {y}"}},
      {"fr.rec.moto", "733", 45, 59u, 20,
       {"Rassemblement de Chartres {y}.jpg", "Ma nouvelle CBF 600.jpg"},
       {"Balade dans les Cévennes", "Vends casque Shoei XR-1000", "Pneus pour ER-6 : vos avis",
        "Sortie du dimanche à Montlhéry", "Quelle huile pour mon bicylindre ?",
        "Permis A : l'examen du plateau", "Gants chauffants pour l'hiver",
        "Balade en Bretagne ce week-end ?", "Contrôle technique moto : info ou intox ?",
        "Vol de moto à Lyon"}},
      {"fr.sci.astronomie", "268", 45, 71u, 40,
       {"Éclipse de Lune du 28 octobre 2004.jpg", "Saturne au C8 {n}.jpg",
        "Nébuleuse d'Orion (M42).jpg", "Transit de Vénus 08/06/2004.jpg",
        "Jupiter et ses satellites.jpg", "Voie lactée depuis le Queyras.jpg"},
       {"Comète Machholz", "Quel télescope pour débuter ?",
        "Pollution lumineuse en Île-de-France", "Rencontres astronomiques de printemps",
        "Mars au plus près en août 2003", "Collimation d'un Newton 200/1000",
        "Logiciel de cartes du ciel gratuit", "Étoile filante ou satellite ?"}},
  };
}
// clang-format on

// Every `key` of `text` replaced by `value`, built by appending: GCC 12 takes
// string::replace with a freshly made number for an overlapping copy.
std::string ReplaceAll(std::string_view text, std::string_view key, std::string_view value) {
  std::string out;
  for (std::size_t at; (at = text.find(key)) != std::string_view::npos;
       text.remove_prefix(at + key.size())) {
    out.append(text.substr(0, at)).append(value);
  }
  return out.append(text);
}

std::string FillTemplate(std::string_view text, int number, int year) {
  return ReplaceAll(ReplaceAll(text, "{n}", std::to_string(number)), "{y}",
                    std::to_string(year));
}

Post GeneratedPost(const GroupPlan& plan, Lcg& rng) {
  Post post;
  post.date = PostDate{1 + rng.Below(28), 1 + rng.Below(12), 2002 + rng.Below(7)};
  const bool isFile = plan.threads.empty() || rng.Below(100) < plan.filePercent;
  const auto& pool = isFile ? plan.files : plan.threads;
  // One draw after the other, in this order: as arguments of one call their
  // order would be up to the compiler, and so would the whole corpus.
  const int number = 1 + rng.Below(9);
  const std::string& pattern =
      pool[static_cast<std::size_t>(rng.Below(static_cast<int>(pool.size())))];
  std::string subject = FillTemplate(pattern, number, post.date.year);
  if (!isFile && rng.Below(100) < 55) subject = "Re: " + subject;
  post.subject = Ansi(subject);
  post.poster =
      Ansi(kPosters[static_cast<std::size_t>(rng.Below(static_cast<int>(kPosters.size())))]);
  post.count = isFile ? 1 + rng.Below(40) : 1 + rng.Below(15);
  return post;
}

struct PlacedPost {
  const char* newsgroup;
  const char* date;
  const char* poster;
  const char* subject;
  int count;
};

// Posters whose address holds ".pl", put where tests can count on them.
const std::vector<PlacedPost> kPlacedPosts = {
    {"fr.rec.moto", "14/05/2006", "toto.plouf@free.fr", "Re: Balade dans les Cévennes", 4},
    {"alt.binaries.fr", "03/09/2007", "jan@poczta.onet.pl", "Cracovie - place du marché.jpg", 12},
    {"fr.sci.astronomie", "20/11/2003", "jan@poczta.onet.pl", "Aurore boréale vue de Pologne.jpg",
     3},
};

}  // namespace

Corpus BuildDemoCorpus() {
  Corpus corpus;
  for (const GroupPlan& plan : Plans()) {
    Lcg rng(plan.seed);
    for (int i = 0; i < plan.size; ++i) corpus.Add(plan.name, plan.id, GeneratedPost(plan, rng));
    for (const PlacedPost& placed : kPlacedPosts) {
      if (std::string_view(placed.newsgroup) != plan.name) continue;
      Post post;
      post.date = *PostDate::FromText(placed.date);
      post.poster = Ansi(placed.poster);
      post.subject = Ansi(placed.subject);
      post.count = placed.count;
      corpus.Add(plan.name, plan.id, std::move(post));
    }
  }
  corpus.Finish();
  return corpus;
}

Newsgroup BuildFaultNewsgroup() {
  Newsgroup group{std::string(kFaultNewsgroupName), std::string(kFaultNewsgroupId), {}};
  // Listed newest first, as every newsgroup is; all dated 2005 so that each
  // date ends in "5".
  for (int k = kFaultNewsgroupSize; k >= 1; --k) {
    Post post;
    post.article = k;
    post.date = PostDate{1 + (k - 1) % 25, 1 + (k - 1) / 25, 2005};
    char subject[64];
    std::snprintf(subject, sizeof subject, "Sauvegarde - fichier %02d sur %d.rar", k,
                  kFaultNewsgroupSize);
    post.subject = subject;
    post.poster = "testeur" + std::to_string(1 + k % 3) + "@exemple.fr";
    post.count = 1;
    group.posts.push_back(std::move(post));
  }
  return group;
}

}  // namespace veskor::archive

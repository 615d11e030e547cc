#include "tools/archive_server/corpus.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "base/cp1252.h"

namespace veskor::archive {
namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int month, int year) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && IsLeapYear(year)) return 29;
  return kDays[month - 1];
}

std::optional<int> ReadDigits(std::string_view text) {
  if (text.empty()) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

std::string LineError(int lineNumber, const std::string& what) {
  return "ligne " + std::to_string(lineNumber) + " : " + what;
}

}  // namespace

std::string PostDate::ToText() const {
  char text[16];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d", day, month, year);
  return text;
}

std::optional<PostDate> PostDate::FromText(std::string_view text) {
  if (text.size() != 10 || text[2] != '/' || text[5] != '/') return std::nullopt;
  const auto day = ReadDigits(text.substr(0, 2));
  const auto month = ReadDigits(text.substr(3, 2));
  const auto year = ReadDigits(text.substr(6, 4));
  if (!day || !month || !year || *year < 1970) return std::nullopt;
  if (*month < 1 || *month > 12 || *day < 1 || *day > DaysInMonth(*month, *year)) {
    return std::nullopt;
  }
  return PostDate{*day, *month, *year};
}

const Post* Newsgroup::FindArticle(long long article) const {
  for (const Post& post : posts) {
    if (post.article == article) return &post;
  }
  return nullptr;
}

std::optional<std::string> Corpus::Add(std::string_view name, std::string_view id, Post post) {
  const std::string nameKey(name);
  const std::string idKey(id);
  if (const auto named = byName_.find(nameKey); named != byName_.end()) {
    Newsgroup& group = newsgroups_[named->second];
    if (group.id != id) {
      return "le newsgroup " + Cp1252ToUtf8(name) + " a deux ID : " + Cp1252ToUtf8(group.id) +
             " et " + Cp1252ToUtf8(id);
    }
    group.posts.push_back(std::move(post));
    return std::nullopt;
  }
  if (const auto taken = byId_.find(idKey); taken != byId_.end()) {
    return "l'ID " + Cp1252ToUtf8(id) + " sert déjà au newsgroup " +
           Cp1252ToUtf8(newsgroups_[taken->second].name);
  }
  byName_.emplace(nameKey, newsgroups_.size());
  byId_.emplace(idKey, newsgroups_.size());
  newsgroups_.push_back(Newsgroup{nameKey, idKey, {}});
  newsgroups_.back().posts.push_back(std::move(post));
  return std::nullopt;
}

void Corpus::Finish() {
  for (Newsgroup& group : newsgroups_) {
    // Oldest first to hand out numbers in posting order, then newest first
    // for the results pages.
    std::stable_sort(group.posts.begin(), group.posts.end(),
                     [](const Post& a, const Post& b) { return a.date.Key() < b.date.Key(); });
    long long next = 1001;
    for (Post& post : group.posts) {
      if (post.article == 0) post.article = next;
      next = std::max(next, post.article) + 1;
    }
    std::stable_sort(group.posts.begin(), group.posts.end(), [](const Post& a, const Post& b) {
      if (a.date.Key() != b.date.Key()) return a.date.Key() > b.date.Key();
      return a.article > b.article;
    });
  }
}

const Newsgroup* Corpus::FindById(std::string_view id) const {
  const auto found = byId_.find(std::string(id));
  return found == byId_.end() ? nullptr : &newsgroups_[found->second];
}

const Newsgroup* Corpus::FindByName(std::string_view name) const {
  const auto found = byName_.find(std::string(name));
  return found == byName_.end() ? nullptr : &newsgroups_[found->second];
}

std::size_t Corpus::PostCount() const {
  std::size_t count = 0;
  for (const Newsgroup& group : newsgroups_) count += group.posts.size();
  return count;
}

CorpusLoad ParseCorpusText(std::string_view utf8Text) {
  CorpusLoad load;
  int lineNumber = 0;
  std::size_t start = 0;
  while (start < utf8Text.size()) {
    std::size_t end = utf8Text.find('\n', start);
    if (end == std::string_view::npos) end = utf8Text.size();
    std::string_view line = utf8Text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;

    const std::vector<std::string_view> fields = SplitTabs(line);
    if (fields.size() != 5) {
      load.error = LineError(lineNumber, "5 champs séparés par des tabulations attendus, " +
                                             std::to_string(fields.size()) + " trouvés");
      return load;
    }
    std::string bytes[5];
    for (int i = 0; i < 5; ++i) {
      auto converted = Utf8ToCp1252(fields[i]);
      if (!converted) {
        load.error = LineError(lineNumber, "texte hors UTF-8 ou sans équivalent Windows-1252");
        return load;
      }
      bytes[i] = std::move(*converted);
    }
    if (bytes[0].empty() || bytes[1].empty()) {
      load.error = LineError(lineNumber, "newsgroup ou ID vide");
      return load;
    }
    const auto date = PostDate::FromText(bytes[2]);
    if (!date) {
      load.error = LineError(
          lineNumber, "date invalide « " + std::string(fields[2]) + " » (JJ/MM/AAAA attendu)");
      return load;
    }
    Post post;
    post.date = *date;
    post.poster = std::move(bytes[3]);
    post.subject = std::move(bytes[4]);
    if (auto clash = load.corpus.Add(bytes[0], bytes[1], std::move(post))) {
      load.error = LineError(lineNumber, *clash);
      return load;
    }
  }
  if (load.corpus.Newsgroups().empty()) {
    load.error = "aucun article dans le fichier";
    return load;
  }
  load.corpus.Finish();
  return load;
}

CorpusLoad LoadCorpusFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    CorpusLoad load;
    load.error = "impossible d'ouvrir " + path;
    return load;
  }
  std::ostringstream text;
  text << in.rdbuf();
  CorpusLoad load = ParseCorpusText(text.str());
  if (!load.error.empty()) load.error = path + ", " + load.error;
  return load;
}

}  // namespace veskor::archive

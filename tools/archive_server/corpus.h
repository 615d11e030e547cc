#pragma once
// The posts the archive serves, grouped by newsgroup. Every text in here is a
// Windows-1252 byte string, as the archive stores and serves it.

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace veskor::archive {

struct PostDate {
  int day = 1;
  int month = 1;
  int year = 2000;

  // Sortable as a number: YYYYMMDD.
  int Key() const { return year * 10000 + month * 100 + day; }
  // "DD/MM/YYYY", the form the results pages show.
  std::string ToText() const;
  // Reads "DD/MM/YYYY" with a real calendar day; nothing otherwise.
  static std::optional<PostDate> FromText(std::string_view text);
};

struct Post {
  long long article = 0;  // number in its newsgroup, oldest is lowest
  PostDate date;
  std::string poster;
  std::string subject;
  int count = 1;  // the number a hit shows before its poster
};

struct Newsgroup {
  std::string name;
  std::string id;           // the archive ID, kept as text
  std::vector<Post> posts;  // newest first once the corpus is finished

  const Post* FindArticle(long long article) const;
};

class Corpus {
 public:
  // Adds a post to the newsgroup `name`, creating it with `id` the first
  // time. Returns an error text (French, UTF-8) when the name or the ID
  // clashes with a newsgroup already there.
  std::optional<std::string> Add(std::string_view name, std::string_view id, Post post);

  // Sorts every newsgroup newest first and numbers articles that have no
  // number yet, oldest first. Call once all posts are in.
  void Finish();

  const Newsgroup* FindById(std::string_view id) const;
  const Newsgroup* FindByName(std::string_view name) const;
  const std::vector<Newsgroup>& Newsgroups() const { return newsgroups_; }
  std::size_t PostCount() const;

 private:
  std::vector<Newsgroup> newsgroups_;
  // Positions in newsgroups_: every request looks its gid up, and a corpus
  // file may hold thousands of newsgroups.
  std::unordered_map<std::string, std::size_t> byId_;
  std::unordered_map<std::string, std::size_t> byName_;
};

struct CorpusLoad {
  Corpus corpus;
  std::string error;  // empty when the load succeeded; French, UTF-8
};

// Reads a corpus file: UTF-8 text, one post per line, five fields separated
// by tabs:
//   newsgroup <TAB> archive ID <TAB> DD/MM/YYYY <TAB> poster <TAB> subject
// Empty lines and lines starting with "#" are skipped; a CR before the line
// end is dropped. Every text must have a Windows-1252 form. The first error
// stops the load and names its line.
CorpusLoad LoadCorpusFile(const std::string& path);
CorpusLoad ParseCorpusText(std::string_view utf8Text);

}  // namespace veskor::archive

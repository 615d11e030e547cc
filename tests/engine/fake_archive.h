#pragma once
// Test doubles for the engine's edges: an archive answering from a map of
// pages, and a console that keeps its lines.

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/errors.h"
#include "engine/page_fetcher.h"

namespace veskor::testing {

class FakeArchive : public PageFetcher {
 public:
  std::map<std::string, std::string> pages;
  std::vector<std::string> requested;
  // Runs inside Get, as window events would while a real fetch waits.
  std::function<void(const std::string& url)> duringFetch;

  std::string Get(const std::string& url) override {
    requested.push_back(url);
    if (duringFetch) duringFetch(url);
    const auto it = pages.find(url);
    if (it == pages.end()) throw FetchError("Impossible de joindre " + url + " : introuvable");
    return it->second;
  }
};

class RecordingConsole : public ConsoleSink {
 public:
  std::vector<std::string> lines;
  void AddLine(std::string_view line) override { lines.emplace_back(line); }
};

// One hit in the archive's layout, followed by CR LF.
inline std::string Hit(std::string_view subject, std::string_view date, std::string_view poster,
                       std::string_view link = "q") {
  return "<td><a href=\"" + std::string(link) + "\"><b>&quot;" + std::string(subject) +
         "&quot; yEnc</b></a></td><td nowrap>&nbsp;" + std::string(date) +
         "&nbsp;</td><td><span>(1)&nbsp; " + std::string(poster) + "</span></td>\r\n";
}

}  // namespace veskor::testing

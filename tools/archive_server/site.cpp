#include "tools/archive_server/site.h"

#include <algorithm>
#include <charconv>
#include <climits>

#include "tools/archive_server/demo_corpus.h"
#include "tools/archive_server/pages.h"
#include "tools/archive_server/query.h"

namespace veskor::archive {
namespace {

Reply HtmlReply(int status, std::string body) {
  Reply reply;
  reply.status = status;
  reply.contentType = std::string(kHtmlContentType);
  reply.body = std::move(body);
  return reply;
}

Reply RedirectReply(std::string location) {
  Reply reply = HtmlReply(302, RenderRedirectPage(location));
  reply.location = std::move(location);
  return reply;
}

// Page numbers the client never sends (missing, zero, signs, letters) read
// as page 1; a number too big for us is past any last page.
long long ReadPageNumber(const std::string* text) {
  if (text == nullptr) return 1;
  long long page = 0;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), page);
  if (error == std::errc::result_out_of_range) return LLONG_MAX;
  if (error != std::errc() || end != text->data() + text->size() || page < 1) return 1;
  return page;
}

// The same raw query with the value of its first "gid" field replaced.
std::string WithGid(std::string_view query, std::string_view gid) {
  std::string result;
  bool replaced = false;
  for (bool first = true;; first = false) {
    const std::size_t amp = query.find('&');
    std::string_view field = query.substr(0, amp);
    if (!first) result += '&';
    const std::size_t eq = field.find('=');
    if (!replaced && PercentDecode(field.substr(0, eq)) == "gid") {
      result += std::string(field.substr(0, eq)) + "=" + PercentEncode(gid);
      replaced = true;
    } else {
      result += field;
    }
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  if (!replaced) result += (result.empty() ? "gid=" : "&gid=") + PercentEncode(gid);
  return result;
}

// Where a cut-short reply stops: right after the first hit, or halfway
// through the head of a page without hits.
std::size_t CutPoint(const ResultsPage& page) {
  if (page.hits.empty()) return page.head.size() / 2;
  return page.head.size() + page.hits.front().size();
}

// The last few searches are enough: a client walks one search's pages in a
// row, and a group search walks one newsgroup after another.
constexpr std::size_t kKeptSearches = 16;

std::vector<const Newsgroup*> ServedNewsgroups(const Corpus& corpus, const Newsgroup& fault) {
  std::vector<const Newsgroup*> groups{&fault};
  for (const Newsgroup& group : corpus.Newsgroups()) groups.push_back(&group);
  return groups;
}

}  // namespace

std::uint64_t Reply::DeclaredLength() const {
  return streamedSize != 0 ? streamedSize : body.size();
}

void Reply::AppendBody(std::uint64_t offset, std::size_t length, std::string& out) const {
  const std::uint64_t end = std::min<std::uint64_t>(DeclaredLength(), offset + length);
  while (offset < end) {
    if (offset < body.size()) {
      const auto take =
          static_cast<std::size_t>(std::min<std::uint64_t>(end, body.size()) - offset);
      out.append(body, static_cast<std::size_t>(offset), take);
      offset += take;
      continue;
    }
    const auto inFiller = static_cast<std::size_t>((offset - body.size()) % filler.size());
    const auto take =
        static_cast<std::size_t>(std::min<std::uint64_t>(end - offset, filler.size() - inFiller));
    out.append(filler, inFiller, take);
    offset += take;
  }
}

ArchiveSite::ArchiveSite(Corpus corpus, SiteSettings settings)
    : corpus_(std::move(corpus)),
      faultNewsgroup_(BuildFaultNewsgroup()),
      settings_(std::move(settings)),
      index_(ServedNewsgroups(corpus_, faultNewsgroup_), kKeptSearches) {}

Reply ArchiveSite::Answer(std::string_view target) const {
  const std::size_t mark = target.find('?');
  const std::string path = PercentDecode(target.substr(0, mark));
  const std::string_view query =
      mark == std::string_view::npos ? std::string_view() : target.substr(mark + 1);
  if (path == "/part2.pl") return AnswerLookup(query);
  if (path == "/articles.pl") return AnswerArticles(target, query);
  return HtmlReply(404, RenderNotFoundPage(path));
}

const Newsgroup* ArchiveSite::FindNewsgroup(std::string_view gid) const {
  if (gid == faultNewsgroup_.id || FaultFromGid(gid)) return &faultNewsgroup_;
  return corpus_.FindById(gid);
}

Reply ArchiveSite::AnswerLookup(std::string_view query) const {
  const std::vector<QueryField> fields = ParseQuery(query);
  const std::string* given = FirstValue(fields, "name");
  const std::string name = given != nullptr ? *given : std::string();

  if (const auto fault = LookupFaultFromName(name)) {
    switch (*fault) {
      case LookupFault::kServerError:
        return HtmlReply(500, RenderServerErrorPage());
      case LookupFault::kReset: {
        Reply reply = HtmlReply(200, RenderLookupReply(name, faultNewsgroup_.id));
        reply.ending = Reply::Ending::kClose;
        reply.sentBeforeEnding = reply.body.size() / 2;
        return reply;
      }
      case LookupFault::kEmpty:
        return HtmlReply(200, "");
      case LookupFault::kShort:
        return HtmlReply(200, "x");
      case LookupFault::kNoId:
        return HtmlReply(200, RenderLookupWithoutId());
      case LookupFault::kMinusOne:
        return HtmlReply(200, RenderLookupReply(name, "-1"));
      case LookupFault::kSlow: {
        Reply reply = HtmlReply(200, RenderLookupReply(name, faultNewsgroup_.id));
        reply.delay = settings_.slowDelay;
        return reply;
      }
    }
  }
  std::string id;
  if (IsFaultGidName(name)) {
    id = name;
  } else if (name == faultNewsgroup_.name) {
    id = faultNewsgroup_.id;
  } else if (const Newsgroup* group = corpus_.FindByName(name)) {
    id = group->id;
  }
  return HtmlReply(200, RenderLookupReply(name, id));
}

Reply ArchiveSite::AnswerArticles(std::string_view target, std::string_view query) const {
  const std::vector<QueryField> fields = ParseQuery(query);
  const std::string* gidField = FirstValue(fields, "gid");
  const std::string gid = gidField != nullptr ? *gidField : std::string();
  const Newsgroup* group = FindNewsgroup(gid);

  if (const std::string* art = FirstValue(fields, "art")) {
    long long number = 0;
    std::from_chars(art->data(), art->data() + art->size(), number);
    const Post* post = group != nullptr ? group->FindArticle(number) : nullptr;
    if (post == nullptr) return HtmlReply(404, RenderNotFoundPage("/articles.pl"));
    return HtmlReply(200, RenderArticlePage(gid, *group, *post));
  }

  const std::string* wordField = FirstValue(fields, "search");
  ResultsRequest request;
  request.gid = gid;
  request.word = wordField != nullptr ? *wordField : std::string();
  request.newsgroup = group;
  const long long page = ReadPageNumber(FirstValue(fields, "page"));
  if (group != nullptr) {
    request.slice = index_.Search(*group, request.word, page, settings_.pageSize);
  } else {
    request.slice.page = page;
  }

  std::optional<Fault> fault = FaultFromGid(gid);
  // Under --fault redirect the fault newsgroup is where redirects land, so
  // it must answer normally there.
  if (!fault && settings_.fault &&
      !(settings_.fault->kind == FaultKind::kRedirect && gid == faultNewsgroup_.id)) {
    fault = settings_.fault;
  }
  if (!fault || !fault->AppliesTo(page)) {
    return HtmlReply(200, RenderResultsPage(request).Text());
  }

  switch (fault->kind) {
    case FaultKind::kSlow: {
      Reply reply = HtmlReply(200, RenderResultsPage(request).Text());
      reply.delay = settings_.slowDelay;
      return reply;
    }
    case FaultKind::kStall:
    case FaultKind::kReset: {
      const ResultsPage rendered = RenderResultsPage(request);
      Reply reply = HtmlReply(200, rendered.Text());
      reply.ending =
          fault->kind == FaultKind::kStall ? Reply::Ending::kStall : Reply::Ending::kClose;
      reply.sentBeforeEnding = CutPoint(rendered);
      return reply;
    }
    case FaultKind::kServerError:
      return HtmlReply(500, RenderServerErrorPage());
    case FaultKind::kRedirect:
      return RedirectReply("/articles.pl?" + WithGid(query, faultNewsgroup_.id));
    case FaultKind::kRedirectLoop:
      return RedirectReply(std::string(target));
    case FaultKind::kNul: {
      const ResultsPage rendered = RenderResultsPage(request);
      std::string body = rendered.Text();
      std::size_t at = rendered.head.size();
      if (!rendered.hits.empty()) at += rendered.hits.front().size();
      body.insert(at, 1, '\0');
      return HtmlReply(200, std::move(body));
    }
    case FaultKind::kHuge: {
      const ResultsPage rendered = RenderResultsPage(request);
      Reply reply = HtmlReply(200, rendered.head);
      for (const std::string& hit : rendered.hits) reply.body += hit;
      reply.body += "</table>\r\n";
      reply.filler = HugePageFiller();
      reply.streamedSize = kHugeBodySize;
      return reply;
    }
    case FaultKind::kNoPl:
      request.withLinks = false;
      return HtmlReply(200, RenderResultsPage(request).Text());
    case FaultKind::kNotResults:
      return HtmlReply(200, RenderNotResultsPage());
    case FaultKind::kStray: {
      Reply reply = HtmlReply(200, RenderResultsPage(request).Text());
      // A whole results page of its own, with one hit and no next page.
      static const Post kStrayPost{1, PostDate{1, 1, 2000}, "egare@exemple.fr",
                                   "R\xE9ponse \xE9gar\xE9""e"};
      ResultsRequest stray = request;
      stray.slice = ResultsSlice{{&kStrayPost}, 1, 1, 1};
      const std::string body = RenderResultsPage(stray).Text();
      reply.afterReply = "HTTP/1.1 200 OK\r\nContent-Type: " + std::string(kHtmlContentType) +
                         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
      return reply;
    }
  }
  return HtmlReply(500, RenderServerErrorPage());
}

}  // namespace veskor::archive

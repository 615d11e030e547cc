#include "tools/archive_server/pages.h"

#include <algorithm>

namespace veskor::archive {
namespace {

constexpr std::string_view kCrLf = "\r\n";

// Static French text uses entities, so only the posts' own texts carry
// Windows-1252 bytes.
constexpr std::string_view kFooterText =
    "Archives Usenet r&eacute;serv&eacute;es aux abonn&eacute;s - "
    "les messages restent la propri&eacute;t&eacute; de leurs auteurs";

std::string PageHref(std::string_view gid, std::string_view word, long long page) {
  return "articles.pl?gid=" + PercentEncode(gid) + "&page=" + std::to_string(page) +
         "&search=" + PercentEncode(word) + "&thumb=";
}

// Unquoted href, as the archive writes it: the link text follows "=>" at
// once, which gives the client its ">N<".
std::string PageLink(std::string_view gid, std::string_view word, long long page,
                     std::string_view text) {
  return "<a href=" + PageHref(gid, word, page) + ">" + std::string(text) + "</a>";
}

std::string GroupLabel(const ResultsRequest& request) {
  if (request.newsgroup != nullptr) return HtmlEscape(request.newsgroup->name);
  return "newsgroup inconnu (ID " + HtmlEscape(request.gid) + ")";
}

std::string SearchForm(const ResultsRequest& request) {
  // Field order gives the same query as the client's first page request.
  std::string form = "<form action=\"articles.pl\" method=\"get\">\r\n";
  form += "Rechercher <input type=\"text\" name=\"search\" value=\"" + HtmlEscape(request.word) +
          "\" size=\"30\">\r\n";
  form += "<input type=\"hidden\" name=\"gid\" value=\"" + HtmlEscape(request.gid) + "\">\r\n";
  form += "<input type=\"submit\" name=\"search\" value=\"rechercher\">\r\n";
  form += "<input type=\"hidden\" name=\"thumb\" value=\"\">\r\n</form>\r\n";
  return form;
}

std::string Summary(const ResultsRequest& request) {
  const ResultsSlice& slice = request.slice;
  if (request.newsgroup == nullptr) {
    return "<p class=\"resume\">Aucun newsgroup ne porte l'ID demand&eacute;.</p>\r\n";
  }
  std::string text =
      "<p class=\"resume\">Recherche de &laquo; " + HtmlEscape(request.word) + " &raquo; : ";
  if (slice.total == 0) return text + "aucun article trouv&eacute;.</p>\r\n";
  text += std::to_string(slice.total) + (slice.total == 1 ? " article" : " articles");
  text += ", page " + std::to_string(slice.page) + " sur " + std::to_string(slice.pageCount) +
          ".</p>\r\n";
  return text;
}

// Like a real archive, the bar lists the first and the last page and a few
// around the current one, never all of them: a 500-page search would
// otherwise send 39 KB of links with every page. The next page is always in
// the window, so the client still finds its ">N+1<".
constexpr long long kPagesAroundCurrent = 5;

std::vector<long long> ListedPages(long long page, long long pageCount) {
  std::vector<long long> pages{1};
  const long long from = std::max(2LL, page - kPagesAroundCurrent);
  const long long to = std::min(pageCount - 1, page > pageCount ? pageCount - 1
                                                                : page + kPagesAroundCurrent);
  for (long long n = from; n <= to; ++n) pages.push_back(n);
  if (pageCount > 1) pages.push_back(pageCount);
  return pages;
}

std::string PageBar(const ResultsRequest& request) {
  const ResultsSlice& slice = request.slice;
  if (slice.pageCount == 0) return {};
  std::string bar = "<p class=\"pages\">Pages :";
  if (slice.page > 1 && slice.page <= slice.pageCount + 1) {
    bar += " " +
           PageLink(request.gid, request.word, slice.page - 1, "&laquo; Pr&eacute;c&eacute;dente");
  }
  long long shown = 0;
  for (const long long n : ListedPages(slice.page, slice.pageCount)) {
    if (n > shown + 1) bar += " ...";
    bar += " ";
    bar += n == slice.page ? "<b>" + std::to_string(n) + "</b>"
                           : PageLink(request.gid, request.word, n, std::to_string(n));
    shown = n;
  }
  if (slice.page < slice.pageCount) {
    bar += " " + PageLink(request.gid, request.word, slice.page + 1, "Suivante &raquo;");
  }
  return bar + "</p>\r\n";
}

std::string SimplePage(std::string_view title, std::string_view body) {
  return "<html>\r\n<head>\r\n<title>" + std::string(title) + "</title>\r\n</head>\r\n<body>\r\n" +
         std::string(body) + "</body>\r\n</html>\r\n";
}

}  // namespace

std::string HtmlEscape(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string ResultsPage::Text() const {
  std::string text = head;
  for (const std::string& hit : hits) text += hit;
  return text + tail;
}

std::string HitLine(std::string_view gid, const Post& post) {
  std::string line = "<tr><td><a href=\"articles.pl?gid=" + PercentEncode(gid) +
                     "&art=" + std::to_string(post.article) + "\"><b>&quot;" +
                     HtmlEscape(post.subject) + "&quot; yEnc</b></a></td>";
  line += "<td nowrap>&nbsp;" + post.date.ToText() + "&nbsp;</td>";
  line += "<td><span>(" + std::to_string(post.count) + ")&nbsp; " + HtmlEscape(post.poster) +
          "</span></td>";
  line += kCrLf;
  return line;
}

ResultsPage RenderResultsPage(const ResultsRequest& request) {
  ResultsPage page;
  const std::string label = GroupLabel(request);
  page.head =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n"
      "<html>\r\n<head>\r\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\r\n"
      "<title>Archives Usenet - " +
      label +
      "</title>\r\n"
      "<style type=\"text/css\">body { font-family: Verdana, Arial, sans-serif; }"
      " .pages a { margin: 0 3px; } td { padding: 1px 6px; }</style>\r\n"
      "</head>\r\n<body>\r\n"
      "<h1>Archives Usenet</h1>\r\n"
      "<h2>Newsgroup " +
      label + "</h2>\r\n" + SearchForm(request) + Summary(request) +
      "<table class=\"resultats\" border=\"0\" cellspacing=\"0\">\r\n"
      "<tr><th>Sujet</th><th>Date</th><th>Posteur</th></tr>\r\n";
  for (const Post* post : request.slice.hits) page.hits.push_back(HitLine(request.gid, *post));

  page.tail = "</table>\r\n";
  if (request.withLinks) {
    page.tail += PageBar(request);
    page.tail += "<hr>\r\n<p class=\"pied\"><a href=\"articles.pl\">Nouvelle recherche</a> - " +
                 std::string(kFooterText) + "</p>\r\n";
  } else {
    page.tail += "<hr>\r\n<p class=\"pied\">" + std::string(kFooterText) + "</p>\r\n";
  }
  page.tail += "</body>\r\n</html>\r\n";
  return page;
}

std::string RenderArticlePage(std::string_view gid, const Newsgroup& group, const Post& post) {
  const std::string subject = HtmlEscape(post.subject);
  const std::string poster = HtmlEscape(post.poster);
  std::string body = "<h1>" + HtmlEscape(group.name) + "</h1>\r\n<table>\r\n";
  body += "<tr><th>Sujet</th><td>" + subject + "</td></tr>\r\n";
  body += "<tr><th>De</th><td>" + poster + "</td></tr>\r\n";
  body += "<tr><th>Date</th><td>" + post.date.ToText() + "</td></tr>\r\n</table>\r\n";
  body += "<pre>\r\nBonjour \xE0 tous,\r\n\r\n";
  body += "Voici \xAB " + subject + " \xBB, en " + std::to_string(post.count) +
          (post.count > 1 ? " parties" : " partie") + ".\r\n";
  body +=
      "Bonne journ\xE9"
      "e,\r\n\r\n-- \r\n" +
      poster + "\r\n</pre>\r\n";
  body += "<p><a href=\"articles.pl?gid=" + PercentEncode(gid) +
          "&amp;search=&amp;thumb=\">Retour au newsgroup</a></p>\r\n";
  return SimplePage("Archives Usenet - " + subject, body);
}

std::string RenderLookupReply(std::string_view name, std::string_view id) {
  return "<html>\r\n<head>\r\n<title>Archives Usenet</title>\r\n"
         "<meta http-equiv=\"refresh\" content=\"0; url='articles.pl?ok=" +
         std::string(id) + "'\">\r\n</head>\r\n<body>\r\n<p>Redirection vers le newsgroup " +
         HtmlEscape(name) + "...</p>\r\n</body>\r\n</html>\r\n";
}

std::string RenderLookupWithoutId() {
  return SimplePage("Archives Usenet",
                    "<p>La recherche de newsgroup est momentan&eacute;ment "
                    "indisponible.</p>\r\n");
}

std::string RenderServerErrorPage() {
  return "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 2.0//EN\">\r\n" +
         SimplePage("500 Internal Server Error",
                    "<h1>Internal Server Error</h1>\r\n"
                    "<p>The server encountered an internal error or\r\nmisconfiguration and "
                    "was unable to complete\r\nyour request.</p>\r\n<hr>\r\n"
                    "<address>Apache/2.0.54 (Unix) Server at archives Port 80</address>\r\n");
}

std::string RenderNotFoundPage(std::string_view path) {
  return "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 2.0//EN\">\r\n" +
         SimplePage("404 Not Found", "<h1>Not Found</h1>\r\n<p>The requested URL " +
                                         HtmlEscape(path) +
                                         " was not found on this server.</p>\r\n");
}

std::string RenderRedirectPage(std::string_view location) {
  return SimplePage("302 Found", "<h1>Found</h1>\r\n<p>The document has moved <a href=\"" +
                                     HtmlEscape(location) + "\">here</a>.</p>\r\n");
}

std::string RenderNotResultsPage() {
  return SimplePage("Archives Usenet - maintenance",
                    "<h1>Service indisponible</h1>\r\n"
                    "<p>Les archives sont en cours de maintenance. Merci de "
                    "r&eacute;essayer dans quelques minutes.</p>\r\n"
                    "<p>L'&eacute;quipe technique</p>\r\n");
}

std::string HugePageFiller() {
  return "<p class=\"pub\">Votre publicit&eacute; ici : <a href=\"articles.pl\">"
         "abonnez-vous aux archives</a></p>\r\n";
}

}  // namespace veskor::archive

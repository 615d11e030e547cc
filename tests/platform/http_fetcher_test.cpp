// QtPageFetcher against an in-process server on the loopback interface.

#include <QCoreApplication>
#include <QTcpServer>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <mutex>
#include <set>

#include "engine/errors.h"
#include "platform/http_fetcher.h"
#include "tests/platform/loopback_server.h"

using veskor::FetchError;
using veskor::FetchLimits;
using veskor::QtPageFetcher;
using namespace std::chrono_literals;

namespace {

constexpr std::int64_t kBodyLimit = 64 * 1024;

FetchLimits TestLimits() {
  FetchLimits limits;
  limits.stallTimeout = 1s;
  limits.maxBodyBytes = kBodyLimit;
  return limits;
}

std::string AllBytesTwice() {
  std::string bytes;
  for (int round = 0; round < 2; ++round)
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  return bytes;
}

// The message of the FetchError that `fetch` throws, or a note that it threw none.
template <typename Fetch>
QByteArray FailureOf(Fetch&& fetch) {
  try {
    fetch();
  } catch (const FetchError& e) {
    return QByteArray(e.what());
  }
  return "(no FetchError)";
}

}  // namespace

class HttpFetcherTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase() { server_.Stop(); }

  void returnsTheBody_data();
  void returnsTheBody();
  void sendsTheAddressByteForByte_data();
  void sendsTheAddressByteForByte();
  void makesOneRequestPerGetWithoutCookies();
  void failsWithMessageNamingTheAddress_data();
  void failsWithMessageNamingTheAddress();
  void reportsARefusedConnection();
  void keepsDispatchingEventsWhileWaiting();
  void abortMakesThePendingGetFail();
  void quitDuringAFetchAbortsIt();

 private:
  veskor::test::LoopbackServer server_;
  std::atomic<int> counted_{0};
  std::atomic<int> cookiesReceived_{0};
  std::atomic<std::size_t> endlessSent_{0};
  std::mutex mutex_;
  std::string lastTarget_;
  std::set<int> clientPorts_;
};

void HttpFetcherTest::initTestCase() {
  auto& r = server_.Routes();
  r.Get("/bytes", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(AllBytesTwice(), "application/octet-stream");
  });
  r.Get("/count", [this](const httplib::Request& req, httplib::Response& res) {
    ++counted_;
    if (req.has_header("Cookie")) ++cookiesReceived_;
    {
      std::lock_guard lock(mutex_);
      clientPorts_.insert(req.remote_port);
    }
    res.set_header("Set-Cookie", "session=42; Path=/");
    res.set_content("compte", "text/html");
  });
  r.Get(R"(/echo.*)", [this](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(mutex_);
    lastTarget_ = req.target;
    res.set_content("vu", "text/plain");
  });
  r.Get(R"(/status/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
    res.status = std::stoi(req.matches[1]);
    res.set_content("erreur", "text/html");
  });
  r.Get("/truncated", [](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(1000, "text/html", [](std::size_t, std::size_t, httplib::DataSink& sink) {
      sink.write("debut", 5);
      return false;  // closes the connection with 995 bytes still owed
    });
  });
  r.Get(R"(/redirect/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
    const int left = std::stoi(req.matches[1]);
    if (left == 0)
      res.set_content("arriv\xE9", "text/html");
    else
      res.set_redirect("/redirect/" + std::to_string(left - 1));
  });
  r.Get("/loop", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/loop"); });
  r.Get(R"(/size/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content(std::string(std::stoul(req.matches[1]), 'x'), "text/html");
  });
  r.Get("/endless", [this](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("text/html", [this](std::size_t offset, httplib::DataSink& sink) {
      static const std::string chunk(16 * 1024, 'y');
      endlessSent_ = offset;
      // Bounded so that a fetcher that never stops cannot hang the server.
      if (offset >= (std::size_t{256} << 20)) {
        sink.done();
        return true;
      }
      return sink.write(chunk.data(), chunk.size());
    });
  });
  r.Get("/stall", [this](const httplib::Request&, httplib::Response& res) {
    server_.HoldUntilReleased(3s);
    res.set_content("trop tard", "text/html");
  });
  r.Get("/slow", [](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(300ms);
    res.set_content("lent", "text/html");
  });
  server_.Start();
}

void HttpFetcherTest::returnsTheBody_data() {
  QTest::addColumn<QString>("target");
  QTest::addColumn<QByteArray>("body");
  const std::string bytes = AllBytesTwice();
  QTest::newRow("every byte value, zero included") << "/bytes" << QByteArray(bytes.data(), bytes.size());
  QTest::newRow("after one redirect") << "/redirect/1" << QByteArray("arriv\xE9");
  QTest::newRow("after five redirects") << "/redirect/5" << QByteArray("arriv\xE9");
  QTest::newRow("exactly at the size limit") << "/size/65536" << QByteArray(kBodyLimit, 'x');
  QTest::newRow("empty body") << "/size/0" << QByteArray();
}

void HttpFetcherTest::returnsTheBody() {
  QFETCH(QString, target);
  QFETCH(QByteArray, body);
  QtPageFetcher fetcher(TestLimits());
  const std::string got = fetcher.Get(server_.Url(target.toStdString()));
  QCOMPARE(QByteArray(got.data(), got.size()), body);
}

void HttpFetcherTest::sendsTheAddressByteForByte_data() {
  QTest::addColumn<QString>("target");
  QTest::newRow("results page") << "/echo?search=%25x%25&gid=12&search=rechercher&thumb=";
  QTest::newRow("high byte") << "/echo?name=caf%E9";
  QTest::newRow("plus signs") << "/echo?name=fr.comp.lang.c%2B%2B";
  QTest::newRow("encoded delimiters") << "/echo?name=a%26b%3Dc%3F%23";
  QTest::newRow("encoded per-cent escape") << "/echo?search=%2525";
  QTest::newRow("encoded space and slash") << "/echo?name=a%20b%2Fc";
}

void HttpFetcherTest::sendsTheAddressByteForByte() {
  QFETCH(QString, target);
  QtPageFetcher fetcher(TestLimits());
  fetcher.Get(server_.Url(target.toStdString()));
  std::lock_guard lock(mutex_);
  QCOMPARE(QString::fromStdString(lastTarget_), target);
}

void HttpFetcherTest::makesOneRequestPerGetWithoutCookies() {
  counted_ = 0;
  cookiesReceived_ = 0;
  clientPorts_.clear();
  QtPageFetcher fetcher(TestLimits());
  const std::string url = server_.Url("/count");
  QCOMPARE(fetcher.Get(url), std::string("compte"));
  QCOMPARE(fetcher.Get(url), std::string("compte"));
  QCOMPARE(counted_.load(), 2);
  QCOMPARE(cookiesReceived_.load(), 0);
  // Both went over the one kept-alive connection.
  QCOMPARE(clientPorts_.size(), std::size_t{1});
}

void HttpFetcherTest::failsWithMessageNamingTheAddress_data() {
  QTest::addColumn<QString>("target");
  QTest::addColumn<QByteArray>("reason");
  QTest::newRow("404") << "/status/404" << QByteArray("erreur HTTP 404");
  QTest::newRow("500") << "/status/500" << QByteArray("erreur HTTP 500");
  QTest::newRow("body cut short under 200")
      << "/truncated" << QByteArray("connexion ferm\xE9""e avant la fin de la r\xE9ponse");
  QTest::newRow("six redirects") << "/redirect/6" << QByteArray("trop de redirections (plus de 5)");
  QTest::newRow("redirect loop") << "/loop" << QByteArray("trop de redirections (plus de 5)");
  QTest::newRow("announced length over the limit")
      << "/size/65537" << QByteArray("r\xE9ponse de plus de 64 Kio");
  QTest::newRow("chunked body without end") << "/endless" << QByteArray("r\xE9ponse de plus de 64 Kio");
  QTest::newRow("no progress") << "/stall" << QByteArray("rien re\xE7u pendant 1 s");
  // A group file's ID line can make an address of any length: the message
  // names only its start.
  QTest::newRow("very long address")
      << "/status/404?gid=" + QString(5000, QLatin1Char('9')) << QByteArray("erreur HTTP 404");
}

void HttpFetcherTest::failsWithMessageNamingTheAddress() {
  QFETCH(QString, target);
  QFETCH(QByteArray, reason);
  QtPageFetcher fetcher(TestLimits());
  const std::string url = server_.Url(target.toStdString());
  const QByteArray message = FailureOf([&] { fetcher.Get(url); });
  const std::string named = url.size() <= 200 ? url : url.substr(0, 200) + "\x85";
  QCOMPARE(message, QByteArray("Impossible de joindre ") + named.c_str() + " : " + reason);
  // An endless body is given up soon after the limit, not read to the server's
  // own end at 256 MiB (Qt's network thread reads a few MiB ahead of us).
  if (target == "/endless") QVERIFY(endlessSent_ < (std::size_t{64} << 20));
}

void HttpFetcherTest::reportsARefusedConnection() {
  QTcpServer probe;
  QVERIFY(probe.listen(QHostAddress::LocalHost));
  const std::string url = "http://127.0.0.1:" + std::to_string(probe.serverPort()) + "/x";
  probe.close();
  QtPageFetcher fetcher(TestLimits());
  QCOMPARE(FailureOf([&] { fetcher.Get(url); }),
           QByteArray("Impossible de joindre ") + url.c_str() + " : connexion refus\xE9""e");
}

void HttpFetcherTest::keepsDispatchingEventsWhileWaiting() {
  QtPageFetcher fetcher(TestLimits());
  bool fired = false;
  QTimer::singleShot(20ms, [&] { fired = true; });
  QCOMPARE(fetcher.Get(server_.Url("/slow")), std::string("lent"));
  QVERIFY(fired);
}

void HttpFetcherTest::abortMakesThePendingGetFail() {
  QtPageFetcher fetcher(TestLimits());
  QTimer::singleShot(50ms, [&] { fetcher.Abort(); });
  const std::string url = server_.Url("/stall");
  QCOMPARE(FailureOf([&] { fetcher.Get(url); }),
           QByteArray("Impossible de joindre ") + url.c_str() + " : requ\xEAte abandonn\xE9""e");
}

void HttpFetcherTest::quitDuringAFetchAbortsIt() {
  // As in the desktop program: the fetch runs inside a handler of the main
  // loop, and the application is told to quit while it waits.
  QtPageFetcher fetcher(TestLimits());
  const std::string url = server_.Url("/stall");
  QByteArray message;
  QTimer::singleShot(0, [&] {
    QTimer::singleShot(50ms, [] { QCoreApplication::quit(); });
    message = FailureOf([&] { fetcher.Get(url); });
  });
  QCoreApplication::exec();
  QCOMPARE(message, QByteArray("Impossible de joindre ") + url.c_str() +
                        " : requ\xEAte abandonn\xE9""e, le programme se ferme");
}

QTEST_GUILESS_MAIN(HttpFetcherTest)
#include "http_fetcher_test.moc"

// The libcurl page fetcher against an in-process server on the loopback
// interface. Every case runs twice, once for each way of waiting: the nested
// Qt event loop of the windows and the poll() loop of the command line.

#include <QCoreApplication>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>
#include <set>
#include <thread>

#include "engine/errors.h"
#include "network/curl_multi.h"
#include "network/curl_page_fetcher.h"
#include "network/curl_transfer.h"
#include "network/poll_waiter.h"
#include "platform/qt_transfer_waiter.h"
#include "tests/network/loopback_server.h"

using veskor::CurlPageFetcher;
using veskor::FetchError;
using veskor::FetchLimits;
using namespace std::chrono_literals;

namespace {

enum class Waiting { EventLoop, Poll };

std::unique_ptr<CurlPageFetcher> MakeFetcher(Waiting waiting, FetchLimits limits) {
  if (waiting == Waiting::EventLoop) return veskor::MakeQtPageFetcher(limits);
  return std::make_unique<CurlPageFetcher>(std::make_unique<veskor::PollWaiter>(), limits);
}

// Calls `rows` once for each way of waiting with a function that starts a
// row of that waiter, row(name); the "waiting" column comes first.
template <typename Rows>
void ForEachWaiter(Rows rows) {
  for (const Waiting w : {Waiting::EventLoop, Waiting::Poll}) {
    const char* prefix = w == Waiting::EventLoop ? "qt" : "poll";
    rows([w, prefix](const char* name) -> QTestData& {
      return QTest::addRow("%s: %s", prefix, name) << w;
    });
  }
}

// A TCP socket on a free loopback port, bound by the system; `port` gets it.
int BoundLoopbackSocket(int& port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), size);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  port = ntohs(address.sin_port);
  return fd;
}

// A loopback port that nothing listens on: bound by the system, then freed.
int UnusedLoopbackPort() {
  int port = 0;
  close(BoundLoopbackSocket(port));
  return port;
}

// Another protocol's server on a loopback port: it greets each connection
// with its banner once the request is in, then closes it.
class NotHttpServer {
 public:
  NotHttpServer() : listener_(BoundLoopbackSocket(port_)) {
    listen(listener_, 4);
    thread_ = std::thread([this] {
      for (int fd; (fd = accept(listener_, nullptr, nullptr)) >= 0; close(fd)) {
        char request[4096];
        if (recv(fd, request, sizeof request, 0) > 0) send(fd, "SSH-2.0-OpenSSH_9.2\r\n", 21, MSG_NOSIGNAL);
      }
    });
  }
  ~NotHttpServer() {
    shutdown(listener_, SHUT_RDWR);  // ends the accept
    thread_.join();
    close(listener_);
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/x"; }

 private:
  int port_ = 0;
  int listener_;
  std::thread thread_;
};

// For a case that runs once with each waiter and has no other data.
void OneRowPerWaiter() {
  QTest::addColumn<Waiting>("waiting");
  ForEachWaiter([](auto row) { row("once"); });
}

// Runs `action` about `delay` from now while the test's thread is blocked in a
// Get: from the event loop when it waits there, from a thread of its own
// (joined at the end of the scope) when it waits in poll().
class Later {
 public:
  Later(Waiting waiting, std::chrono::milliseconds delay, std::function<void()> action) {
    if (waiting == Waiting::EventLoop) {
      QTimer::singleShot(delay, std::move(action));
    } else {
      thread_ = std::thread([delay, action = std::move(action)] {
        std::this_thread::sleep_for(delay);
        action();
      });
    }
  }
  ~Later() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::thread thread_;
};

constexpr std::int64_t kBodyLimit = 64 * 1024;

FetchLimits TestLimits() {
  FetchLimits limits;
  limits.stallTimeout = 2s;
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

Q_DECLARE_METATYPE(Waiting)

class HttpFetcherTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase() { server_.Stop(); }

  void returnsTheBody_data();
  void returnsTheBody();
  void sendsTheAddressByteForByte_data();
  void sendsTheAddressByteForByte();
  void makesOneRequestPerGetWithoutCookies_data() { OneRowPerWaiter(); }
  void makesOneRequestPerGetWithoutCookies();
  void failsWithMessageNamingTheAddress_data();
  void failsWithMessageNamingTheAddress();
  void pageCutOffAfterAPauseIsAnError_data() { OneRowPerWaiter(); }
  void pageCutOffAfterAPauseIsAnError();
  void refusesAnAddressItCannotFetch_data();
  void refusesAnAddressItCannotFetch();
  void reportsARefusedConnection_data() { OneRowPerWaiter(); }
  void reportsARefusedConnection();
  void loopbackNeverGoesThroughAProxy_data() { OneRowPerWaiter(); }
  void loopbackNeverGoesThroughAProxy();
  void keepsDispatchingEventsWhileWaiting();
  void nestedGetsBothComplete();
  void aStrayReplyIsNeverTheNextPage_data() { OneRowPerWaiter(); }
  void aStrayReplyIsNeverTheNextPage();
  void eventsRunDuringARunOfQuickPages();
  void aSignalDuringThePollIsNotAFailure();
  void abortMakesThePendingGetFail_data() { OneRowPerWaiter(); }
  void abortMakesThePendingGetFail();
  void quitDuringAFetchAbortsIt();
  void transfersInFlightStayWithinTheConnectionLimit_data();
  void transfersInFlightStayWithinTheConnectionLimit();

 private:
  veskor::test::LoopbackServer server_;
  NotHttpServer notHttp_;
  std::atomic<int> counted_{0};
  std::atomic<int> cookiesReceived_{0};
  std::atomic<std::size_t> endlessSent_{0};
  std::atomic<int> slowInFlight_{0};
  std::atomic<int> slowMostInFlight_{0};
  std::atomic<bool> heldReleased_{false};
  std::atomic<bool> heldAnswered_{false};
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
  r.Get("/stall-midway", [this](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(1000, "text/html", [this](std::size_t, std::size_t, httplib::DataSink& sink) {
      // Quick bytes first: a check that averages the speed would wait on.
      for (int i = 0; i < 20; ++i) sink.write(std::string(40, 'd').data(), 40);
      server_.HoldUntilReleased(4s);
      return false;
    });
  });
  r.Get("/endless-headers", [](const httplib::Request&, httplib::Response& res) {
    for (int i = 0; i < 5000; ++i) res.set_header("X-Encore-" + std::to_string(i), "encore");
    res.set_content("fin", "text/html");
  });
  r.Get("/stray-after", [](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(5, "text/html", [](std::size_t, std::size_t, httplib::DataSink& sink) {
      // The last byte comes with a second reply that nobody asked for. The
      // client reads no further than the length announced, so the stray
      // reply is waiting on the connection by the time the page is complete.
      sink.write("page", 4);
      std::this_thread::sleep_for(20ms);
      const std::string rest = "1HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\n\xE9gar\xE9""e";
      return sink.write(rest.data(), rest.size());
    });
  });
  r.Get("/redirect-to", [](const httplib::Request& req, httplib::Response& res) {
    res.set_redirect(req.target.substr(req.target.find('?') + 1));
  });
  r.Get("/held", [this](const httplib::Request&, httplib::Response& res) {
    while (!heldReleased_) std::this_thread::sleep_for(1ms);
    res.set_content("tenu", "text/html");
    heldAnswered_ = true;  // written as soon as this returns
  });
  r.Get("/cutoff", [](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(1000, "text/html", [](std::size_t, std::size_t, httplib::DataSink& sink) {
      sink.write("debut", 5);
      std::this_thread::sleep_for(2s);
      return false;
    });
  });
  r.Get("/slow", [this](const httplib::Request&, httplib::Response& res) {
    const int now = ++slowInFlight_;
    int most = slowMostInFlight_;
    while (now > most && !slowMostInFlight_.compare_exchange_weak(most, now)) {
    }
    std::this_thread::sleep_for(300ms);
    --slowInFlight_;
    res.set_content("lent", "text/html");
  });
  server_.Start();
}

void HttpFetcherTest::returnsTheBody_data() {
  QTest::addColumn<Waiting>("waiting");
  QTest::addColumn<QString>("target");
  QTest::addColumn<QByteArray>("body");
  const std::string bytes = AllBytesTwice();
  ForEachWaiter([&](auto row) {
    row("every byte value, zero included") << "/bytes" << QByteArray(bytes.data(), bytes.size());
    row("after one redirect") << "/redirect/1" << QByteArray("arriv\xE9");
    row("after five redirects") << "/redirect/5" << QByteArray("arriv\xE9");
    row("exactly at the size limit") << "/size/65536" << QByteArray(kBodyLimit, 'x');
    row("empty body") << "/size/0" << QByteArray();
  });
}

void HttpFetcherTest::returnsTheBody() {
  QFETCH(Waiting, waiting);
  QFETCH(QString, target);
  QFETCH(QByteArray, body);
  const auto fetcher = MakeFetcher(waiting, TestLimits());
  const std::string got = fetcher->Get(server_.Url(target.toStdString()));
  QCOMPARE(QByteArray(got.data(), got.size()), body);
}

void HttpFetcherTest::sendsTheAddressByteForByte_data() {
  QTest::addColumn<Waiting>("waiting");
  QTest::addColumn<QString>("target");
  ForEachWaiter([](auto row) {
    row("results page") << "/echo?search=%25x%25&gid=12&search=rechercher&thumb=";
    row("high byte") << "/echo?name=caf%E9";
    row("plus signs") << "/echo?name=fr.comp.lang.c%2B%2B";
    row("encoded delimiters") << "/echo?name=a%26b%3Dc%3F%23";
    row("encoded per-cent escape") << "/echo?search=%2525";
    row("encoded space and slash") << "/echo?name=a%20b%2Fc";
  });
}

void HttpFetcherTest::sendsTheAddressByteForByte() {
  QFETCH(Waiting, waiting);
  QFETCH(QString, target);
  const auto fetcher = MakeFetcher(waiting, TestLimits());
  fetcher->Get(server_.Url(target.toStdString()));
  std::lock_guard lock(mutex_);
  QCOMPARE(QString::fromStdString(lastTarget_), target);
}

void HttpFetcherTest::makesOneRequestPerGetWithoutCookies() {
  QFETCH(Waiting, waiting);
  counted_ = 0;
  cookiesReceived_ = 0;
  {
    std::lock_guard lock(mutex_);
    clientPorts_.clear();
  }
  const auto fetcher = MakeFetcher(waiting, TestLimits());
  const std::string url = server_.Url("/count");
  QCOMPARE(fetcher->Get(url), std::string("compte"));
  QCOMPARE(fetcher->Get(url), std::string("compte"));
  QCOMPARE(counted_.load(), 2);
  QCOMPARE(cookiesReceived_.load(), 0);
  // Both went over the one kept-alive connection.
  std::lock_guard lock(mutex_);
  QCOMPARE(clientPorts_.size(), std::size_t{1});
}

void HttpFetcherTest::failsWithMessageNamingTheAddress_data() {
  QTest::addColumn<Waiting>("waiting");
  QTest::addColumn<QString>("target");
  QTest::addColumn<QByteArray>("reason");
  ForEachWaiter([](auto row) {
    row("404") << "/status/404" << QByteArray("erreur HTTP 404");
    row("500") << "/status/500" << QByteArray("erreur HTTP 500");
    row("body cut short under 200")
        << "/truncated" << QByteArray("connexion ferm\xE9""e avant la fin de la r\xE9ponse");
    row("six redirects") << "/redirect/6" << QByteArray("trop de redirections (plus de 5)");
    row("redirect loop") << "/loop" << QByteArray("trop de redirections (plus de 5)");
    row("announced length over the limit")
        << "/size/65537" << QByteArray("r\xE9ponse de plus de 64 Kio");
    row("chunked body without end") << "/endless" << QByteArray("r\xE9ponse de plus de 64 Kio");
    row("no reply") << "/stall" << QByteArray("rien re\xE7u pendant 2 s");
    row("reply stops after its start")
        << "/stall-midway" << QByteArray("rien re\xE7u pendant 2 s");
    row("302 without a Location")
        << "/status/302" << QByteArray("redirection HTTP 302 sans adresse de destination");
    row("redirect to a local file")
        << "/redirect-to?file:///etc/passwd"
        << QByteArray("redirection refus\xE9""e vers une adresse ni http ni https : file:///etc/passwd");
    row("redirect to ftp")
        << "/redirect-to?ftp://127.0.0.1/x"
        << QByteArray("redirection refus\xE9""e vers une adresse ni http ni https : ftp://127.0.0.1/x");
    row("not HTTP at all") << "not-http" << QByteArray("le serveur ne r\xE9pond pas en HTTP");
    row("headers without end")
        << "/endless-headers" << QByteArray("en-t\xEAtes de r\xE9ponse trop longs (plus de 64 Kio)");
    // A group file's ID line can make an address of any length: the message
    // names only its start.
    row("very long address")
        << "/status/404?gid=" + QString(5000, QLatin1Char('9')) << QByteArray("erreur HTTP 404");
  });
}

void HttpFetcherTest::failsWithMessageNamingTheAddress() {
  QFETCH(Waiting, waiting);
  QFETCH(QString, target);
  QFETCH(QByteArray, reason);
  const auto fetcher = MakeFetcher(waiting, TestLimits());
  const std::string url =
      target == "not-http" ? notHttp_.Url() : server_.Url(target.toStdString());
  const auto start = std::chrono::steady_clock::now();
  const QByteArray message = FailureOf([&] { fetcher->Get(url); });
  const auto took = std::chrono::steady_clock::now() - start;
  const std::string named = url.size() <= 200 ? url : url.substr(0, 200) + "\x85";
  QCOMPARE(message, QByteArray("Impossible de joindre ") + named.c_str() + " : " + reason);
  // An endless body is given up soon after the limit, not read to the
  // server's own end at 256 MiB.
  if (target == "/endless") QVERIFY(endlessSent_ < (std::size_t{64} << 20));
  // Silence ends the fetch when the time that the message names is up,
  // counted from the last byte received.
  if (reason.startsWith("rien re\xE7u")) {
    QVERIFY2(took >= TestLimits().stallTimeout, QByteArray::number(took / 1ms));
    QVERIFY2(took < TestLimits().stallTimeout + 1s, QByteArray::number(took / 1ms));
  }
}

// Part of the announced body, a pause, then the connection closes: a short
// page that must never pass for a whole one.
void HttpFetcherTest::pageCutOffAfterAPauseIsAnError() {
  QFETCH(Waiting, waiting);
  FetchLimits limits = TestLimits();
  limits.stallTimeout = 10s;
  const auto fetcher = MakeFetcher(waiting, limits);
  const std::string url = server_.Url("/cutoff");
  QCOMPARE(FailureOf([&] { fetcher->Get(url); }),
           QByteArray("Impossible de joindre ") + url.c_str() +
               " : connexion ferm\xE9""e avant la fin de la r\xE9ponse");
}

void HttpFetcherTest::refusesAnAddressItCannotFetch_data() {
  QTest::addColumn<Waiting>("waiting");
  QTest::addColumn<QByteArray>("url");
  ForEachWaiter([](auto row) {
    row("local file") << QByteArray("file:///etc/passwd");
    row("ftp") << QByteArray("ftp://127.0.0.1/x");
    row("no scheme") << QByteArray("127.0.0.1/x");
    row("empty") << QByteArray();
  });
}

void HttpFetcherTest::refusesAnAddressItCannotFetch() {
  QFETCH(Waiting, waiting);
  QFETCH(QByteArray, url);
  const auto fetcher = MakeFetcher(waiting, TestLimits());
  const std::string address(url.data(), url.size());
  QCOMPARE(FailureOf([&] { fetcher->Get(address); }),
           QByteArray("Impossible de joindre ") + url + " : adresse invalide");
}

void HttpFetcherTest::reportsARefusedConnection() {
  QFETCH(Waiting, waiting);
  const std::string url = "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/x";
  const auto fetcher = MakeFetcher(waiting, TestLimits());
  QCOMPARE(FailureOf([&] { fetcher->Get(url); }),
           QByteArray("Impossible de joindre ") + url.c_str() + " : connexion refus\xE9""e");
}

void HttpFetcherTest::loopbackNeverGoesThroughAProxy() {
  QFETCH(Waiting, waiting);
  // A proxy that refuses everything, and a user list of direct hosts that
  // does not name the loopback.
  const std::string proxy = "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort());
  setenv("http_proxy", proxy.c_str(), 1);
  setenv("no_proxy", "archive.example", 1);
  const auto fetcher = MakeFetcher(waiting, TestLimits());
  unsetenv("http_proxy");
  unsetenv("no_proxy");
  QCOMPARE(fetcher->Get(server_.Url("/size/3")), std::string("xxx"));
}

void HttpFetcherTest::keepsDispatchingEventsWhileWaiting() {
  const auto fetcher = MakeFetcher(Waiting::EventLoop, TestLimits());
  bool fired = false;
  QTimer::singleShot(20ms, [&] { fired = true; });
  QCOMPARE(fetcher->Get(server_.Url("/slow")), std::string("lent"));
  QVERIFY(fired);
}

// A window event handled during a fetch may fetch in turn. Here the outer
// page comes in while the inner fetch takes its own page without handing
// out window events (within a frame of the last ones): the outer fetch must
// still end as soon as the inner one has, not at the next event.
void HttpFetcherTest::nestedGetsBothComplete() {
  heldReleased_ = false;
  heldAnswered_ = false;
  const auto fetcher = MakeFetcher(Waiting::EventLoop, TestLimits());
  std::string inner;
  QTimer::singleShot(20ms, [&] {
    fetcher->Get(server_.Url("/size/1"));  // the window's events were just handled
    // The outer page comes in while this handler holds the thread.
    heldReleased_ = true;
    while (!heldAnswered_) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(2ms);
    inner = fetcher->Get(server_.Url("/size/2"));
  });
  // Only a hung outer fetch lives to see this.
  bool rescued = false;
  QObject thisTest;
  QTimer::singleShot(1500ms, &thisTest, [&] {
    rescued = true;
    fetcher->Abort();
  });
  QCOMPARE(fetcher->Get(server_.Url("/held")), std::string("tenu"));
  QCOMPARE(inner, std::string("xx"));
  QVERIFY(!rescued);
}

// Bytes after a reply's announced length stay on the kept-alive connection:
// the next request must not read them as its own reply.
void HttpFetcherTest::aStrayReplyIsNeverTheNextPage() {
  QFETCH(Waiting, waiting);
  const auto fetcher = MakeFetcher(waiting, TestLimits());
  QCOMPARE(fetcher->Get(server_.Url("/stray-after")), std::string("page1"));
  QCOMPARE(fetcher->Get(server_.Url("/size/5")), std::string("xxxxx"));
}

// Pages that come faster than frames are taken between two rounds of window
// events, but a run of them never holds the events back for good.
void HttpFetcherTest::eventsRunDuringARunOfQuickPages() {
  const auto fetcher = MakeFetcher(Waiting::EventLoop, TestLimits());
  const std::string url = server_.Url("/size/10");
  fetcher->Get(url);
  bool handled = false;
  QTimer::singleShot(0, [&] { handled = true; });
  int pages = 0;
  while (!handled && pages < 100'000) {
    QCOMPARE(fetcher->Get(url), std::string(10, 'x'));
    ++pages;
  }
  QVERIFY(handled);
}

void HttpFetcherTest::aSignalDuringThePollIsNotAFailure() {
  struct sigaction action {};
  action.sa_handler = [](int) {};
  sigemptyset(&action.sa_mask);
  struct sigaction old {};
  sigaction(SIGUSR1, &action, &old);  // no SA_RESTART: poll() sees EINTR
  const auto fetcher = MakeFetcher(Waiting::Poll, TestLimits());
  const pthread_t self = pthread_self();
  std::string got;
  {
    Later signal(Waiting::Poll, 100ms, [self] { pthread_kill(self, SIGUSR1); });
    got = fetcher->Get(server_.Url("/slow"));
  }
  sigaction(SIGUSR1, &old, nullptr);
  QCOMPARE(got, std::string("lent"));
}

void HttpFetcherTest::abortMakesThePendingGetFail() {
  QFETCH(Waiting, waiting);
  const auto fetcher = MakeFetcher(waiting, TestLimits());
  const std::string url = server_.Url("/stall");
  QByteArray message;
  {
    Later abort(waiting, 50ms, [&] { fetcher->Abort(); });
    message = FailureOf([&] { fetcher->Get(url); });
  }
  QCOMPARE(message, QByteArray("Impossible de joindre ") + url.c_str() + " : requ\xEAte abandonn\xE9""e");
  // Only the Gets waiting at the time: the next one runs.
  QCOMPARE(fetcher->Get(server_.Url("/size/2")), std::string("xx"));
}

void HttpFetcherTest::quitDuringAFetchAbortsIt() {
  // As in the desktop program: the fetch runs inside a handler of the main
  // loop, and the application is told to quit while it waits.
  const auto fetcher = MakeFetcher(Waiting::EventLoop, TestLimits());
  const std::string url = server_.Url("/stall");
  QByteArray message;
  QTimer::singleShot(0, [&] {
    QTimer::singleShot(50ms, [] { QCoreApplication::quit(); });
    message = FailureOf([&] { fetcher->Get(url); });
  });
  QCoreApplication::exec();
  QCOMPARE(message, QByteArray("Impossible de joindre ") + url.c_str() +
                        " : requ\xEAte abandonn\xE9""e, le programme se ferme");
}

void HttpFetcherTest::transfersInFlightStayWithinTheConnectionLimit_data() {
  QTest::addColumn<int>("limit");
  QTest::addColumn<int>("mostInFlight");
  QTest::newRow("one connection: one after the other") << 1 << 1;
  QTest::newRow("three connections: side by side") << 3 << 3;
  QTest::newRow("more than needed") << 8 << 3;
}

void HttpFetcherTest::transfersInFlightStayWithinTheConnectionLimit() {
  QFETCH(int, limit);
  QFETCH(int, mostInFlight);
  slowMostInFlight_ = 0;
  FetchLimits limits = TestLimits();
  limits.stallTimeout = 5s;
  veskor::PollWaiter waiter;
  veskor::CurlMulti multi(waiter, limit, limits.stallTimeout);
  const std::string url = server_.Url("/slow");
  const std::string direct = veskor::DirectHosts();
  std::vector<std::unique_ptr<veskor::CurlTransfer>> transfers;
  for (int i = 0; i < 3; ++i) {
    CURL* easy = curl_easy_init();
    transfers.push_back(std::make_unique<veskor::CurlTransfer>(easy, url, limits, direct));
    veskor::CurlTransfer& t = *transfers.back();
    multi.Add(easy, [&t](CURL*, CURLcode result) { t.End(result); });
  }
  waiter.WaitUntil([&] {
    for (const auto& t : transfers)
      if (!t->Ended()) return false;
    return true;
  });
  for (const auto& t : transfers) {
    QCOMPARE(t->TakeBody(), std::string("lent"));
    curl_easy_cleanup(t->Easy());
  }
  QCOMPARE(slowMostInFlight_.load(), mostInFlight);
}

QTEST_GUILESS_MAIN(HttpFetcherTest)
#include "http_fetcher_test.moc"

// The engine and the fetcher, waiting in Qt's event loop, against the bundled
// archive server: real pages, real HTTP, and every way the server can misbehave.

#include <QCoreApplication>
#include <QTimer>
#include <QtTest>

#include "engine/archive_requests.h"
#include "engine/errors.h"
#include "engine/memory_grid.h"
#include "searches/search_commands.h"
#include "platform/qt_transfer_waiter.h"
#include "tests/engine/fake_archive.h"
#include "tests/support/archive_server_process.h"

using namespace veskor;
using namespace std::chrono_literals;

namespace {

// Rows of the fault newsgroups: 50 posts about "fichier", 20 to a page.
constexpr int kPageHits = 20;
constexpr int kAllHits = 50;

struct Outcome {
  std::size_t hits = 0;
  std::size_t blankRows = 0;
  std::string error;  // empty when the search ended normally
};

Outcome Summarize(const MemoryGrid& table, std::string error) {
  Outcome out;
  out.error = std::move(error);
  // The bottom row is always the empty row to fill next.
  for (std::size_t row = 1; row + 1 < table.RowCount(); ++row) {
    bool blank = true;
    for (int col = 0; col < 4; ++col) blank = blank && table.Cell(col, row).empty();
    ++(blank ? out.blankRows : out.hits);
  }
  return out;
}

}  // namespace

class ArchiveWalkTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<ArchiveServerProcess> server_;

  Outcome QuickSearch(const std::string& newsgroup, const std::string& word,
                      std::function<void()> whileWaiting = {}) {
    FetchLimits limits;
    limits.stallTimeout = 1s;
    const auto fetcher = MakeQtPageFetcher(limits);
    testing::RecordingConsole console;
    MemoryGrid table(4, 2);
    SearchContext ctx{server_->Url(), *fetcher, table, console, {}};
    if (whileWaiting) QTimer::singleShot(100, whileWaiting);
    std::string error;
    try {
      RunQuickSearch(ctx, word, newsgroup);
    } catch (const VeskorError& e) {
      error = e.what();
    }
    return Summarize(table, error);
  }

 private slots:
  void initTestCase() {
    server_ = std::make_unique<ArchiveServerProcess>(
        VESKOR_ARCHIVE_BIN, std::vector<std::string>{"--slow-ms", "600", "--stall-s", "10"});
    QVERIFY2(server_->Started(), server_->Error().c_str());
  }

  void everyPageOfAMultiPageWalk() {
    const Outcome out = QuickSearch("fr.test.fichiers", "fichier");
    QCOMPARE(out.error, std::string());
    QCOMPARE(out.hits, std::size_t(kAllHits));
    QCOMPARE(out.blankRows, std::size_t(3));
  }

  void stopWhileTheFirstPageLoads() {
    const Outcome out = QuickSearch("fault-slow", "fichier", [] { RaiseStopFlag(); });
    QCOMPARE(out.error, std::string());
    QCOMPARE(out.hits, std::size_t(kPageHits));
    QCOMPARE(out.blankRows, std::size_t(1));
  }

  void misbehavingServer_data() {
    QTest::addColumn<QString>("newsgroup");
    QTest::addColumn<int>("hits");
    QTest::addColumn<QString>("errorPart");  // empty: no error

    QTest::newRow("status 500") << "fault-500" << 0 << "500";
    QTest::newRow("status 500 on page 2") << "fault-500-p2" << kPageHits << "500";
    QTest::newRow("reset mid-body") << "fault-reset" << 0 << "articles.pl";
    QTest::newRow("stalled reply") << "fault-stall" << 0 << "articles.pl";
    QTest::newRow("redirect") << "fault-redirect" << kAllHits << "";
    QTest::newRow("redirect loop") << "fault-redirectloop" << 0 << "redirection";
    QTest::newRow("zero byte") << "fault-nul" << 1 << "";
    QTest::newRow("huge body") << "fault-huge" << 0 << "articles.pl";
    QTest::newRow("no .pl after hits") << "fault-nopl" << kPageHits << "";
    QTest::newRow("not a results page") << "fault-notresults" << 0 << "";
    QTest::newRow("lookup status 500") << "fault-lookup-500" << 0 << "part2.pl";
    QTest::newRow("lookup reset") << "fault-lookup-reset" << 0 << "part2.pl";
    QTest::newRow("lookup empty reply") << "fault-lookup-empty" << 0 << "";
    QTest::newRow("lookup without ID") << "fault-lookup-noid" << 0 << "";
  }

  // Each misbehaviour gives either a clear error naming the address or the
  // hits it did deliver; rows written before a failure stay.
  void misbehavingServer() {
    QFETCH(QString, newsgroup);
    QFETCH(int, hits);
    QFETCH(QString, errorPart);
    const Outcome out = QuickSearch(newsgroup.toStdString(), "fichier");
    QCOMPARE(out.hits, std::size_t(hits));
    if (errorPart.isEmpty()) {
      QCOMPARE(out.error, std::string());
    } else {
      QVERIFY2(out.error.find(errorPart.toStdString()) != std::string::npos, out.error.c_str());
    }
  }

  void unreachableArchiveIsAClearError() {
    ArchiveServerProcess gone(VESKOR_ARCHIVE_BIN);
    QVERIFY(gone.Started());
    const std::string url = gone.Url();
    gone.Stop();
    const auto fetcher = MakeQtPageFetcher();
    try {
      fetcher->Get(IdLookupAddress(url, "fr.rec.photo"));
      QFAIL("no error");
    } catch (const FetchError& e) {
      QVERIFY2(std::string(e.what()).find("Impossible de joindre " + url) == 0, e.what());
    }
  }
};

QTEST_GUILESS_MAIN(ArchiveWalkTest)
#include "archive_walk_test.moc"

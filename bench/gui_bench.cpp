// The desktop program's own costs: rows poured into the result table, the
// windows built and shown, and how soon the stop button is handled while a
// search waits for the archive.
//
//   QT_QPA_PLATFORM=offscreen gui_bench
//
// Rows: the per-row time should be the same at 10,000 and at 100,000 rows.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <optional>
#include <string>

#include "engine/string_grid.h"
#include "main_window/main_form.h"
#include "platform/string_grid_widget.h"
#include "shell/console.h"
#include "shell/program_windows.h"
#include "tests/support/archive_server_process.h"

namespace {

// Rows written as the page step writes them: one more row, then its cells.
void BM_AppendRows(benchmark::State& state) {
  const auto rows = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    TStringGrid grid(4, 2);
    grid.resize(801, 409);
    grid.show();
    (void)QTest::qWaitForWindowExposed(&grid);
    state.ResumeTiming();
    for (std::size_t row = 1; row <= rows; ++row) {
      grid.SetRowCount(row + 2);
      grid.SetCell(0, row, "Re: [ANN] fichier de test num\xE9ro 1234 (1/7) - \"essai.zip\" yEnc");
      grid.SetCell(1, row, "14/05/2006");
      grid.SetCell(2, row, "toto.plouf@free.fr");
      grid.SetCell(3, row, "fr.comp.lang.c++");
    }
    QCoreApplication::processEvents();  // the view catches up, as between two pages
    state.PauseTiming();
    veskor::ResetGrid(grid);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(rows));
  state.counters["us_per_row"] = benchmark::Counter(
      static_cast<double>(rows) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
}
BENCHMARK(BM_AppendRows)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

// The next search clearing a long table: every cell blanked, then two rows.
void BM_ResetGrid(benchmark::State& state) {
  const auto rows = static_cast<std::size_t>(state.range(0));
  TStringGrid grid(4, 2);
  grid.resize(801, 409);
  grid.show();
  (void)QTest::qWaitForWindowExposed(&grid);
  for (auto _ : state) {
    state.PauseTiming();
    grid.SetRowCount(rows + 2);
    for (std::size_t row = 1; row <= rows; ++row)
      for (int col = 0; col < 4; ++col) grid.SetCell(col, row, "texte");
    QCoreApplication::processEvents();
    state.ResumeTiming();
    veskor::ResetGrid(grid);
    QCoreApplication::processEvents();
  }
}
BENCHMARK(BM_ResetGrid)->Arg(100'000)->Unit(benchmark::kMillisecond);

class ProgramDirectory {
 public:
  ProgramDirectory() : previous_(QDir::currentPath()) {
    QDir::setCurrent(dir_.path());
    QFile list(QStringLiteral("gpeliste.lst"));
    if (list.open(QIODevice::WriteOnly)) list.write("Informatique\r\nLoisirs\r\n");
  }
  ~ProgramDirectory() { QDir::setCurrent(previous_); }

 private:
  QTemporaryDir dir_;
  QString previous_;
};

// The part of start-up that is the program's own: the four windows built,
// the main window shown and its group list loaded.
void BM_WindowsUp(benchmark::State& state) {
  ProgramDirectory dir;
  for (auto _ : state) {
    CreateProgramWindows();
    Form1->show();
    (void)QTest::qWaitForWindowExposed(Form1);
    state.PauseTiming();
    DestroyProgramWindows();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_WindowsUp)->Unit(benchmark::kMillisecond);

// A click on "Stopper la recherche" while the page waits two seconds: the
// time from the click reaching the program's queue to the flag being raised.
void BM_StopClickWhileFetching(benchmark::State& state) {
  veskor::ArchiveServerProcess server(VESKOR_ARCHIVE_BIN, {"--slow-ms", "2000"});
  if (!server.Started()) {
    state.SkipWithError(server.Error().c_str());
    return;
  }
  ProgramDirectory dir;
  qputenv("VESKOR_ARCHIVE", QByteArray::fromStdString(server.Url()));
  CreateProgramWindows();
  Form1->show();
  (void)QTest::qWaitForWindowExposed(Form1);

  QElapsedTimer clock;
  qint64 clickedAt = 0;
  qint64 handledAt = 0;
  QObject::connect(Form1->Button2, &QPushButton::clicked, [&] { handledAt = clock.nsecsElapsed(); });
  // The closing message box is answered at once.
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [] {
    if (QWidget* box = QApplication::activeModalWidget()) box->close();
  });
  answer.start(5);

  for (auto _ : state) {
    QTimer::singleShot(1000, [&] {
      const QPointF at = Form1->Button2->rect().center();
      clock.start();
      clickedAt = clock.nsecsElapsed();
      QCoreApplication::postEvent(Form1->Button2,
                                  new QMouseEvent(QEvent::MouseButtonPress, at, Form1->Button2->mapToGlobal(at),
                                                  Qt::LeftButton, Qt::LeftButton, {}));
      QCoreApplication::postEvent(Form1->Button2,
                                  new QMouseEvent(QEvent::MouseButtonRelease, at, Form1->Button2->mapToGlobal(at),
                                                  Qt::LeftButton, Qt::NoButton, {}));
    });
    Form1->Edit2->setText(QStringLiteral("fichier"));
    Form1->Edit1->setText(QStringLiteral("fault-slow"));
    Form1->B_seek->click();
    state.SetIterationTime(static_cast<double>(handledAt - clickedAt) / 1e9);
  }
  DestroyProgramWindows();
}
BENCHMARK(BM_StopClickWhileFetching)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// The console's share of a walk: two lines a page, the second the page's
// address, into the hidden console as during a search.
void BM_ConsoleLinesOfAWalk(benchmark::State& state) {
  ProgramDirectory dir;
  CreateProgramWindows();
  const std::string address =
      "http://127.0.0.1:8642/articles.pl?gid=902&page=123&search=fichier&thumb=";
  for (auto _ : state) {
    for (int page = 0; page < 500; ++page) {
      ConsoleAddLine("Connexion \xE0 ");
      ConsoleAddLine(address);
    }
    QCoreApplication::processEvents();
  }
  DestroyProgramWindows();
}
BENCHMARK(BM_ConsoleLinesOfAWalk)->Unit(benchmark::kMillisecond);

// The quick search of bench/cli_vs_curl.sh into the window: 500 pages from
// the static server named by VESKOR_ARCHIVE, rows into the result table and
// addresses into the console, from the click to "Recherche terminée".
void BM_QuickSearchIntoWindow(benchmark::State& state) {
  if (qEnvironmentVariableIsEmpty("VESKOR_ARCHIVE")) {
    state.SkipWithError("VESKOR_ARCHIVE must name a server with newsgroup bench.p500");
    return;
  }
  ProgramDirectory dir;
  CreateProgramWindows();
  Form1->show();
  (void)QTest::qWaitForWindowExposed(Form1);
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [] {
    if (QWidget* box = QApplication::activeModalWidget()) box->close();
  });
  answer.start(5);
  QElapsedTimer clock;
  for (auto _ : state) {
    Form1->Edit2->setText(QStringLiteral("fichier"));
    Form1->Edit1->setText(QStringLiteral("bench.p500"));
    clock.start();
    Form1->B_seek->click();
    state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
  }
  DestroyProgramWindows();
}
BENCHMARK(BM_QuickSearchIntoWindow)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("Veskor"));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

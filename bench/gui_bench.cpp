// The desktop program's own costs: rows poured into the result table, sorted
// and filtered, the windows built and shown, how soon the stop button is
// handled while a search waits for the archive, what the progress line and
// the console add to a long search.
//
//   QT_QPA_PLATFORM=offscreen gui_bench
//
// Rows: the per-row time should be the same at 10,000 and at 100,000 rows.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>

#include "engine/string_grid.h"
#include "groups/seen_record.h"
#include "main_window/main_form.h"
#include "main_window/search_progress.h"
#include "platform/qt_text.h"
#include "platform/string_grid_widget.h"
#include "shell/console.h"
#include "shell/program_windows.h"
#include "tests/support/archive_server_process.h"

namespace {

// Rows written as the page step writes them: one more row, then its cells.
// Second argument 1: the table is the main window's, sortable and filtered
// (neither in use), its rows shown a page of 20 at a time; 2: the same,
// sorted by subject meanwhile, where each row is sorted in as it comes.
void BM_AppendRows(benchmark::State& state) {
  const auto rows = static_cast<std::size_t>(state.range(0));
  const bool window = state.range(1) != 0;
  for (auto _ : state) {
    state.PauseTiming();
    TStringGrid grid(4, 2);
    if (window) {
      grid.EnableSortAndFilter(1);
      grid.CollectAddedRows();
    }
    if (state.range(1) == 2) grid.horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    grid.resize(801, 409);
    grid.show();
    (void)QTest::qWaitForWindowExposed(&grid);
    state.ResumeTiming();
    for (std::size_t row = 1; row <= rows; ++row) {
      grid.SetRowCount(row + 2);
      grid.SetCell(0, row, "Re: [ANN] fichier de test num\xE9ro " + std::to_string(row * 7919 % 100'003) +
                               " (1/7) - \"essai.zip\" yEnc");
      grid.SetCell(1, row, "14/05/2006");
      grid.SetCell(2, row, "toto.plouf@free.fr");
      grid.SetCell(3, row, "fr.comp.lang.c++");
      if (window && row % 20 == 0) grid.ShowAddedRows();
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
BENCHMARK(BM_AppendRows)
    ->Args({10'000, 0})
    ->Args({100'000, 0})
    ->Args({10'000, 1})
    ->Args({100'000, 1})
    ->Args({10'000, 2})
    ->Args({40'000, 2})
    ->Unit(benchmark::kMillisecond);

// A sortable table of `rows` hits as searches write them: a blank row after
// every 20, subjects, dates and posters that vary.
void FillHits(TStringGrid& grid, std::size_t rows) {
  grid.SetRowCount(rows + 2);
  for (std::size_t row = 1; row <= rows; ++row) {
    if (row % 21 == 0) continue;
    const std::size_t n = row * 7919 % 100'003;
    grid.SetCell(0, row, "Re: \xE9glise num\xE9ro " + std::to_string(n) + " - fichier \"essai.zip\" yEnc");
    grid.SetCell(1, row, std::to_string(10 + n % 18) + "/0" + std::to_string(1 + n % 9) + "/" +
                             std::to_string(2002 + n % 7));
    grid.SetCell(2, row, (n % 2 ? std::string("\xC9mile") : std::string("alain")) + std::to_string(n % 977) + "@free.fr");
    grid.SetCell(3, row, "fr.rec.photo");
  }
}

// A click on a column title over 100,000 rows, until the view has caught up.
// Column 0: French order of subjects; column 1: dates.
void BM_SortRows(benchmark::State& state) {
  TStringGrid grid(4, 2);
  grid.EnableSortAndFilter(1);
  FillHits(grid, 100'000);
  grid.resize(801, 409);
  grid.show();
  (void)QTest::qWaitForWindowExposed(&grid);
  const int col = static_cast<int>(state.range(0));
  for (auto _ : state) {
    grid.horizontalHeader()->setSortIndicator(col, Qt::AscendingOrder);
    QCoreApplication::processEvents();
    state.PauseTiming();
    grid.ClearSort();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SortRows)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One keystroke in the find bar over 100,000 rows: the rows narrowed and
// shown. Argument 1: the table is sorted by subject meanwhile.
void BM_FilterRows(benchmark::State& state) {
  TStringGrid grid(4, 2);
  grid.EnableSortAndFilter(1);
  FillHits(grid, 100'000);
  grid.resize(801, 409);
  grid.show();
  if (state.range(0) != 0) grid.horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
  (void)QTest::qWaitForWindowExposed(&grid);
  for (auto _ : state) {
    grid.SetFilterText(QStringLiteral("EGLISE NUMERO 12"));
    QCoreApplication::processEvents();
    state.PauseTiming();
    grid.SetFilterText(QString());
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FilterRows)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

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

// Closes each message box of the program as soon as it shows, and says when
// one did.
class MessageAnswerer final : public QObject {
 public:
  std::function<void()> shown;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* box = event->type() == QEvent::Show ? qobject_cast<QMessageBox*>(watched) : nullptr;
    if (box != nullptr) {
      if (shown) shown();
      QTimer::singleShot(0, box, &QWidget::close);
    }
    return false;
  }
};

// The program's windows, the main window shown, every message box answered
// at once (the searches end on one), for as long as the object lives.
class ShownProgram {
 public:
  ShownProgram() {
    CreateProgramWindows();
    Form1->show();
    (void)QTest::qWaitForWindowExposed(Form1);
    qApp->installEventFilter(&answerer_);
    // Any other modal window.
    QObject::connect(&answer_, &QTimer::timeout, [] {
      if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    answer_.start(5);
  }
  ~ShownProgram() {
    qApp->removeEventFilter(&answerer_);
    DestroyProgramWindows();
  }

  // Called when a message box of the program shows.
  void OnMessage(std::function<void()> shown) { answerer_.shown = std::move(shown); }
  ShownProgram(const ShownProgram&) = delete;
  ShownProgram& operator=(const ShownProgram&) = delete;

  // Runs the quick search of `word` in `newsgroup` to its end.
  static void QuickSearch(const QString& word, const QString& newsgroup) {
    Form1->Edit2->setText(word);
    Form1->Edit1->setText(newsgroup);
    Form1->B_seek->click();
  }

 private:
  MessageAnswerer answerer_;
  QTimer answer_;
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
  const ShownProgram program;

  QElapsedTimer clock;
  qint64 clickedAt = 0;
  qint64 handledAt = 0;
  QObject::connect(Form1->Button2, &QPushButton::clicked, [&] { handledAt = clock.nsecsElapsed(); });

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
    ShownProgram::QuickSearch(QStringLiteral("fichier"), QStringLiteral("fault-slow"));
    state.SetIterationTime(static_cast<double>(handledAt - clickedAt) / 1e9);
  }
}
BENCHMARK(BM_StopClickWhileFetching)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// The progress line's share of a long search: what the window does after each
// of 500 pages of 20 hits (count the page's rows, set the line, let it be
// painted), to be set against BM_Search500Pages below.
void BM_ProgressLine500Pages(benchmark::State& state) {
  TStringGrid grid(4, 2);
  QLabel line;
  line.resize(409, 48);
  line.show();
  (void)QTest::qWaitForWindowExposed(&line);
  for (auto _ : state) {
    state.PauseTiming();
    veskor::ResetGrid(grid);
    veskor::SearchProgress progress(false);
    state.ResumeTiming();
    for (int page = 0; page < 500; ++page) {
      state.PauseTiming();
      const std::size_t first = grid.RowCount() - 1;
      grid.SetRowCount(first + 22);
      for (std::size_t row = first; row < first + 20; ++row)
        for (int col = 0; col < 4; ++col) grid.SetCell(col, row, "fichier");
      state.ResumeTiming();
      progress.PageDone(grid);
      line.setText(veskor::FromAnsi(progress.RunningText()));
      QCoreApplication::processEvents();
    }
  }
}
BENCHMARK(BM_ProgressLine500Pages)->Unit(benchmark::kMillisecond);

// A quick search of 500 pages (10,000 hits) through the main window against
// the local archive, closing message answered at once.
void BM_Search500Pages(benchmark::State& state) {
  QTemporaryDir corpusDir;
  const QString corpus = corpusDir.filePath(QStringLiteral("corpus.txt"));
  {
    QFile file(corpus);
    if (!file.open(QIODevice::WriteOnly)) {
      state.SkipWithError("cannot write the corpus");
      return;
    }
    for (int i = 0; i < 10'000; ++i)
      file.write(QStringLiteral("fr.bench\t777\t%1/0%2/2005\tposteur%3@free.fr\tfichier num\u00E9ro %3\n")
                     .arg(10 + i % 18)
                     .arg(1 + i % 9)
                     .arg(i)
                     .toUtf8());
  }
  veskor::ArchiveServerProcess server(VESKOR_ARCHIVE_BIN, {"--corpus", corpus.toStdString()});
  if (!server.Started()) {
    state.SkipWithError(server.Error().c_str());
    return;
  }
  ProgramDirectory dir;
  qputenv("VESKOR_ARCHIVE", QByteArray::fromStdString(server.Url()));
  const ShownProgram program;
  for (auto _ : state) ShownProgram::QuickSearch(QStringLiteral("fichier"), QStringLiteral("fr.bench"));
  state.counters["rows"] = static_cast<double>(Form1->SG_resultats->RowCount());
}
BENCHMARK(BM_Search500Pages)->Iterations(3)->Unit(benchmark::kMillisecond);

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
// addresses into the console, from the click to "Recherche terminée" shown.
void BM_QuickSearchIntoWindow(benchmark::State& state) {
  if (qEnvironmentVariableIsEmpty("VESKOR_ARCHIVE")) {
    state.SkipWithError("VESKOR_ARCHIVE must name a server with newsgroup bench.p500");
    return;
  }
  ProgramDirectory dir;
  ShownProgram program;
  // VESKOR_BENCH_FULL_RECORD: a later run of the search, against a full
  // record of the hits seen (its own 10,000, and 90,000 of another search).
  if (qEnvironmentVariableIsSet("VESKOR_BENCH_FULL_RECORD")) {
    ShownProgram::QuickSearch(QStringLiteral("fichier"), QStringLiteral("bench.p500"));
    veskor::SeenRecord other(veskor::kSeenRecordFile,
                             veskor::SearchKey::Quick("autre", "fr.autre"));
    other.Load();
    for (int i = 0; i < 90'000; ++i) other.Add("articles.pl?gid=1&art=" + std::to_string(i));
    other.Save();
  }
  QElapsedTimer clock;
  qint64 ended = 0;
  program.OnMessage([&] { ended = clock.nsecsElapsed(); });
  for (auto _ : state) {
    clock.start();
    ShownProgram::QuickSearch(QStringLiteral("fichier"), QStringLiteral("bench.p500"));
    state.SetIterationTime(static_cast<double>(ended) / 1e9);
  }
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

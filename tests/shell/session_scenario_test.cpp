// One random session of the whole program, as a user could lead it: quick
// and group searches against the bundled archive (a large newsgroup, slow,
// failing, stalling and stray-reply ones), stops, Escape, clicks on the
// column titles, the find bar, exports, the group editor, and a second Veskor
// on the same folder. After every action the session checks what must always
// hold:
//  - the rows shown are the table's rows, all of them when nothing filters;
//  - a search over, its rows are those of the same search run alone, cut
//    where it was stopped;
//  - an export holds the rows shown;
//  - the group list on disk holds every group created and not deleted, by
//    either program, and the record of the hits seen stays usable;
//  - no temporary file is left, and a close ends the program at once.
//
// VESKOR_SCENARIO_SEED replays a session, VESKOR_SCENARIO_SECONDS sets its
// length (30 s by default); every failure names the seed.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/archive_requests.h"
#include "engine/memory_grid.h"
#include "groups/u_gid.h"
#include "main_window/find_bar.h"
#include "main_window/main_form.h"
#include "main_window/results_menu.h"
#include "network/curl_page_fetcher.h"
#include "network/poll_waiter.h"
#include "platform/qt_text.h"
#include "platform/string_grid_widget.h"
#include "searches/search_commands.h"
#include "tests/engine/fake_archive.h"
#include "tests/main_window/gui_test_support.h"
#include "tests/support/archive_server_process.h"

using namespace veskor::testing;

namespace {

using Rows = std::vector<std::string>;

// Each data row as its cells and its article link.
template <typename Grid>
Rows RowsOf(const Grid& grid) {
  Rows rows;
  for (std::size_t row = 1; row < grid.RowCount(); ++row) {
    std::string line;
    for (int col = 0; col < grid.ColCount(); ++col) line += grid.Cell(col, row) + '|';
    rows.push_back(line + grid.RowLink(row));
  }
  return rows;
}

bool BlankLine(const std::string& row) { return row.find_first_not_of('|') == std::string::npos; }

// A search run alone: its rows, and those of each of its newsgroups' walks.
struct AloneRun {
  Rows rows;
  std::vector<Rows> walks;
};

// Whether `shown` is what a stop makes of the walks that a search shows one
// after the other (a quick search's one newsgroup, a group's newsgroups), as
// each walks alone: of each walk, its first pages (a stop ends the walk under
// way; the later newsgroups of a group still show their first page), the
// last one maybe without its blank row.
bool CutShort(Rows shown, const std::vector<Rows>& walks) {
  // The row that the next page would have started on stays blank.
  while (!shown.empty() && BlankLine(shown.back())) shown.pop_back();
  std::size_t at = 0;
  for (const Rows& walk : walks) {
    std::size_t taken = 0;
    while (at + taken < shown.size() && taken < walk.size() && shown[at + taken] == walk[taken])
      ++taken;
    const bool wholePages = taken == 0 || BlankLine(walk[taken - 1]);
    const bool lastPage =
        at + taken == shown.size() && taken < walk.size() && BlankLine(walk[taken]);
    if (!wholePages && !lastPage) return false;
    at += taken;
  }
  return at == shown.size();
}

// Three newsgroups of a corpus drawn from `rng`: subjects of a few words,
// some of them starting as spreadsheet formulas, with accents and both
// apostrophes; one newsgroup large enough for long searches.
QByteArray Corpus(std::mt19937_64& rng) {
  static const char* const kWords[] = {
      "photo", "balade", "Été", "l’été", "L'été",    "=SOMME(A1)", "+33",   "-moins",
      "@home", "café",   "Ça",  "naïf",  "vacances", "zéro",       "Œuvre", "moto"};
  static const std::pair<const char*, int> kNewsgroups[] = {
      {"fr.test.vaste", 1200}, {"fr.test.moyen", 150}, {"fr.test.petit", 9}};
  QByteArray tsv;
  int id = 700;
  for (const auto& [name, posts] : kNewsgroups) {
    ++id;
    for (int post = 0; post < posts; ++post) {
      QStringList subject;
      for (int word = 1 + static_cast<int>(rng() % 5); word > 0; --word)
        subject << QString::fromUtf8(kWords[rng() % std::size(kWords)]);
      tsv += QStringLiteral("%1\t%2\t%3/%4/20%5\tp%6@exemple.fr\t%7\n")
                 .arg(name)
                 .arg(id)
                 .arg(1 + rng() % 28, 2, 10, QLatin1Char('0'))
                 .arg(1 + rng() % 12, 2, 10, QLatin1Char('0'))
                 .arg(rng() % 10, 2, 10, QLatin1Char('0'))
                 .arg(rng() % 40)
                 .arg(subject.join(' '))
                 .toUtf8();
    }
  }
  return tsv;
}

const QStringList kNewsgroups = {"fr.test.vaste",  "fr.test.moyen",  "fr.test.petit",
                                 "fr.inconnu",     "fault-slow",     "fault-500-p2",
                                 "fault-stall-p2", "fault-reset-p3", "fault-stray"};
const QStringList kWords = {"photo", "été", "e", "vacances", "fichier", "xyzzy"};
const QStringList kFindTexts = {"", "photo", "ETE", "l'été", "l’ete", "=", "Ωμ", "fichier 0", "p1"};
// The groups searched, which the session never deletes.
const QStringList kSearchedGroups = {"Mixte", "Panne"};

}  // namespace

class SessionScenarioTest : public ProgramTestCase {
  Q_OBJECT

 private:
  std::optional<veskor::ArchiveServerProcess> server_;
  std::mt19937_64 rng_;
  quint64 seed_ = 0;
  QElapsedTimer clock_;
  qint64 length_ = 30'000;
  QStringList failures_;
  int actions_ = 0;

  bool finishing_ = false;
  QElapsedTimer closing_;
  bool inAction_ = false;   // an action waits for the window system
  bool searching_ = false;  // a search started by the session runs
  bool stopped_ = false;    // and was stopped
  int searches_ = 0;
  std::map<std::string, AloneRun> alone_;
  QTemporaryDir exports_;
  // Groups that must be listed; those this program created and lists once
  // its editor is left.
  QSet<QString> expected_{kSearchedGroups.begin(), kSearchedGroups.end()};
  QSet<QString> pending_;
  int created_ = 0;
  std::optional<QProcess> second_;
  QString secondCreates_;

  std::size_t Pick(std::size_t n) { return static_cast<std::size_t>(rng_() % n); }
  template <typename T>
  const T& PickOf(const QList<T>& list) {
    return list[static_cast<qsizetype>(Pick(list.size()))];
  }

  void Fail(const QString& what) {
    failures_ << QStringLiteral("seed %1, action %2: %3").arg(seed_).arg(actions_).arg(what);
  }

  veskor::FindBar* Bar() const { return Form1->findChild<veskor::FindBar*>(); }

  // The same search through a fetcher of its own, one page after the other:
  // its rows, and those of each newsgroup's walk alone.
  const AloneRun& Alone(bool group, const QString& word, const QString& target) {
    const std::string key = (group ? "G:" : "Q:") + word.toStdString() + ':' + target.toStdString();
    if (auto it = alone_.find(key); it != alone_.end()) return it->second;
    veskor::CurlPageFetcher pages(std::make_unique<veskor::PollWaiter>());
    RecordingConsole console;
    // An error ends a search with the rows written so far, as in the window.
    auto rowsOf = [&](const std::function<void(veskor::SearchContext&)>& search) {
      veskor::MemoryGrid table{4, 2};
      veskor::SearchContext ctx{server_->Url(), pages, table, console, {}};
      try {
        search(ctx);
      } catch (const std::exception&) {
      }
      return RowsOf(table);
    };
    const std::string bytes = veskor::ToAnsi(word), name = veskor::ToAnsi(target);
    AloneRun& run = alone_[key];
    if (!group) {
      run.rows = rowsOf([&](auto& ctx) { veskor::RunQuickSearch(ctx, bytes, name); });
      run.walks = {run.rows};
      return run;
    }
    run.rows = rowsOf([&](auto& ctx) { veskor::RunGroupSearch(ctx, bytes, name); });
    veskor::SearchPlan plan;
    rowsOf([&](auto& ctx) { plan = veskor::StartGroupSearch(ctx, bytes, name); });
    for (const veskor::GroupEntry& entry : plan.entries)
      run.walks.push_back(rowsOf([&](auto& ctx) {
        veskor::ScrapeResultsPage(
            ctx, veskor::FirstPageAddress(ctx.server, plan.pattern, entry.archiveId), 1, 1,
            plan.pattern, entry.archiveId, entry.newsgroup);
      }));
    return run;
  }

  void Search(bool group) {
    QPushButton* start = group ? Form1->B_vesko : Form1->B_seek;
    if (!start->isEnabled()) return;
    const QString word = PickOf(kWords);
    Form1->Edit2->setText(word);
    QString target;
    if (group) {
      Form1->ComboBox2->setCurrentIndex(Form1->ComboBox2->findText(PickOf(kSearchedGroups)));
      target = Form1->ComboBox2->currentText();
    } else {
      target = PickOf(kNewsgroups);
      Form1->Edit1->setText(target);
    }
    const int search = ++searches_;
    searching_ = true;
    stopped_ = false;
    // Other actions go on while it runs. A click of the test library runs
    // the event loop between press and release, so that a search could
    // start in between: the button's own click has no such gap.
    inAction_ = false;
    start->click();
    inAction_ = true;
    searching_ = false;
    // Once its guard is let go, its closing message is up: another search
    // may start then, in the same round of events as the answer, and fill the
    // table before this click returns.
    if (target.isEmpty() || search != searches_) return;

    const Rows shown = RowsOf(*Form1->SG_resultats);
    const AloneRun& alone = Alone(group, word, target);
    const bool cut = stopped_ || finishing_;
    if (cut ? !CutShort(shown, alone.walks) : shown != alone.rows)
      Fail(QStringLiteral("%1 search of \"%2\" in %3%4: %5 rows, %6 alone")
               .arg(group ? "group" : "quick", word, target, cut ? ", stopped" : "")
               .arg(shown.size())
               .arg(alone.rows.size()));
  }

  void Stop(bool byEscape) {
    if (searching_) stopped_ = true;
    if (!byEscape) return Click(Form1->Button2);
    if (QApplication::activeWindow() == Form1) QTest::keyClick(Form1->Edit2, Qt::Key_Escape);
  }

  void ClickTitle() {
    QHeaderView* titles = Form1->SG_resultats->horizontalHeader();
    const int col = static_cast<int>(Pick(4));
    QTest::mouseClick(titles->viewport(), Qt::LeftButton, {},
                      QPoint(titles->sectionViewportPosition(col) + 5, titles->height() / 2));
  }

  void Find() {
    veskor::FindBar* bar = Bar();
    switch (Pick(4)) {
      case 0:
        return bar->Open();
      case 1:
        return bar->Close();
      case 2:
        if (bar->isVisible()) bar->Text()->setText(PickOf(kFindTexts));
        return;
      default:
        if (bar->NewOnly()->isVisible()) Click(bar->NewOnly());
    }
  }

  void Export() {
    auto* menu = Form1->findChild<veskor::ResultsMenu*>();
    static const char* const kTypes[] = {".csv", ".tsv", ".txt"};
    const QString path =
        exports_.filePath(QStringLiteral("export%1%2").arg(actions_).arg(kTypes[Pick(3)]));
    menu->chooseExportFile = [&](QString&) { return path; };
    std::vector<std::size_t> rows = Form1->SG_resultats->SelectedRows();
    if (rows.size() < 2) rows = Form1->SG_resultats->ShownRows();
    const auto written = std::count_if(rows.begin(), rows.end(), [](std::size_t row) {
      return !Form1->SG_resultats->BlankRow(row);
    });
    menu->exportRows->trigger();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return Fail("no export written at " + path);
    const auto lines = file.readAll().count('\n');
    if (lines != written + 1)
      Fail(QStringLiteral("export of %1 rows has %2 lines").arg(written).arg(lines));
  }

  void Editor() {
    TF_edition* ed = F_edition;
    const bool active = QApplication::activeWindow() == ed;
    switch (Pick(4)) {
      case 0:
        Form1->B_config->click();
        ShowAndActivate(ed);
        return;
      case 1:
        if (!active) return;
        ed->editCreaGpe->setText(QStringLiteral("A%1").arg(++created_));
        Click(ed->B_creer);
        pending_ << ed->editCreaGpe->text();
        return;
      case 2: {
        QStringList created;
        for (int i = 0; i < ed->ComboBox1->count(); ++i)
          if (!kSearchedGroups.contains(ed->ComboBox1->itemText(i)))
            created << ed->ComboBox1->itemText(i);
        if (!active || created.isEmpty()) return;
        const QString name = PickOf(created);
        ed->ComboBox1->setCurrentIndex(ed->ComboBox1->findText(name));
        Click(ed->B_suppr);
        expected_.remove(name);
        pending_.remove(name);
        return;
      }
      default:
        if (!active) return;
        // Leaving it writes its changes into the list.
        if (ShowAndActivate(Form1)) expected_ += std::exchange(pending_, {});
    }
  }

  // Another Veskor creates a group, deletes one that is listed, or runs a
  // quick search that writes the record of the hits seen.
  void SecondInstance() {
    if (second_) return;
    QStringList args{QDir::currentPath(), QString::fromStdString(server_->Url())};
    QStringList deletable(expected_.begin(), expected_.end());
    for (const QString& name : kSearchedGroups) deletable.removeAll(name);
    secondCreates_.clear();
    switch (Pick(3)) {
      case 0:
        args << "search" << PickOf(kNewsgroups.mid(0, 3)) << PickOf(kWords);
        break;
      case 1:
        if (!deletable.isEmpty()) {
          args << "delete" << PickOf(deletable);
          expected_.remove(args.last());
          break;
        }
        [[fallthrough]];
      default:
        secondCreates_ = QStringLiteral("B%1").arg(++created_);
        args << "create" << secondCreates_;
    }
    second_.emplace();
    second_->setProcessChannelMode(QProcess::ForwardedChannels);
    second_->start(QStringLiteral(VESKOR_SECOND_INSTANCE_BIN), args);
  }

  // The second program's group counts once that program has ended.
  void ReapSecondInstance(bool wait) {
    if (!second_ || (!wait && second_->state() != QProcess::NotRunning)) return;
    if (second_->state() != QProcess::NotRunning) second_->waitForFinished(60'000);
    if (second_->state() != QProcess::NotRunning || second_->exitStatus() != QProcess::NormalExit ||
        second_->exitCode() != 0)
      Fail(QStringLiteral("the second program ended badly (%1)").arg(second_->exitCode()));
    if (!secondCreates_.isEmpty()) expected_ << secondCreates_;
    second_.reset();
  }

  void CheckShownRows() {
    TStringGrid* grid = Form1->SG_resultats;
    std::vector<std::size_t> shown = grid->ShownRows();
    std::sort(shown.begin(), shown.end());
    const bool distinct = std::adjacent_find(shown.begin(), shown.end()) == shown.end();
    const bool inside = shown.empty() || (shown.front() >= 1 && shown.back() < grid->RowCount());
    veskor::FindBar* bar = Bar();
    const bool filtering =
        bar->isVisible() && (!bar->Text()->text().isEmpty() ||
                             (bar->NewOnly()->isVisible() && bar->NewOnly()->isChecked()));
    if (!distinct || !inside || (!filtering && shown.size() != grid->RowCount() - 1))
      Fail(QStringLiteral("%1 rows shown of a table of %2")
               .arg(shown.size())
               .arg(grid->RowCount() - 1));
  }

  void CheckDisk() {
    const QStringList listed = QString::fromLatin1(ReadFile("gpeliste.lst")).split("\r\n");
    for (const QString& name : expected_)
      if (!listed.contains(name)) Fail("group " + name + " is not listed: " + listed.join(','));
    if (!second_) CheckNoTemporaryFile();
    // Two programs at once never make the record of the hits seen unusable.
    for (const QString& text : messages_->Texts())
      if (text.contains(QStringLiteral("relev\u00E9"))) return Fail(text);
  }

  void CheckNoTemporaryFile() {
    for (const QString& dir : {QDir::currentPath(), exports_.path()})
      for (const QString& name : QDir(dir).entryList(QDir::Files | QDir::Hidden))
        if (name.endsWith(".tmp") || name.endsWith(".part")) Fail("temporary file left: " + name);
  }

  void Act() {
    ++actions_;
    const std::size_t dice = Pick(100);
    if (dice < 16) return Search(false);
    if (dice < 24) return Search(true);
    if (dice < 32) return Stop(false);
    if (dice < 36) return Stop(true);
    if (dice < 46) return ClickTitle();
    if (dice < 62) return Find();
    if (dice < 66) return Export();
    if (dice < 90) return Editor();
    if (dice < 94) return SecondInstance();
    Form1->Button1->click();
  }

  // One step of the session, and the next one scheduled first, so that it
  // comes while this one waits for a search.
  void Step() {
    if (finishing_) return;
    if (clock_.elapsed() >= length_ || !failures_.isEmpty()) return Finish();
    QTimer::singleShot(static_cast<int>(Pick(120)), this, &SessionScenarioTest::Step);
    if (inAction_ || QApplication::activeModalWidget()) return;
    inAction_ = true;
    Act();
    ReapSecondInstance(false);
    if (!finishing_) {
      CheckShownRows();
      CheckDisk();
    }
    inAction_ = false;
  }

  void Finish() {
    finishing_ = true;
    closing_.start();
    Form1->close();
  }

 private slots:
  void initTestCase() {
    seed_ = qEnvironmentVariableIsSet("VESKOR_SCENARIO_SEED")
                ? qEnvironmentVariable("VESKOR_SCENARIO_SEED").toULongLong()
                : std::random_device{}();
    if (qEnvironmentVariableIsSet("VESKOR_SCENARIO_SECONDS"))
      length_ = qEnvironmentVariableIntValue("VESKOR_SCENARIO_SECONDS") * 1000LL;
    qInfo("session seed %llu (VESKOR_SCENARIO_SEED replays it)", seed_);
    rng_.seed(seed_);
    QVERIFY(exports_.isValid());
    QFile corpus(exports_.filePath("corpus.tsv"));
    QVERIFY(corpus.open(QIODevice::WriteOnly) && corpus.write(Corpus(rng_)) > 0);
    corpus.close();
    server_.emplace(
        VESKOR_ARCHIVE_BIN,
        std::vector<std::string>{"--corpus", corpus.fileName().toStdString(), "--page-size", "10",
                                 "--slow-ms", "100", "--stall-s", "3"});
    QVERIFY2(server_->Started(), server_->Error().c_str());
    corpus.remove();
  }

  void randomSession() {
    Start({{"gpeliste.lst", CrLfLines(kSearchedGroups)},
           {"Mixte.txt", CrLfLines({"fr.test.moyen", "702", "fault-slow", "fault-slow",
                                    "fr.test.petit", "703", "fault-stray", "fault-stray"})},
           {"Panne.txt", CrLfLines({"fr.test.petit", "703", "fault-500-p2", "fault-500-p2",
                                    "fr.test.vaste", "701", "fault-stall-p2", "fault-stall-p2"})},
           {"logo2.bmp", ShippedLogo()}},
          server_->Url());
    messages_->answer = QMessageBox::Yes;
    clock_.start();
    After(0, [this] { Step(); });
    After(static_cast<int>(length_) + 120'000, [] { QCoreApplication::exit(1); });
    const int code = QApplication::exec();
    const qint64 closing = closing_.elapsed();
    QVERIFY2(failures_.isEmpty(), qPrintable(failures_.join('\n')));
    QVERIFY2(code == 0 && closing < 5000,
             qPrintable(QStringLiteral("seed %1: ended with %2, %3 ms after the close")
                            .arg(seed_)
                            .arg(code)
                            .arg(closing)));
    ReapSecondInstance(true);
    // The editor wrote its changes as the program ended.
    expected_ += pending_;
    CheckDisk();
    QVERIFY2(failures_.isEmpty(), qPrintable(failures_.join('\n')));
    qInfo("seed %llu: %d actions, %d searches, %d groups created, %lld messages answered", seed_,
          actions_, searches_, created_, static_cast<long long>(messages_->Texts().size()));
  }
};

// QtTest ends a test function after 5 minutes unless told otherwise: a long
// session gets its own length and a margin.
void AllowTheSessionLength() {
  if (qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT")) return;
  const qint64 seconds = qEnvironmentVariableIntValue("VESKOR_SCENARIO_SECONDS") + 300;
  qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number(seconds * 1000));
}

QTEST_MAIN_WRAPPER(SessionScenarioTest, AllowTheSessionLength(); QTEST_MAIN_SETUP())
#include "session_scenario_test.moc"

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

// The rows cut into pages: each page's hits, then its blank row.
std::vector<Rows> Pages(const Rows& rows) {
  std::vector<Rows> pages(1);
  for (const std::string& row : rows) {
    pages.back().push_back(row);
    if (BlankLine(row)) pages.emplace_back();
  }
  if (pages.back().empty()) pages.pop_back();
  return pages;
}

// The newsgroup of a page's hits, from its first row's fourth cell.
std::string NewsgroupOf(const Rows& page) {
  const QStringList cells = QString::fromStdString(page.front()).split('|');
  return cells.size() > 3 ? cells[3].toStdString() : std::string();
}

// Whether `shown` is what a stop makes of `alone`: in the same order, the
// first pages of each newsgroup's walk (a stop ends the walk under way, and
// the later newsgroups of a group still show their first page), the last
// page without its blank row.
bool CutShort(Rows shown, const Rows& alone, bool group) {
  // The row that the next page would have started on stays blank.
  while (!shown.empty() && BlankLine(shown.back())) shown.pop_back();
  const std::vector<Rows> cut = Pages(shown), whole = Pages(alone);
  std::map<std::string, std::vector<std::size_t>> walks;  // newsgroup -> its pages
  for (std::size_t page = 0; page < whole.size(); ++page)
    walks[NewsgroupOf(whole[page])].push_back(page);
  std::map<std::string, std::size_t> shownOf;
  std::size_t next = 0;
  for (std::size_t i = 0; i < cut.size(); ++i) {
    const bool last = i + 1 == cut.size();
    auto same = [&](const Rows& page) {
      return cut[i] == page || (last && cut[i].size() + 1 == page.size() &&
                                std::equal(cut[i].begin(), cut[i].end(), page.begin()));
    };
    while (next < whole.size() && !same(whole[next]) && group) ++next;
    if (next == whole.size() || !same(whole[next])) return false;
    const std::vector<std::size_t>& walk = walks[NewsgroupOf(whole[next])];
    std::size_t& taken = shownOf[NewsgroupOf(whole[next])];
    if (taken >= walk.size() || walk[taken] != next) return false;
    ++taken;
    ++next;
  }
  return true;
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
  std::map<std::string, Rows> alone_;
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

  // The same search through a fetcher of its own, one page after the other.
  const Rows& Alone(bool group, const QString& word, const QString& target) {
    const std::string key = (group ? "G:" : "Q:") + word.toStdString() + ':' + target.toStdString();
    if (auto it = alone_.find(key); it != alone_.end()) return it->second;
    veskor::CurlPageFetcher pages(std::make_unique<veskor::PollWaiter>());
    veskor::MemoryGrid table{4, 2};
    RecordingConsole console;
    veskor::SearchContext ctx{server_->Url(), pages, table, console, {}};
    const std::string bytes = veskor::ToAnsi(word), name = veskor::ToAnsi(target);
    try {
      if (group)
        veskor::RunGroupSearch(ctx, bytes, name);
      else
        veskor::RunQuickSearch(ctx, bytes, name);
    } catch (const std::exception&) {
      // An error ends it with the rows written so far, as in the window.
    }
    return alone_[key] = RowsOf(table);
  }

  void Search(bool group) {
    QPushButton* start = group ? Form1->B_vesko : Form1->B_seek;
    if (!start->isEnabled()) return;
    const QString word = PickOf(kWords);
    Form1->Edit2->setText(word);
    QString target;
    if (group) {
      Form1->ComboBox2->setCurrentIndex(Form1->ComboBox2->findText(Pick(2) ? "Mixte" : "Panne"));
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
    const Rows& alone = Alone(group, word, target);
    const bool cut = stopped_ || finishing_;
    if (cut ? !CutShort(shown, alone, group) : shown != alone)
      Fail(QStringLiteral("%1 search of \"%2\" in %3%4: %5 rows, %6 alone")
               .arg(group ? "group" : "quick", word, target, cut ? ", stopped" : "")
               .arg(shown.size())
               .arg(alone.size()));
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

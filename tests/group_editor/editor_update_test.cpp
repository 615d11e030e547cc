// "Mettre à jour" against the bundled archive server.

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <random>

#include "engine/archive_requests.h"
#include "engine/memory_grid.h"
#include "groups/id_update.h"
#include "groups/u_gid.h"
#include "platform/fetch_guard.h"
#include "main_window/main_form.h"
#include "platform/string_grid_widget.h"
#include "tests/group_editor/editor_harness.h"
#include "tests/searches/fake_concurrent_fetcher.h"
#include "tests/support/archive_server_process.h"

using namespace veskor::testing;

namespace {

const QString kDone = QStringLiteral("Mise à jour effectuée");

// Every command that could move rows, and the update itself.
QList<bool> EditingButtonsEnabled(const TF_edition* ed) {
  QList<bool> states;
  for (const QPushButton* b :
       {ed->B_ajouter, ed->B_retirer, ed->B_edit, ed->B_cancel, ed->B_save, ed->B_update})
    states << b->isEnabled();
  return states;
}

const QList<bool> kAllEnabled(6, true);
const QList<bool> kAllDisabled(6, false);

constexpr char kServer[] = "http://archive.test";
constexpr char kNotFound[] = "Non trouv\xE9";

// The one-by-one update, row after row, each lookup waited for: what the
// update side by side must leave in the grid. Gives the error's text.
std::string UpdateOneByOne(veskor::StringGrid& grid, const std::function<bool()>& all,
                           veskor::PageFetcher& archive) {
  try {
    for (std::size_t row = 1; row < grid.RowCount(); ++row) {
      const std::string name = grid.Cell(0, row);
      if (name.empty()) continue;
      const bool checked = all();
      if (!checked && !grid.Cell(1, row).empty()) continue;
      const std::string id = veskor::LookupNewsgroupId(archive, veskor::IdLookupAddress(kServer, name));
      if (checked) grid.SetCell(1, row, "");
      if (id != "-1") grid.SetCell(1, row, id.empty() ? kNotFound : id);
    }
  } catch (const veskor::FetchError& error) {
    return error.what();
  }
  return {};
}

std::vector<std::string> Rows(const veskor::StringGrid& grid) {
  std::vector<std::string> rows;
  for (std::size_t row = 0; row < grid.RowCount(); ++row)
    rows.push_back(grid.Cell(0, row) + "|" + grid.Cell(1, row));
  return rows;
}

}  // namespace

class EditorUpdateTest : public EditorTestCase {
  Q_OBJECT

 private slots:
  void initTestCase() {
    server_ = std::make_unique<veskor::ArchiveServerProcess>(
        VESKOR_ARCHIVE_BIN, std::vector<std::string>{"--slow-ms", "400"});
    QVERIFY2(server_->Started(), server_->Error().c_str());
    qputenv("VESKOR_ARCHIVE", QByteArray::fromStdString(server_->Url()));
  }

  void outcomes_data() {
    QTest::addColumn<bool>("all");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");

    // A filled ID is not looked up: the failing name would otherwise stop
    // the run.
    QTest::newRow("only empty IDs")
        << false
        << QStringList{"fr.rec.photo|", "fault-lookup-500|77", "fr.rec.moto|Non trouvé",
                       "fr.inconnu|", "fault-lookup-minus1|", "fr.comp.lang.c++|"}
        << QStringList{"fr.rec.photo|512", "fault-lookup-500|77", "fr.rec.moto|Non trouvé",
                       "fr.inconnu|Non trouvé", "fault-lookup-minus1|", "fr.comp.lang.c++|1207"};
    QTest::newRow("everything again")
        << true
        << QStringList{"|orphan", "fr.rec.photo|1", "fr.rec.moto|Non trouvé", "fr.inconnu|77",
                       "fault-lookup-minus1|55", "fr.rec.photo|"}
        << QStringList{"|orphan", "fr.rec.photo|512", "fr.rec.moto|733", "fr.inconnu|Non trouvé",
                       "fault-lookup-minus1|", "fr.rec.photo|512"};
    QTest::newRow("empty group") << true << QStringList{} << QStringList{};
  }

  void outcomes() {
    QFETCH(bool, all);
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    EditGroup(ed_, GroupFileBytes(before));
    ed_->CheckBox1->setChecked(all);

    Click(ed_->B_update);

    QCOMPARE(messages_->Texts(), QStringList{kDone});
    QCOMPARE(GridEntries(ed_->StringGrid1), after);
    // The group file waits for "Sauvegarder".
    QCOMPARE(ReadFile("G.txt"), GroupFileBytes(before));
  }

  // Twelve rows drawn from the seed: names from a small pool (repeated, and
  // empty ones), ID cells empty, "77" or "Non trouvé"; each name's lookup
  // gives an ID, the empty text or "-1"; the row `failAt` names one that the
  // archive does not answer. The seed also picks the connection limit, the
  // order the replies come in and the check box: unchecked, checked, or
  // flipping as the IDs come in. The grid and the error are always the
  // one-by-one update's.
  void sideBySide_data() {
    QTest::addColumn<unsigned>("seed");
    for (unsigned seed = 1; seed <= 39; ++seed) QTest::addRow("seed %u", seed) << seed;
  }

  void sideBySide() {
    QFETCH(unsigned, seed);
    const int failAt = seed % 3 == 0 ? 0 : int(seed % 13);
    const unsigned box = seed / 3 % 3;
    std::mt19937 random(seed);
    veskor::testing::FakeConcurrentFetcher fetcher;
    fetcher.limit = 1 + seed % 5;
    fetcher.order = static_cast<CompletionOrder>(seed % 3);
    fetcher.random.seed(seed);
    const char* ids[] = {"", "-1", "512", "733"};
    for (const char* name : {"fr.a", "fr.b", "fr.c", "fr.d", "fr.e"})
      fetcher.archive.pages[veskor::IdLookupAddress(kServer, name)] =
          std::string("<meta content=\"0; url='articles.pl?ok=") + ids[random() % 4] + "'\">";
    veskor::MemoryGrid grid(2, 14);
    const char* names[] = {"", "fr.a", "fr.b", "fr.c", "fr.d", "fr.e", "fr.a"};
    const char* cells[] = {"", "", "77", kNotFound};
    for (std::size_t row = 1; row <= 12; ++row) {
      grid.SetCell(0, row, int(row) == failAt ? "fr.panne" : names[random() % 7]);
      grid.SetCell(1, row, cells[random() % 4]);
    }
    veskor::MemoryGrid expected = grid;
    const auto boxOf = [box](const veskor::StringGrid& g) {
      return [box, &g] {
        std::size_t filled = 0;
        for (std::size_t row = 1; row < g.RowCount(); ++row) filled += g.Cell(1, row).size();
        return box == 2 ? filled % 2 == 1 : box == 1;
      };
    };
    veskor::testing::FakeArchive oneByOne;
    oneByOne.pages = fetcher.archive.pages;
    const std::string expectedError = UpdateOneByOne(expected, boxOf(expected), oneByOne);

    std::string error;
    try {
      veskor::UpdateNewsgroupIds(grid, boxOf(grid), fetcher, kServer);
    } catch (const veskor::FetchError& e) {
      error = e.what();
    }

    QCOMPARE(Rows(grid), Rows(expected));
    QCOMPARE(error, expectedError);
    QCOMPARE(fetcher.startsOverLimit, std::size_t{0});
    QVERIFY(fetcher.inFlight.empty());
    if (box == 2 || !error.empty()) return;
    // One request per row looked up, several at once when there are several.
    auto asked = fetcher.returned;
    std::sort(asked.begin(), asked.end());
    std::sort(oneByOne.requested.begin(), oneByOne.requested.end());
    QCOMPARE(asked, oneByOne.requested);
    QCOMPARE(fetcher.mostInFlight, std::min(fetcher.limit, asked.size()));
  }

  void serverErrorStopsTheRun() {
    EditGroup(ed_, GroupFileBytes({"fr.rec.photo|", "fault-lookup-500|old", "fr.rec.moto|"}));
    ed_->CheckBox1->setChecked(true);
    QList<bool> enabledAtMessage;
    messages_->onMessage = [&](const QString&) { enabledAtMessage = EditingButtonsEnabled(ed_); };

    Click(ed_->B_update);

    QCOMPARE(messages_->Texts().size(), 1);
    QVERIFY2(messages_->Texts().first().contains("500"), qPrintable(messages_->Texts().first()));
    QCOMPARE(GridEntries(ed_->StringGrid1),
             (QStringList{"fr.rec.photo|512", "fault-lookup-500|old", "fr.rec.moto|"}));
    QCOMPARE(enabledAtMessage, kAllEnabled);
  }

  // While a lookup waits, nothing may move the rows under it, and no search
  // of the main window may start.
  void commandsWaitWhileUpdating() {
    EditGroup(ed_, GroupFileBytes({"fault-lookup-slow|", "fr.rec.photo|"}));
    QList<bool> during;
    bool searchBusy = false;
    bool searchesEnabled = true;
    QTimer::singleShot(150, [&] {
      during = EditingButtonsEnabled(ed_);
      searchBusy = Form1->Fetches().Busy();
      searchesEnabled = Form1->B_seek->isEnabled() || Form1->B_vesko->isEnabled();
      // A direct call, as a queued click would make it, changes nothing either.
      Form1->B_veskoClick();
      ed_->B_updateClick();
    });

    Click(ed_->B_update);

    QCOMPARE(during, kAllDisabled);
    QVERIFY(searchBusy);
    QVERIFY(!searchesEnabled);
    QCOMPARE(messages_->Texts(), QStringList{kDone});
    QCOMPARE(ed_->StringGrid1->CellText(1, 2), QStringLiteral("512"));
    QVERIFY(!ed_->StringGrid1->CellText(1, 1).isEmpty());
    QCOMPARE(EditingButtonsEnabled(ed_), kAllEnabled);
    QVERIFY(Form1->B_vesko->isEnabled());
  }

  void noUpdateWhileASearchRuns() {
    EditGroup(ed_, GroupFileBytes({"fr.rec.photo|"}));
    {
      veskor::FetchScope search(Form1->Fetches());
      QVERIFY(!ed_->B_update->isEnabled());
      ed_->B_updateClick();
      QCOMPARE(GridEntries(ed_->StringGrid1), QStringList{"fr.rec.photo|"});
    }
    QVERIFY(ed_->B_update->isEnabled());
    Settle();
    QCOMPARE(messages_->Texts(), QStringList{});
  }

 private:
  std::unique_ptr<veskor::ArchiveServerProcess> server_;
};

QTEST_MAIN(EditorUpdateTest)
#include "editor_update_test.moc"

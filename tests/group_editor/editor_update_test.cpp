// "Mettre à jour" against the bundled archive server.

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

#include "groups/u_gid.h"
#include "platform/fetch_guard.h"
#include "main_window/main_form.h"
#include "platform/string_grid_widget.h"
#include "tests/group_editor/editor_harness.h"
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

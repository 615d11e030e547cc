// A group built in the editor and searched from the main window, with the
// program's four windows and the bundled archive server.

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "groups/u_gid.h"
#include "main_window/main_form.h"
#include "platform/string_grid_widget.h"
#include "tests/group_editor/editor_harness.h"
#include "tests/main_window/gui_test_support.h"
#include "tests/support/archive_server_process.h"

using namespace veskor::testing;

class EditorEndToEndTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    server_ = std::make_unique<veskor::ArchiveServerProcess>(VESKOR_ARCHIVE_BIN);
    QVERIFY2(server_->Started(), server_->Error().c_str());
  }

  void groupBuiltInTheEditorIsSearchedInFileOrder() {
    WorkingDirectory dir({{"gpeliste.lst", ""}});
    QVERIFY(dir.Ok());
    MessageWatcher messages;
    RunningProgram program(server_->Url(), /*show=*/false);
    QVERIFY(ShowAndActivate(Form1));

    Click(Form1->B_config);
    QVERIFY(QTest::qWaitForWindowActive(F_edition));
    F_edition->editCreaGpe->setText("Mes groupes");
    Click(F_edition->B_creer);
    Click(F_edition->B_edit);
    const QStringList newsgroups{"fr.rec.moto", "fr.comp.lang.c++", "fr.sci.astronomie"};
    for (const QString& name : newsgroups) AddNewsgroup(F_edition, name);
    Click(F_edition->B_update);
    Click(F_edition->B_save);
    QCOMPARE(messages.Texts(), (QStringList{"Mise à jour effectuée", "Sauvegarde effectuée"}));
    QCOMPARE(ReadFile("Mes groupes.txt"),
             GroupFileBytes({"fr.rec.moto|733", "fr.comp.lang.c++|1207", "fr.sci.astronomie|268"}));

    QVERIFY(ShowAndActivate(Form1));
    const int group = Form1->ComboBox2->findText("Mes groupes");
    QVERIFY(group >= 0);
    Form1->ComboBox2->setCurrentIndex(group);
    Form1->Edit2->setText("e");
    Click(Form1->B_vesko);
    QCOMPARE(messages.Texts().last(), QStringLiteral("Recherche terminée"));

    // Hits come newsgroup after newsgroup, in the group file's order; blank
    // rows may stand between pages.
    QList<int> order;
    const TStringGrid* table = Form1->SG_resultats;
    for (std::size_t row = 1; row < table->RowCount(); ++row) {
      const QString newsgroup = table->CellText(3, row);
      if (newsgroup.isEmpty()) continue;
      const int index = newsgroups.indexOf(newsgroup);
      QVERIFY2(index >= 0, qPrintable(newsgroup));
      if (order.isEmpty() || order.last() != index) order << index;
    }
    QCOMPARE(order, (QList<int>{0, 1, 2}));
  }

 private:
  std::unique_ptr<veskor::ArchiveServerProcess> server_;
};

QTEST_MAIN(EditorEndToEndTest)
#include "editor_end_to_end_test.moc"

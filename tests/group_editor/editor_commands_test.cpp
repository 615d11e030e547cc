// The group editor's commands on the real window and real files.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QMessageBox>
#include <QTimer>
#include <optional>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "groups/u_gid.h"
#include "main_window/main_form.h"
#include "platform/string_grid_widget.h"
#include "tests/group_editor/editor_harness.h"
#include "tests/support/file_size_limit.h"

using namespace veskor::testing;

namespace {

const QString kIdle = QStringLiteral("  Editeur de groupe");
const QString kSaved = QStringLiteral("Sauvegarde effectuée");

// The caption as drawn: "&&" shows as "&", a lone "&" marks a shortcut.
QString VisibleCaption(const QString& caption) {
  QString shown;
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == QLatin1Char('&') && i + 1 < caption.size()) ++i;
    shown += caption[i];
  }
  return shown;
}

QStringList Items(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

}  // namespace

class EditorCommandsTest : public EditorTestCase {
  Q_OBJECT

 private slots:
  void create_data() {
    QTest::addColumn<QString>("name");  // null: the box's default text
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QByteArray>("fileBefore");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("fileAfter");

    const QByteArray photo("fr.rec.photo\r\n512\r\n");
    QTest::newRow("new name") << "Photo" << QByteArray("") << QByteArray() << ""
                              << QStringList{"Photo"} << 0 << "Photo.txt" << QByteArray("");
    // Left out of the list by a failed save or by hand: listed again.
    QTest::newRow("file exists, not listed")
        << "Photo" << QByteArray("Moto\r\n") << photo
        << "Le groupe « Photo » avait encore son fichier : il est de nouveau dans la liste"
        << QStringList{"Moto", "Photo"} << 1 << "Photo.txt" << photo;
    QTest::newRow("file exists, listed")
        << "Photo" << QByteArray("Photo\r\n") << photo << "Le groupe existe déjà"
        << QStringList{"Photo"} << -1 << "Photo.txt" << photo;
    QTest::newRow("empty name") << "" << QByteArray("") << QByteArray() << "" << QStringList{""}
                                << 0 << ".txt" << QByteArray("");
    QTest::newRow("default text") << QString() << QByteArray("") << QByteArray() << ""
                                  << QStringList{"Nom du groupe à créer"} << 0
                                  << "Nom du groupe à créer.txt" << QByteArray("");
    QTest::newRow("spaces kept") << " Photo " << QByteArray("") << QByteArray() << ""
                                 << QStringList{" Photo "} << 0 << " Photo .txt"
                                 << QByteArray("");
    QTest::newRow("refused name") << "sous/groupe" << QByteArray("") << QByteArray()
                                  << "Nom de groupe refusé" << QStringList{} << -1
                                  << "sous/groupe.txt" << QByteArray();
    QTest::newRow("no Windows-1252 byte")
        << "Ωmega" << QByteArray("") << QByteArray()
        << "Nom de groupe refusé : le caractère « Ω » de « Ωmega » n'existe pas en "
           "Windows-1252"
        << QStringList{} << -1 << "Ωmega.txt" << QByteArray();
  }

  void create() {
    QFETCH(QString, name);
    QFETCH(QByteArray, list);
    QFETCH(QByteArray, fileBefore);
    QFETCH(QString, message);
    QFETCH(QStringList, items);
    QFETCH(int, selected);
    QFETCH(QString, file);
    QFETCH(QByteArray, fileAfter);
    WriteFile("gpeliste.lst", list);
    if (!fileBefore.isNull()) WriteFile(file, fileBefore);
    QVERIFY(ShowAndActivate(ed_));
    if (!name.isNull()) ed_->editCreaGpe->setText(name);

    Click(ed_->B_creer);
    Settle();

    if (message.isEmpty()) {
      QCOMPARE(messages_->Texts(), QStringList{});
    } else {
      QCOMPARE(messages_->Texts().size(), 1);
      QVERIFY2(messages_->Texts().first().startsWith(message),
               qPrintable(messages_->Texts().first()));
    }
    QCOMPARE(Items(ed_->ComboBox1), items);
    QCOMPARE(ed_->ComboBox1->currentIndex(), selected);
    QCOMPARE(ReadFile(file), fileAfter);
    QCOMPARE(ed_->GroupBox1->title(), kIdle);
  }

  void edit_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QByteArray>("fileBytes");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("rowCount");

    QTest::newRow("missing file") << "G" << QByteArray() << QStringList{} << 2;
    QTest::newRow("4 lines") << "G" << QByteArray("fr.a\r\n1\r\nfr.b\r\nNon trouv\xE9\r\n")
                             << QStringList{"fr.a|1", "fr.b|Non trouvé"} << 4;
    // The unpaired last newsgroup still leaves an empty row for "Ajouter >>".
    QTest::newRow("5 lines") << "G" << QByteArray("fr.a\r\n1\r\nfr.b\r\n2\r\nfr.c\r\n")
                             << QStringList{"fr.a|1", "fr.b|2", "fr.c|"} << 5;
    QTest::newRow("nothing chosen") << "" << QByteArray("fr.x\r\n9\r\n")
                                    << QStringList{"fr.x|9"} << 3;
  }

  void edit() {
    QFETCH(QString, chosen);
    QFETCH(QByteArray, fileBytes);
    QFETCH(QStringList, entries);
    QFETCH(int, rowCount);
    if (!fileBytes.isNull()) WriteFile(chosen + ".txt", fileBytes);
    EditGroup(ed_, QByteArray());
    if (chosen.isEmpty()) {
      ed_->ComboBox1->setCurrentIndex(-1);
      Click(ed_->B_edit);
    }
    QCOMPARE(ed_->GroupBox1->title(), "  Edition du groupe: " + chosen);
    QCOMPARE(GridEntries(ed_->StringGrid1), entries);
    QCOMPARE(int(ed_->StringGrid1->RowCount()), rowCount);
    QCOMPARE(ed_->StringGrid1->CellText(1, 0), QStringLiteral("ID"));
    Settle();
    QCOMPARE(messages_->Texts(), QStringList{});
  }

  void add_data() {
    QTest::addColumn<bool>("editing");
    QTest::addColumn<QByteArray>("fileBytes");
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("idle") << false << QByteArray() << QStringList{"fr.a"} << QStringList{};
    QTest::newRow("editing") << true << QByteArray("") << QStringList{"", "fr.a", "fr.a"}
                             << QStringList{"|", "fr.a|", "fr.a|"};
    QTest::newRow("after an odd file")
        << true << QByteArray("fr.a\r\n1\r\nfr.b\r\n") << QStringList{"fr.c"}
        << QStringList{"fr.a|1", "fr.b|", "fr.c|"};
    // Would be written and looked up as "?mega".
    QTest::newRow("no Windows-1252 byte")
        << true << QByteArray("fr.a\r\n1\r\n") << QStringList{"fr.Ωmega", "fr.b"}
        << QStringList{"fr.a|1", "fr.b|"};
  }

  void add() {
    QFETCH(bool, editing);
    QFETCH(QByteArray, fileBytes);
    QFETCH(QStringList, added);
    QFETCH(QStringList, entries);
    if (editing) {
      EditGroup(ed_, fileBytes);
    } else {
      WriteFile("gpeliste.lst", "");
      QVERIFY(ShowAndActivate(ed_));
    }
    for (const QString& name : added) AddNewsgroup(ed_, name);
    QCOMPARE(GridEntries(ed_->StringGrid1), entries);
    QCOMPARE(int(ed_->StringGrid1->RowCount()), entries.size() + 2);
    const QStringList refused = added.filter(QStringLiteral("Ω"));
    QCOMPARE(messages_->Texts().size(), editing ? refused.size() : 0);
    if (editing && !refused.isEmpty())
      QCOMPARE(messages_->Texts().first(),
               "Newsgroup refusé : le caractère « Ω » de « " + refused.first() +
                   " » n'existe pas en Windows-1252, le jeu de caractères de l'archive et des "
                   "fichiers de groupe");
  }

  void remove_data() {
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<int>("row");  // the row the user chooses; 0: none
    QTest::addColumn<int>("presses");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QString>("message");

    const QStringList three{"fr.a|1", "fr.b|2", "fr.c|3"};
    QTest::newRow("middle entry") << three << 2 << 1 << QStringList{"fr.a|1", "fr.c|3"} << "";
    QTest::newRow("first entry") << three << 1 << 1 << QStringList{"fr.b|2", "fr.c|3"} << "";
    QTest::newRow("only entry, twice") << QStringList{"fr.a|1"} << 1 << 2 << QStringList{} << "";
    QTest::newRow("no row chosen yet") << three << 0 << 1 << three
                                       << "Choisissez une ligne à supprimer";
    QTest::newRow("the empty last row") << three << 4 << 2 << three << "";
  }

  void remove() {
    QFETCH(QStringList, before);
    QFETCH(int, row);
    QFETCH(int, presses);
    QFETCH(QStringList, after);
    QFETCH(QString, message);
    EditGroup(ed_, GroupFileBytes(before));
    if (row > 0) ClickRow(ed_->StringGrid1, row);
    QCOMPARE(ed_->SelectedRow, row > 0 ? row : -1);

    for (int i = 0; i < presses; ++i) Click(ed_->B_retirer);

    QCOMPARE(GridEntries(ed_->StringGrid1), after);
    QCOMPARE(int(ed_->StringGrid1->RowCount()), after.size() + 2);
    QCOMPARE(ed_->SelectedRow, row > 0 ? row : -1);
    QCOMPARE(messages_->Texts(), message.isEmpty() ? QStringList{} : QStringList{message});
    // Whatever was removed, the next newsgroup goes after the others.
    AddNewsgroup(ed_, "fr.z");
    QCOMPARE(GridEntries(ed_->StringGrid1), after + QStringList{"fr.z|"});
  }

  // The chosen row outlives the group it was chosen in.
  void removeBeyondTheRowCount() {
    WriteFile("H.txt", "fr.h\r\n8\r\n");
    EditGroup(ed_, GroupFileBytes({"fr.a|1", "fr.b|2", "fr.c|3"}), "G\r\nH\r\n");
    ClickRow(ed_->StringGrid1, 3);
    ed_->ComboBox1->setCurrentIndex(1);
    Click(ed_->B_edit);
    QCOMPARE(int(ed_->StringGrid1->RowCount()), 3);

    Click(ed_->B_retirer);
    QCOMPARE(GridEntries(ed_->StringGrid1), QStringList{"fr.h|8"});
    AddNewsgroup(ed_, "fr.z");
    QCOMPARE(GridEntries(ed_->StringGrid1), (QStringList{"fr.h|8", "fr.z|"}));
  }

  void save_data() {
    QTest::addColumn<bool>("editing");
    QTest::addColumn<QByteArray>("fileBytes");
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<bool>("blockWrite");
    QTest::addColumn<QByteArray>("fileAfter");
    QTest::addColumn<QString>("message");

    const QByteArray original("fr.rec.photo\r\n512\r\nfr.vide\r\n\r\nfr.x\r\nNon trouv\xE9\r\n");
    QTest::newRow("round trip") << true << original << QStringList{} << false << original << kSaved;
    QTest::newRow("added rows") << true << QByteArray("fr.a\r\n1\r\n") << QStringList{"fr.b", ""}
                                << false << QByteArray("fr.a\r\n1\r\nfr.b\r\n\r\n") << kSaved;
    QTest::newRow("write fails") << true << original << QStringList{"fr.b"} << true << original
                                 << "Impossible d'enregistrer le fichier";
    QTest::newRow("idle") << false << QByteArray("fr.a\r\n1\r\n") << QStringList{"fr.b"} << false
                          << QByteArray("fr.a\r\n1\r\n") << "";
  }

  void save() {
    QFETCH(bool, editing);
    QFETCH(QByteArray, fileBytes);
    QFETCH(QStringList, added);
    QFETCH(bool, blockWrite);
    QFETCH(QByteArray, fileAfter);
    QFETCH(QString, message);
    EditGroup(ed_, fileBytes);
    for (const QString& name : added) AddNewsgroup(ed_, name);
    if (!editing) Click(ed_->B_cancel);
    {
      std::optional<FileSizeLimit> fullDisk;
      if (blockWrite) QVERIFY(fullDisk.emplace(8).Ok());
      Click(ed_->B_save);
    }
    Settle();

    QCOMPARE(messages_->Texts().size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
      QVERIFY2(messages_->Texts().first().startsWith(message),
               qPrintable(messages_->Texts().first()));
    QCOMPARE(ReadFile("G.txt"), fileAfter);
  }

  void deleteGroup_data() {
    QTest::addColumn<int>("chosen");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QStringList>("filesLeft");

    const QStringList all{".txt", "A.txt", "B.txt", "C.txt"};
    QTest::newRow("chosen group, Oui")
        << 1 << int(QMessageBox::Yes) << "Supprimer le groupe « B » ? Son fichier sera effacé."
        << QStringList{"A", "C"} << QStringList{".txt", "A.txt", "C.txt"};
    QTest::newRow("chosen group, Non")
        << 1 << int(QMessageBox::No) << "Supprimer le groupe « B » ? Son fichier sera effacé."
        << QStringList{"A", "B", "C"} << all;
    QTest::newRow("chosen group, box closed")
        << 1 << 0 << "Supprimer le groupe « B » ? Son fichier sera effacé."
        << QStringList{"A", "B", "C"} << all;
    QTest::newRow("nothing chosen, Oui")
        << -1 << int(QMessageBox::Yes) << "Supprimer le groupe «  » ? Son fichier sera effacé."
        << QStringList{"A", "B", "C"} << QStringList{"A.txt", "B.txt", "C.txt"};
  }

  void deleteGroup() {
    QFETCH(int, chosen);
    QFETCH(int, answer);
    QFETCH(QString, question);
    QFETCH(QStringList, items);
    QFETCH(QStringList, filesLeft);
    for (const char* name : {".txt", "A.txt", "B.txt", "C.txt"}) WriteFile(name, "fr.a\r\n1\r\n");
    EditGroup(ed_, QByteArray(), "A\r\nB\r\nC\r\n");
    ed_->ComboBox1->setCurrentIndex(1);
    Click(ed_->B_edit);
    ed_->ComboBox1->setCurrentIndex(chosen);
    messages_->Clear();
    messages_->answer = answer;

    Click(ed_->B_suppr);

    QCOMPARE(messages_->Texts(), QStringList{question});
    QCOMPARE(Items(ed_->ComboBox1), items);
    if (answer == QMessageBox::Yes) QCOMPARE(ed_->ComboBox1->currentIndex(), -1);
    else QCOMPARE(ed_->ComboBox1->currentIndex(), chosen);
    QCOMPARE(QDir().entryList({"*.txt"}, QDir::Files | QDir::Hidden, QDir::Name), filesLeft);
    // Deleting the edited group leaves it open in the editor.
    QCOMPARE(ed_->GroupBox1->title(), QStringLiteral("  Edition du groupe: B"));
    QCOMPARE(GridEntries(ed_->StringGrid1), QStringList{"fr.a|1"});
  }

  void show_data() {
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("no list file") << QByteArray() << QStringList{}
                                  << QStringList{"Erreur du chargement des groupes"};
    QTest::newRow("empty line, no last line end")
        << QByteArray("A\r\n\r\nB") << QStringList{"A", "", "B"} << QStringList{};
  }

  void show() {
    QFETCH(QByteArray, list);
    QFETCH(QStringList, items);
    QFETCH(QStringList, messages);
    if (!list.isNull()) WriteFile("gpeliste.lst", list);
    ed_->show();
    Settle();
    QTRY_COMPARE(messages_->Texts(), messages);
    QCOMPARE(Items(ed_->ComboBox1), items);
    QCOMPARE(ed_->ComboBox1->currentIndex(), -1);
  }

  void closeAndReopenKeepsTheState() {
    EditGroup(ed_, GroupFileBytes({"fr.a|1", "fr.b|2"}));
    AddNewsgroup(ed_, "fr.c");
    ClickRow(ed_->StringGrid1, 2);
    Click(ed_->B_quit);
    QVERIFY(!ed_->isVisible());
    QCOMPARE(ReadFile("gpeliste.lst"), QByteArray("G\r\n"));
    WriteFile("gpeliste.lst", "G\r\nH\r\n");

    QVERIFY(ShowAndActivate(ed_));

    QCOMPARE(ed_->GroupBox1->title(), QStringLiteral("  Edition du groupe: G"));
    QCOMPARE(GridEntries(ed_->StringGrid1), (QStringList{"fr.a|1", "fr.b|2", "fr.c|"}));
    QCOMPARE(ed_->SelectedRow, 2);
    QCOMPARE(Items(ed_->ComboBox1), (QStringList{"G", "H"}));
    QCOMPARE(ed_->ComboBox1->currentIndex(), -1);
  }

  // The main window reloads the list when it becomes active; the editor must
  // have saved it by then.
  void switchingToTheMainWindowSavesTheListFirst() {
    WriteFile("gpeliste.lst", "");
    QVERIFY(ShowAndActivate(ed_));
    for (const char* name : {"Photo", "", "Moto"}) {
      ed_->editCreaGpe->setText(name);
      Click(ed_->B_creer);
    }
    QVERIFY(ShowAndActivate(Form1));
    QCOMPARE(ReadFile("gpeliste.lst"), QByteArray("Photo\r\n\r\nMoto\r\n"));
    QCOMPARE(Items(Form1->ComboBox2), (QStringList{"Photo", "", "Moto"}));
    Settle();
    QCOMPARE(messages_->Texts(), QStringList{});
  }

  // A second program in the same folder ("other"), then a hand, change the
  // list while this editor is open: what this editor saves are its own
  // creations and deletions, applied to the list as it then is on disk; an
  // editor that changed nothing writes nothing.
  void otherWritersKeepTheirGroups_data() {
    QTest::addColumn<QStringList>("actions");  // "+name": Créer, "-name": Supprimer
    QTest::addColumn<QByteArray>("listAfter");

    const QByteArray theirs("A\r\nNouveau\r\nManuel\r\n");
    QTest::newRow("only activated") << QStringList{} << theirs;
    QTest::newRow("creates") << QStringList{"+B"} << theirs + "B\r\n";
    QTest::newRow("deletes") << QStringList{"-A"} << QByteArray("Nouveau\r\nManuel\r\n");
    // Its file is there, so it is listed again, but only once.
    QTest::newRow("creates the other's group") << QStringList{"+Nouveau"} << theirs;
    QTest::newRow("creates, then deletes") << QStringList{"+B", "-B"} << theirs;
  }

  void otherWritersKeepTheirGroups() {
    QFETCH(QStringList, actions);
    QFETCH(QByteArray, listAfter);
    WriteFile("gpeliste.lst", "A\r\n");
    WriteFile("A.txt", "");
    TF_edition other;
    other.UseFetchGuard(Form1->Fetches());
    QVERIFY(ShowAndActivate(ed_));
    QVERIFY(ShowAndActivate(&other));
    other.editCreaGpe->setText("Nouveau");
    Click(other.B_creer);
    QVERIFY(ShowAndActivate(Form1));
    QCOMPARE(ReadFile("gpeliste.lst"), QByteArray("A\r\nNouveau\r\n"));
    WriteFile("gpeliste.lst", "A\r\nNouveau\r\nManuel\r\n");

    QVERIFY(ShowAndActivate(ed_));
    messages_->answer = QMessageBox::Yes;
    for (const QString& action : actions) {
      if (action.startsWith('+')) {
        ed_->editCreaGpe->setText(action.mid(1));
        Click(ed_->B_creer);
      } else {
        ed_->ComboBox1->setCurrentIndex(ed_->ComboBox1->findText(action.mid(1)));
        Click(ed_->B_suppr);
      }
    }
    QVERIFY(ShowAndActivate(Form1));
    QCOMPARE(ReadFile("gpeliste.lst"), listAfter);
    QVERIFY(ShowAndActivate(&other));
    QVERIFY(ShowAndActivate(Form1));
    QCOMPARE(ReadFile("gpeliste.lst"), listAfter);
  }

  // A failed save that loses nothing is not news; one that leaves the
  // user's changes off the disk is reported every time, and the changes
  // stay in the editor until a save works.
  void failedListSaveIsReportedWhileChangesAreLost() {
    WriteFile("gpeliste.lst", "A\r\n");
    QVERIFY(ShowAndActivate(ed_));
    std::optional<FileSizeLimit> fullDisk;
    QVERIFY(fullDisk.emplace(1).Ok());
    QVERIFY(ShowAndActivate(Form1));
    QVERIFY(ShowAndActivate(ed_));
    Settle();
    QCOMPARE(messages_->Texts(), QStringList{});

    ed_->editCreaGpe->setText("B");
    Click(ed_->B_creer);
    for (int failures = 1; failures <= 2; ++failures) {
      QVERIFY(ShowAndActivate(Form1));
      QVERIFY(messages_->WaitFor(failures));
      QVERIFY2(messages_->Texts().last().startsWith(
                   "Impossible d'enregistrer le fichier « gpeliste.lst »"),
               qPrintable(messages_->Texts().last()));
      ed_->hide();
      QVERIFY(ShowAndActivate(ed_));
      QCOMPARE(Items(ed_->ComboBox1), (QStringList{"A", "B"}));
    }
    QCOMPARE(ReadFile("gpeliste.lst"), QByteArray("A\r\n"));

    fullDisk.reset();
    QVERIFY(ShowAndActivate(Form1));
    Settle();
    QCOMPARE(ReadFile("gpeliste.lst"), QByteArray("A\r\nB\r\n"));
    QCOMPARE(messages_->Texts().size(), 2);
  }

  // Queued reports never run once the event loop has ended.
  void failedSaveAtTheEndIsReportedBeforeTheProgramEnds() {
    WriteFile("gpeliste.lst", "A\r\n");
    QVERIFY(ShowAndActivate(ed_));
    ed_->editCreaGpe->setText("B");
    Click(ed_->B_creer);
    FileSizeLimit fullDisk(1);
    QVERIFY(fullDisk.Ok());

    QTimer::singleShot(0, Form1, [] { Form1->close(); });
    QApplication::exec();

    QCOMPARE(messages_->Texts().size(), 1);
    QVERIFY(messages_->Texts().first().contains("gpeliste.lst"));
    QCOMPARE(ReadFile("gpeliste.lst"), QByteArray("A\r\n"));
  }

  void unreadableListIsNotWrittenOver_data() {
    QTest::addColumn<bool>("dangling");  // else a folder
    QTest::newRow("folder") << false;
    QTest::newRow("dangling link") << true;
  }

  void unreadableListIsNotWrittenOver() {
    QFETCH(bool, dangling);
    if (dangling)
      QVERIFY(QFile::link("ailleurs.lst", "gpeliste.lst"));
    else
      QVERIFY(QDir().mkdir("gpeliste.lst"));
    ed_->show();
    QVERIFY(messages_->WaitFor(1));
    QVERIFY2(messages_->Texts().first().startsWith(
                 "Erreur du chargement des groupes : le fichier « gpeliste.lst » existe mais ne "
                 "peut pas être lu"),
             qPrintable(messages_->Texts().first()));
    // The main window reports its own failed load; both windows go on.
    QVERIFY(ShowAndActivate(ed_));
    QVERIFY(ShowAndActivate(Form1));
    QVERIFY(messages_->WaitFor(2));
    Settle();
    QVERIFY(ShowAndActivate(ed_));
    QCOMPARE(QFileInfo("gpeliste.lst").isSymLink(), dangling);
    QCOMPARE(QFileInfo("gpeliste.lst").isDir(), !dangling);
    QVERIFY(!QFileInfo::exists("ailleurs.lst"));

    // A list the user has changed is theirs to save, through the link.
    ed_->editCreaGpe->setText("C");
    Click(ed_->B_creer);
    messages_->Clear();
    QVERIFY(ShowAndActivate(Form1));
    Settle();
    if (dangling) {
      QCOMPARE(ReadFile("ailleurs.lst"), QByteArray("C\r\n"));
    } else {
      QVERIFY(QFileInfo("gpeliste.lst").isDir());
      QTRY_COMPARE(messages_->Texts().filter("ce n'est pas un fichier ordinaire").size(), 1);
    }
  }

  // "&" would otherwise be taken for a shortcut marker, and the name
  // read back from the caption would lose it.
  void groupNameWithAmpersandShowsAndSavesAsTyped() {
    WriteFile("R&D.txt", "fr.a\r\n1\r\n");
    EditGroup(ed_, QByteArray(), "R&D\r\n");
    ed_->ComboBox1->setCurrentIndex(0);
    Click(ed_->B_edit);
    QCOMPARE(VisibleCaption(ed_->GroupBox1->title()), QStringLiteral("  Edition du groupe: R&D"));
    QVERIFY(QKeySequence::mnemonic(ed_->GroupBox1->title()).isEmpty());
    AddNewsgroup(ed_, "fr.b");
    Click(ed_->B_save);
    QCOMPARE(ReadFile("R&D.txt"), QByteArray("fr.a\r\n1\r\nfr.b\r\n\r\n"));
    QCOMPARE(messages_->Texts(), QStringList{kSaved});
  }

  // "<b>" typed by the user must show as typed.
  void messagesShowTheirTextAsPlainText() {
    WriteFile("gpeliste.lst", "");
    QVERIFY(ShowAndActivate(ed_));
    QList<Qt::TextFormat> formats;
    messages_->onMessage = [&](const QString&) {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
        formats << box->textFormat();
    };
    ed_->editCreaGpe->setText("<b>a/b</b>");
    Click(ed_->B_creer);
    QCOMPARE(formats, QList<Qt::TextFormat>{Qt::PlainText});
    QVERIFY(messages_->Texts().first().contains("« <b>a/b</b> »"));
  }

  void windowIsWhollyOnScreen() {
    WriteFile("gpeliste.lst", "");
    QVERIFY(ShowAndActivate(ed_));
    const QRect area = ed_->screen()->availableGeometry();
    QVERIFY(area.contains(ed_->frameGeometry()));
    QCOMPARE(ed_->frameGeometry().left(), area.left());
    QCOMPARE(ed_->size(), QSize(750, 489));
  }
};

QTEST_MAIN(EditorCommandsTest)
#include "editor_commands_test.moc"

#pragma once
// The group editor window: creates, edits, saves and deletes groups of
// newsgroups and fetches their archive IDs. Its state lives in its controls:
// GroupBox1's caption says whether a group is being edited, and which one.

#include <QString>
#include <QStringList>
#include <QWidget>

#include "groups/group_list_keeper.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TStringGrid;
namespace veskor {
class FetchGuard;
}

class TF_edition : public QWidget {
  Q_OBJECT

 public:
  explicit TF_edition(QWidget* parent = nullptr);
  ~TF_edition() override;

  // The program's one guard over fetching commands, owned by the main window:
  // "Mettre à jour" fetches through it, and waits while a search holds it.
  // Until it is given, the update does nothing.
  void UseFetchGuard(veskor::FetchGuard& fetches);

  QPushButton* B_ajouter;
  QPushButton* B_retirer;
  QLineEdit* Edit1;
  TStringGrid* StringGrid1;
  QPushButton* B_save;
  QPushButton* B_cancel;
  QPushButton* B_update;
  QCheckBox* CheckBox1;
  QGroupBox* GroupBox1;
  QGroupBox* GroupBox2;
  QComboBox* ComboBox1;
  QLineEdit* editCreaGpe;
  QPushButton* B_creer;
  QPushButton* B_edit;
  QPushButton* B_suppr;
  QPlainTextEdit* Memo1;
  QLabel* Label1;
  QPushButton* B_quit;
  QLabel* Label2;

  // The grid row chosen last by the user, -1 until the first choice. Retirer
  // acts on it; nothing but a cell selection changes it.
  int SelectedRow = -1;

 public slots:
  void B_ajouterClick();
  void B_retirerClick();
  void StringGrid1SelectCell(int ACol, int ARow);
  void B_cancelClick();
  void B_updateClick();
  void B_saveClick();
  void B_creerClick();
  void B_supprClick();
  void B_editClick();
  void B_quitClick();
  void FormShow();
  void FormDeactivate();

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void BindEvents();
  void KeepOnScreen();
  bool EditingAGroup() const;
  // Enables each command that may run now: none that moves rows while the
  // update waits, no update while any fetching command runs.
  void RefreshCommandStates();
  // Shows the message once the current event has been handled, for
  // reports raised while Qt is in the middle of a show or an activation.
  void ReportLater(const QString& text);
  void ShowPendingReports();
  // The program is ending: the list is saved as at a deactivation, and what
  // is still to be reported is shown now, as queued reports would never run.
  void FinishBeforeQuit();
  void LoseActivation();
  // The caption holds the name as typed: "&" would otherwise mark a shortcut.
  void SetEditedGroup(const QString& name);
  QString EditedGroup() const;
  void ListGroup(const QString& name);

  bool active_ = false;
  bool shownBefore_ = false;
  bool updating_ = false;
  veskor::FetchGuard* fetches_ = nullptr;
  veskor::GroupListKeeper groupList_;
  QStringList pendingReports_;
  QString reportOnScreen_;
  // A list failure is being reported: the box's own activation deactivates
  // this window and would report the same failure again, box after box.
  bool listReportOpen_ = false;
};

extern TF_edition* F_edition;

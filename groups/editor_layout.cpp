// The controls of the group editor window, placed at fixed pixel positions
// relative to their parent as the window was designed; nothing stretches.

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>

#include "groups/u_gid.h"
#include "platform/design_fonts.h"
#include "platform/string_grid_widget.h"

namespace {

QFont DesignFont(int pixels, bool bold) {
  return veskor::DesignFont(veskor::DesignFace::MSSansSerif, pixels, bold);
}

// DejaVu Sans runs wider than the design's MS Sans Serif: a caption that its
// designed width cannot hold is set narrower rather than cut off.
void Narrow(QWidget* control, const QString& caption, int room) {
  QFont font = control->font();
  for (int stretch : {QFont::SemiCondensed, QFont::Condensed}) {
    if (QFontMetrics(font).horizontalAdvance(caption) <= room) return;
    font.setStretch(stretch);
    control->setFont(font);
  }
}

QPushButton* Button(QWidget* parent, const QString& caption, int left, int top, int width,
                    int height) {
  auto* button = new QPushButton(caption, parent);
  button->setGeometry(left, top, width, height);
  button->setFont(DesignFont(11, false));
  button->setAutoDefault(false);
  Narrow(button, caption, width - 8);
  return button;
}

QLineEdit* EditBox(QWidget* parent, const QString& text, int left, int top, int width, int height) {
  auto* edit = new QLineEdit(text, parent);
  edit->setGeometry(left, top, width, height);
  edit->setFont(DesignFont(11, false));
  return edit;
}

QLabel* Label(QWidget* parent, const QString& caption, int left, int top, int width, int height) {
  auto* label = new QLabel(caption, parent);
  label->setGeometry(left, top, width, height);
  label->setFont(DesignFont(11, false));
  // Labels take the width of their text, from their designed left edge.
  label->adjustSize();
  return label;
}

QString HelpText() {
  const QStringList lines{
      QStringLiteral("Aide"),
      QString(),
      QStringLiteral("1) Créez vos groupes qui contiendront plusieurs newsgroups"),
      QString(),
      QStringLiteral("2) Choisissez votre groupe à éditer ou supprimer (sauvegarde automatique)."),
      QStringLiteral("    Attention, la suppression est irréversible !"),
      QString(),
      QStringLiteral("3) Ajouter un à un vos newsgroups"),
      QString(),
      QStringLiteral("4) Faites une mise à jour afin de récupérer les urls. "),
      QString(),
      QStringLiteral("5) N'oubliez pas de sauvegarder !"),
  };
  return lines.join(QLatin1Char('\n'));
}

}  // namespace

void TF_edition::BuildControls() {
  setWindowTitle(QStringLiteral("Configuration"));
  setFont(DesignFont(11, false));
  setFixedSize(750, 489);
  move(-130, 143);

  GroupBox2 = new QGroupBox(QStringLiteral("Gestion des groupes"), this);
  GroupBox2->setGeometry(0, 0, 745, 209);
  GroupBox2->setFont(DesignFont(13, true));

  Label1 = Label(GroupBox2, QStringLiteral("Liste des groupes enregistrés:"), 16, 96, 140, 13);
  QFont underlined = Label1->font();
  underlined.setUnderline(true);
  Label1->setFont(underlined);
  Label1->setLayoutDirection(Qt::RightToLeft);
  Label1->adjustSize();

  ComboBox1 = new QComboBox(GroupBox2);
  ComboBox1->setGeometry(16, 120, 145, 21);
  ComboBox1->setFont(DesignFont(11, false));
  ComboBox1->setEditable(false);

  editCreaGpe = EditBox(GroupBox2, QStringLiteral("Nom du groupe à créer"), 16, 32, 145, 21);
  B_creer = Button(GroupBox2, QStringLiteral("Créer"), 184, 32, 75, 17);
  B_edit = Button(GroupBox2, QStringLiteral("Editer"), 184, 104, 75, 17);
  B_suppr = Button(GroupBox2, QStringLiteral("Supprimer"), 184, 136, 75, 17);

  Memo1 = new QPlainTextEdit(GroupBox2);
  Memo1->setGeometry(368, 16, 361, 185);
  Memo1->setFont(DesignFont(11, false));
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setFrameShape(QFrame::NoFrame);
  Memo1->setPlainText(HelpText());

  B_quit = Button(GroupBox2, QStringLiteral("Quitter"), 32, 168, 217, 33);

  GroupBox1 = new QGroupBox(QStringLiteral("  Editeur de groupe"), this);
  GroupBox1->setGeometry(0, 208, 753, 281);
  GroupBox1->setFont(DesignFont(13, true));

  Label2 = Label(GroupBox1, QStringLiteral("Sauvegarder ou  Annuler l'édition"), 32, 208, 156, 13);
  Edit1 = EditBox(GroupBox1, QStringLiteral("Nom du newsgroup à ajouter"), 16, 40, 201, 21);

  CheckBox1 = new QCheckBox(QStringLiteral("Tout mettre à jour"), GroupBox1);
  CheckBox1->setGeometry(112, 160, 105, 17);
  CheckBox1->setFont(DesignFont(11, false));
  CheckBox1->setChecked(false);
  Narrow(CheckBox1, CheckBox1->text(), 105 - 20);

  B_update = Button(GroupBox1, QStringLiteral("Mettre à jour"), 24, 160, 73, 17);
  B_save = Button(GroupBox1, QStringLiteral("Sauvegarder"), 24, 232, 75, 17);
  B_retirer = Button(GroupBox1, QStringLiteral("Retirer"), 136, 120, 75, 17);
  B_cancel = Button(GroupBox1, QStringLiteral("Annuler"), 120, 232, 75, 17);
  B_ajouter = Button(GroupBox1, QStringLiteral("Ajouter >>"), 136, 88, 75, 17);

  StringGrid1 = new TStringGrid(2, 2, GroupBox1);
  StringGrid1->setGeometry(232, 16, 505, 257);
  StringGrid1->setFont(DesignFont(11, false));
  StringGrid1->SetColWidth(0, 381);
  StringGrid1->SetColWidth(1, 118);
  StringGrid1->SetDefaultRowHeight(20);
  StringGrid1->SetRangeSelect(false);

  // Focus walks GroupBox1 first, then GroupBox2, each in its designed order.
  QWidget::setTabOrder(Edit1, CheckBox1);
  QWidget::setTabOrder(CheckBox1, B_update);
  QWidget::setTabOrder(B_update, B_save);
  QWidget::setTabOrder(B_save, B_retirer);
  QWidget::setTabOrder(B_retirer, B_cancel);
  QWidget::setTabOrder(B_cancel, B_ajouter);
  QWidget::setTabOrder(B_ajouter, StringGrid1);
  QWidget::setTabOrder(StringGrid1, ComboBox1);
  QWidget::setTabOrder(ComboBox1, editCreaGpe);
  QWidget::setTabOrder(editCreaGpe, B_creer);
  QWidget::setTabOrder(B_creer, B_edit);
  QWidget::setTabOrder(B_edit, B_suppr);
  QWidget::setTabOrder(B_suppr, Memo1);
  QWidget::setTabOrder(Memo1, B_quit);
}

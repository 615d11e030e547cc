// "Mettre à jour": fills the grid's ID column from the archive, the rows'
// lookups side by side over the program's connections, written in row order.

#include <QCheckBox>
#include <QPushButton>
#include <exception>
#include <optional>
#include <string>

#include "engine/archive_requests.h"
#include "groups/id_update.h"
#include "groups/u_gid.h"
#include "platform/fetch_guard.h"
#include "platform/message_box.h"
#include "platform/qt_text.h"
#include "platform/string_grid_widget.h"

void TF_edition::RefreshCommandStates() {
  for (QPushButton* button : {B_ajouter, B_retirer, B_edit, B_cancel, B_save})
    button->setEnabled(!updating_);
  const bool fetching = fetches_ != nullptr && fetches_->Busy();
  B_update->setEnabled(!updating_ && !fetching);
}

void TF_edition::B_updateClick() {
  if (fetches_ == nullptr) return;
  veskor::FetchGuard& fetches = *fetches_;
  std::optional<std::string> failure;
  {
    veskor::FetchScope fetching(fetches);
    if (!fetching) return;  // a search is running
    // Events keep flowing while a lookup waits: the commands that move or
    // replace rows are held back so that each ID lands in the row it was
    // fetched for.
    updating_ = true;
    RefreshCommandStates();
    try {
      veskor::UpdateNewsgroupIds(
          *StringGrid1, [this] { return CheckBox1->isChecked(); }, fetches.SideBySideFetcher(),
          veskor::DefaultArchiveServer());
    } catch (const std::exception& error) {
      failure = error.what();
    }
    updating_ = false;
  }
  RefreshCommandStates();
  // A program that is closing has aborted the lookup itself.
  if (fetches.Closed()) return;
  veskor::ShowMessage(failure ? veskor::FromAnsi(*failure)
                              : QStringLiteral("Mise à jour effectuée"));
}

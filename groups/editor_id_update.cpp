// "Mettre à jour": fills the grid's ID column from the archive, one lookup
// per newsgroup row, in row order.

#include <QCheckBox>
#include <QPushButton>
#include <exception>
#include <optional>
#include <string>

#include "engine/archive_requests.h"
#include "groups/u_gid.h"
#include "platform/fetch_guard.h"
#include "platform/message_box.h"
#include "platform/qt_text.h"
#include "platform/string_grid_widget.h"

namespace {

// The lookup's answer for "nothing to write".
constexpr char kNoChange[] = "-1";
// "Non trouvé" in Windows-1252.
constexpr char kNotFound[] = "Non trouv\xE9";

void UpdateIds(veskor::StringGrid& grid, const QCheckBox& all, veskor::PageFetcher& fetcher) {
  const std::string server = veskor::DefaultArchiveServer();
  for (std::size_t row = 1; row < grid.RowCount(); ++row) {
    const std::string newsgroup = grid.Cell(0, row);
    if (newsgroup.empty()) continue;
    const std::string address = veskor::IdLookupAddress(server, newsgroup);
    std::string result = kNoChange;
    if (all.isChecked()) {
      result = veskor::LookupNewsgroupId(fetcher, address);
      grid.SetCell(1, row, "");
    } else if (grid.Cell(1, row).empty()) {
      result = veskor::LookupNewsgroupId(fetcher, address);
    }
    if (result.empty())
      grid.SetCell(1, row, kNotFound);
    else if (result != kNoChange)
      grid.SetCell(1, row, result);
  }
}

}  // namespace

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
      UpdateIds(*StringGrid1, *CheckBox1, fetches.Fetcher());
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

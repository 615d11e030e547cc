#pragma once
// "Mettre à jour": the group editor's newsgroup IDs looked up from the
// archive, several lookups in flight at once, written one row after the other.
//
// Rows are still handled in row order, each at its turn: its name, its ID
// cell, "Tout mettre à jour" and the row count are read then, and its result
// (or its error) is written then. Lookups of later rows are made ahead over
// the free connections and only wait there for their turn; a row whose turn
// asks for something else than what was looked up ahead (another name, or no
// lookup at all) drops that reply, and a row that was not looked up ahead is
// looked up at its turn.

#include <functional>
#include <string_view>

#include "engine/concurrent_fetcher.h"
#include "engine/string_grid.h"

namespace veskor {

// Fills the ID column (1) of `grid` from the newsgroup names of column 0,
// rows 1 to the last, through `fetcher`, for the archive at `server`.
// `updateAll` tells whether "Tout mettre à jour" is checked: every named row
// is looked up again, its ID cell emptied; otherwise only rows with an empty
// ID cell are looked up. A lookup's ID goes into its row, "Non trouvé" when
// it is empty; "-1" writes nothing.
//
// An error of a lookup is thrown at that row's turn: the rows before it keep
// their new IDs, that row and the later ones are left as they were. Requests
// still in flight when it returns or throws are cancelled.
void UpdateNewsgroupIds(StringGrid& grid, const std::function<bool()>& updateAll,
                        ConcurrentFetcher& fetcher, std::string_view server);

}  // namespace veskor

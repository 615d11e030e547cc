#include "groups/group_list_keeper.h"

namespace veskor {

std::string GroupListKeeper::Load(DropDownList& list) {
  if (unsaved_) return {};
  switch (LoadGroupListFile(list)) {
    case FileRead::Read:
      keepFile_ = false;
      return {};
    case FileRead::Missing:
      keepFile_ = false;
      return "Erreur du chargement des groupes";
    case FileRead::Unreadable:
      keepFile_ = true;
      return "Erreur du chargement des groupes : le fichier \xAB gpeliste.lst \xBB existe mais "
             "ne peut pas \xEAtre lu. Il ne sera pas remplac\xE9 tant que vous ne modifiez "
             "pas la liste.";
  }
  return {};
}

void GroupListKeeper::Changed() { keepFile_ = false; }

std::string GroupListKeeper::Save(const std::vector<std::string>& names) {
  if (keepFile_) return {};
  try {
    SaveGroupList(names);
    unsaved_ = false;
    return {};
  } catch (const StoreError& error) {
    // A save that changes nothing on disk loses nothing by failing.
    unsaved_ = !GroupListOnDiskIs(names);
    if (!unsaved_) return {};
    return std::string(error.what()) +
           ". La liste reste dans l'\xE9\x64iteur ; elle sera de nouveau enregistr\xE9\x65 "
           "quand la fen\xEAtre perdra la main.";
  }
}

}  // namespace veskor

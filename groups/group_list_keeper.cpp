#include "groups/group_list_keeper.h"

namespace veskor {

std::string GroupListKeeper::Load(DropDownList& list) {
  std::vector<std::string> names;
  const FileRead read = ReadFileLines(kGroupListFile, names);
  // A file that cannot be read stands for the list shown until then, to
  // which changes that are still to be saved apply.
  if (read == FileRead::Read)
    base_ = std::move(names);
  else if (read == FileRead::Missing || pending_.empty())
    base_.clear();
  list.ClearItems();
  for (const std::string& name : ApplyListChanges(base_, pending_)) list.AppendItem(name);
  // The failure of a save still to be done has been reported already.
  if (read == FileRead::Read || !pending_.empty()) return {};
  if (read == FileRead::Missing) return "Erreur du chargement des groupes";
  return "Erreur du chargement des groupes : le fichier \xAB gpeliste.lst \xBB existe mais "
         "ne peut pas \xEAtre lu. Il ne sera pas remplac\xE9 tant que vous ne modifiez "
         "pas la liste.";
}

void GroupListKeeper::Created(const std::string& name) {
  pending_.push_back({ListChange::Kind::Append, name});
}

void GroupListKeeper::Relisted(const std::string& name) {
  pending_.push_back({ListChange::Kind::Relist, name});
}

void GroupListKeeper::Deleted(const std::string& name, std::size_t occurrence) {
  pending_.push_back({ListChange::Kind::Remove, name, occurrence});
}

std::string GroupListKeeper::Save() {
  if (pending_.empty()) return {};
  try {
    base_ = UpdateGroupList(pending_, base_);
    pending_.clear();
    return {};
  } catch (const StoreError& error) {
    return std::string(error.what()) +
           ". La liste reste dans l'\xE9\x64iteur ; elle sera de nouveau enregistr\xE9\x65 "
           "quand la fen\xEAtre perdra la main.";
  }
}

}  // namespace veskor

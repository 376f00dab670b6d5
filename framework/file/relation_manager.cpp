// The relation manager's set-up and its two framed operations, Update and Delete. The steps over
// one relation's children are in relation_integrity.cpp.
#include "framework/file/relation_manager.h"

#include <algorithm>

#include "data/driver/driver.h"
#include "framework/file/field_values.h"

namespace pellucor::framework {

void RelationManager::Init(FileManager& me) {
  ME = &me;
  RELATIONS.clear();
  ALIASFILE = nullptr;
  USELOGOUT = false;
  LASTTOUCHED = 0;
}

void RelationManager::Kill() {
  if (ME != nullptr) ME->Kill();
  RELATIONS.clear();
  old_record_.clear();
}

bool RelationManager::AddRelation(RelationManager& child, Integrity update_mode,
                                  Integrity delete_mode, const data::KeyDecl* his_key,
                                  const std::vector<std::pair<std::string, std::string>>& links) {
  RelationRow row;
  row.FILE = &child;
  row.HISKEY = his_key;
  row.UPDATEMODE = update_mode;
  row.DELETEMODE = delete_mode;
  for (const auto& [mine, his] : links) {
    LinkField link;
    link.MINE = fields::NumberOf(ME->Layout(), mine);
    link.HIS = fields::NumberOf(child.ME->Layout(), his);
    if (link.MINE == 0 || link.HIS == 0) return false;
    row.FIELDS.push_back(link);
  }
  if (row.FIELDS.empty()) return false;
  RELATIONS.push_back(std::move(row));
  return true;
}

Level RelationManager::Open() {
  return ME->Open();
}

Level RelationManager::Close() {
  return ME->Close();
}

Level RelationManager::CancelAutoNumber() {
  return ME->ReleaseAutoNumber(this);
}

void RelationManager::SetQuickScan(bool on, bool propagate) {
  std::vector<RelationManager*> files{this};
  if (propagate) {
    for (const RelationRow& r : RELATIONS) files.push_back(r.FILE);
  }
  for (RelationManager* rm : files) {
    data::OpArgs send;
    send.text = std::string("QUICKSCAN=") + (on ? "on" : "off");
    // A driver without the option ignores it: quick scan only makes reading cheaper.
    (void)data::Dispatch(*rm->ME->FILE, data::Op::kSEND, send);
  }
}

// --- Related files and the transaction ---

bool RelationManager::OpenRelated(Rule rule, std::vector<RelationManager*>* opened) {
  std::vector<RelationManager*> pending{this};
  std::vector<RelationManager*> seen{this};
  while (!pending.empty()) {
    RelationManager* rm = pending.back();
    pending.pop_back();
    for (const RelationRow& r : rm->RELATIONS) {
      const Integrity mode = rule == Rule::kUpdate ? r.UPDATEMODE : r.DELETEMODE;
      // A cascading delete deletes grandchildren by the children's own delete rules, and a
      // cascading update changes them by their update rules, so whatever the rule, the files
      // below it are reached the same way.
      if (mode == Integrity::kNone) continue;
      if (std::find(seen.begin(), seen.end(), r.FILE) != seen.end()) continue;
      seen.push_back(r.FILE);
      if (r.FILE->ME->Open() != Level::Proceed) {
        CloseRelated(*opened);
        return false;
      }
      opened->push_back(r.FILE);
      pending.push_back(r.FILE);
    }
  }
  return true;
}

void RelationManager::CloseRelated(std::vector<RelationManager*>& opened) {
  for (auto it = opened.rbegin(); it != opened.rend(); ++it) (void)(*it)->ME->Close();
  opened.clear();
}

int32_t RelationManager::Begin() {
  if (!USELOGOUT) return 0;
  return data::Dispatch(*ME->FILE, data::Op::kLOGOUT).error;
}

void RelationManager::Rollback(bool framed) {
  if (framed) (void)data::Dispatch(*ME->FILE, data::Op::kROLLBACK);
}

void RelationManager::PutLinksBack(const std::vector<uint8_t>& old_record) {
  if (old_record.empty()) return;
  for (const RelationRow& r : RELATIONS) {
    for (const LinkField& link : r.FIELDS) {
      fields::Assign(ME->Layout(), ME->Buffer(), link.MINE, ME->Layout(), old_record.data(),
                     link.MINE);
    }
  }
}

// --- Update ---

Level RelationManager::Update(UpdateMode mode) {
  const Outcome out = UpdateOnce(mode);
  if (out.failed() && out.noted != nullptr) (void)out.noted->ReportLast();
  return out.level;
}

RelationManager::Outcome RelationManager::UpdateOnce(UpdateMode mode) {
  old_record_.clear();
  const bool has_rules = std::any_of(RELATIONS.begin(), RELATIONS.end(), [](const RelationRow& r) {
    return r.UPDATEMODE != Integrity::kNone;
  });
  if (has_rules) {
    // The children point at the link values as stored, which the buffer is about to replace.
    const uint32_t pointer = ME->CurrentPointer();
    if (pointer != 0 && ME->ReadStored(pointer, &old_record_) != 0) {
      ME->NoteError(msg::kRecordNotUpdated);
      return {Level::AskUser, ME};
    }
  }
  std::vector<RelationManager*> opened;
  if (!OpenRelated(Rule::kUpdate, &opened)) return {Level::AskUser, nullptr};
  Outcome out;
  // A restricted link is refused before anything is written, transaction or not.
  for (RelationRow& r : RELATIONS) {
    if (out.failed()) break;
    if (r.UPDATEMODE != Integrity::kRestrict || !LinksChanged(r, old_record_, ME->Buffer())) {
      continue;
    }
    bool found = false;
    out = HasChildren(r, old_record_, &found);
    if (!out.failed() && found) {
      r.FILE->ME->NoteError(msg::kIntegrityUpdate);
      PutLinksBack(old_record_);
      out = {Level::Notified, r.FILE->ME};
    }
  }
  if (!out.failed()) {
    const bool framed = USELOGOUT;
    if (Begin() != 0) {
      ME->NoteError(msg::kTransactionCancelled);
      out = {Level::Notified, ME};
    } else if (const Level written = ME->TryUpdate(); written != Level::Proceed) {
      Rollback(framed);
      FileInfo& info = ME->Info();
      if (mode == UpdateMode::kForm && info.LASTERROR == msg::kChangedByAnotherStation) {
        info.LASTERROR = msg::kChangedByAnotherStationForm;
      }
      const bool changed_elsewhere = info.LASTERROR == msg::kChangedByAnotherStation ||
                                     info.LASTERROR == msg::kChangedByAnotherStationForm;
      out = {changed_elsewhere ? Level::Notified : Level::AskUser, ME};
      // A record the validation hook refused, or a file that would not open, was dealt with
      // there: there is no recorded message to show.
      if (written == Level::AskUser || written == Level::Fatal) out = {written, nullptr};
    } else {
      const std::vector<uint8_t> new_record(ME->Buffer(), ME->Buffer() + ME->BufferSize());
      for (RelationRow& r : RELATIONS) {
        if (r.UPDATEMODE == Integrity::kNone || r.UPDATEMODE == Integrity::kRestrict ||
            !LinksChanged(r, old_record_, new_record.data())) {
          continue;
        }
        out = UpdateChildren(r, r.UPDATEMODE, old_record_, new_record);
        if (out.failed()) break;
      }
      if (out.failed()) {
        Rollback(framed);
        PutLinksBack(old_record_);
        if (out.level != Level::Notified) out.level = Level::AskUser;
      } else if (framed && data::Dispatch(*ME->FILE, data::Op::kCOMMIT).error != 0) {
        ME->NoteError(msg::kRecordNotUpdated);
        Rollback(framed);
        out = {Level::AskUser, ME};
      }
    }
  }
  CloseRelated(opened);
  return out;
}

// --- Delete ---

Level RelationManager::Delete(DeleteConfirm ask) {
  if (ask == DeleteConfirm::kAsk && ME->ReportError(msg::kConfirmDelete) != Level::Proceed) {
    return Level::Cancelled;
  }
  for (;;) {
    const Outcome out = DeleteOnce();
    if (!out.failed()) return Level::Proceed;
    if (out.noted != nullptr) (void)out.noted->ReportLast();
    // Only a record that would not go itself is worth another try; a refused relation or a
    // failed child would refuse again.
    if (!out.record_not_deleted || ME->ReportError(msg::kRecordDeleteError) != Level::Proceed) {
      return Level::Notified;
    }
  }
}

RelationManager::Outcome RelationManager::DeleteOnce() {
  std::vector<RelationManager*> opened;
  if (!OpenRelated(Rule::kDelete, &opened)) return {Level::Notified, nullptr};
  const uint16_t saved = ME->SnapshotBuffer();
  const uint32_t pointer = ME->CurrentPointer();
  const bool framed = USELOGOUT;
  Outcome out;
  if (Begin() != 0) {
    ME->NoteError(msg::kTransactionCancelled);
    out = {Level::Notified, ME};
  } else {
    // The record as stored now is what goes, and what its children are matched against.
    if (pointer != 0) {
      data::OpArgs get;
      get.pointer = pointer;
      if (data::Dispatch(*ME->FILE, data::Op::kGETfileptr, get).error != 0) {
        ME->NoteError(msg::kRecordNotDeleted);
        out = {Level::Notified, ME, true};
      }
    }
    // Without a transaction to roll back, a refusal anywhere below must be known before the
    // first child goes.
    if (!out.failed() && !framed)
      out = CheckDeletable(std::vector<uint8_t>(ME->Buffer(), ME->Buffer() + ME->BufferSize()));
    if (!out.failed()) out = DeleteRecordTree();
    if (out.failed()) {
      Rollback(framed);
    } else if (framed && data::Dispatch(*ME->FILE, data::Op::kCOMMIT).error != 0) {
      ME->NoteError(msg::kRecordNotDeleted);
      Rollback(framed);
      out = {Level::Notified, ME, true};
    }
  }
  if (out.failed()) {
    ME->RestoreSnapshot(saved);
  } else {
    ME->DropSnapshot(saved);
  }
  CloseRelated(opened);
  return out;
}

}  // namespace pellucor::framework

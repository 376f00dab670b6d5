// The relation manager: one per data file, beside its file manager. Procedures open and close
// their files through it, and it keeps referential integrity between the file (the parent) and
// the files that point at its records (the children) when a parent record changes or goes:
//
//   none      the children are left alone;
//   clear     the children's link fields are cleared;
//   restrict  the change is refused while children exist;
//   cascade   the children follow: their link fields take the new values, or they are deleted
//             (with their own children, by their own rules).
//
// With USELOGOUT the whole operation runs in one transaction over every file it writes, so a
// failure anywhere (a restricted grandchild, a duplicate key, a write error) rolls everything
// back: no child is deleted or changed unless the parent's change goes through. Without it, a
// restricted update or delete (a restrict relation anywhere below a cascade) is still refused
// before anything is written, but another failure in the middle of a cascade (a write error, a
// duplicate key) leaves the children handled so far as they are.
//
// Use:
//   orders_rm.Init(orders_fm);  lines_rm.Init(lines_fm);
//   orders_rm.AddRelation(lines_rm, Integrity::kCascade, Integrity::kRestrict,
//                         lines_decl->FindKey("LIN:BYORDER"), {{"ORD:ID", "LIN:ORDER"}});
//   orders_rm.USELOGOUT = true;
//   orders_rm.Open(); ... orders_rm.Delete(DeleteConfirm::kAsk); ... orders_rm.Close();
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "data/driver/declaration.h"
#include "framework/error/level.h"
#include "framework/file/file_manager.h"

namespace pellucor::framework {

// The integrity modes of a relation (UPDATEMODE, DELETEMODE).
enum class Integrity : uint8_t { kNone = 0, kClear = 1, kRestrict = 2, kCascade = 3 };

// Whether Delete asks "Confirm Delete" first.
enum class DeleteConfirm : uint8_t { kNoAsk, kAsk };

class RelationManager;

// One link: a field of this file and the field of the related file that holds its value (field
// numbers from 1).
struct LinkField {
  int32_t MINE = 0;
  int32_t HIS = 0;
};

// One relation row (RELATIONS): this file is the parent, FILE the child.
struct RelationRow {
  RelationManager* FILE = nullptr;  // not owned: the child's relation manager
  std::vector<LinkField> FIELDS;
  const data::KeyDecl* HISKEY = nullptr;  // the child's key that the link fields lead
  Integrity UPDATEMODE = Integrity::kNone;
  Integrity DELETEMODE = Integrity::kNone;
};

class RelationManager {
 public:
  RelationManager() = default;
  virtual ~RelationManager() = default;
  RelationManager(const RelationManager&) = delete;
  RelationManager& operator=(const RelationManager&) = delete;

  // Binds the manager to its file's manager. REQUIRES: `me` outlives this manager's use.
  void Init(FileManager& me);
  // Kills the file manager; the relations are forgotten.
  virtual void Kill();

  // Declares `child` as pointing at this file's records: `links` pairs a field label of this
  // file with the child's field label that holds its value ("ORD:ID", "LIN:ORDER"); `his_key`
  // is the child's key led by those fields (nullptr: the child is scanned whole). Returns false,
  // adding nothing, when a label names no field.
  bool AddRelation(RelationManager& child, Integrity update_mode, Integrity delete_mode,
                   const data::KeyDecl* his_key,
                   const std::vector<std::pair<std::string, std::string>>& links);

  virtual Level Open();
  virtual Level Close();

  // Writes the buffer over the current record and applies every relation's update rule to the
  // children of the record's old link values. `mode` kForm when a form calls: a change by
  // another station then shows message 7. Proceed; Notified when another station changed the
  // record (the buffer holds its version) or a restrict relation refused the change (the link
  // fields are back at their stored values); AskUser (1) for any other failure.
  virtual Level Update(UpdateMode mode);
  // Deletes the current record after applying every relation's delete rule, asking "Confirm
  // Delete" first when `ask`. When the record itself cannot be deleted, asks "Record Delete
  // Error" and tries again on Yes.
  virtual Level Delete(DeleteConfirm ask);
  // The steps of one relation, over the children of the current record: by `mode`, refuse,
  // clear or delete them (DeleteSecondary), or refuse, clear or renew their links
  // (UpdateSecondary, from the link values the last Update found stored). A failure is shown.
  virtual Level UpdateSecondary(RelationRow& relation, Integrity mode);
  virtual Level DeleteSecondary(RelationRow& relation, Integrity mode);

  // Removes the record the file manager numbered for an insert that was abandoned.
  Level CancelAutoNumber();
  // Switches the driver's quick scan of the file on or off ("QUICKSCAN=on" / "off"), and of the
  // related files too when `propagate`.
  void SetQuickScan(bool on, bool propagate);

  // --- Fields, in order ---

  FileManager* ME = nullptr;  // not owned: the file's own manager
  std::vector<RelationRow> RELATIONS;
  RelationManager* ALIASFILE = nullptr;  // the relation manager of the aliased file
  bool USELOGOUT = false;                // frame updates and deletes in a transaction
  int32_t LASTTOUCHED = 0;

 private:
  // What failed: `noted` holds the message to show (its LASTERROR), after any rollback.
  struct Outcome {
    Level level = Level::Proceed;
    FileManager* noted = nullptr;
    bool record_not_deleted = false;  // the parent's own delete failed (message 33 may retry)
    bool failed() const { return level != Level::Proceed; }
  };
  enum class Rule : uint8_t { kUpdate, kDelete };

  Outcome UpdateOnce(UpdateMode mode);
  Outcome DeleteOnce();
  // The record in the buffer is deleted after its children (no transaction of its own).
  Outcome DeleteRecordTree();
  // The buffer is written over the current record, then its children follow (`old_record` holds
  // its stored version).
  Outcome UpdateRecord(const std::vector<uint8_t>& old_record);
  Outcome DeleteChildren(RelationRow& relation, Integrity mode, const std::vector<uint8_t>& parent);
  Outcome UpdateChildren(RelationRow& relation, Integrity mode,
                         const std::vector<uint8_t>& old_parent,
                         const std::vector<uint8_t>& new_parent);
  // Positions the child on the first record that may hold `parent`'s link values.
  int32_t PositionOnChildren(const RelationRow& relation, const std::vector<uint8_t>& parent);
  bool LinksMatch(const RelationRow& relation, const std::vector<uint8_t>& parent,
                  const uint8_t* child);
  bool LinksChanged(const RelationRow& relation, const std::vector<uint8_t>& old_record,
                    const uint8_t* record);
  // Whether the record (and, through cascading relations, its children) may go: no restrict
  // relation below it has children. Reads only.
  Outcome CheckDeletable(const std::vector<uint8_t>& record);
  // Whether a child with `parent`'s link values exists (leaves the child's state as it was).
  Outcome HasChildren(RelationRow& relation, const std::vector<uint8_t>& parent, bool* found);
  void PutLinksBack(const std::vector<uint8_t>& old_record);
  // Opens (and later closes) every file reachable through relations with a rule of `rule`.
  bool OpenRelated(Rule rule, std::vector<RelationManager*>* opened);
  void CloseRelated(std::vector<RelationManager*>& opened);
  int32_t Begin();
  void Rollback(bool framed);

  std::vector<uint8_t> old_record_;  // the stored version the last Update started from
};

}  // namespace pellucor::framework

// The steps over one relation's children: finding them by the parent's link values, and
// refusing, clearing, renewing or deleting them. Nothing here starts or ends a transaction:
// Update and Delete frame the whole tree, and a failure is recorded (with the file it concerns)
// for them to show once everything is rolled back.
#include <cstring>

#include "data/driver/driver.h"
#include "framework/file/field_values.h"
#include "framework/file/relation_manager.h"

namespace pellucor::framework {

namespace {

bool KeyIsNoCase(const data::KeyDecl* key) {
  return key != nullptr && (key->flags & data::key_flag::kNoCase) != 0;
}

std::vector<uint8_t> CopyOf(FileManager& file) {
  return std::vector<uint8_t>(file.Buffer(), file.Buffer() + file.BufferSize());
}

}  // namespace

bool RelationManager::LinksMatch(const RelationRow& relation, const std::vector<uint8_t>& parent,
                                 const uint8_t* child) {
  const FileManager& other = *relation.FILE->ME;
  for (const LinkField& link : relation.FIELDS) {
    if (!fields::SameValue(ME->Layout(), parent.data(), link.MINE, other.Layout(), child, link.HIS,
                           KeyIsNoCase(relation.HISKEY))) {
      return false;
    }
  }
  return true;
}

bool RelationManager::LinksChanged(const RelationRow& relation,
                                   const std::vector<uint8_t>& old_record, const uint8_t* record) {
  if (old_record.empty()) return false;
  for (const LinkField& link : relation.FIELDS) {
    // Exactly as stored: a change of letter case is a change the children must follow.
    if (!fields::SameValue(ME->Layout(), old_record.data(), link.MINE, ME->Layout(), record,
                           link.MINE, false)) {
      return true;
    }
  }
  return false;
}

int32_t RelationManager::PositionOnChildren(const RelationRow& relation,
                                            const std::vector<uint8_t>& parent) {
  FileManager& child = *relation.FILE->ME;
  if (child.EnsureOpen() != Level::Proceed) return -1;
  data::FileDecl& file = *child.FILE;
  if (const int32_t e = data::Dispatch(file, data::Op::kCLEAR).error; e != 0) return e;
  data::OpArgs args;
  if (relation.HISKEY == nullptr) return data::Dispatch(file, data::Op::kSETfile).error;
  // The key's other components start at their lowest place in the key's order, so that the
  // first child of the value is not passed over.
  for (const int32_t component : relation.HISKEY->components) {
    const int32_t field = component < 0 ? -component : component;
    bool linked = false;
    for (const LinkField& link : relation.FIELDS) linked = linked || link.HIS == field;
    if (!linked) {
      fields::Clear(child.Layout(), child.Buffer(), field,
                    component < 0 ? runtime::ClearMode::kHighest : runtime::ClearMode::kLowest);
    }
  }
  for (const LinkField& link : relation.FIELDS) {
    fields::Assign(child.Layout(), child.Buffer(), link.HIS, ME->Layout(), parent.data(),
                   link.MINE);
  }
  args.key = relation.HISKEY;
  return data::Dispatch(file, data::Op::kSETkeykey, args).error;
}

RelationManager::Outcome RelationManager::HasChildren(RelationRow& relation,
                                                      const std::vector<uint8_t>& parent,
                                                      bool* found) {
  FileManager& child = *relation.FILE->ME;
  *found = false;
  const uint16_t state = child.SaveFileState();
  Outcome out;
  if (PositionOnChildren(relation, parent) != 0) {
    child.NoteError(msg::kRecordRetrievalError);
    out = {Level::Fatal, &child};
  } else {
    for (;;) {
      const Level read = child.TryNext();
      if (read != Level::Proceed) {
        if (!child.Info().ATEOF) out = {Level::Fatal, &child};
        break;
      }
      if (LinksMatch(relation, parent, child.Buffer())) {
        *found = true;
        break;
      }
      if (relation.HISKEY != nullptr) break;  // past the value in the key's order
    }
  }
  child.RestoreFileState(state);
  return out;
}

RelationManager::Outcome RelationManager::CheckDeletable(const std::vector<uint8_t>& record) {
  for (RelationRow& r : RELATIONS) {
    if (r.DELETEMODE == Integrity::kRestrict) {
      bool found = false;
      if (const Outcome out = HasChildren(r, record, &found); out.failed()) return out;
      if (found) {
        r.FILE->ME->NoteError(msg::kIntegrityDelete);
        return {Level::Notified, r.FILE->ME};
      }
    } else if (r.DELETEMODE == Integrity::kCascade) {
      FileManager& child = *r.FILE->ME;
      const uint16_t state = child.SaveFileState();
      Outcome out;
      if (PositionOnChildren(r, record) != 0) {
        child.NoteError(msg::kRecordRetrievalError);
        out = {Level::Fatal, &child};
      }
      while (!out.failed()) {
        if (child.TryNext() != Level::Proceed) {
          if (!child.Info().ATEOF) out = {Level::Fatal, &child};
          break;
        }
        if (!LinksMatch(r, record, child.Buffer())) {
          if (r.HISKEY != nullptr) break;
          continue;
        }
        out = r.FILE->CheckDeletable(CopyOf(child));
      }
      child.RestoreFileState(state);
      if (out.failed()) return out;
    }
  }
  return {};
}

RelationManager::Outcome RelationManager::DeleteChildren(RelationRow& relation, Integrity mode,
                                                         const std::vector<uint8_t>& parent) {
  if (mode == Integrity::kNone) return {};
  RelationManager& rm = *relation.FILE;
  FileManager& child = *rm.ME;
  const uint16_t state = child.SaveFileState();
  Outcome out;
  if (PositionOnChildren(relation, parent) != 0) {
    child.NoteError(msg::kRecordRetrievalError);
    out = {Level::Fatal, &child};
  }
  while (!out.failed()) {
    const Level read = child.TryNext();
    if (read != Level::Proceed) {
      // The end of the file ends the children; any other failure ends the operation.
      if (!child.Info().ATEOF) out = {Level::Fatal, &child};
      break;
    }
    if (!LinksMatch(relation, parent, child.Buffer())) {
      if (relation.HISKEY != nullptr) break;
      continue;
    }
    if (mode == Integrity::kRestrict) {
      child.NoteError(msg::kIntegrityDelete);
      out = {Level::Notified, &child};
    } else if (mode == Integrity::kClear) {
      const std::vector<uint8_t> as_read = CopyOf(child);
      for (const LinkField& link : relation.FIELDS) {
        fields::Clear(child.Layout(), child.Buffer(), link.HIS, runtime::ClearMode::kBlank);
      }
      out = rm.UpdateRecord(as_read);
    } else {
      out = rm.DeleteRecordTree();
    }
  }
  child.RestoreFileState(state);
  return out;
}

RelationManager::Outcome RelationManager::UpdateChildren(RelationRow& relation, Integrity mode,
                                                         const std::vector<uint8_t>& old_parent,
                                                         const std::vector<uint8_t>& new_parent) {
  if (mode == Integrity::kNone) return {};
  RelationManager& rm = *relation.FILE;
  FileManager& child = *rm.ME;
  const uint16_t state = child.SaveFileState();
  Outcome out;
  if (PositionOnChildren(relation, old_parent) != 0) {
    child.NoteError(msg::kRecordRetrievalError);
    out = {Level::Fatal, &child};
  }
  while (!out.failed()) {
    const Level read = child.TryNext();
    if (read != Level::Proceed) {
      if (!child.Info().ATEOF) out = {Level::Fatal, &child};
      break;
    }
    if (!LinksMatch(relation, old_parent, child.Buffer())) {
      if (relation.HISKEY != nullptr) break;
      continue;
    }
    if (mode == Integrity::kRestrict) {
      child.NoteError(msg::kIntegrityUpdate);
      out = {Level::Notified, &child};
      break;
    }
    const std::vector<uint8_t> as_read = CopyOf(child);
    for (const LinkField& link : relation.FIELDS) {
      if (mode == Integrity::kClear) {
        fields::Clear(child.Layout(), child.Buffer(), link.HIS, runtime::ClearMode::kBlank);
      } else {
        fields::Assign(child.Layout(), child.Buffer(), link.HIS, ME->Layout(), new_parent.data(),
                       link.MINE);
      }
    }
    out = rm.UpdateRecord(as_read);
  }
  child.RestoreFileState(state);
  return out;
}

RelationManager::Outcome RelationManager::DeleteRecordTree() {
  const std::vector<uint8_t> record = CopyOf(*ME);
  for (RelationRow& r : RELATIONS) {
    const Outcome out = DeleteChildren(r, r.DELETEMODE, record);
    if (out.failed()) return out;
  }
  // The children's reads went through their own files: this record is still current here.
  if (ME->TryDelete() != Level::Proceed) return {Level::Notified, ME, true};
  return {};
}

RelationManager::Outcome RelationManager::UpdateRecord(const std::vector<uint8_t>& old_record) {
  if (const Level written = ME->TryUpdate(); written != Level::Proceed) {
    return {written == Level::Notified ? Level::AskUser : written,
            written == Level::Notified ? ME : nullptr};
  }
  const std::vector<uint8_t> new_record = CopyOf(*ME);
  for (RelationRow& r : RELATIONS) {
    if (!LinksChanged(r, old_record, new_record.data())) continue;
    const Outcome out = UpdateChildren(r, r.UPDATEMODE, old_record, new_record);
    if (out.failed()) return out;
  }
  return {};
}

Level RelationManager::DeleteSecondary(RelationRow& relation, Integrity mode) {
  const Outcome out = DeleteChildren(relation, mode, CopyOf(*ME));
  if (out.failed() && out.noted != nullptr) (void)out.noted->ReportLast();
  return out.level;
}

Level RelationManager::UpdateSecondary(RelationRow& relation, Integrity mode) {
  const Outcome out = UpdateChildren(relation, mode, old_record_, CopyOf(*ME));
  if (out.failed() && out.noted != nullptr) (void)out.noted->ReportLast();
  if (out.failed() && mode == Integrity::kRestrict) PutLinksBack(old_record_);
  return out.level;
}

}  // namespace pellucor::framework

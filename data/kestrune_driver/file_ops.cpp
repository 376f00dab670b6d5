// REMOVE, RENAME and COPY. REMOVE and RENAME work on the table's name directory entry, so the
// other tables of the file stay; COPY copies the whole file.
#include <fstream>

#include "data/kestrune/names.h"
#include "data/kestrune_driver/entry_prefix.h"
#include "data/kestrune_driver/operations.h"
#include "data/kestrune_driver/physical_file.h"
#include "platform/system_error.h"
#include "runtime/core/error_state.h"

namespace pellucor::data::kdriver {
namespace {

namespace err = runtime::err;

int32_t CopyFile(platform::Env* env, const std::string& from, const std::string& to) {
  std::unique_ptr<platform::File> in, out;
  if (!env->Open(from, platform::Access::kRead, platform::Share::kDenyNone,
                 platform::Disposition::kOpenExisting, &in)
           .ok()) {
    return err::kFileNotFound;
  }
  if (!env->Open(to, platform::Access::kWrite, platform::Share::kDenyAll,
                 platform::Disposition::kCreateAlways, &out)
           .ok()) {
    return err::kInvalidFilename;
  }
  std::vector<uint8_t> buffer(1 << 16);
  uint64_t at = 0;
  for (;;) {
    size_t got = 0;
    if (!in->Read(at, buffer.data(), buffer.size(), &got).ok()) return PostedError();
    if (got == 0) break;
    if (!out->Write(at, buffer.data(), got).ok())
      return err::kSystemBase + platform::LastSystemError();
    at += got;
  }
  if (!out->Flush().ok()) return err::kSystemBase + platform::LastSystemError();
  return 0;
}

}  // namespace

OpResult FileOp(const KestruneSettings& settings, FileBlock& block, Op op, OpArgs& args) {
  platform::Env* env = settings.env ? settings.env : platform::Env::Default();
  const kestrune::KestruneName name = kestrune::SplitName(block.name);
  if (name.path.empty()) return OpResult::Fail(err::kInvalidFilename);
  if (op == Op::kCOPY) {
    const kestrune::KestruneName target = kestrune::SplitName(args.text);
    if (target.path.empty()) return OpResult::Fail(err::kInvalidFilename);
    if (!env->Exists(name.path)) return OpResult::Fail(err::kFileNotFound);
    return OpResult::Fail(CopyFile(env, name.path, target.path));
  }
  PhysicalOpen open;
  open.path = name.path;
  open.may_write = true;
  int32_t e = 0;
  auto file = AcquirePhysicalFile(open, settings, &e);
  if (!file) return OpResult::Fail(e);
  struct Release {
    std::shared_ptr<PhysicalFile> f;
    ~Release() { ReleasePhysicalFile(f); }
  } release{file};
  if ((e = BeginOperation(*file, OpKind::kWrite)) != 0) return OpResult::Fail(e);
  pagefile::PageFile& pf = *file->pf;
  Bytes key, data;
  kestrune::NameDirectoryKey(name.table, &key);
  if (!pf.Get(key, &data)) {
    e = err::kFileNotFound;
  } else if (op == Op::kREMOVE) {
    const uint32_t table = kestrune::ParseNumberData(data).value_or(0);
    (void)pf.Erase(key);
    Bytes prefix(4);
    kestrune::PutBigEndian32(table, prefix.data());
    ErasePrefix(pf, prefix);
  } else {
    // RENAME: the new name's table part names the table now (a name without one keeps the file
    // and gives the table the new text as its name).
    const kestrune::KestruneName target = kestrune::SplitName(args.text);
    std::string table = target.table;
    if (args.text.find("\\!") == std::string::npos)
      table = kestrune::SplitName("x\\!" + args.text).table;
    Bytes new_key;
    kestrune::NameDirectoryKey(table, &new_key);
    if (table.empty()) {
      e = err::kInvalidFilename;
    } else if (pf.Contains(new_key)) {
      e = err::kAccessDenied;
    } else {
      (void)pf.Erase(key);
      (void)pf.Insert(new_key, data);
    }
  }
  if (e != 0 && pf.HasChanges() && !file->CommitsDeferred()) pf.DropChanges();
  const int32_t end = EndOperation(*file, nullptr);
  return OpResult::Fail(e != 0 ? e : end);
}

}  // namespace pellucor::data::kdriver

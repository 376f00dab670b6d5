#include "data/pagefile/page_file.h"

#include <cstring>

#include "data/kestrune/entry_kinds.h"
#include "data/pagefile/page_file_impl.h"
#include "platform/system_error.h"
#include "runtime/core/error_state.h"
#include "runtime/core/fatal.h"

namespace pellucor::data::pagefile {

namespace {

// The file system's refusals as the driver reports them: the first few system errors have file
// error codes of the same number; sharing and lock violations are "access denied"; the rest are
// 300 plus the system error.
void PostOpenError(int32_t system_error) {
  namespace se = platform::syserr;
  int32_t code = 0;
  switch (system_error) {
    case se::kFileNotFound:
    case se::kPathNotFound:
    case se::kTooManyOpenFiles:
    case se::kAccessDenied:
      code = system_error;
      break;
    case se::kSharingViolation:
    case se::kLockViolation:
      code = runtime::err::kAccessDenied;
      break;
    default:
      break;
  }
  runtime::PostErrorWithSystem(code, system_error);
}

platform::Disposition DispositionOf(CreateMode mode) {
  switch (mode) {
    case CreateMode::kOpenOrCreate:
      return platform::Disposition::kOpenAlways;
    case CreateMode::kCreateAlways:
      return platform::Disposition::kCreateAlways;
    case CreateMode::kOpenExisting:
      break;
  }
  return platform::Disposition::kOpenExisting;
}

}  // namespace

PageFile::Impl::Impl(PageFile* owner, std::unique_ptr<BlockIo> block_io, const OpenOptions& options)
    : pf(*owner),
      io(std::move(block_io)),
      split(options.split),
      cache_limit(options.cache_pages),
      log_uncommitted(options.log_uncommitted) {}

PageFile::PageFile() = default;
PageFile::~PageFile() = default;

size_t PageFile::MaxEntryBytes() {
  // One entry must fit a page below the split account on its own, as an inner copy too.
  return kestrune::kSplitAccountAlways - 1 - kestrune::kPagePrefixSize - kestrune::kEntryOverhead -
         kestrune::kChildNumberSize;
}

bool PageFile::enciphered() const {
  return impl_->io->enciphered();
}

std::unique_ptr<PageFile> PageFile::Open(const std::string& path, const OpenOptions& options) {
  platform::Env* env = options.env ? options.env : platform::Env::Default();
  const bool writable = options.mode == OpenMode::kReadWrite;
  std::unique_ptr<platform::File> file;
  platform::Status s =
      env->Open(path, writable ? platform::Access::kReadWrite : platform::Access::kRead,
                options.share, DispositionOf(options.create), &file);
  if (!s.ok()) {
    PostOpenError(s.error);
    return nullptr;
  }
  std::unique_ptr<UnitCipher> cipher;
  if (!options.owner.empty()) {
    cipher = UnitCipher::FromOwner(options.owner);
    if (!cipher) {
      runtime::PostError(runtime::err::kInvalidDataFile);
      return nullptr;
    }
  }
  std::unique_ptr<PageFile> pf(new PageFile());
  pf->path_ = path;
  pf->writable_ = writable;
  pf->file_ = std::move(file);
  pf->impl_ = std::make_unique<Impl>(
      pf.get(), std::make_unique<BlockIo>(pf->file_.get(), std::move(cipher)), options);
  Impl& impl = *pf->impl_;
  // Until a header is read the file is taken as new: no tree, nothing cached.
  FileHeader fresh;
  fresh.root = kNoRoot;
  pf->header_ = impl.committed = fresh;
  if (options.defer_header) return pf;
  if (!pf->CheckHeader(writable ? options.log_at_open : LogHandling::kReadThrough)) return nullptr;
  return pf;
}

bool PageFile::CheckHeader(LogHandling handling) {
  const bool may_repair = handling == LogHandling::kApply && writable_;
  if (impl_->file_size < kHeaderSize) {
    // Empty when last looked at (or never looked at): ask the file system again.
    uint64_t size = 0;
    if (!file_->Size(&size).ok()) {
      runtime::PostError(0);
      return false;
    }
    if (size == 0) return impl_->TakeEmptyFile(may_repair);
    if (size < kHeaderSize) {
      runtime::PostError(runtime::err::kInvalidDataFile);
      return false;
    }
  }
  std::array<uint8_t, kHeaderSize> raw{};
  if (!impl_->ReadHeaderRaw(&raw)) return false;
  if (impl_->seen_valid && raw == impl_->seen_raw) {
    if (!may_repair) return true;
    if (impl_->log_pending) return ApplyLog();
    if (impl_->log_passed_over) return impl_->TakeHeader(raw, handling);
    return true;
  }
  return impl_->TakeHeader(raw, handling);
}

bool PageFile::LogPending() const {
  return impl_->log_pending || impl_->log_passed_over;
}

bool PageFile::ApplyLog() {
  if (!impl_->log_pending) return true;
  if (!writable_) runtime::InternalErrorStop(kErrTreeShape, "log applied by a reader");
  if (!impl_->ApplyLoadedLog()) {
    runtime::PostError(0);
    impl_->seen_valid = false;
    return false;
  }
  return true;
}

void PageFile::SetTransactionCheck(std::function<bool(const FileHeader&)> log_uncommitted) {
  impl_->log_uncommitted = std::move(log_uncommitted);
}

bool PageFile::Get(ByteSpan key, std::vector<uint8_t>* data) {
  ByteSpan d;
  if (!Peek(key, &d)) return false;
  if (data) data->assign(d.begin(), d.end());
  return true;
}

bool PageFile::Peek(ByteSpan key, ByteSpan* data) {
  impl_->MaybeEvict();
  CachedPage* leaf = impl_->FindLeaf(key);
  size_t i = 0;
  if (!leaf || !leaf->page.Find(key, &i)) return false;
  *data = leaf->page.Data(i);
  return true;
}

bool PageFile::ReadData(ByteSpan key, std::span<uint8_t> out, size_t* length) {
  Impl& impl = *impl_;
  impl.MaybeEvict();
  if (header_.root == kNoRoot) return false;
  CachedPage* page = impl.Get(header_.root);
  uint32_t leaf_number = header_.root;
  while (!page->page.is_leaf()) {
    if (page->page.empty()) runtime::InternalErrorStop(kErrTreeShape);
    const uint8_t level = page->page.level();
    leaf_number = page->page.Child(Impl::ChildIndex(page->page, key));
    if (level == 1 && !impl.log_pending && leaf_number < kFirstTempPage &&
        impl.Find(leaf_number) == nullptr && impl.FirstReadOfLeaf(leaf_number)) {
      // The leaf is on disk only (dirty and unplaced pages are always cached).
      const size_t blocks = header_.RegionOf(leaf_number);
      const uint64_t offset = kestrune::PageOffset(leaf_number);
      const size_t size = blocks * kestrune::kBlockSize;
      impl.read_buffer.resize(size);
      if (blocks != 0 && impl.io->Read(offset, impl.read_buffer.data(), size) == 0) {
        ++stats_.pages_read;
        kestrune::PagePrefix prefix;
        const std::span<const uint8_t> stored(impl.read_buffer.data(), size);
        if (kestrune::ReadPagePrefix(stored, &prefix) && prefix.own_offset == offset &&
            kestrune::BlocksFor(prefix.stored_length) == blocks) {
          switch (kestrune::FindInStoredLeaf(stored, key, out, length)) {
            case kestrune::StoredLookup::kFound:
              return true;
            case kestrune::StoredLookup::kAbsent:
              return false;
            case kestrune::StoredLookup::kUnreadable:
              break;
          }
        }
      }
      // Anything amiss: the ordinary read, which stops on damage with its own number.
    }
    page = impl.Get(leaf_number);
    if (page->page.level() + 1 != level) runtime::InternalErrorStop(kErrTreeShape);
  }
  size_t i = 0;
  if (!page->page.Find(key, &i)) return false;
  const ByteSpan data = page->page.Data(i);
  *length = data.size();
  const size_t n = std::min(data.size(), out.size());
  if (n != 0) std::memcpy(out.data(), data.data(), n);
  return true;
}

bool PageFile::Contains(ByteSpan key) {
  return Get(key, nullptr);
}

bool PageFile::Insert(ByteSpan key, ByteSpan data) {
  if (!writable_) runtime::InternalErrorStop(kErrTreeShape, "change of a read-only file");
  impl_->MaybeEvict();
  return impl_->Insert(key, data, Impl::InsertMode::kInsertOnly) == Impl::InsertResult::kInserted;
}

void PageFile::Put(ByteSpan key, ByteSpan data) {
  if (!writable_) runtime::InternalErrorStop(kErrTreeShape, "change of a read-only file");
  impl_->MaybeEvict();
  (void)impl_->Insert(key, data, Impl::InsertMode::kReplace);
}

bool PageFile::Erase(ByteSpan key) {
  if (!writable_) runtime::InternalErrorStop(kErrTreeShape, "change of a read-only file");
  impl_->MaybeEvict();
  return impl_->Erase(key);
}

uint32_t PageFile::NextNumber() {
  uint32_t last = header_.last_number;
  uint32_t next = 0;
  if (int32_t error = kestrune::NextSequenceNumber(&last, &next)) {
    runtime::InternalErrorStop(error);
  }
  header_.last_number = last;
  impl_->BeginChange();
  return next;
}

size_t PageFile::DirtyPageCount() const {
  return impl_->dirty.size();
}

bool PageFile::Commit() {
  if (!writable_) runtime::InternalErrorStop(kErrTreeShape, "commit of a read-only file");
  if (!changed_) return true;
  return impl_->Prepare(Impl::LoggedHeader::kNew) && impl_->Finish();
}

bool PageFile::PrepareCommit() {
  if (!writable_) runtime::InternalErrorStop(kErrTreeShape, "commit of a read-only file");
  if (!changed_) return true;
  return impl_->Prepare(Impl::LoggedHeader::kOld);
}

bool PageFile::FinishCommit() {
  if (!impl_->prepared) return true;
  return impl_->Finish();
}

void PageFile::DropChanges() {
  // After steps 1 and 2 the file holds a log of these changes: the next header check reads the
  // header again and lets the transaction check decide about it.
  if (impl_->prepared) impl_->seen_valid = false;
  impl_->DropAll();
  impl_->prepared = false;
  header_ = impl_->committed;
  changed_ = false;
}

int32_t PageFile::ReadPageChecked(uint32_t page, kestrune::Page* out,
                                  kestrune::PagePrefix* prefix) {
  return impl_->ReadPage(page, out, prefix);
}

}  // namespace pellucor::data::pagefile

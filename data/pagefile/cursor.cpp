// Cursors keep the path from the root to their entry while the tree is unchanged, so a scan
// steps through a leaf and on to the next without descending again; after any change (the tree
// version moved) they find their place again from the key they hold.
#include "data/kestrune/page_codec.h"
#include "data/pagefile/page_file.h"
#include "data/pagefile/page_file_impl.h"
#include "runtime/core/fatal.h"

namespace pellucor::data::pagefile {

namespace {
// The page one level below; a damaged file whose levels do not fall by one (a cycle among
// pages, say) stops instead of walking forever.
CachedPage* Below(PageFile::Impl& impl, uint32_t number, int* level) {
  CachedPage* page = impl.Get(number);
  if (*level >= 0 && page->page.level() != *level) runtime::InternalErrorStop(kErrTreeShape);
  *level = page->page.level() - 1;
  return page;
}
}  // namespace

Cursor::Cursor(PageFile* file) : file_(file) {}
Cursor::~Cursor() = default;

bool Cursor::Load() {
  PageFile::Impl& impl = *file_->impl_;
  const Step& leaf_step = path_.back();
  CachedPage* leaf = impl.Get(leaf_step.page);
  ByteSpan k = leaf->page.Key(leaf_step.index);
  ByteSpan d = leaf->page.Data(leaf_step.index);
  key_.assign(k.begin(), k.end());
  data_.assign(d.begin(), d.end());
  version_ = impl.version;
  valid_ = true;
  return true;
}

bool Cursor::SeekFirst() {
  PageFile::Impl& impl = *file_->impl_;
  impl.MaybeEvict();
  path_.clear();
  valid_ = false;
  if (file_->header_.root == kNoRoot) return false;
  uint32_t number = file_->header_.root;
  int level = -1;
  for (;;) {
    CachedPage* page = Below(impl, number, &level);
    if (page->page.empty()) return false;
    path_.push_back({number, 0});
    if (page->page.is_leaf()) return Load();
    number = page->page.Child(0);
  }
}

bool Cursor::SeekLast() {
  PageFile::Impl& impl = *file_->impl_;
  impl.MaybeEvict();
  path_.clear();
  valid_ = false;
  if (file_->header_.root == kNoRoot) return false;
  uint32_t number = file_->header_.root;
  int level = -1;
  for (;;) {
    CachedPage* page = Below(impl, number, &level);
    if (page->page.empty()) return false;
    const size_t last = page->page.count() - 1;
    path_.push_back({number, last});
    if (page->page.is_leaf()) return Load();
    number = page->page.Child(last);
  }
}

bool Cursor::Seek(ByteSpan key, SeekBias bias) {
  PageFile::Impl& impl = *file_->impl_;
  impl.MaybeEvict();
  path_.clear();
  valid_ = false;
  if (file_->header_.root == kNoRoot) return false;
  uint32_t number = file_->header_.root;
  int level = -1;
  for (;;) {
    CachedPage* page = Below(impl, number, &level);
    if (page->page.empty()) return false;
    if (!page->page.is_leaf()) {
      const size_t index = PageFile::Impl::ChildIndex(page->page, key);
      path_.push_back({number, index});
      number = page->page.Child(index);
      continue;
    }
    const bool forward = bias == SeekBias::kAtOrAfter || bias == SeekBias::kAfter;
    size_t index = (bias == SeekBias::kAtOrAfter || bias == SeekBias::kBefore)
                       ? page->page.LowerBound(key)
                       : page->page.UpperBound(key);
    if (forward) {
      path_.push_back({number, index});
      if (index < page->page.count()) return Load();
      path_.back().index = page->page.count() - 1;
      return StepForward();
    }
    // Backward: the entry before the bound.
    if (index > 0) {
      path_.push_back({number, index - 1});
      return Load();
    }
    path_.push_back({number, 0});
    return StepBackward();
  }
}

bool Cursor::StepForward() {
  PageFile::Impl& impl = *file_->impl_;
  {
    Step& leaf = path_.back();
    CachedPage* page = impl.Get(leaf.page);
    if (leaf.index + 1 < page->page.count()) {
      ++leaf.index;
      return Load();
    }
  }
  path_.pop_back();
  while (!path_.empty()) {
    Step& step = path_.back();
    CachedPage* page = impl.Get(step.page);
    if (step.index + 1 < page->page.count()) {
      ++step.index;
      uint32_t number = page->page.Child(step.index);
      int level = page->page.level() - 1;
      for (;;) {
        CachedPage* below = Below(impl, number, &level);
        if (below->page.empty()) break;
        path_.push_back({number, 0});
        if (below->page.is_leaf()) return Load();
        number = below->page.Child(0);
      }
      break;
    }
    path_.pop_back();
  }
  path_.clear();
  valid_ = false;
  return false;
}

bool Cursor::StepBackward() {
  PageFile::Impl& impl = *file_->impl_;
  {
    Step& leaf = path_.back();
    if (leaf.index > 0) {
      --leaf.index;
      return Load();
    }
  }
  path_.pop_back();
  while (!path_.empty()) {
    Step& step = path_.back();
    if (step.index > 0) {
      --step.index;
      CachedPage* page = impl.Get(step.page);
      uint32_t number = page->page.Child(step.index);
      int level = page->page.level() - 1;
      for (;;) {
        CachedPage* below = Below(impl, number, &level);
        if (below->page.empty()) break;
        const size_t last = below->page.count() - 1;
        path_.push_back({number, last});
        if (below->page.is_leaf()) return Load();
        number = below->page.Child(last);
      }
      break;
    }
    path_.pop_back();
  }
  path_.clear();
  valid_ = false;
  return false;
}

bool Cursor::Reseek(SeekBias bias) {
  std::vector<uint8_t> key = key_;
  return Seek({key.data(), key.size()}, bias);
}

bool Cursor::Next() {
  if (!valid_) return false;
  file_->impl_->MaybeEvict();
  if (version_ != file_->impl_->version) return Reseek(SeekBias::kAfter);
  return StepForward();
}

bool Cursor::Prev() {
  if (!valid_) return false;
  file_->impl_->MaybeEvict();
  if (version_ != file_->impl_->version) return Reseek(SeekBias::kBefore);
  return StepBackward();
}

}  // namespace pellucor::data::pagefile

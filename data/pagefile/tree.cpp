// The B-tree: lookups descend from the root following, on each inner page, the child of the last
// entry whose key is not greater than the key sought. Inner entries are copies of their child's
// first key (key part only), which every change below keeps true.
//
// Splits follow the size account: after an insertion a page splits when the account reaches
// `always`, or `many` with at least `many_count` entries; it is cut at the middle entry and the
// second half goes to a new page of the same level whose first key is inserted into the parent.
// A root that must split first hands its entries to a new child and becomes an inner page one
// level higher, so that the root keeps its page number.
//
// Deletion removes emptied pages from their parents and merges a page that fell below a quarter
// of `many` into a sibling when the two fit together without reaching the split rule; a root
// left with one child takes over the child's entries.
#include "data/pagefile/page_file_impl.h"
#include "runtime/core/fatal.h"

namespace pellucor::data::pagefile {

using kestrune::CompareKeys;
using kestrune::Page;

bool PageFile::Impl::NeedsSplit(const Page& page) const {
  const uint32_t account = page.size_account();
  return account >= split.always || (account >= split.many && page.count() >= split.many_count);
}

size_t PageFile::Impl::ChildIndex(const Page& page, ByteSpan key) {
  const size_t upper = page.UpperBound(key);
  return upper == 0 ? 0 : upper - 1;
}

void PageFile::Impl::BeginChange() {
  if (!pf.changed_) {
    pf.changed_ = true;
    // The first change of a never-written file starts its tree: counter 1, root empty.
    if (pf.header_.change_counter == 0) {
      pf.header_.change_counter = 1;
      pf.header_.root = kNoRoot;
    }
  }
}

CachedPage* PageFile::Impl::FindLeaf(ByteSpan key) {
  if (pf.header_.root == kNoRoot) return nullptr;
  CachedPage* page = Get(pf.header_.root);
  while (!page->page.is_leaf()) {
    if (page->page.empty()) runtime::InternalErrorStop(kErrTreeShape);
    const uint8_t level = page->page.level();
    page = Get(page->page.Child(ChildIndex(page->page, key)));
    if (page->page.level() + 1 != level) runtime::InternalErrorStop(kErrTreeShape);
  }
  return page;
}

namespace {

struct Tree {
  PageFile::Impl& impl;

  // Keeps parent entry `index` equal to its child's first key.
  void FixSeparator(CachedPage* parent, size_t index, CachedPage* child) {
    ByteSpan first = child->page.Key(0);
    if (CompareKeys(parent->page.Key(index), first) != 0) {
      parent->page.Replace(index, first, {});
      impl.MarkDirty(parent);
    }
  }

  // Splits child `index` of `parent` until no piece needs a split, and enters the new pieces.
  void SplitChild(CachedPage* parent, size_t index) {
    std::vector<CachedPage*> pieces{impl.Get(parent->page.Child(index))};
    for (size_t k = 0; k < pieces.size();) {
      CachedPage* piece = pieces[k];
      if (!impl.NeedsSplit(piece->page)) {
        ++k;
        continue;
      }
      if (piece->page.count() < 2) runtime::InternalErrorStop(kestrune::kErrSplitTooFewEntries);
      CachedPage* right = impl.NewPage(piece->page.level());
      piece->page.MoveTailTo(piece->page.count() / 2, &right->page);
      impl.MarkDirty(piece);
      pieces.insert(pieces.begin() + static_cast<std::ptrdiff_t>(k) + 1, right);
    }
    for (size_t k = 1; k < pieces.size(); ++k) {
      parent->page.Insert(index + k, pieces[k]->page.Key(0), {}, pieces[k]->number);
    }
    impl.MarkDirty(parent);
  }

  void GrowRoot(CachedPage* root) {
    CachedPage* child = impl.NewPage(root->page.level());
    root->page.MoveTailTo(0, &child->page);
    root->page.Clear();
    root->page.set_level(static_cast<uint8_t>(child->page.level() + 1));
    root->page.Insert(0, child->page.Key(0), {}, child->number);
    impl.MarkDirty(root);
    SplitChild(root, 0);
  }

  using Result = PageFile::Impl::InsertResult;

  Result Insert(CachedPage* page, ByteSpan key, ByteSpan data, PageFile::Impl::InsertMode mode) {
    if (page->page.is_leaf()) {
      size_t i = 0;
      if (page->page.Find(key, &i)) {
        if (mode == PageFile::Impl::InsertMode::kInsertOnly) return Result::kExists;
        page->page.ReplaceData(i, data);
        impl.MarkDirty(page);
        return Result::kReplaced;
      }
      page->page.Insert(page->page.LowerBound(key), key, data);
      impl.MarkDirty(page);
      return Result::kInserted;
    }
    if (page->page.empty()) runtime::InternalErrorStop(kErrTreeShape);
    const size_t index = ChildIndexOf(page, key);
    CachedPage* child = impl.Get(page->page.Child(index));
    if (child->page.level() + 1 != page->page.level()) runtime::InternalErrorStop(kErrTreeShape);
    const Result r = Insert(child, key, data, mode);
    if (r == Result::kExists) return r;
    FixSeparator(page, index, child);
    if (impl.NeedsSplit(child->page)) SplitChild(page, index);
    return r;
  }

  bool Erase(CachedPage* page, ByteSpan key) {
    if (page->page.is_leaf()) {
      size_t i = 0;
      if (!page->page.Find(key, &i)) return false;
      page->page.Erase(i);
      impl.MarkDirty(page);
      return true;
    }
    if (page->page.empty()) runtime::InternalErrorStop(kErrTreeShape);
    const size_t index = ChildIndexOf(page, key);
    CachedPage* child = impl.Get(page->page.Child(index));
    if (child->page.level() + 1 != page->page.level()) runtime::InternalErrorStop(kErrTreeShape);
    if (!Erase(child, key)) return false;
    if (child->page.empty()) {
      page->page.Erase(index);
      impl.MarkDirty(page);
      impl.FreePage(child);
      return true;
    }
    FixSeparator(page, index, child);
    // A longer first key can push the parent's account up; the child itself only shrank, but a
    // replaced separator below it may have grown it.
    if (impl.NeedsSplit(child->page)) {
      SplitChild(page, index);
    } else if (child->page.size_account() < impl.split.many / 4) {
      TryMerge(page, index);
    }
    return true;
  }

  void TryMerge(CachedPage* parent, size_t index) {
    if (parent->page.count() < 2) return;
    const size_t left_index = index + 1 < parent->page.count() ? index : index - 1;
    CachedPage* left = impl.Get(parent->page.Child(left_index));
    CachedPage* right = impl.Get(parent->page.Child(left_index + 1));
    const uint32_t account =
        left->page.size_account() + right->page.size_account() - kestrune::kPagePrefixSize;
    const size_t count = left->page.count() + right->page.count();
    // Merge only into a page comfortably below the split rule, so that the next insertion does
    // not split it again at once.
    if (account >= impl.split.many || count >= 2 * impl.split.many_count) return;
    right->page.MoveTailTo(0, &left->page);
    impl.MarkDirty(left);
    parent->page.Erase(left_index + 1);
    impl.MarkDirty(parent);
    impl.FreePage(right);
  }

  static size_t ChildIndexOf(CachedPage* page, ByteSpan key) {
    return PageFile::Impl::ChildIndex(page->page, key);
  }
};

}  // namespace

PageFile::Impl::InsertResult PageFile::Impl::Insert(ByteSpan key, ByteSpan data, InsertMode mode) {
  if (key.size() + data.size() > PageFile::MaxEntryBytes() ||
      key.size() + data.size() + kestrune::kEntryOverhead + kestrune::kChildNumberSize +
              kestrune::kPagePrefixSize >=
          split.always) {
    runtime::InternalErrorStop(kErrTreeShape, "entry too large for a page");
  }
  Tree tree{*this};
  if (pf.header_.root == kNoRoot) {
    CachedPage* root = NewPage(0);
    pf.header_.root = root->number;
  }
  CachedPage* root = Get(pf.header_.root);
  const InsertResult r = tree.Insert(root, key, data, mode);
  if (NeedsSplit(root->page)) tree.GrowRoot(root);
  return r;
}

bool PageFile::Impl::Erase(ByteSpan key) {
  if (pf.header_.root == kNoRoot) return false;
  Tree tree{*this};
  CachedPage* root = Get(pf.header_.root);
  if (!tree.Erase(root, key)) return false;
  if (root->page.empty()) {
    FreePage(root);
    pf.header_.root = kNoRoot;
    return true;
  }
  while (!root->page.is_leaf() && root->page.count() == 1) {
    CachedPage* child = Get(root->page.Child(0));
    root->page.Clear();
    root->page.set_level(child->page.level());
    child->page.MoveTailTo(0, &root->page);
    MarkDirty(root);
    FreePage(child);
  }
  if (NeedsSplit(root->page)) tree.GrowRoot(root);
  return true;
}

}  // namespace pellucor::data::pagefile

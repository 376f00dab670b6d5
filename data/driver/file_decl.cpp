// The declaration's run-time storage: the record buffer, the memo buffers and the driver file
// block. A THREAD file keeps one set per thread in a thread_local map keyed by the declaration's
// serial number (never by its address, which a later declaration may reuse); other files keep
// one set for the process.
#include <atomic>
#include <cstring>
#include <unordered_map>

#include "data/driver/declaration.h"
#include "data/driver/driver.h"
#include "runtime/locale/ascii_case.h"

namespace pellucor::data {

struct FileDecl::Storage {
  std::vector<uint8_t> record;
  std::vector<std::vector<uint8_t>> memos;
  std::unique_ptr<FileBlock> block;
};

namespace {

std::atomic<uint64_t> next_serial{1};

using ThreadMap = std::unordered_map<uint64_t, std::unique_ptr<FileDecl::Storage>>;

ThreadMap& ThreadStorages() {
  thread_local ThreadMap map;
  return map;
}

}  // namespace

FileDecl::FileDecl() : serial_(next_serial.fetch_add(1)) {}

FileDecl::~FileDecl() {
  // Other threads' storage for a THREAD file goes when those threads end; the serial number keeps
  // it from ever being taken for another declaration's.
  ThreadStorages().erase(serial_);
}

FileDecl::Storage& FileDecl::ThreadStorage() {
  std::unique_ptr<Storage>* slot = &shared_;
  if (IsThreaded()) slot = &ThreadStorages()[serial_];
  if (!*slot) {
    *slot = std::make_unique<Storage>();
    (*slot)->record.assign(record_length, 0);
    (*slot)->memos.resize(memos.size());
    for (size_t i = 0; i < memos.size(); ++i) {
      if (!(memos[i].flags & memo_flag::kBlob)) (*slot)->memos[i].assign(memos[i].size, 0);
    }
  }
  return **slot;
}

uint8_t* FileDecl::RecordBuffer() {
  return ThreadStorage().record.data();
}

std::vector<uint8_t>& FileDecl::MemoBuffer(size_t index) {
  return ThreadStorage().memos.at(index);
}

FileBlock* FileDecl::Block() {
  return ThreadStorage().block.get();
}

std::unique_ptr<FileBlock>& FileDecl::BlockSlot() {
  return ThreadStorage().block;
}

std::string FileDecl::CurrentName() const {
  if (name_variable == nullptr) return name_storage;
  if (name_length == static_cast<int32_t>(NameForm::kNullTerminated)) {
    return std::string(name_variable);
  }
  if (name_length == static_cast<int32_t>(NameForm::kLengthPrefixed)) {
    const auto n = static_cast<unsigned char>(name_variable[0]);
    return std::string(name_variable + 1, n);
  }
  if (name_length < 0) return {};
  std::string name(name_variable, static_cast<size_t>(name_length));
  while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.pop_back();
  return name;
}

const KeyDecl* FileDecl::FindKey(std::string_view key_label) const {
  for (const auto& k : keys) {
    if (runtime::EqualsIgnoringAsciiCase(k->label, key_label)) return k.get();
  }
  return nullptr;
}

KeySlot* FileBlock::SlotOf(const KeyDecl* key) {
  for (KeySlot& slot : keys) {
    if (slot.decl == key) return &slot;
  }
  return nullptr;
}

}  // namespace pellucor::data

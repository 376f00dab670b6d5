// ksrtool: inspect and check Kestrune files.
//
//   ksrtool check [--owner TEXT] [--tree-only] FILE
//                                       every structural invariant; exit 0 sound, 1 faults found
//   ksrtool dump  [--owner TEXT] FILE   header, regions, pages and entries, readably
//   ksrtool stats [--owner TEXT] FILE   pages per region, fill, packed and unpacked bytes,
//                                       records and keys per table
// Exit 2 for a usage error or a file that cannot be read as a Kestrune file.
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "data/kestrune/entry_kinds.h"
#include "data/kestrune/page_codec.h"
#include "data/kestrune_driver/kestrune_driver.h"
#include "data/pagefile/checker.h"
#include "data/pagefile/page_file.h"
#include "platform/file.h"
#include "runtime/core/error_state.h"
#include "runtime/core/fatal.h"

namespace pf = pellucor::data::pagefile;
namespace kst = pellucor::data::kestrune;
namespace rt = pellucor::runtime;

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: ksrtool check|dump|stats [--owner TEXT] [--tree-only] FILE\n"
               "  check  verify every structural invariant (exit 0 sound, 1 faults);\n"
               "         --tree-only checks the tree but not what its entries say of tables\n"
               "  dump   print header, regions, pages and entries\n"
               "  stats  pages per region, fill, bytes, records and keys per table\n");
  return 2;
}

std::string Hex(std::span<const uint8_t> bytes, size_t limit) {
  std::string s;
  char buf[4];
  for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
    std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
    s += buf;
  }
  if (bytes.size() > limit) s += "...";
  return s;
}

std::string Printable(std::span<const uint8_t> bytes, size_t limit) {
  std::string s;
  for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
    s += bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '.';
  }
  if (bytes.size() > limit) s += "...";
  return s;
}

std::string Describe(std::span<const uint8_t> key) {
  const kst::ParsedKey p = kst::ParseKey(key);
  const std::string table = "table " + std::to_string(p.table);
  switch (p.kind) {
    case kst::EntryKind::kNameDirectory:
      return "name \"" + std::string(p.table_name) + "\"";
    case kst::EntryKind::kDefinition:
      return table + " definition block " + std::to_string(p.block);
    case kst::EntryKind::kCharTables:
      return table + " character tables";
    case kst::EntryKind::kCounter:
      return table + (p.which == kst::kDataCounter
                          ? " data counter"
                          : " key " + std::to_string(p.which) + " counter");
    case kst::EntryKind::kData:
      return table + " record " + std::to_string(p.record);
    case kst::EntryKind::kKeyEntry:
      return table + " key " + std::to_string(p.key_number) + " value " + Hex(p.value, 32);
    case kst::EntryKind::kMemo:
      return table + " record " + std::to_string(p.record) + " memo " + std::to_string(p.memo) +
             " chunk " + std::to_string(p.chunk);
    case kst::EntryKind::kUnknown:
      break;
  }
  return "unknown " + Hex(key, 32);
}

// Every page of every region, in page number order, with what reading it gave.
template <typename Visit>
void ForEachPage(pf::PageFile* file, Visit visit) {
  const pf::FileHeader& h = file->header();
  for (size_t d = 1; d < pf::kRegionCount; ++d) {
    if (h.RegionEmpty(d)) continue;
    for (uint32_t page = h.region_start[d]; page < h.region_end[d]; page += d) {
      kst::Page p;
      kst::PagePrefix prefix;
      const int32_t error = file->ReadPageChecked(page, &p, &prefix);
      visit(page, d, error, p, prefix);
    }
  }
}

void PrintHeader(const pf::FileHeader& h) {
  std::printf("header: log %u..%u%s, sequence %u, change counter %u, root %s\n", h.log_start,
              h.log_end, h.LogEmpty() ? " (empty)" : " (PENDING)", h.last_number, h.change_counter,
              h.root == pf::kNoRoot ? "none" : std::to_string(h.root).c_str());
  std::printf("page space ends at block %u (byte %llu)\n", h.PageSpaceEndBlocks(),
              static_cast<unsigned long long>(h.PageSpaceEndOffset()));
  for (size_t d = 1; d < pf::kRegionCount; ++d) {
    if (h.RegionEmpty(d)) continue;
    std::printf("region %2zu: blocks %u..%u, %u pages\n", d, h.region_start[d], h.region_end[d],
                static_cast<unsigned>((h.region_end[d] - h.region_start[d]) / d));
  }
}

int Dump(pf::PageFile* file) {
  PrintHeader(file->header());
  ForEachPage(file, [](uint32_t page, size_t d, int32_t error, const kst::Page& p,
                       const kst::PagePrefix& prefix) {
    if (error) {
      std::printf("\npage %u (%zu blocks): cannot be read (internal error %d)\n", page, d, error);
      return;
    }
    std::printf(
        "\npage %u (%zu blocks): level %u, %zu entries, stored %u, unpacked %u%s, "
        "account %u\n",
        page, d, p.level(), p.count(), prefix.stored_length, prefix.unpacked_length,
        prefix.stored_length < prefix.unpacked_length ? " (packed)" : "", prefix.size_account);
    for (size_t i = 0; i < p.count(); ++i) {
      if (!p.is_leaf()) {
        std::printf("  %4zu -> page %u  %s\n", i, p.Child(i), Describe(p.Key(i)).c_str());
      } else {
        std::printf("  %4zu  %s  [%zu bytes] %s\n", i, Describe(p.Key(i)).c_str(), p.Data(i).size(),
                    Printable(p.Data(i), 40).c_str());
      }
    }
  });
  return 0;
}

int Stats(pf::PageFile* file) {
  PrintHeader(file->header());
  struct RegionStats {
    size_t pages = 0;
    uint64_t stored = 0, unpacked = 0, packed_pages = 0, damaged = 0;
  };
  std::map<size_t, RegionStats> regions;
  std::map<uint32_t, std::string> names;
  std::map<uint32_t, uint64_t> records;
  std::map<uint32_t, std::map<uint8_t, uint64_t>> keys;
  std::map<uint32_t, uint64_t> memo_chunks;
  uint64_t leaf_entries = 0;
  ForEachPage(file, [&](uint32_t, size_t d, int32_t error, const kst::Page& p,
                        const kst::PagePrefix& prefix) {
    RegionStats& r = regions[d];
    ++r.pages;
    if (error) {
      ++r.damaged;
      return;
    }
    r.stored += prefix.stored_length;
    r.unpacked += prefix.unpacked_length;
    if (prefix.stored_length < prefix.unpacked_length) ++r.packed_pages;
    if (!p.is_leaf()) return;
    for (size_t i = 0; i < p.count(); ++i) {
      ++leaf_entries;
      const kst::ParsedKey k = kst::ParseKey(p.Key(i));
      switch (k.kind) {
        case kst::EntryKind::kNameDirectory:
          if (auto n = kst::ParseNumberData(p.Data(i))) names[*n] = std::string(k.table_name);
          break;
        case kst::EntryKind::kData:
          ++records[k.table];
          break;
        case kst::EntryKind::kKeyEntry:
          ++keys[k.table][k.key_number];
          break;
        case kst::EntryKind::kMemo:
          ++memo_chunks[k.table];
          break;
        default:
          break;
      }
    }
  });
  std::printf("\n%-7s %7s %12s %12s %7s %6s\n", "region", "pages", "stored", "unpacked", "fill",
              "packed");
  uint64_t pages = 0, stored = 0, unpacked = 0, capacity = 0;
  for (auto& [d, r] : regions) {
    const uint64_t cap = uint64_t{r.pages} * d * kst::kBlockSize;
    std::printf("%-7zu %7zu %12llu %12llu %6.1f%% %6llu%s\n", d, r.pages,
                static_cast<unsigned long long>(r.stored),
                static_cast<unsigned long long>(r.unpacked), cap ? 100.0 * r.stored / cap : 0.0,
                static_cast<unsigned long long>(r.packed_pages),
                r.damaged ? (" (" + std::to_string(r.damaged) + " unreadable)").c_str() : "");
    pages += r.pages;
    stored += r.stored;
    unpacked += r.unpacked;
    capacity += cap;
  }
  std::printf("%-7s %7llu %12llu %12llu %6.1f%%\n", "all", static_cast<unsigned long long>(pages),
              static_cast<unsigned long long>(stored), static_cast<unsigned long long>(unpacked),
              capacity ? 100.0 * stored / capacity : 0.0);
  std::printf("\n%llu leaf entries\n", static_cast<unsigned long long>(leaf_entries));
  for (auto& [table, name] : names) {
    std::printf("table %s (number %u): %llu records, %llu memo chunks\n", name.c_str(), table,
                static_cast<unsigned long long>(records[table]),
                static_cast<unsigned long long>(memo_chunks[table]));
    for (auto& [key, count] : keys[table]) {
      std::printf("  key %u: %llu entries\n", key, static_cast<unsigned long long>(count));
    }
  }
  return 0;
}

int Check(pf::PageFile* file, pf::CheckScope scope) {
  const pf::CheckReport report = pf::CheckPageFile(file, 20, scope);
  if (report.sound()) {
    std::printf("%s: sound (%zu pages, %zu entries)\n", file->path().c_str(), report.pages,
                report.entries);
    return 0;
  }
  std::printf("%s: %zu fault%s found%s\n", file->path().c_str(), report.faults.size(),
              report.faults.size() == 1 ? "" : "s",
              report.faults.size() >= 20 ? " (first 20)" : "");
  std::fputs(report.Text().c_str(), stdout);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string command, path, owner;
  pf::CheckScope scope = pf::CheckScope::kTables;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--tree-only") {
      scope = pf::CheckScope::kStructure;
    } else if (args[i] == "--owner") {
      if (i + 1 >= args.size()) return Usage();
      owner = args[++i];
    } else if (args[i] == "-h" || args[i] == "--help") {
      Usage();
      return 0;
    } else if (command.empty()) {
      command = args[i];
    } else if (path.empty()) {
      path = args[i];
    } else {
      return Usage();
    }
  }
  if (path.empty() || (command != "check" && command != "dump" && command != "stats")) {
    return Usage();
  }
  if (!pellucor::platform::Env::Default()->Exists(path)) {
    std::fprintf(stderr, "ksrtool: %s: no such file\n", path.c_str());
    return 2;
  }
  // A damaged file must never take the tool down with it: stops become reports.
  rt::SetHaltHook(rt::HaltHookThrows());
  try {
    pf::OpenOptions options;
    options.mode = pf::OpenMode::kReadOnly;
    options.owner = owner;
    // The file may be in use: the header is read, and the file checked, under a reader slot,
    // so that no program commits meanwhile.
    options.defer_header = true;
    auto file = pf::PageFile::Open(path, options);
    std::optional<pellucor::data::ReaderSlotLock> slot;
    if (file) slot.emplace(file->file());
    if (file && !file->CheckHeader(pf::LogHandling::kReadThrough)) {
      slot.reset();  // it locks through the file
      file.reset();
    }
    if (!file) {
      std::string text = rt::ErrorText();
      text.erase(text.find_last_not_of(' ') + 1);
      const std::string& detail = rt::Errors().file_error;
      std::fprintf(stderr, "ksrtool: %s: cannot be opened: %s%s%s%s\n", path.c_str(), text.c_str(),
                   detail.empty() ? "" : ": ", detail.c_str(),
                   rt::ErrorCode() == rt::err::kInvalidDataFile && owner.empty()
                       ? " (not a Kestrune file, damaged header, or enciphered: try --owner)"
                       : "");
      return command == "check" && rt::ErrorCode() == rt::err::kInvalidDataFile ? 1 : 2;
    }
    if (file->LogPending()) {
      std::printf(
          "note: the file holds the log of an interrupted commit; it is read through the "
          "log, and the next program that writes the file applies it\n");
    }
    if (command == "check") return Check(file.get(), scope);
    if (command == "dump") return Dump(file.get());
    return Stats(file.get());
  } catch (const rt::HaltException& stop) {
    std::printf("%s: stopped: %s\n", path.c_str(), stop.text.c_str());
    return 1;
  }
}

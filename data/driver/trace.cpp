#include "data/driver/trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cinttypes>
#include <cstdio>

#include "platform/profile.h"
#include "runtime/core/error_state.h"
#include "runtime/core/type_codes.h"

namespace pellucor::data {
namespace {

std::string Printf(const char* format, auto... args) {
  char buf[512];
  const int n = std::snprintf(buf, sizeof buf, format, args...);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof buf) return std::string(buf, static_cast<size_t>(n));
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(out.data(), out.size(), format, args...);
  out.resize(static_cast<size_t>(n));
  return out;
}

bool HasAllowDetails(const std::optional<std::string>& driver_string) {
  if (!driver_string) return false;
  for (const std::string& option : SplitDriverOptions(*driver_string)) {
    if (option.empty() || (option[0] != 'A' && option[0] != 'a')) continue;
    std::string name = option.substr(0, option.find('='));
    while (!name.empty() && name.back() == ' ') name.pop_back();
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (name == "ALLOWDETAILS") return true;
  }
  return false;
}

bool DumpsRecord(Op op) {
  return op == Op::kDELETE || op == Op::kNEXT || op == Op::kPREVIOUS || op == Op::kPUT;
}

std::string Trimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string FieldLabel(const RecordLayout& layout, int32_t number) {
  const auto index = static_cast<size_t>(number < 0 ? -number : number);
  if (index == 0 || index > layout.fields.size()) return Printf("(%d)", number);
  return layout.fields[index - 1].label;
}

}  // namespace

TraceSwitches ReadTraceSwitches(const Driver& driver, const FileDecl& decl) {
  TraceSwitches t;
  const std::string section(driver.ProfileSection());
  t.on = platform::GetProfileInt(section, "Profile", 0) != 0;
  if (!t.on) return t;
  t.file = platform::GetProfileString(section, "TraceFile", driver.DefaultTraceFile(), 1024);
  if (t.file.empty()) t.file = std::string(driver.DefaultTraceFile());
  const bool enciphered = (decl.attributes & decl_attr::kEncrypt) != 0;
  if (!enciphered || HasAllowDetails(decl.driver_string)) {
    t.details = platform::GetProfileInt(section, "Details", 0) != 0;
  }
  return t;
}

std::string FormatRecordDump(const uint8_t* bytes, size_t length) {
  std::string out;
  for (size_t line = 0; line < length; line += 16) {
    const size_t n = std::min<size_t>(16, length - line);
    std::string chars;
    for (size_t i = 0; i < 16; ++i) {
      if (i < n) {
        const uint8_t b = bytes[line + i];
        out += Printf("%02X ", b);
        chars += (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '.';
      } else {
        out += "   ";
      }
    }
    out += chars;
    out += "\r\n";
  }
  return out;
}

std::string FormatTraceEntry(const FileBlock& block, Op op, const OpArgs& args,
                             const OpResult& result, int64_t hundredths) {
  std::string out = block.name + ":" + Printf("%-24s", std::string(OpName(op)).c_str());
  if (args.key != nullptr) out += "key " + args.key->label + " ";
  switch (op) {
    case Op::kOPEN:
    case Op::kSHARE:
    case Op::kCREATE:
      out += Printf("mode %02X ", static_cast<unsigned>(args.mode) & 0xFF);
      break;
    case Op::kCLEAR:
      out += Printf("mode %d ", args.mode);
      break;
    case Op::kHOLDfile:
    case Op::kHOLDfilesec:
    case Op::kLOCKfilesec:
      out += Printf("sec %d ", args.seconds);
      break;
    case Op::kSKIP:
    case Op::kCOUNTRECORDS:
    case Op::kBUFFER:
      out += Printf("count %d ", args.count);
      break;
    case Op::kGETfileptr:
    case Op::kGETfileptrlen:
    case Op::kGETkeyptr:
    case Op::kSETfileptr:
    case Op::kSETkeyptr:
    case Op::kSETkeykeyptr:
    case Op::kPUTfileptr:
    case Op::kPUTfileptrlen:
      out += Printf("ptr %u ", args.pointer);
      break;
    default:
      break;
  }
  switch (op) {
    case Op::kADDfilelen:
    case Op::kAPPENDlen:
    case Op::kGETfileptrlen:
    case Op::kPUTfileptrlen:
      out += Printf("len %u ", args.length);
      break;
    default:
      break;
  }
  if (!args.text.empty()) out += "'" + args.text + "' ";
  if (!args.position.empty()) out += "position '" + Trimmed(args.position) + "' ";
  if (result.error == 0) {
    if (!result.text.empty()) {
      out += "=> '" + result.text + "' ";
    } else {
      out += Printf("=> %" PRId64 " ", result.value);
    }
  } else if (result.error == runtime::err::kFileSystemError) {
    out += "File Error: " + Trimmed(runtime::Errors().file_error) + " ";
  } else if (result.error != runtime::err::kSilent) {
    out += "Error: " + Trimmed(runtime::ErrorTextFor(result.error)) + " ";
  } else {
    out += "=> -1 ";
  }
  out += Printf("Time Taken: %ld.%02ld secs\r\n", static_cast<long>(hundredths / 100),
                static_cast<long>(hundredths % 100));
  if (block.trace.details && DumpsRecord(op) && block.record != nullptr) {
    out += FormatRecordDump(block.record, block.record_length);
  }
  return out;
}

std::string FormatDeclaration(const FileBlock& block) {
  const FileDecl& d = *block.decl;
  const std::string driver_name(block.driver->Name());
  std::string out = d.label.empty() ? std::string() : d.label + " ";
  if (d.driver_string && !d.driver_string->empty()) {
    out += Printf("FILE,DRIVER('%s','%s')", driver_name.c_str(), d.driver_string->c_str());
  } else {
    out += Printf("FILE,DRIVER('%s')", driver_name.c_str());
  }
  if (d.owner) out += ",OWNER(******)";  // the owner is never written
  out += Printf(",NAME('%s')", block.name.c_str());
  if (block.attributes & attr::kCreate) out += ",CREATE";
  if (block.attributes & attr::kEncrypt) out += ",ENCRYPT";
  if (block.attributes & attr::kReclaim) out += ",RECLAIM";
  if (block.attributes & attr::kThread) out += ",THREAD";
  out += "\r\n";
  for (const auto& key : d.keys) {
    out += key->label + ((key->flags & key_flag::kIndex) ? " INDEX(" : " KEY(");
    for (size_t i = 0; i < key->components.size(); ++i) {
      const int32_t c = key->components[i];
      if (i > 0) out += ",";
      out += Printf("%c%s", c < 0 ? '-' : '+', FieldLabel(block.layout, c).c_str());
    }
    out += ")";
    if (key->flags & key_flag::kDup) out += ",DUP";
    if (key->flags & key_flag::kOpt) out += ",OPT";
    if (key->flags & key_flag::kNoCase) out += ",NOCASE";
    if (key->flags & key_flag::kPrimary) out += ",PRIMARY";
    if (key->external_name) out += ",NAME('" + *key->external_name + "')";
    out += "\r\n";
  }
  for (const MemoDecl& memo : d.memos) {
    out += memo.label + " ";
    out += (memo.flags & memo_flag::kBlob) ? std::string("BLOB") : Printf("MEMO(%u)", memo.size);
    if (memo.flags & memo_flag::kBinary) out += ",BINARY";
    if (memo.external_name) out += ",NAME('" + *memo.external_name + "')";
    out += "\r\n";
  }
  out += "RECORD\r\n";
  for (const FieldInfo& f : block.layout.fields) {
    out += f.label + " " + std::string(runtime::TypeName(static_cast<uint8_t>(f.type)));
    if (f.type == runtime::TypeCode::kDecimal || f.type == runtime::TypeCode::kPDecimal) {
      out += Printf("(%u,%u)", f.DecimalDigits(), static_cast<unsigned>(f.places));
    } else if (!f.picture.empty()) {
      out += Printf("(@%s)", f.picture.c_str());
    } else if (runtime::IsTextType(f.type)) {
      out += Printf("(%u)", f.declared_length);
    }
    if (!f.dims.empty()) {
      out += ", DIM(";
      for (size_t i = 0; i < f.dims.size(); ++i) out += (i ? "," : "") + Printf("%u", f.dims[i]);
      out += ")";
    }
    if (f.over != 0) out += Printf(", OVER(%s)", FieldLabel(block.layout, int32_t(f.over)).c_str());
    if (f.external_name) out += Printf(",NAME('%s')", f.external_name->c_str());
    out += "\r\n";
  }
  out += "END\r\n";
  out += "END\r\n\r\n";
  return out;
}

void AppendToTrace(const FileBlock& block, const std::string& text) {
  if (block.trace.file.empty()) return;
  const int fd = ::open(block.trace.file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
}

}  // namespace pellucor::data

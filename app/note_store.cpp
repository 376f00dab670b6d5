#include "app/note_store.h"

namespace pellucor::app {
namespace {

using data::DeclarationBuilder;
namespace key_flag = data::key_flag;

// Every key of both tables allows duplicates, leaves out records whose key fields are all empty,
// and compares letters without regard to case.
constexpr uint32_t kNoteKeyFlags = key_flag::kDup | key_flag::kOpt | key_flag::kNoCase;

DeclarationBuilder NoteRecord(std::string label, std::string prefix, data::Driver* driver,
                              std::string_view name) {
  DeclarationBuilder b(std::move(label), std::move(prefix), driver);
  b.Name(std::string(name))
      .Attributes(data::decl_attr::kCreate | data::decl_attr::kThread)
      .String("TOPIC", note_record::kTopicSize)
      .String("REMINDER", 1)
      .Date("NOTEDATE")
      .Date("REMINDERDATE")
      .String("MAINMEMO", note_record::kMainMemoSize)
      .String("DONE", 1);
  return b;
}

}  // namespace

std::unique_ptr<data::FileDecl> MakeSNotes(data::Driver* kestrune) {
  return NoteRecord("SNotes", "sno", kestrune, kNotesName)
      .Key("SNOT", "sno:SNOT", kNoteKeyFlags, {"REMINDER", "REMINDERDATE", "TOPIC"})
      .Key("allnotes", "sno:allnotes", kNoteKeyFlags, {"NOTEDATE"})
      .Key("Donyet", "sno:Donyet", kNoteKeyFlags, {"DONE", "REMINDERDATE"})
      .Build();
}

std::unique_ptr<data::FileDecl> MakeArcnotes(data::Driver* kestrune) {
  return NoteRecord("Arcnotes", "arc", kestrune, kArchiveName)
      .Key("SNOT", "arc:SNOT", kNoteKeyFlags, {"REMINDER", "REMINDERDATE", "TOPIC"})
      .Key("allnotes", "arc:allnotes", kNoteKeyFlags, {"NOTEDATE"})
      .Build();
}

}  // namespace pellucor::app

#include "tests/support/note_fixture.h"

namespace pellucor::testsupport {
namespace {

constexpr uint32_t kNoteKeyFlags =
    data::key_flag::kDup | data::key_flag::kOpt | data::key_flag::kNoCase;

data::DeclarationBuilder NoteRecord(std::string label, std::string prefix, data::Driver* driver,
                                    std::string_view name) {
  data::DeclarationBuilder b(std::move(label), std::move(prefix), driver);
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

std::unique_ptr<data::FileDecl> MakeNotesTable(data::Driver* driver) {
  return NoteRecord("SNotes", "sno", driver, kNotesName)
      .Key("SNOT", "sno:SNOT", kNoteKeyFlags, {"REMINDER", "REMINDERDATE", "TOPIC"})
      .Key("allnotes", "sno:allnotes", kNoteKeyFlags, {"NOTEDATE"})
      .Key("Donyet", "sno:Donyet", kNoteKeyFlags, {"DONE", "REMINDERDATE"})
      .Build();
}

std::unique_ptr<data::FileDecl> MakeArchiveTable(data::Driver* driver) {
  return NoteRecord("Arcnotes", "arc", driver, kArchiveName)
      .Key("SNOT", "arc:SNOT", kNoteKeyFlags, {"REMINDER", "REMINDERDATE", "TOPIC"})
      .Key("allnotes", "arc:allnotes", kNoteKeyFlags, {"NOTEDATE"})
      .Build();
}

}  // namespace pellucor::testsupport

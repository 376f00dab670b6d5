// A note record laid out as the notes table stores it, with its fields bound by their labels,
// for tests that evaluate the browse filters against real field storage.
#pragma once

#include <cstring>
#include <string_view>

#include "runtime/expr/expression.h"
#include "runtime/values/accessor.h"

namespace pellucor::runtime::expr::testing {

struct NoteRecord {
  char topic[60];
  char reminder[1];
  unsigned char notedate[4];
  unsigned char reminderdate[4];
  char done[1];

  NoteRecord() { Set("", 'N', 0, 0, 'N'); }
  void Set(std::string_view t, char archive, int32_t note_day, int32_t reminder_day, char d) {
    std::memset(topic, ' ', sizeof topic);
    std::memcpy(topic, t.data(), std::min(t.size(), sizeof topic));
    reminder[0] = archive;
    AccessorFactory(TypeCode::kDate, notedate, 4)->SetInteger(note_day);
    AccessorFactory(TypeCode::kDate, reminderdate, 4)->SetInteger(reminder_day);
    done[0] = d;
  }
  void Bind() {
    BIND("sno:topic", TypeCode::kString, topic, sizeof topic);
    BIND("sno:reminder", TypeCode::kString, reminder, 1);
    BIND("sno:notedate", TypeCode::kDate, notedate, 4);
    BIND("sno:reminderdate", TypeCode::kDate, reminderdate, 4);
    BIND("sno:done", TypeCode::kString, done, 1);
  }
};

// The browse's tab filters.
inline constexpr const char* kNotesOnly = "(sno:done ='N' and sno:reminderdate='')";
inline constexpr const char* kCurrentReminders =
    "(sno:reminderdate <= today()+3 and sno:reminderdate > '' and sno:done='N')";
inline constexpr const char* kDoneItems = "(sno:done='Y')";

}  // namespace pellucor::runtime::expr::testing

// The report layouts of the three note reports ("P1$REPORT" of their modules): printnote prints
// notes of the notes table, printnote1 archived notes, MultiNote the notes of a query. Each has a
// page header with its title and column headings, one detail band (band 1) with the note's
// fields and its memo as a text block that goes on over as many lines and pages as it needs, and
// a page footer with the page number. Positions in thousandths of an inch.
#pragma once

#include <cstdint>

#include "runtime/report/report_description.h"

namespace pellucor::app {

// The detail band every note report prints for each note.
inline constexpr int32_t kNoteDetailBand = 1;

// `record` is the 5120-byte note record (of the table the report reads) the detail band prints.
[[nodiscard]] runtime::ReportDescription DescribePrintNoteReport(uint8_t* record);
[[nodiscard]] runtime::ReportDescription DescribeArchivedNoteReport(uint8_t* record);
[[nodiscard]] runtime::ReportDescription DescribeMultiNoteReport(uint8_t* record);

}  // namespace pellucor::app

// --query NAME of list and export: a query saved in the desktop program's notes or archive window
// narrows a tab's listing, as running it from the window's popup narrows the list.
#pragma once

#include <string>

#include "app/cli/commands.h"

namespace pellucor::app::cli {

// ANDs the condition of saved query `name` (UTF-8, any letter case) to `request`'s extra
// condition, reading the queries from the settings file of the data directory without changing
// it. The notes tabs take the notes window's query fields, the archive the archive window's.
// Returns 0, or the exit status after writing the message: 2 for a name that is not saved (the
// message lists the saved ones) or a query that does not fit the tab's table, 3 for a settings
// file that lists the query but no longer holds it.
[[nodiscard]] int ApplySavedQuery(const Context& ctx, NoteStore& store, const std::string& name,
                                  ListRequest* request);

}  // namespace pellucor::app::cli

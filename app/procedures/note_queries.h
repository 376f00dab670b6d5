// The queryable fields of the notes and archive browses. The windows and pellucor-cli set up
// their query managers from these lists, so that a query saved in a window reads the same
// everywhere: a saved query names its fields, and the order of the fields is the order of the
// filter's terms.
#pragma once

#include <string_view>

namespace pellucor::framework {
class QueryManager;
}

namespace pellucor::app {

// Both browses keep their saved queries under this family of the settings file.
inline constexpr std::string_view kNotesQueryFamily = "Main";

// The notes browse's fields: topic, done flag, note date, reminder date, memo.
void AddNotesQueryFields(framework::QueryManager& query);
// The archive browse's fields: topic, note date, reminder date, memo.
void AddArchiveQueryFields(framework::QueryManager& query);

}  // namespace pellucor::app

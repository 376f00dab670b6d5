#include "app/procedures/note_queries.h"

#include "framework/query/query_manager.h"

namespace pellucor::app {

void AddNotesQueryFields(framework::QueryManager& query) {
  query.AddField("UPPER(sno:TOPIC)", "Topic", "@s20");
  query.AddField("UPPER(sno:Done)", "Done?", "@s2");
  query.AddField("UPPER(sno:NOTEDATE)", "Note Date", "@D17");
  query.AddField("UPPER(sno:REMINDERDATE)", "Reminder Date", "@D17");
  query.AddField("UPPER(sno:MAINMEMO)", "Memo", "@s40");
}

void AddArchiveQueryFields(framework::QueryManager& query) {
  query.AddField("UPPER(arc:TOPIC)", "Topic", "@s20");
  query.AddField("UPPER(arc:NOTEDATE)", "Note Date", "@D17");
  query.AddField("UPPER(arc:REMINDERDATE)", "Reminder Date", "@D17");
  query.AddField("UPPER(arc:MAINMEMO)", "Memo", "@s40");
}

}  // namespace pellucor::app

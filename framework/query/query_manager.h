// The query by example: the user restricts a browse by giving values (each with an operator) for
// some of its queryable fields; the query turns them into one filter text in the runtime's
// expression language, which the browse installs as a named filter and then refills its list.
// Queries can be saved under a name in the settings file, loaded, deleted and cleared; the last
// query run is kept as the query "tsMRU". A browse offers the saved queries in its popup menu.
//
//   QueryManager query;
//   query.Init("Main", errors, &ini);
//   query.AddField("UPPER(sno:TOPIC)", "Topic", "@s20");
//   query.AddField("sno:NOTEDATE", "Note Date", "@D17");
//   if (query.Ask() == Level::Proceed) browse.SetFilterById(query.GetFilter(), "QBE");
//
// A field's value (MIDDLE) carries its operator in front: "=", "<>", "<", ">", "<=", ">="; a
// leading "*" means Contains and a trailing "*" Begins ("*meet", "mee*"); a leading "^" asks for
// a comparison without regard to case ("^*meet"). An explicit operator wins over a trailing "*"
// ("=5*" compares with the text 5*). LOW and HIGH are inclusive bounds, each a value with an
// optional "^": a field with LOW 3 and HIGH 9 gives "(f >= 3) AND (f <= 9)", in addition to its
// MIDDLE term. The query dialog puts a ">=" row into LOW and a "<=" row into HIGH, so that one
// field can hold a range; every other operator goes to MIDDLE.
//
// Settings file (section "Query", under the sector text FAMILY$name$$Query):
//
//   Main$Open$$Query=3                           rows
//   Main$Open$$Query_1=UPPER(sno:TOPIC),^*meet   NAME,MIDDLE of each field, in field order
//   Main$Open$$Query_2=sno:NOTEDATE,             (an empty MIDDLE too)
//   Main$Open$$Query_3=sno:NOTEDATE,>=81000      then a row per bound: NAME,>=LOW / NAME,<=HIGH
//
// and the sector row "Main,Open,Query" in the INI manager's register (written at its Kill).
// Loading gives a field its MIDDLE from the first row that names it and its bounds from later
// ">=" and "<=" rows, so files without bound rows read as before.
//
// REQUIRES: callers hold the run lock; the error manager, the INI manager and the popup the query
// adds its items to outlive the query's Kill.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/error/level.h"
#include "runtime/queue/queue.h"

namespace pellucor::framework {

class ErrorManager;
class IniManager;
class PopupManager;
class WindowManager;

// The settings section and sector type of saved queries, and the name the last query run is
// saved under.
inline constexpr std::string_view kQuerySection = "Query";
inline constexpr std::string_view kQueryType = "Query";
inline constexpr std::string_view kLastQuery = "tsMRU";
// "Unsupported QBE Column": a saved query names a field this query does not have.
inline constexpr uint16_t kUnsupportedColumnMessage = 41;
// Saved query names: at most this many characters (the saved-query dialog's entry holds 50).
inline constexpr size_t kMaxQueryName = 50;

// Names of the query's popup items.
inline constexpr std::string_view kViewSeparatorItem = "ViewSeparator1";
inline constexpr std::string_view kEmptyItem = "tsQBEEmpty";
inline constexpr std::string_view kClearSeparatorItem = "ClearSeparator";
inline constexpr std::string_view kClearItem = "tsQBEClear";

// Sizes of a query field's texts in FIELDS.
inline constexpr size_t kQueryNameSize = 100;
inline constexpr size_t kQueryTitleSize = 100;
inline constexpr size_t kQueryPictureSize = 40;
inline constexpr size_t kQueryValueSize = 500;

// One queryable field, as a value (FIELDS holds them as queue rows).
struct QueryField {
  std::string NAME;               // the field as filter texts name it ("UPPER(sno:TOPIC)")
  std::string TITLE;              // its column heading
  std::string PICTURE;            // display picture without "@"; beginning with "S": a text field
  std::string LOW;                // lower bound
  std::string MIDDLE;             // the value with its operator
  std::string HIGH;               // upper bound
  bool FORCEEDITPICTURE = false;  // the dialog edits compared values through PICTURE
};

enum class QueryPart : uint8_t { kLow, kMiddle, kHigh };

// What a chosen popup item asks of the browse.
enum class QueryChoice : uint8_t {
  kNone,   // not one of the query's items
  kRun,    // a saved query is now in FIELDS: install GetFilter() and refill the list
  kClear,  // the query was cleared: remove its filter and refill the list
};

class QueryManager {
 public:
  QueryManager();
  virtual ~QueryManager();
  // FIELDS' descriptor points at the manager's own record buffer: the manager stays put.
  QueryManager(const QueryManager&) = delete;
  QueryManager& operator=(const QueryManager&) = delete;

  // --- Virtual operations ---

  // `family` names the group the saved queries are stored under (browses that share a family
  // share their saved queries). `ini` may be null: nothing is then saved or loaded.
  virtual Level Init(std::string_view family, ErrorManager& errors, IniManager* ini);
  // Removes the query's popup items and empties FIELDS.
  virtual void Kill();
  // Runs the query dialog on the calling thread, over its current window. Proceed when the user
  // ran a query (FIELDS then holds it, and it is saved as "tsMRU"); Cancelled otherwise, with
  // FIELDS as before.
  virtual Level Ask();
  // The filter text of the values in FIELDS; empty when no field gives a term.
  [[nodiscard]] virtual std::string GetFilter();

  // --- Fields ---

  // Makes a field queryable. A leading "@" of the picture is dropped.
  void AddField(std::string_view name, std::string_view title, std::string_view picture,
                bool force_edit_picture = false);
  [[nodiscard]] std::vector<QueryField> Fields();
  // Replaces the values of every field (matched by position; extra entries are ignored).
  void SetFields(const std::vector<QueryField>& fields);
  // Sets one value of field `name` (matched without regard to case). False: no such field.
  bool SetValue(std::string_view name, QueryPart part, std::string_view value);

  // --- Saved queries ---

  // Saves FIELDS under `name`. Notified when the name cannot be a query's name (QueryNameProblem)
  // or the settings file cannot be written; nothing is reported.
  Level SaveQuery(std::string_view name);
  // Loads query `name` into FIELDS: every field is cleared, then takes what the query stored for
  // it. A stored field this query does not have raises message 41 once and is dropped. Notified
  // (FIELDS unchanged) when there is no such query.
  Level LoadQuery(std::string_view name);
  // Removes the query from the sector register; its entries stay in the file.
  Level DeleteQuery(std::string_view name);
  // Clears every value: the query no longer restricts anything.
  void ClearQuery();
  // Runs saved query `name` as the popup does: LoadQuery, save it as "tsMRU", and remember it as
  // QKCURRENTQUERY. Notified when it does not exist.
  Level RunQuery(std::string_view name);
  // The saved queries of this family, without "tsMRU", sorted without regard to case.
  [[nodiscard]] std::vector<std::string> SavedQueries();
  // Whether query `name` of this family is saved (compared without regard to case).
  [[nodiscard]] bool IsSaved(std::string_view name);
  // Why `name` cannot name a saved query, or "" when it can: it must not be empty, longer than
  // kMaxQueryName, "tsMRU", or hold a character that the settings file, the sector text or the
  // popup menu cannot keep ("$", "=", "[", "]", ";", "|", "{", "}", control characters).
  [[nodiscard]] static std::string QueryNameProblem(std::string_view name);

  // The same on a list of fields instead of FIELDS (the dialogs work on a copy until OK).
  Level SaveFields(std::string_view name, const std::vector<QueryField>& fields);
  Level LoadFields(std::string_view name, std::vector<QueryField>& fields);

  // --- Popup support ---

  // Appends the query's items at the popup's present place (inside the browse's "&Query"
  // submenu when the browse opened one): a separator "ViewSeparator1", one item per saved query
  // (icon QKMENUICON; the query in force ticked), "Empty" (tsQBEEmpty, disabled) while none is
  // saved, a separator "ClearSeparator" and "C&lear" (tsQBEClear). The saved queries are read
  // again each time the popup is shown. Nothing is added without QKSUPPORT.
  void AddPopupItems(PopupManager& popup);
  // Brings the saved-query items up to date (the popup does this itself before it shows).
  void RefreshPopupItems();
  // Acts on the item the popup's Ask returned: a saved query is run (RunQuery), Clear clears the
  // query; the answer says what the browse must do with its filter.
  QueryChoice TakePopupChoice(std::string_view item);

  // --- Fields, in order ---

  ErrorManager* ERRORS = nullptr;  // not owned
  runtime::Queue FIELDS;           // one FieldRecord row per field, in the order added
  std::string FAMILY;
  IniManager* INIMGR = nullptr;       // not owned
  PopupManager* POPUPLIST = nullptr;  // not owned: the popup holding the query's items
  bool QKSUPPORT = true;              // offer the saved queries in the browse's popup
  std::string QKICON;                 // icon of the browse's query button
  std::string QKMENUICON;             // icon of the saved-query popup items
  uint16_t QKSUBMENUPOS = 0;        // position (from 1) of the query's first popup item; 0 for none
  std::string QKCURRENTQUERY;       // the saved query in force; empty for none (or one not saved)
  WindowManager* WINDOW = nullptr;  // the query dialog while it runs; null otherwise

 private:
  struct FieldRecord {
    char name[kQueryNameSize];
    char title[kQueryTitleSize];
    char picture[kQueryPictureSize];
    char low[kQueryValueSize];
    char middle[kQueryValueSize];
    char high[kQueryValueSize];
    uint8_t force_edit_picture;
  };
  FieldRecord record_{};

  // The sector of query `name` as the register holds it (its spelling), or "" when not saved.
  [[nodiscard]] std::string SectorOf(std::string_view name);

  // Takes the query's items out of POPUPLIST and forgets it.
  void RemovePopupItems();

  // Popup items: the names the popup gave them, and the query each saved-query item runs.
  std::string view_separator_;
  std::string clear_separator_;
  std::string clear_item_;
  std::vector<std::pair<std::string, std::string>> query_items_;
};

}  // namespace pellucor::framework

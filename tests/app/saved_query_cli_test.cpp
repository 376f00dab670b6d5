// list and export with --query NAME: queries saved in the desktop program's settings file, laid
// out byte for byte as the windows' query manager writes them (its own tests pin that layout),
// applied by the real pellucor-cli together with the tab's filter and --where.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>

#include "runtime/values/calendar.h"
#include "tests/app/cli_runner.h"

namespace pellucor::app::clitest {
namespace {

std::string Day(int offset) {
  runtime::BrokenDate d;
  EXPECT_EQ(runtime::SplitDate(runtime::TODAY() + offset, &d), 0);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
  return buf;
}

// One saved query: its name and the NAME,VALUE rows the query manager stores for it.
struct SavedQuery {
  std::string name;
  std::vector<std::string> rows;
};

// The settings file as the window leaves it: each query's rows under "Main$NAME$$Query" in
// section [Query], and the register of the queries that are saved (a deleted query's rows stay).
std::string SettingsFile(const std::vector<SavedQuery>& queries,
                         const std::vector<std::string>& registered) {
  std::string text = "[Query]\n";
  for (const SavedQuery& q : queries) {
    const std::string key = "Main$" + q.name + "$$Query";
    text += key + "=" + std::to_string(q.rows.size()) + "\n";
    for (size_t i = 0; i < q.rows.size(); ++i) {
      text += key + "_" + std::to_string(i + 1) + "=" + q.rows[i] + "\n";
    }
  }
  text += "\n[__Dont_Touch_Me__]\nSectors=" + std::to_string(registered.size()) + "\n";
  for (size_t i = 0; i < registered.size(); ++i) {
    text += "Sectors_" + std::to_string(i + 1) + "=Main," + registered[i] + ",Query\n";
  }
  return text;
}

// The notes window's five fields with the values given (MIDDLE first, then bound rows).
std::vector<std::string> NotesRows(const std::string& topic, const std::string& done,
                                   const std::string& note_date, const std::string& memo,
                                   const std::vector<std::string>& bounds = {}) {
  std::vector<std::string> rows = {"UPPER(sno:TOPIC)," + topic, "UPPER(sno:Done)," + done,
                                   "UPPER(sno:NOTEDATE)," + note_date, "UPPER(sno:REMINDERDATE),",
                                   "UPPER(sno:MAINMEMO)," + memo};
  rows.insert(rows.end(), bounds.begin(), bounds.end());
  return rows;
}

class SavedQueries : public ::testing::Test {
 protected:
  void SetUp() override {
    // topic, note day, reminder day (99: none), done, memo
    struct Row {
      const char* topic;
      int note;
      int remind;
      bool done;
      const char* memo;
    };
    const Row rows[] = {
        {"Team meeting", -2, 99, false, "agenda"},
        {"MEETING notes", -20, 99, true, "lunch with the team"},
        {"Dentist", -3, 1, false, "lunch first"},
        {"meet Anna", -1, 0, false, ""},
        {"Shopping", -8, 99, false, "bread, lunch"},
        {"Board meeting", -6, -1, true, ""},
        {"Call the plumber", -40, 99, false, "kitchen"},
    };
    for (const Row& r : rows) {
      std::vector<std::string> args = {"add",       "--topic", r.topic, "--date",
                                       Day(r.note), "--memo",  r.memo};
      if (r.remind != 99) {
        args.push_back("--remind");
        args.push_back(Day(r.remind));
      }
      if (r.done) args.push_back("--done");
      const Outcome o = RunCli(dir_, args);
      ASSERT_EQ(o.status, 0) << o.err;
    }
    const std::string from = std::to_string(runtime::TODAY() - 7);
    const std::string to = std::to_string(runtime::TODAY() - 2);
    queries_ = {
        // Contains, without regard to case.
        {"Meetings", NotesRows("^*meet", "", "", "")},
        // A range of note dates (day numbers), as the dialog saves a ">=" and a "<=" row.
        {"Last week", NotesRows("", "", "", "",
                                {"UPPER(sno:NOTEDATE),>=" + from, "UPPER(sno:NOTEDATE),<=" + to})},
        // A comma in the name, an equal value and a contained one.
        {"Open, lunch", NotesRows("", "N", "", "*lunch")},
        // Deleted: its rows stay in the file, but it is not registered.
        {"Gone", NotesRows("Dentist", "", "", "")},
        // The last query run, which the window keeps for itself.
        {"tsMRU", NotesRows("Shopping", "", "", "")},
        // Saved in the archive window: its fields are the archive's.
        {"Old trips",
         {"UPPER(arc:TOPIC),trip*", "UPPER(arc:NOTEDATE),", "UPPER(arc:REMINDERDATE),",
          "UPPER(arc:MAINMEMO),"}},
    };
    WriteWhole(dir_ + "/KNB4.INI", SettingsFile(queries_, {"Meetings", "Last week", "Open, lunch",
                                                           "tsMRU", "Old trips"}));
  }

  // The topics of a listing, in its order; the listing must succeed.
  std::vector<std::string> Topics(std::vector<std::string> args) {
    args.insert(args.begin(), "list");
    args.push_back("--tsv");
    const Outcome o = RunCli(dir_, args);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "");
    std::vector<std::string> topics;
    const std::vector<std::string> lines = Lines(o.out);
    for (size_t i = 1; i < lines.size(); ++i) topics.push_back(Fields(lines[i]).at(3));
    return topics;
  }

  Scratch scratch_;
  std::string dir_ = scratch_.DataDir();
  std::vector<SavedQuery> queries_;
};

TEST_F(SavedQueries, AQueryGivesTheRowsOfItsTabFilteredByHand) {
  const std::vector<std::string> tabs = {"notes", "reminders", "done", "all"};
  // By hand: the tab's listing, then what each query admits, in the tab's order.
  const auto by_hand = [&](const std::string& tab, auto admits) {
    std::vector<std::string> kept;
    for (const std::string& topic : Topics({"--tab", tab})) {
      if (admits(topic)) kept.push_back(topic);
    }
    return kept;
  };
  const auto meets = [](const std::string& topic) {
    std::string upper = topic;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    return upper.find("MEET") != std::string::npos;
  };
  const std::set<std::string> last_week = {"Team meeting", "Dentist", "Board meeting"};
  const std::set<std::string> open_lunch = {"Dentist", "Shopping"};
  for (const std::string& tab : tabs) {
    SCOPED_TRACE(tab);
    EXPECT_EQ(Topics({"--tab", tab, "--query", "Meetings"}), by_hand(tab, meets));
    EXPECT_EQ(Topics({"--tab", tab, "--query", "Last week"}),
              by_hand(tab, [&](const std::string& t) { return last_week.count(t) > 0; }));
    EXPECT_EQ(Topics({"--tab", tab, "--query", "Open, lunch"}),
              by_hand(tab, [&](const std::string& t) { return open_lunch.count(t) > 0; }));
  }
  // The default tab is the same as for a plain list, and names compare without regard to case.
  EXPECT_EQ(
      Topics({"--query", "MEETINGS"}),
      (std::vector<std::string>{"MEETING notes", "Team meeting", "Board meeting", "meet Anna"}));
  EXPECT_EQ(Topics({"--query", "  open, LUNCH "}),
            (std::vector<std::string>{"Shopping", "Dentist"}));
  EXPECT_EQ(Topics({"--tab", "done", "--query", "Meetings"}),
            (std::vector<std::string>{"MEETING notes", "Board meeting"}));

  // The aligned listing takes the query too.
  const Outcome aligned = RunCli(dir_, {"list", "--tab", "notes", "--query", "Meetings"});
  ASSERT_EQ(aligned.status, 0) << aligned.err;
  ASSERT_EQ(Lines(aligned.out).size(), 2u) << aligned.out;
  EXPECT_NE(Lines(aligned.out)[1].find("Team meeting"), std::string::npos);
}

TEST_F(SavedQueries, AQueryCombinesWithWhereAndTheArchiveUsesItsOwnFields) {
  EXPECT_EQ(Topics({"--query", "Meetings", "--where", "sno:done='Y'"}),
            (std::vector<std::string>{"MEETING notes", "Board meeting"}));
  EXPECT_EQ(Topics({"--tab", "all", "--query", "Last week", "--where",
                    "INSTRING('lunch',sno:mainmemo,1,1)"}),
            (std::vector<std::string>{"Dentist"}));
  // --where and the query both narrow: nothing meets both.
  EXPECT_TRUE(Topics({"--query", "Open, lunch", "--where", "sno:topic='Team meeting'"}).empty());

  // Archived notes answer the archive window's query.
  for (const char* topic : {"trip to Rome", "Tripod repair", "Old trip"}) {
    const Outcome added = RunCli(dir_, {"add", "--topic", topic, "--remind", Day(-1)});
    ASSERT_EQ(added.status, 0) << added.err;
    const Outcome moved = RunCli(dir_, {"archive", Lines(added.out).at(0)});
    ASSERT_EQ(moved.status, 0) << moved.err;
  }
  EXPECT_EQ(Topics({"--tab", "archive", "--query", "old TRIPS"}),
            (std::vector<std::string>{"trip to Rome", "Tripod repair"}));
  // A query of the other window names fields this table's query does not have: refused, not
  // run with those terms dropped (which would list every note).
  const Outcome notes_on_archive =
      RunCli(dir_, {"list", "--tab", "archive", "--query", "Meetings"});
  EXPECT_EQ(notes_on_archive.status, 2);
  EXPECT_EQ(notes_on_archive.out, "");
  EXPECT_NE(notes_on_archive.err.find("UPPER(sno:TOPIC)"), std::string::npos)
      << notes_on_archive.err;
  const Outcome archive_on_notes = RunCli(dir_, {"list", "--query", "Old trips"});
  EXPECT_EQ(archive_on_notes.status, 2);
  EXPECT_NE(archive_on_notes.err.find("UPPER(arc:TOPIC)"), std::string::npos)
      << archive_on_notes.err;
}

TEST_F(SavedQueries, AnUnknownNameIsBadInputAndListsTheSavedOnes) {
  const std::string settings = ReadWhole(dir_ + "/KNB4.INI");
  const std::string known = "'Last week', 'Meetings', 'Old trips', 'Open, lunch'";
  // A deleted query, the last query run and a name never saved.
  for (const char* name : {"Gone", "tsMRU", "Nothing", ""}) {
    SCOPED_TRACE(name);
    const Outcome o = RunCli(dir_, {"list", "--query", name});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.out, "");
    EXPECT_NE(o.err.find("no saved query '" + std::string(name) + "'"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find(known), std::string::npos) << o.err;
  }
  const std::string target = scratch_.Path("out.tsv");
  const Outcome exported = RunCli(dir_, {"export", target, "--query", "Nothing"});
  EXPECT_EQ(exported.status, 2);
  EXPECT_NE(exported.err.find(known), std::string::npos) << exported.err;
  EXPECT_FALSE(std::filesystem::exists(target));
  // Reading the queries changes nothing in the settings file.
  EXPECT_EQ(ReadWhole(dir_ + "/KNB4.INI"), settings);

  // Without any saved query (no settings file, or only the last query run) it says so.
  std::filesystem::remove(dir_ + "/KNB4.INI");
  const Outcome none = RunCli(dir_, {"list", "--query", "Meetings"});
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("no query is saved"), std::string::npos) << none.err;
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/KNB4.INI"));
  WriteWhole(dir_ + "/KNB4.INI", SettingsFile({queries_[4]}, {"tsMRU"}));
  const Outcome only_last = RunCli(dir_, {"list", "--query", "tsMRU"});
  EXPECT_EQ(only_last.status, 2);
  EXPECT_NE(only_last.err.find("no query is saved"), std::string::npos) << only_last.err;

  // A query whose rows were taken out of the file by hand cannot be read: told, not run empty.
  WriteWhole(dir_ + "/KNB4.INI", SettingsFile({}, {"Meetings"}));
  const Outcome lost = RunCli(dir_, {"list", "--query", "Meetings"});
  EXPECT_EQ(lost.status, 3);
  EXPECT_EQ(lost.out, "");
  EXPECT_NE(lost.err.find("missing"), std::string::npos) << lost.err;
}

TEST_F(SavedQueries, ExportWritesTheRowsTheListingShows) {
  for (const std::vector<std::string>& selection :
       std::vector<std::vector<std::string>>{{"--query", "Meetings"},
                                             {"--tab", "notes", "--query", "Open, lunch"},
                                             {"--query", "Last week", "--where", "sno:done='N'"}}) {
    std::vector<std::string> list = {"list", "--tsv"};
    list.insert(list.end(), selection.begin(), selection.end());
    const Outcome listed = RunCli(dir_, list);
    ASSERT_EQ(listed.status, 0) << listed.err;
    std::vector<std::string> expected = Lines(listed.out);
    ASSERT_GT(expected.size(), 1u);
    expected.erase(expected.begin());  // export writes no header line

    const std::string target = scratch_.Path("export.tsv");
    std::vector<std::string> exporting = {"export", target};
    exporting.insert(exporting.end(), selection.begin(), selection.end());
    const Outcome exported = RunCli(dir_, exporting);
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(Lines(ReadWhole(target)), expected);
  }
}

}  // namespace
}  // namespace pellucor::app::clitest

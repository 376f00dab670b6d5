#include "app/cli/usage.h"

#include <array>
#include <utility>

namespace pellucor::app::cli {
namespace {

constexpr std::string_view kManual = R"txt(NAME
    pellucor-cli - the notes and reminders of Pellucor from the command line

SYNOPSIS
    pellucor-cli [--data-dir DIR] COMMAND [OPTIONS] [ARGUMENTS]
    pellucor-cli --help
    pellucor-cli help COMMAND

DESCRIPTION
    pellucor-cli reads and changes the same data file as the Pellucor desktop
    program (plk.KSR in the data directory). It may run while the desktop
    program or another pellucor-cli has the file open: every change is
    committed at once, and the others see it at their next read.

    The data directory is DIR of --data-dir, else $PELLUCOR_DATA_DIR, else
    $XDG_DATA_HOME/pellucor, else ~/.local/share/pellucor; it is created on
    first use. Dates are written YYYY-MM-DD. Text is UTF-8; the data file
    keeps Windows-1252, so a character outside it is refused.

COMMANDS
    add --topic TEXT [--date D] [--remind D] [--memo TEXT | --memo-file FILE]
        [--done]
        Adds a note and prints its id.
    list [--tab notes|reminders|done|all|archive] [--where EXPR]
        [--query NAME] [--tsv]
        Lists the notes of a tab in its order.
    due [--tsv]
        Lists the current reminders; exit status 0 when one is due, 1 when none.
    show [--archive] ID
        Shows one note in full.
    edit [--archive] ID [--topic T] [--date D] [--remind D | --no-remind]
        [--memo TEXT | --memo-file FILE] [--done | --undone]
        Changes fields of a note.
    delete [--archive] ID
        Deletes a note.
    archive ID
        Moves a note to the archive and prints its id there.
    export FILE [--tab T] [--where EXPR] [--query NAME]
        Writes the notes of a tab to FILE, one note a line.
    import FILE
        Adds the notes of an exported FILE.
    pdf FILE [--tab notes|reminders|done|all] [--where EXPR]
        Prints the notes of a tab as the MultiNote report into a PDF FILE.
    check
        Checks the structure of the data file; exit status 0 when sound.
    eval EXPR
        Prints the value of an expression.
    remind [--enable | --disable] [--time HH:MM]
        Sets up pellucor-remind, which shows due reminders as desktop
        notifications.
    help [COMMAND]
        Shows this text or the help of one command.

TABS
    notes      "Notes Only": open notes without a reminder date, by archive
               flag, reminder date and topic.
    reminders  "Current Reminders": open notes whose reminder date is at most
               three days ahead or past, by note date.
    done       "Done Items": done notes by done flag and reminder date, then
               note date newest first.
    all        "Everything" (the default): every note, as for notes.
    archive    The archived notes, by reminder date and topic.

EXPRESSIONS
    --where and eval take expressions over the note fields sno:topic,
    sno:reminder, sno:notedate, sno:reminderdate, sno:mainmemo and sno:done
    (arc:... for the archive tab), e.g. "UPPER(sno:topic)='BOOKS'" or
    "sno:notedate >= today()-7". Dates are day numbers; '' compares as 0.

SAVED QUERIES
    --query NAME of list and export applies the query saved under NAME in
    the desktop program's Find By (the settings file KNB4.INI in the data
    directory), together with the tab's filter and --where, as the window
    applies it from its popup menu. Names compare without regard to case; a
    name that is not saved is bad input, and the message lists the saved
    ones. Queries saved while the desktop program runs are listed once it
    has ended. The settings file is only read.

TAB-SEPARATED FORM
    list --tsv, export and import write one note a line with the fields
    id, reminder_date, note_date, topic, done, archive and memo, separated by
    tabs (list --tsv starts with that header line). Empty dates stand for
    none. In the memo a backslash, tab, newline and carriage return are
    written \\, \t, \n and \r. import assigns new ids.

EXIT STATUS
    0  success (due: a reminder is due; check: the file is sound)
    1  due: nothing is due; check: faults were found; pdf: no note to print
    2  bad input: an unknown command or option, a date that does not exist,
       a text too long or not storable, an id that names no note, an
       expression that does not compile. Nothing is written.
    3  the data file could not be read or written: it is damaged (check
       shows where), read-only (reading commands still work), or another
       program holds it

ENVIRONMENT
    PELLUCOR_DATA_DIR, XDG_DATA_HOME, HOME: where the data directory is.
)txt";

constexpr std::array<std::pair<std::string_view, std::string_view>, 14> kHelp{{
    {"add", R"txt(usage: pellucor-cli add --topic TEXT [--date YYYY-MM-DD] [--remind YYYY-MM-DD]
                        [--memo TEXT | --memo-file FILE] [--done]

Adds a note to the notes table and prints its id. The note date is today
unless --date gives it; the note is a reminder from --remind on; it is open
unless --done is given. The topic holds at most 60 characters on one line, the
memo at most 5050 characters. --memo-file - reads the memo from standard input
(one final line break is dropped).
)txt"},
    {"list",
     R"txt(usage: pellucor-cli list [--tab notes|reminders|done|all|archive] [--where EXPR]
                         [--query NAME] [--tsv]

Lists the notes of a tab (default: all) in the tab's order, with the tab's
filter, as the desktop program's main window shows them; archive lists the
archive. --where adds a condition that every listed note must also meet, and
--query NAME the conditions of the query saved as NAME in the desktop
program's Find By (the archive tab uses the archive window's fields). The
columns are aligned, dates shown in the desktop's short date form, a "*"
marking a reminder due within three days; --tsv writes the tab-separated form
with its header line instead.
)txt"},
    {"due", R"txt(usage: pellucor-cli due [--tsv]

Lists the notes of "Current Reminders": open notes whose reminder date is at
most three days ahead or past. Exit status 0 when at least one is due, 1 when
none is, e.g.  pellucor-cli due && notify-send "Pellucor" "Reminders are due"
)txt"},
    {"show", R"txt(usage: pellucor-cli show [--archive] ID

Shows every field of the note ID (of the archive with --archive).
)txt"},
    {"edit", R"txt(usage: pellucor-cli edit [--archive] ID [--topic TEXT] [--date YYYY-MM-DD]
                         [--remind YYYY-MM-DD | --no-remind]
                         [--memo TEXT | --memo-file FILE] [--done | --undone]

Changes the given fields of the note ID and keeps the others.
)txt"},
    {"delete", R"txt(usage: pellucor-cli delete [--archive] ID

Deletes the note ID (of the archive with --archive) for good.
)txt"},
    {"archive", R"txt(usage: pellucor-cli archive ID

Moves the note ID to the archive: adds it there, marked as archived, and
removes it from the notes table. Prints its id in the archive.
)txt"},
    {"export", R"txt(usage: pellucor-cli export FILE [--tab T] [--where EXPR] [--query NAME]

Writes the notes of a tab (default: all) that meet --where and the saved
query --query (as list takes them) to FILE in the tab-separated form,
one note a line, without the header line. FILE is replaced only once all of
it is written.
)txt"},
    {"import", R"txt(usage: pellucor-cli import FILE

Adds the notes of FILE (as export writes it; a header line and empty lines
are skipped) to the notes table with new ids. Every line is checked first:
when one is wrong, nothing is added.
)txt"},
    {"pdf", R"txt(usage: pellucor-cli pdf FILE [--tab notes|reminders|done|all] [--where EXPR]

Prints the notes of a tab (default: all) that meet --where, in the order of
archive flag, reminder date and topic, as the desktop program's MultiNote
report ("Print FindBy's"): the same pages, with their page numbers, written
to the PDF file FILE. No window is shown. FILE is replaced only once all of
it is written. Exit status 1 when no note is to be printed (nothing is
written).
)txt"},
    {"check", R"txt(usage: pellucor-cli check

Checks every structural invariant of the data file. Exit status 0 when it is
sound, 1 when faults were found (they are listed).
)txt"},
    {"eval", R"txt(usage: pellucor-cli eval EXPR

Prints the value of the expression EXPR, with the note fields (sno:topic ...)
bound to an empty note, e.g.  pellucor-cli eval "FORMAT(DATE(10,31,1959),@D4)"
)txt"},
    {"remind", R"txt(usage: pellucor-cli remind [--enable | --disable] [--time HH:MM]

Sets up pellucor-remind, the agent that shows the notes of "Current
Reminders" as desktop notifications while the desktop program is closed: when
it starts, every day at the chosen time, and when a note becomes due.
--enable writes its autostart entry for this user
($XDG_CONFIG_HOME/autostart/pellucor-remind.desktop), so that it starts at
login on this data directory; --disable removes the entry. --time sets the
time of day (default 09:00), kept in KNB4.INI in the section [Reminders].
Prints whether it starts at login and at what time it shows the reminders.
)txt"},
    {"help", R"txt(usage: pellucor-cli help [COMMAND]

Shows the manual, or the help of one command.
)txt"},
}};

}  // namespace

std::string_view ManualText() {
  return kManual;
}

std::optional<std::string_view> CommandHelp(std::string_view command) {
  for (const auto& [name, text] : kHelp) {
    if (name == command) return text;
  }
  return std::nullopt;
}

}  // namespace pellucor::app::cli

// The report engine over Qt: text blocks that wrap without losing a character, bands that flow
// over pages, page files that are printed in order into a PDF or discarded and never left
// behind, the "Print To File..." dialog, and the preview's page area.
#include <QFileDialog>
#include <QFontMetricsF>
#include <QPrinter>
#include <QRegularExpression>
#include <cstring>
#include <filesystem>

#include "runtime/event/window.h"
#include "tests/ui/report_test_util.h"
#include "ui/report_canvas.h"
#include "ui/report_layout.h"

namespace pellucor::ui::testing {
namespace {

using runtime::FlushResult;
using runtime::ReportControl;
using runtime::ReportControlKind;
using runtime::TypeCode;

struct Note {
  char topic[60];
  char memo[5050];
};

void SetText(char* field, size_t size, const std::string& text) {
  std::memset(field, ' ', size);
  std::memcpy(field, text.data(), std::min(size, text.size()));
}

runtime::ReportDescription NotesReport(Note* note) {
  runtime::ReportDescription d;
  d.name = "P1$REPORT";
  d.title = "Engine test";
  d.area = {1000, 1540, 6000, 7458};
  d.header.at = {1000, 500, 6000, 900};
  ReportControl title;
  title.text = "Engine Test";
  title.at = {0, 0, 6000, 300};
  title.font = runtime::ReportFont{"Arial", 14, true, false};
  d.header.controls.push_back(title);
  d.footer.at = {1000, 9200, 6000, 300};
  ReportControl page;
  page.page_number = true;
  page.picture = "@pPage <<<#p";
  page.at = {0, 0, 6000, 200};
  page.align = runtime::ReportAlign::kRight;
  page.font = runtime::ReportFont{"Arial", 8, false, false};
  d.footer.controls.push_back(page);
  runtime::ReportBand detail;
  detail.at = {0, 0, 6000, 700};
  ReportControl topic;
  topic.at = {0, 0, 6000, 200};
  topic.picture = "@s60";
  topic.use = runtime::AnyRef{note->topic, sizeof note->topic, TypeCode::kString, 0};
  detail.controls.push_back(topic);
  ReportControl memo;
  memo.kind = ReportControlKind::kText;
  memo.at = {0, 250, 6000, 300};
  memo.use = runtime::AnyRef{note->memo, sizeof note->memo, TypeCode::kString, 0};
  detail.controls.push_back(memo);
  d.details.push_back(detail);
  return d;
}

// Words that tell their note and place apart: "n7w0012".
std::string Memo(int note, int words) {
  std::string memo;
  for (int w = 1; w <= words; ++w) {
    char word[24];
    std::snprintf(word, sizeof word, "n%dw%04d", note, w);
    if (!memo.empty()) memo += (w % 23 == 0) ? "\r\n" : " ";
    memo += word;
  }
  return memo;
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> out;
  std::string word;
  for (char c : text + " ") {
    if (c == ' ' || c == '\r' || c == '\n') {
      if (!word.empty()) out.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  return out;
}

TEST(WrapLines, KeepsEveryCharacterAndStaysInsideTheWidth) {
  (void)App();
  const QFont font = ReportFontOf(runtime::ReportFont{});
  const qreal width = 3000;
  QString text =
      QStringLiteral("A first paragraph with   several blanks and words to wrap over lines");
  text += QStringLiteral("\r\n\r\n") + QString(300, u'x') + QStringLiteral("\nlast\rline ");
  const std::vector<QString> lines = WrapLines(text, font, width);
  // The paragraphs as the lines give them back.
  QStringList paragraphs;
  QString joined;
  for (const QString& line : lines) {
    EXPECT_LE(QFontMetricsF(font).horizontalAdvance(line.trimmed()), width + 0.5)
        << line.toStdString();
  }
  const QStringList expected = text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
  // Rebuild: lines of one paragraph follow each other; a new paragraph starts where the text had
  // a break. Walk the expected paragraphs and take lines until each is complete.
  size_t at = 0;
  for (const QString& paragraph : expected) {
    QString rebuilt;
    do {
      ASSERT_LT(at, lines.size());
      rebuilt += lines[at++];
    } while (rebuilt.size() < paragraph.size());
    EXPECT_EQ(rebuilt, paragraph);
  }
  EXPECT_EQ(at, lines.size());
  // The long word was broken inside, over several lines.
  EXPECT_GT(lines.size(), expected.size() + 2);

  // A memo of the full 5050 characters, with tabs: measured word by word, each line as drawn
  // still fits, and the lines give back every character.
  QString memo;
  const QStringList words = {QStringLiteral("Wavy"),  QStringLiteral("AVA"),
                             QStringLiteral("to"),    QStringLiteral("Tea,"),
                             QStringLiteral("fjord"), QStringLiteral("W.A.T.")};
  for (int i = 0; memo.size() < 5050; ++i) {
    memo += words[i % words.size()] + (i % 17 == 0 ? QStringLiteral("\t") : QStringLiteral(" "));
  }
  memo.truncate(5050);
  QString rebuilt;
  for (const QString& line : WrapLines(memo, font, width)) {
    EXPECT_LE(QFontMetricsF(font).horizontalAdvance(DrawnLine(line).trimmed()), width + 1.0)
        << line.toStdString();
    rebuilt += line;
  }
  EXPECT_EQ(rebuilt, memo);
}

TEST_F(ReportUiTest, NotesFlowOverPagesAndPrintIntoAPdfInOrder) {
  Note note{};
  runtime::Report report(NotesReport(&note));
  std::vector<std::string> pages;
  ASSERT_TRUE(report.Open());
  report.SetPageList(&pages);
  std::vector<std::string> expected;
  for (int n = 1; n <= 30; ++n) {
    // Note 12 has a memo of the full 5050 characters, which runs over more than one page.
    std::string memo = n == 12 ? Memo(n, 700).substr(0, 5050) : Memo(n, n % 5 * 9);
    SetText(note.topic, sizeof note.topic, "Topic number " + std::to_string(n));
    SetText(note.memo, sizeof note.memo, memo);
    expected.push_back("Topic number " + std::to_string(n));
    for (const std::string& w : Words(memo)) expected.push_back(w);
    ASSERT_TRUE(report.Print(1)) << report.ErrorText();
  }
  ASSERT_TRUE(report.EndPage()) << report.ErrorText();
  const int32_t count = report.PageCount();
  report.Close();
  EXPECT_GE(count, 3);
  ASSERT_EQ(pages.size(), static_cast<size_t>(count));
  EXPECT_EQ(tmp_.PageFiles().size(), pages.size());
  for (const std::string& p : pages) EXPECT_EQ(p.rfind(tmp_.path() + "/VEL", 0), 0u) << p;

  const std::string pdf = tmp_.path() + "/notes.pdf";
  reports_.SetOutputFile(pdf);
  EXPECT_EQ(runtime::FlushPages(pages, true, "Notes"), FlushResult::kPrinted)
      << reports_.ErrorText();
  EXPECT_TRUE(pages.empty());
  EXPECT_TRUE(tmp_.PageFiles().empty());
  EXPECT_FALSE(std::filesystem::exists(pdf + ".part"));
  const std::string text = Collapsed(PdfText(pdf));
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(FirstMissingInOrder(text, expected), "");
  std::vector<std::string> numbers;
  for (int p = 1; p <= count; ++p) numbers.push_back("Page " + std::to_string(p));
  EXPECT_EQ(FirstMissingInOrder(text, numbers), "");
  EXPECT_EQ(text.find("Page " + std::to_string(count + 1)), std::string::npos);
}

TEST_F(ReportUiTest, PagesAreDiscardedOrPrintedThroughThePrintToFileDialog) {
  Note note{};
  auto make_pages = [&](std::vector<std::string>* pages) {
    runtime::Report report(NotesReport(&note));
    ASSERT_TRUE(report.Open());
    report.SetPageList(pages);
    SetText(note.topic, sizeof note.topic, "Dialog note");
    SetText(note.memo, sizeof note.memo, "Printed through the dialog");
    ASSERT_TRUE(report.Print(1));
    report.Close();  // finishes the last page
    ASSERT_EQ(pages->size(), 1u);
  };
  std::vector<std::string> pages;
  make_pages(&pages);
  EXPECT_EQ(runtime::FlushPages(pages, false, "Notes"), FlushResult::kDiscarded);
  EXPECT_TRUE(pages.empty());
  EXPECT_TRUE(tmp_.PageFiles().empty());

  // The printer setup chose to print to a file: printing asks where.
  engine_.RunOnGui([&] { engine_.Printer().setOutputFormat(QPrinter::PdfFormat); });
  std::vector<std::string> titles;
  std::string answer;  // empty: cancel
  engine_.SetResponder([&](QWidget* dialog) {
    auto* files = qobject_cast<QFileDialog*>(dialog);
    if (files == nullptr) return;
    titles.push_back(files->windowTitle().toStdString());
    EXPECT_EQ(files->nameFilters(), QStringList{QStringLiteral("All files (*)")});
    if (answer.empty()) {
      files->reject();
    } else {
      files->selectFile(QString::fromStdString(answer));
      static_cast<QDialog*>(files)->accept();  // QFileDialog reads its name field
    }
  });
  make_pages(&pages);
  EXPECT_EQ(runtime::FlushPages(pages, true, "Notes"), FlushResult::kCancelled);
  EXPECT_TRUE(tmp_.PageFiles().empty());

  answer = tmp_.path() + "/chosen.pdf";
  make_pages(&pages);
  EXPECT_EQ(runtime::FlushPages(pages, true, "Notes"), FlushResult::kPrinted)
      << reports_.ErrorText();
  EXPECT_EQ(titles, (std::vector<std::string>{"Print To File...", "Print To File..."}));
  EXPECT_EQ(FirstMissingInOrder(Collapsed(PdfText(answer)),
                                {"Dialog note", "Printed through the dialog"}),
            "");
  EXPECT_TRUE(tmp_.PageFiles().empty());
}

TEST_F(ReportUiTest, AFileThatCannotBeWrittenFailsAndLeavesNothing) {
  Note note{};
  std::vector<std::string> pages;
  runtime::Report report(NotesReport(&note));
  ASSERT_TRUE(report.Open());
  report.SetPageList(&pages);
  SetText(note.topic, sizeof note.topic, "Nowhere");
  ASSERT_TRUE(report.Print(1));
  report.Close();
  const std::string pdf = tmp_.path() + "/missing-dir/out.pdf";
  reports_.SetOutputFile(pdf);
  EXPECT_EQ(runtime::FlushPages(pages, true, "Notes"), FlushResult::kFailed);
  EXPECT_NE(reports_.ErrorText().find("cannot be written"), std::string::npos)
      << reports_.ErrorText();
  EXPECT_TRUE(tmp_.PageFiles().empty());
  EXPECT_FALSE(std::filesystem::exists(pdf));
  EXPECT_FALSE(std::filesystem::exists(pdf + ".part"));
}

TEST_F(ReportUiTest, AReportWithoutAPageListPrintsWhenItCloses) {
  Note note{};
  const std::string pdf = tmp_.path() + "/direct.pdf";
  reports_.SetOutputFile(pdf);
  {
    runtime::Report report(NotesReport(&note));
    ASSERT_TRUE(report.Open());
    SetText(note.topic, sizeof note.topic, "Straight to the printer");
    ASSERT_TRUE(report.Print(1));
    EXPECT_FALSE(report.Print(2));  // no such band
    EXPECT_NE(report.ErrorText().find("no detail band 2"), std::string::npos);
  }  // closed here
  EXPECT_EQ(FirstMissingInOrder(Collapsed(PdfText(pdf)), {"Straight to the printer", "Page 1"}),
            "");
  EXPECT_TRUE(tmp_.PageFiles().empty());
}

TEST_F(ReportUiTest, ThePreviewAreaShowsTilesOrOnePageAtItsZoom) {
  Note note{};
  std::vector<std::string> pages;
  {
    runtime::Report report(NotesReport(&note));
    ASSERT_TRUE(report.Open());
    report.SetPageList(&pages);
    for (int n = 1; n <= 5; ++n) {
      SetText(note.topic, sizeof note.topic, "Page topic " + std::to_string(n));
      ASSERT_TRUE(report.Print(1));
      ASSERT_TRUE(report.EndPage());
    }
  }
  ASSERT_EQ(pages.size(), 5u);
  runtime::WindowDescription d;
  d.name = "PREVIEW";
  d.at = runtime::DialogRect{0, 0, 300, 200};
  Add(d, 1, runtime::ControlKind::kRegion, "", {0, 0, 300, 200});
  runtime::Window window(d);
  OpenAndShow(window);
  runtime::PageView view;
  view.pages = pages;
  view.zoom = -2;
  view.first = 2;
  view.current = 3;
  view.across = 2;
  view.down = 2;
  reports_.ShowPages(window.id(), 1, view);
  auto* canvas = Widget(window, 1)->findChild<PageCanvas*>(QStringLiteral("pageCanvas"));
  ASSERT_NE(canvas, nullptr);
  EXPECT_EQ(canvas->PagesShown(), (std::vector<int>{2, 3, 4, 5}));
  EXPECT_EQ(canvas->focusPolicy(), Qt::NoFocus);
  if (const char* shots = std::getenv("PELLUCOR_SCREENSHOTS")) {
    engine_.WidgetOf(window.id())->grab().save(QString::fromLocal8Bit(shots) + "/canvas-tiles.png");
  }
  view.zoom = 150;
  reports_.ShowPages(window.id(), 1, view);
  EXPECT_EQ(canvas->PagesShown(), (std::vector<int>{3}));
  EXPECT_NEAR(canvas->Scale(), 1.5 * canvas->logicalDpiX() / 1000.0, 1e-9);
  view.zoom = -1;
  reports_.ShowPages(window.id(), 1, view);
  EXPECT_NEAR(canvas->Scale() * 8500, canvas->viewport()->width() - 24, 1.0);
  if (const char* shots = std::getenv("PELLUCOR_SCREENSHOTS")) {
    engine_.WidgetOf(window.id())->grab().save(QString::fromLocal8Bit(shots) + "/canvas-width.png");
  }
  view.pages.clear();
  reports_.ShowPages(window.id(), 1, view);
  EXPECT_TRUE(canvas->PagesShown().empty());
  runtime::DiscardPages(pages);
  EXPECT_TRUE(tmp_.PageFiles().empty());
}

}  // namespace
}  // namespace pellucor::ui::testing

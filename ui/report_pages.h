// Page files: the pictures the report engine records, one finished page each, in page units (a
// thousandth of an inch; the picture's bounds are the paper). Drawn scaled for the preview and
// replayed on a printer or into a PDF file.
//
// GUI thread only.
#pragma once

#include <QPicture>
#include <QSize>
#include <QString>
#include <string>
#include <vector>

class QPainter;
class QPrinter;

namespace pellucor::ui {

// Loads a page file; false when it is missing or not a page.
[[nodiscard]] bool LoadPage(const std::string& path, QPicture* page);
// The paper a page was made for, in page units (US Letter when the page does not say).
[[nodiscard]] QSize PaperOf(const QPicture& page);
// Draws `page` with its top-left corner at the painter's origin, one page unit being `scale`
// device pixels. (A picture replays at the ratio of the device's resolution to the one it was
// recorded at; the painter is scaled to undo that.)
void PlayPage(QPainter& painter, const QPicture& page, qreal scale);
// Prints the pages in order on `printer`, the job named `title`. A printer that writes a file
// writes it beside its final name first and puts it in place once every page is written, so a
// failure leaves no half-written file. False with `error` set when the printer or the file
// refused.
[[nodiscard]] bool PrintPages(QPrinter& printer, const std::vector<std::string>& pages,
                              const QString& title, std::string* error);

}  // namespace pellucor::ui

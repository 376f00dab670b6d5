// The list: one page of rows from the program (a browse keeps one screenful in its queue). The
// list itself never scrolls: at its edges the keys, the wheel and its own scroll bar become scroll
// events, and the program refills the rows.
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTreeWidget>
#include <QWheelEvent>

#include "runtime/event/key_codes.h"
#include "runtime/locale/picture.h"
#include "runtime/window/list_format.h"
#include "ui/ansi_text.h"
#include "ui/controls.h"
#include "ui/engine_window.h"
#include "ui/icons.h"
#include "ui/prop_value.h"

namespace pellucor::ui {

using runtime::Event;
using runtime::Prop;
namespace key = runtime::key;

namespace {

Qt::Alignment AlignmentOf(runtime::ColumnAlign a) {
  switch (a) {
    case runtime::ColumnAlign::kRight:
    case runtime::ColumnAlign::kDecimal:
      return Qt::AlignRight | Qt::AlignVCenter;
    case runtime::ColumnAlign::kCenter:
      return Qt::AlignHCenter | Qt::AlignVCenter;
    case runtime::ColumnAlign::kLeft:
      break;
  }
  return Qt::AlignLeft | Qt::AlignVCenter;
}

class Rows : public QTreeWidget {
 public:
  using QTreeWidget::QTreeWidget;
  std::function<void(Event, int32_t)> scroll;  // a scroll event with its key code
  std::function<void(int32_t)> accepted;

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    const int row = indexOfTopLevelItem(currentItem());
    const int last = topLevelItemCount() - 1;
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    switch (e->key()) {
      case Qt::Key_Up:
        if (row <= 0) return scroll(Event::kScrollUp, key::kUp);
        break;
      case Qt::Key_Down:
        if (row >= last) return scroll(Event::kScrollDown, key::kDown);
        break;
      case Qt::Key_PageUp:
        return scroll(Event::kPageUp, key::kPageUp);
      case Qt::Key_PageDown:
        return scroll(Event::kPageDown, key::kPageDown);
      case Qt::Key_Home:
        if (ctrl) return scroll(Event::kScrollTop, key::kCtrlHome);
        break;
      case Qt::Key_End:
        if (ctrl) return scroll(Event::kScrollBottom, key::kCtrlEnd);
        break;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        return accepted(key::kEnter);
      default:
        break;
    }
    QTreeWidget::keyPressEvent(e);
  }
  void wheelEvent(QWheelEvent* e) override {
    const int dy = e->angleDelta().y();
    if (dy > 0) scroll(Event::kScrollUp, 0);
    if (dy < 0) scroll(Event::kScrollDown, 0);
    e->accept();
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    QTreeWidget::mouseDoubleClickEvent(e);
    if (itemAt(e->position().toPoint()) != nullptr) accepted(key::kMouseLeft2);
  }
};

class List : public Control {
 public:
  List(EngineWindow& w, const runtime::ControlDescription& d) : Control(w, d) {
    auto* frame = new QWidget(w.AreaFor(d.parent));
    Adopt(frame);
    auto* layout = new QHBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    rows_ = new Rows(frame);
    rows_->setObjectName(QStringLiteral("control%1rows").arg(d.number));
    rows_->setAccessibleName(frame->accessibleName());
    rows_->setRootIsDecorated(false);
    rows_->setUniformRowHeights(true);
    rows_->setAlternatingRowColors(false);
    rows_->setAllColumnsShowFocus(true);
    rows_->setSelectionMode(QAbstractItemView::SingleSelection);
    rows_->setSelectionBehavior(QAbstractItemView::SelectRows);
    rows_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    bar_ = new QScrollBar(Qt::Vertical, frame);
    bar_->setAccessibleName(QStringLiteral("Scroll"));
    bar_->setRange(0, 100);
    bar_->setPageStep(10);
    bar_->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(rows_, 1);
    layout->addWidget(bar_);
    ApplyFormat();
    w.Place(frame, w.AreaFor(d.parent), d.at, QSize(w.units().X(160), w.units().Y(80)));
    rows_->scroll = [this](Event e, int32_t code) { Post(e, code); };
    rows_->accepted = [this](int32_t code) { Post(Event::kAccepted, code); };
    QObject::connect(rows_, &QTreeWidget::currentItemChanged, rows_,
                     [this](QTreeWidgetItem* now, QTreeWidgetItem*) {
                       if (!filling_ && now != nullptr) Post(Event::kNewSelection);
                     });
    QObject::connect(bar_, &QScrollBar::actionTriggered, bar_, [this](int action) {
      switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
          return Post(Event::kScrollUp);
        case QAbstractSlider::SliderSingleStepAdd:
          return Post(Event::kScrollDown);
        case QAbstractSlider::SliderPageStepSub:
          return Post(Event::kPageUp);
        case QAbstractSlider::SliderPageStepAdd:
          return Post(Event::kPageDown);
        case QAbstractSlider::SliderToMinimum:
          return Post(Event::kScrollTop);
        case QAbstractSlider::SliderToMaximum:
          return Post(Event::kScrollBottom);
        default:
          return;
      }
    });
    QObject::connect(bar_, &QScrollBar::sliderReleased, bar_, [this] { Post(Event::kScrollDrag); });
  }

  QWidget* FocusWidget() const override { return rows_; }
  void SetRows(const runtime::ListRows* rows) { source_ = rows; }

  void Display() override {
    filling_ = true;
    const int keep = std::max(0, rows_->indexOfTopLevelItem(rows_->currentItem()));
    rows_->clear();
    const int count = source_ != nullptr ? source_->RowCount() : 0;
    for (int r = 1; r <= count; ++r) {
      auto* item = new QTreeWidgetItem;
      for (size_t c = 0; c < format_.columns.size(); ++c) {
        const runtime::ListColumn& col = format_.columns[c];
        const int ci = static_cast<int>(c);
        std::string text = source_->Field(r, col.field);
        if (!col.picture.empty()) {
          // A string picture shows text as it is: "10 things" must not be read as the number 10.
          const bool text_picture =
              col.picture.size() > 1 && (col.picture[1] == 's' || col.picture[1] == 'S');
          const bool numeric =
              !text_picture && !text.empty() &&
              (std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-');
          text = runtime::FORMAT(
              numeric ? runtime::FormatValue::Decimal(text) : runtime::FormatValue::String(text),
              col.picture);
        }
        item->setText(ci, ToQt(text).trimmed());
        item->setTextAlignment(ci, AlignmentOf(col.align));
        if (col.icon && col.icon_field > 0) {
          const int entry = ToInt(source_->Field(r, col.icon_field));
          if (entry >= 1 && static_cast<size_t>(entry) <= d_.icon_list.size()) {
            item->setIcon(ci, IconFor(d_.icon_list[static_cast<size_t>(entry) - 1]));
            item->setData(ci, Qt::UserRole, entry);
          }
        }
      }
      rows_->addTopLevelItem(item);
    }
    if (count > 0) rows_->setCurrentItem(rows_->topLevelItem(std::min(keep, count - 1)));
    filling_ = false;
  }

  bool Set(Prop prop, int32_t index, std::string_view value) override {
    switch (prop) {
      case Prop::kFormat:
        d_.format = std::string(value);
        ApplyFormat();
        Display();
        return true;
      case Prop::kIconList:
        if (index >= 1) {
          if (d_.icon_list.size() < static_cast<size_t>(index)) d_.icon_list.resize(index);
          d_.icon_list[static_cast<size_t>(index) - 1] = std::string(value);
        }
        return true;
      case Prop::kChoice: {
        filling_ = true;
        const int row = ToInt(value) - 1;
        rows_->setCurrentItem(row >= 0 ? rows_->topLevelItem(row) : nullptr);
        filling_ = false;
        return true;
      }
      case Prop::kProgress:  // the thumb's place, 0-100, as the program knows it
        bar_->setValue(ToInt(value));
        return true;
      default:
        return Control::Set(prop, index, value);
    }
  }
  std::optional<std::string> Get(Prop prop, int32_t index) const override {
    switch (prop) {
      case Prop::kFormat:
        return d_.format;
      case Prop::kIconList:
        if (index >= 1 && static_cast<size_t>(index) <= d_.icon_list.size()) {
          return d_.icon_list[static_cast<size_t>(index) - 1];
        }
        return std::string();
      case Prop::kChoice:
        return std::to_string(rows_->indexOfTopLevelItem(rows_->currentItem()) + 1);
      case Prop::kItems: {
        const int header = rows_->isHeaderHidden() ? 0 : rows_->header()->sizeHint().height();
        const int row = std::max(1, rows_->fontMetrics().height() + 4);
        return std::to_string(std::max(1, (rows_->height() - header - 2) / row));
      }
      case Prop::kProgress:
        return std::to_string(bar_->value());
      default:
        return Control::Get(prop, index);
    }
  }

 private:
  void ApplyFormat() {
    format_ = runtime::ParseListFormat(d_.format);
    if (!format_.ok || format_.columns.empty()) {
      format_.columns.assign(1, runtime::ListColumn{});
      format_.columns[0].field = 1;
      format_.columns[0].width = 100;
    }
    rows_->setColumnCount(static_cast<int>(format_.columns.size()));
    QStringList headings;
    bool any_heading = false;
    for (size_t c = 0; c < format_.columns.size(); ++c) {
      const runtime::ListColumn& col = format_.columns[c];
      headings << ToQt(col.heading);
      any_heading |= col.has_heading;
      rows_->setColumnWidth(static_cast<int>(c), window_.units().X(col.width));
    }
    rows_->setHeaderLabels(headings);
    for (size_t c = 0; c < format_.columns.size(); ++c) {
      rows_->headerItem()->setTextAlignment(static_cast<int>(c),
                                            AlignmentOf(format_.columns[c].heading_align));
    }
    rows_->setHeaderHidden(!any_heading);
    rows_->header()->setSectionsMovable(false);
    rows_->header()->setStretchLastSection(true);
  }

  Rows* rows_ = nullptr;
  QScrollBar* bar_ = nullptr;
  runtime::ListFormat format_;
  const runtime::ListRows* source_ = nullptr;
  bool filling_ = false;
};

}  // namespace

std::unique_ptr<Control> MakeList(EngineWindow& w, const runtime::ControlDescription& d) {
  return std::make_unique<List>(w, d);
}

void SetListSource(Control& list, const runtime::ListRows* rows) {
  if (auto* l = dynamic_cast<List*>(&list)) l->SetRows(rows);
}

}  // namespace pellucor::ui

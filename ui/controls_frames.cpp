// Groups, tab sheets and their tabs, images, and the plain shapes (line, box, ellipse, region,
// panel).
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QResizeEvent>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>

#include "runtime/event/key_codes.h"
#include "ui/ansi_text.h"
#include "ui/controls.h"
#include "ui/engine_window.h"
#include "ui/icons.h"
#include "ui/prop_value.h"

namespace pellucor::ui {

using runtime::ControlKind;
using runtime::Event;
using runtime::Prop;

namespace {

class Group : public Control {
 public:
  Group(EngineWindow& w, const runtime::ControlDescription& d) : Control(w, d) {
    box_ = new QGroupBox(ToQt(d.text), w.AreaFor(d.parent));
    Adopt(box_);
    box_->setFocusPolicy(Qt::NoFocus);
    w.Place(box_, w.AreaFor(d.parent), d.at, QSize(w.units().X(100), w.units().Y(50)));
    box_->lower();  // the controls inside are drawn over it
  }
  QWidget* FocusWidget() const override { return nullptr; }
  bool Set(Prop prop, int32_t index, std::string_view value) override {
    if (prop == Prop::kText) {
      box_->setTitle(ToQt(value));
      SetAccessibleText(ToQt(value));
      return true;
    }
    return Control::Set(prop, index, value);
  }
  std::optional<std::string> Get(Prop prop, int32_t index) const override {
    if (prop == Prop::kText) return d_.text;
    return Control::Get(prop, index);
  }

 private:
  QGroupBox* box_ = nullptr;
};

class Sheet : public Control {
 public:
  Sheet(EngineWindow& w, const runtime::ControlDescription& d) : Control(w, d) {
    tabs_ = new QTabWidget(w.AreaFor(d.parent));
    Adopt(tabs_);
    w.Place(tabs_, w.AreaFor(d.parent), d.at, QSize(w.units().X(160), w.units().Y(80)));
    tabs_->lower();
    QObject::connect(tabs_, &QTabWidget::currentChanged, tabs_, [this](int) {
      if (quiet_) return;
      Post(Event::kTabChanging);
      Post(Event::kNewSelection);
    });
  }
  QWidget* FocusWidget() const override { return tabs_->tabBar(); }
  // Adds a page and lays the sheet out at once, so that the page's place is known to the
  // controls placed on it.
  QWidget* AddPage(const QString& title) {
    quiet_ = true;
    auto* page = new QWidget;
    tabs_->addTab(page, title);
    QResizeEvent relayout(tabs_->size(), tabs_->size());
    QCoreApplication::sendEvent(tabs_, &relayout);
    tabs_->setCurrentIndex(0);
    quiet_ = false;
    return page;
  }
  void SetTitle(QWidget* page, const QString& title) {
    tabs_->setTabText(tabs_->indexOf(page), title);
  }
  bool Set(Prop prop, int32_t index, std::string_view value) override {
    if (prop == Prop::kChoice) {
      quiet_ = true;
      tabs_->setCurrentIndex(ToInt(value) - 1);
      quiet_ = false;
      return true;
    }
    return Control::Set(prop, index, value);
  }
  std::optional<std::string> Get(Prop prop, int32_t index) const override {
    if (prop == Prop::kChoice) return std::to_string(tabs_->currentIndex() + 1);
    return Control::Get(prop, index);
  }

 private:
  QTabWidget* tabs_ = nullptr;
  bool quiet_ = false;
};

class Tab : public Control {
 public:
  Tab(EngineWindow& w, const runtime::ControlDescription& d) : Control(w, d) {
    sheet_ = dynamic_cast<Sheet*>(w.Find(d.parent));
    if (sheet_ != nullptr) page_ = sheet_->AddPage(ToQt(d.text));
    if (page_ != nullptr) {
      widget_ = page_;
      page_->setObjectName(QStringLiteral("control%1").arg(d.number));
      page_->setAccessibleName(AccessibleNameFor(ToQt(d.text)));
    }
  }
  [[nodiscard]] bool ok() const { return page_ != nullptr; }
  QWidget* FocusWidget() const override { return nullptr; }
  QWidget* ChildArea() const override { return page_; }
  bool Set(Prop prop, int32_t index, std::string_view value) override {
    if (prop == Prop::kText && sheet_ != nullptr) {
      d_.text = std::string(value);
      sheet_->SetTitle(page_, ToQt(value));
      return true;
    }
    if (prop == Prop::kHide || prop == Prop::kXPos || prop == Prop::kYPos || prop == Prop::kWidth ||
        prop == Prop::kHeight) {
      return false;  // a page is laid out by its sheet
    }
    return Control::Set(prop, index, value);
  }
  std::optional<std::string> Get(Prop prop, int32_t index) const override {
    if (prop == Prop::kText) return d_.text;
    // Every page covers the sheet's page area, also one not shown, which the sheet lays out only
    // when it comes to the front.
    QWidget* area = page_ != nullptr ? page_->parentWidget() : nullptr;
    if (area != nullptr && (prop == Prop::kXPos || prop == Prop::kYPos || prop == Prop::kWidth ||
                            prop == Prop::kHeight)) {
      const QRect r = area->contentsRect();
      const QPoint origin = area->mapTo(window_.client(), r.topLeft());
      const DialogUnits& u = window_.units();
      if (prop == Prop::kXPos) return std::to_string(u.ToUnitsX(origin.x()));
      if (prop == Prop::kYPos) return std::to_string(u.ToUnitsY(origin.y()));
      if (prop == Prop::kWidth) return std::to_string(u.ToUnitsX(r.width()));
      return std::to_string(u.ToUnitsY(r.height()));
    }
    return Control::Get(prop, index);
  }

 private:
  Sheet* sheet_ = nullptr;
  QWidget* page_ = nullptr;
};

class Image : public Control {
 public:
  Image(EngineWindow& w, const runtime::ControlDescription& d) : Control(w, d) {
    label_ = new QLabel(w.AreaFor(d.parent));
    Adopt(label_);
    label_->setAlignment(Qt::AlignCenter);
    w.Place(label_, w.AreaFor(d.parent), d.at, QSize(32, 32));
    Show(d.icon.empty() ? d.text : d.icon);
  }
  QWidget* FocusWidget() const override { return nullptr; }
  bool Set(Prop prop, int32_t index, std::string_view value) override {
    if (prop == Prop::kText || prop == Prop::kIcon) {
      d_.icon = std::string(value);
      Show(d_.icon);
      return true;
    }
    return Control::Set(prop, index, value);
  }

 private:
  void Show(std::string_view name) {
    const QIcon icon = IconFor(name);
    const int side = std::max(16, std::min(label_->width(), label_->height()));
    label_->setPixmap(icon.isNull() ? QPixmap() : icon.pixmap(side, side));
  }
  QLabel* label_ = nullptr;
};

// Lines, boxes, ellipses, regions and panels: drawn, or (a region) only there for the mouse.
class ShapeWidget : public QWidget {
 public:
  ShapeWidget(ControlKind kind, QWidget* parent) : QWidget(parent), kind_(kind) {}
  std::function<void(Qt::MouseButton)> clicked;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, kind_ == ControlKind::kEllipse);
    p.setPen(palette().color(QPalette::WindowText));
    const QRect r = rect().adjusted(0, 0, -1, -1);
    switch (kind_) {
      case ControlKind::kLine:
        if (width() >= height()) {
          p.drawLine(0, height() / 2, width(), height() / 2);
        } else {
          p.drawLine(width() / 2, 0, width() / 2, height());
        }
        break;
      case ControlKind::kBox:
        p.drawRect(r);
        break;
      case ControlKind::kEllipse:
        p.drawEllipse(r);
        break;
      case ControlKind::kPanel:
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(r);
        break;
      default:
        break;
    }
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (clicked) clicked(e->button());
  }

 private:
  ControlKind kind_;
};

class Shape : public Control {
 public:
  Shape(EngineWindow& w, const runtime::ControlDescription& d) : Control(w, d) {
    auto* shape = new ShapeWidget(d.kind, w.AreaFor(d.parent));
    Adopt(shape);
    w.Place(shape, w.AreaFor(d.parent), d.at, QSize(w.units().X(40), w.units().Y(20)));
    if (d.kind == ControlKind::kRegion) {
      shape->clicked = [this](Qt::MouseButton b) {
        Post(Event::kAccepted,
             b == Qt::RightButton ? runtime::key::kMouseRightUp : runtime::key::kMouseLeftUp);
      };
    } else {
      shape->setAttribute(Qt::WA_TransparentForMouseEvents);
      shape->lower();
    }
  }
  QWidget* FocusWidget() const override { return nullptr; }
  QWidget* ChildArea() const override {
    return d_.kind == ControlKind::kPanel ? window_.client() : nullptr;
  }
};

}  // namespace

std::unique_ptr<Control> MakeGroup(EngineWindow& w, const runtime::ControlDescription& d) {
  return std::make_unique<Group>(w, d);
}
std::unique_ptr<Control> MakeSheet(EngineWindow& w, const runtime::ControlDescription& d) {
  return std::make_unique<Sheet>(w, d);
}
std::unique_ptr<Control> MakeTab(EngineWindow& w, const runtime::ControlDescription& d) {
  auto tab = std::make_unique<Tab>(w, d);
  if (!tab->ok()) return nullptr;  // a tab belongs on a sheet
  return tab;
}
std::unique_ptr<Control> MakeImage(EngineWindow& w, const runtime::ControlDescription& d) {
  return std::make_unique<Image>(w, d);
}
std::unique_ptr<Control> MakeShape(EngineWindow& w, const runtime::ControlDescription& d) {
  return std::make_unique<Shape>(w, d);
}

}  // namespace pellucor::ui

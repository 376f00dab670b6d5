// Buttons, check boxes, option groups and radios, spin boxes, combos and drop lists, progress.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStringList>

#include "runtime/event/key_codes.h"
#include "ui/ansi_text.h"
#include "ui/controls.h"
#include "ui/engine_window.h"
#include "ui/icons.h"
#include "ui/prop_value.h"
#include "ui/value_text.h"

namespace pellucor::ui {

using runtime::Event;
using runtime::Prop;
namespace key = runtime::key;

namespace {

std::string Trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

class Button : public Control {
 public:
  Button(EngineWindow& w, const runtime::ControlDescription& d) : Control(w, d) {
    button_ = new QPushButton(ToQt(d.text), w.AreaFor(d.parent));
    Adopt(button_);
    if (!d.icon.empty()) button_->setIcon(IconFor(d.icon));
    button_->setDefault(d.flags.is_default);
    button_->setAutoDefault(false);
    // A click on cut, copy or paste leaves the focus (and the selection) in the control they
    // act on; Tab still reaches them.
    if (d.action == runtime::StandardAction::kCut || d.action == runtime::StandardAction::kCopy ||
        d.action == runtime::StandardAction::kPaste) {
      button_->setFocusPolicy(Qt::TabFocus);
    }
    w.Place(button_, w.AreaFor(d.parent), d.at, button_->sizeHint());
    QObject::connect(button_, &QPushButton::clicked, button_, [this] {
      if (d_.action != runtime::StandardAction::kNone) {
        window_.Act(d_.action);
      } else {
        Post(Event::kAccepted);
      }
    });
  }
  bool Set(Prop prop, int32_t index, std::string_view value) override {
    switch (prop) {
      case Prop::kText:
        button_->setText(ToQt(value));
        SetAccessibleText(ToQt(value));
        return true;
      case Prop::kIcon:
        d_.icon = std::string(value);
        button_->setIcon(IconFor(value));
        return true;
      case Prop::kDefault:
        d_.flags.is_default = Switch(value);
        button_->setDefault(d_.flags.is_default);
        return true;
      case Prop::kChecked:
        // A marked button is shown pressed in; only a marked one toggles, so an unmarked
        // button never looks pressed after a click.
        button_->setCheckable(Switch(value));
        button_->setChecked(Switch(value));
        return true;
      default:
        return Control::Set(prop, index, value);
    }
  }
  std::optional<std::string> Get(Prop prop, int32_t index) const override {
    if (prop == Prop::kText) return FromQt(button_->text()).value_or(std::string());
    if (prop == Prop::kChecked) return Switch(button_->isChecked());
    return Control::Get(prop, index);
  }

 private:
  QPushButton* button_ = nullptr;
};

class Check : public Control {
 public:
  Check(EngineWindow& w, const runtime::ControlDescription& d) : Control(w, d) {
    box_ = new QCheckBox(ToQt(d.text), w.AreaFor(d.parent));
    Adopt(box_);
    w.Place(box_, w.AreaFor(d.parent), d.at, box_->sizeHint());
    QObject::connect(box_, &QCheckBox::clicked, box_, [this](bool on) {
      StoreAndPost(on ? d_.true_value : d_.false_value, Event::kAccepted, key::kMouseLeft);
    });
  }
  void Display() override {
    if (!IsBound(d_.use)) return;
    box_->setChecked(Trimmed(RawText(d_.use)) == Trimmed(d_.true_value) ||
                     (IsNumber(d_.true_value) && IsNumber(RawText(d_.use)) &&
                      std::stod(RawText(d_.use)) == std::stod(d_.true_value)));
  }
  bool Update() override {
    Store(d_.use, box_->isChecked() ? d_.true_value : d_.false_value);
    return true;
  }
  bool Set(Prop prop, int32_t index, std::string_view value) override {
    switch (prop) {
      case Prop::kText:
        box_->setText(ToQt(value));
        SetAccessibleText(ToQt(value));
        return true;
      case Prop::kTrueValue:
        d_.true_value = std::string(value);
        return true;
      case Prop::kFalseValue:
        d_.false_value = std::string(value);
        return true;
      case Prop::kChoice:
        box_->setChecked(Switch(value));
        return true;
      default:
        return Control::Set(prop, index, value);
    }
  }
  std::optional<std::string> Get(Prop prop, int32_t index) const override {
    switch (prop) {
      case Prop::kText:
        return FromQt(box_->text()).value_or(std::string());
      case Prop::kTrueValue:
        return d_.true_value;
      case Prop::kFalseValue:
        return d_.false_value;
      case Prop::kChoice:
        return box_->isChecked() ? "1" : "";
      default:
        return Control::Get(prop, index);
    }
  }

 private:
  static bool IsNumber(const std::string& s) {
    if (s.empty()) return false;
    char* end = nullptr;
    std::strtod(s.c_str(), &end);
    return end != nullptr && *end == '\0';
  }
  QCheckBox* box_ = nullptr;
};

// An option group: its radios are its children; the variable holds the chosen radio's text.
class Option : public Control {
 public:
  Option(EngineWindow& w, const runtime::ControlDescription& d) : Control(w, d) {
    box_ = new QGroupBox(ToQt(d.text), w.AreaFor(d.parent));
    Adopt(box_);
    group_ = new QButtonGroup(box_);
    w.Place(box_, w.AreaFor(d.parent), d.at, QSize(w.units().X(80), w.units().Y(40)));
    box_->lower();
  }
  QWidget* FocusWidget() const override { return nullptr; }
  void AddRadio(QRadioButton* radio, const std::string& value) {
    group_->addButton(radio, static_cast<int>(values_.size()));
    values_.push_back(value);
    QObject::connect(radio, &QRadioButton::clicked, radio,
                     [this, value] { StoreAndPost(value, Event::kAccepted, key::kMouseLeft); });
  }
  void Display() override {
    if (!IsBound(d_.use)) return;
    const std::string now = Trimmed(RawText(d_.use));
    for (size_t i = 0; i < values_.size(); ++i) {
      if (Trimmed(values_[i]) == now) group_->button(static_cast<int>(i))->setChecked(true);
    }
  }
  bool Update() override {
    const int chosen = group_->checkedId();
    if (chosen >= 0) Store(d_.use, values_[static_cast<size_t>(chosen)]);
    return true;
  }
  bool Set(Prop prop, int32_t index, std::string_view value) override {
    if (prop == Prop::kChoice) {
      const int i = ToInt(value) - 1;
      if (QAbstractButton* b = group_->button(i)) b->setChecked(true);
      return true;
    }
    if (prop == Prop::kText) {
      box_->setTitle(ToQt(value));
      return true;
    }
    return Control::Set(prop, index, value);
  }
  std::optional<std::string> Get(Prop prop, int32_t index) const override {
    if (prop == Prop::kChoice) return std::to_string(group_->checkedId() + 1);
    return Control::Get(prop, index);
  }
  QWidget* ChildArea() const override { return window_.client(); }

 private:
  QGroupBox* box_ = nullptr;
  QButtonGroup* group_ = nullptr;
  std::vector<std::string> values_;
};

class Radio : public Control {
 public:
  Radio(EngineWindow& w, const runtime::ControlDescription& d) : Control(w, d) {
    radio_ = new QRadioButton(ToQt(d.text), w.AreaFor(d.parent));
    Adopt(radio_);
    w.Place(radio_, w.AreaFor(d.parent), d.at, radio_->sizeHint());
    if (auto* option = dynamic_cast<Option*>(w.Find(d.parent))) {
      option->AddRadio(radio_, FromQt(WithoutMnemonic(ToQt(d.text))).value_or(std::string()));
    }
  }
  bool Set(Prop prop, int32_t index, std::string_view value) override {
    if (prop == Prop::kText) {
      radio_->setText(ToQt(value));
      return true;
    }
    return Control::Set(prop, index, value);
  }

 private:
  QRadioButton* radio_ = nullptr;
};

class Spin : public Control {
 public:
  Spin(EngineWindow& w, const runtime::ControlDescription& d) : Control(w, d) {
    spin_ = new QSpinBox(w.AreaFor(d.parent));
    Adopt(spin_);
    spin_->setKeyboardTracking(false);
    spin_->setRange(d.range_low, d.range_high > d.range_low ? d.range_high : 999999999);
    spin_->setSingleStep(d.step > 0 ? d.step : 1);
    spin_->setReadOnly(d.flags.read_only);
    w.Place(spin_, w.AreaFor(d.parent), d.at, QSize(w.units().X(40), w.units().Y(12)));
    // Arrows and typed values alike: the new value is stored and reported as it is made.
    QObject::connect(spin_, &QSpinBox::valueChanged, spin_, [this](int v) {
      if (displaying_) return;
      StoreAndPost(std::to_string(v), Event::kNewSelection);
    });
    QObject::connect(spin_, &QSpinBox::editingFinished, spin_, [this] {
      if (displaying_ || spin_->value() == accepted_) return;
      accepted_ = spin_->value();
      StoreAndPost(std::to_string(accepted_), Event::kAccepted);
    });
  }
  void Display() override {
    if (!IsBound(d_.use)) return;
    displaying_ = true;
    spin_->setValue(ToInt(RawText(d_.use)));
    accepted_ = spin_->value();
    displaying_ = false;
  }
  bool Update() override {
    Store(d_.use, std::to_string(spin_->value()));
    return true;
  }
  bool Set(Prop prop, int32_t index, std::string_view value) override {
    switch (prop) {
      case Prop::kRangeLow:
        spin_->setMinimum(ToInt(value));
        return true;
      case Prop::kRangeHigh:
        spin_->setMaximum(ToInt(value));
        return true;
      case Prop::kStep:
        spin_->setSingleStep(std::max(1, ToInt(value)));
        return true;
      case Prop::kReadOnly:
        spin_->setReadOnly(Switch(value));
        d_.flags.read_only = Switch(value);
        return true;
      default:
        return Control::Set(prop, index, value);
    }
  }
  std::optional<std::string> Get(Prop prop, int32_t index) const override {
    switch (prop) {
      case Prop::kRangeLow:
        return std::to_string(spin_->minimum());
      case Prop::kRangeHigh:
        return std::to_string(spin_->maximum());
      case Prop::kStep:
        return std::to_string(spin_->singleStep());
      case Prop::kText:
        return std::to_string(spin_->value());
      default:
        return Control::Get(prop, index);
    }
  }

 private:
  QSpinBox* spin_ = nullptr;
  bool displaying_ = false;
  int accepted_ = 0;
};

class Combo;
class ComboBox : public QComboBox {
 public:
  using QComboBox::QComboBox;
  std::function<void()> dropping;
  void showPopup() override {
    if (dropping) dropping();
    QComboBox::showPopup();
  }
};

// A combo (typed text or a choice) or a drop list (a choice only); entries come from `from`.
class Combo : public Control {
 public:
  Combo(EngineWindow& w, const runtime::ControlDescription& d) : Control(w, d) {
    combo_ = new ComboBox(w.AreaFor(d.parent));
    Adopt(combo_);
    combo_->setEditable(d.kind == runtime::ControlKind::kCombo);
    SetEntries(d.from);
    w.Place(combo_, w.AreaFor(d.parent), d.at, QSize(w.units().X(60), w.units().Y(12)));
    combo_->dropping = [this] {
      Post(Event::kDroppingDown);
      Post(Event::kDroppedDown);
    };
    QObject::connect(combo_, &QComboBox::activated, combo_, [this](int index) {
      Post(Event::kNewSelection);
      StoreAndPost(Entry(index), Event::kAccepted);
    });
    if (combo_->lineEdit() != nullptr) {
      QObject::connect(combo_->lineEdit(), &QLineEdit::editingFinished, combo_, [this] {
        if (!combo_->lineEdit()->isModified()) return;
        combo_->lineEdit()->setModified(false);
        StoreAndPost(FromQt(combo_->currentText()).value_or(std::string()), Event::kAccepted);
      });
    }
  }
  void Display() override {
    if (!IsBound(d_.use)) return;
    const QString now = ToQt(Trimmed(RawText(d_.use)));
    const int i = combo_->findText(now);
    if (i >= 0) {
      combo_->setCurrentIndex(i);
    } else if (combo_->isEditable()) {
      combo_->setEditText(now);
    } else {
      combo_->setCurrentIndex(-1);
    }
  }
  bool Update() override {
    Store(d_.use, FromQt(combo_->currentText()).value_or(std::string()));
    return true;
  }
  bool Set(Prop prop, int32_t index, std::string_view value) override {
    switch (prop) {
      case Prop::kFrom:
        d_.from = std::string(value);
        SetEntries(d_.from);
        return true;
      case Prop::kChoice:
        combo_->setCurrentIndex(ToInt(value) - 1);
        return true;
      case Prop::kText:
        if (combo_->isEditable()) combo_->setEditText(ToQt(value));
        return true;
      default:
        return Control::Set(prop, index, value);
    }
  }
  std::optional<std::string> Get(Prop prop, int32_t index) const override {
    switch (prop) {
      case Prop::kFrom:
        return d_.from;
      case Prop::kChoice:
        return std::to_string(combo_->currentIndex() + 1);
      case Prop::kText:
        return FromQt(combo_->currentText()).value_or(std::string());
      default:
        return Control::Get(prop, index);
    }
  }

 private:
  void SetEntries(const std::string& from) {
    combo_->clear();
    if (from.empty()) return;
    combo_->addItems(ToQt(from).split(u'|'));
    combo_->setCurrentIndex(-1);
  }
  std::string Entry(int index) const {
    return FromQt(combo_->itemText(index)).value_or(std::string());
  }
  ComboBox* combo_ = nullptr;
};

class Progress : public Control {
 public:
  Progress(EngineWindow& w, const runtime::ControlDescription& d) : Control(w, d) {
    bar_ = new QProgressBar(w.AreaFor(d.parent));
    Adopt(bar_);
    bar_->setRange(d.range_low, d.range_high > d.range_low ? d.range_high : 100);
    bar_->setValue(d.range_low);
    w.Place(bar_, w.AreaFor(d.parent), d.at, QSize(w.units().X(80), w.units().Y(10)));
  }
  QWidget* FocusWidget() const override { return nullptr; }
  void Display() override {
    if (IsBound(d_.use)) bar_->setValue(ToInt(RawText(d_.use)));
  }
  bool Set(Prop prop, int32_t index, std::string_view value) override {
    switch (prop) {
      case Prop::kRangeLow:
        bar_->setMinimum(ToInt(value));
        return true;
      case Prop::kRangeHigh:
        bar_->setMaximum(ToInt(value));
        return true;
      case Prop::kProgress:
        bar_->setValue(ToInt(value));
        return true;
      default:
        return Control::Set(prop, index, value);
    }
  }
  std::optional<std::string> Get(Prop prop, int32_t index) const override {
    switch (prop) {
      case Prop::kRangeLow:
        return std::to_string(bar_->minimum());
      case Prop::kRangeHigh:
        return std::to_string(bar_->maximum());
      case Prop::kProgress:
        return std::to_string(bar_->value());
      default:
        return Control::Get(prop, index);
    }
  }

 private:
  QProgressBar* bar_ = nullptr;
};

}  // namespace

std::unique_ptr<Control> MakeButton(EngineWindow& w, const runtime::ControlDescription& d) {
  return std::make_unique<Button>(w, d);
}
std::unique_ptr<Control> MakeCheck(EngineWindow& w, const runtime::ControlDescription& d) {
  return std::make_unique<Check>(w, d);
}
std::unique_ptr<Control> MakeOption(EngineWindow& w, const runtime::ControlDescription& d) {
  return std::make_unique<Option>(w, d);
}
std::unique_ptr<Control> MakeRadio(EngineWindow& w, const runtime::ControlDescription& d) {
  return std::make_unique<Radio>(w, d);
}
std::unique_ptr<Control> MakeSpin(EngineWindow& w, const runtime::ControlDescription& d) {
  return std::make_unique<Spin>(w, d);
}
std::unique_ptr<Control> MakeCombo(EngineWindow& w, const runtime::ControlDescription& d) {
  return std::make_unique<Combo>(w, d);
}
std::unique_ptr<Control> MakeProgress(EngineWindow& w, const runtime::ControlDescription& d) {
  return std::make_unique<Progress>(w, d);
}

}  // namespace pellucor::ui

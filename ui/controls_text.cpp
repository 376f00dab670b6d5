// Entries, text boxes, prompts and strings.
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QValidator>
#include <functional>

#include "runtime/event/key_codes.h"
#include "runtime/locale/picture.h"
#include "ui/ansi_text.h"
#include "ui/controls.h"
#include "ui/engine_window.h"
#include "ui/keys.h"
#include "ui/prop_value.h"
#include "ui/value_text.h"

namespace pellucor::ui {

using runtime::Event;
using runtime::Prop;

namespace {

// Refuses text with a character Windows-1252 cannot hold, saying so.
class AnsiValidator : public QValidator {
 public:
  AnsiValidator(QObject* parent, std::function<void(const QString&)> refused)
      : QValidator(parent), refused_(std::move(refused)) {}
  State validate(QString& input, int& position) const override {
    (void)position;
    const QString bad = ForeignCharacter(input);
    if (bad.isEmpty()) return Acceptable;
    refused_(bad);
    return Invalid;
  }

 private:
  std::function<void(const QString&)> refused_;
};

class LineEdit : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;
  std::function<void()> left;

 protected:
  void focusOutEvent(QFocusEvent* e) override {
    QLineEdit::focusOutEvent(e);
    if (left && e->reason() != Qt::PopupFocusReason && e->reason() != Qt::ActiveWindowFocusReason) {
      left();
    }
  }
};

class Entry : public Control {
 public:
  Entry(EngineWindow& w, const runtime::ControlDescription& d) : Control(w, d) {
    edit_ = new LineEdit(w.AreaFor(d.parent));
    Adopt(edit_);
    edit_->setValidator(new AnsiValidator(edit_, [this](const QString& c) { Refuse(c); }));
    ApplyPicture();
    edit_->setReadOnly(d.flags.read_only);
    edit_->setText(ToQt(d.text));
    edit_->setModified(false);
    w.Place(edit_, w.AreaFor(d.parent), d.at, QSize(w.units().X(60), w.units().Y(12)));
    QObject::connect(edit_, &QLineEdit::returnPressed, edit_,
                     [this] { Commit(runtime::key::kEnter); });
    edit_->left = [this] {
      if (edit_->isModified()) Commit(0);
    };
  }

  void Display() override {
    if (!IsBound(d_.use)) return;
    edit_->setText(ToQt(Shown(RawText(d_.use), d_.use, d_.picture)));
    edit_->setModified(false);
  }

  bool Update() override {
    if (!IsBound(d_.use)) return true;
    const auto value = Read();
    if (!value) return false;
    Store(d_.use, *value);
    edit_->setModified(false);
    return true;
  }

  bool Set(Prop prop, int32_t index, std::string_view value) override {
    switch (prop) {
      case Prop::kText:
        edit_->setText(ToQt(value));
        edit_->setModified(false);
        return true;
      case Prop::kReadOnly:
        d_.flags.read_only = Switch(value);
        edit_->setReadOnly(d_.flags.read_only);
        return true;
      case Prop::kPicture:
        d_.picture = std::string(value);
        ApplyPicture();
        Display();
        return true;
      default:
        return Control::Set(prop, index, value);
    }
  }

  std::optional<std::string> Get(Prop prop, int32_t index) const override {
    if (prop == Prop::kText) return FromQt(edit_->text()).value_or(std::string());
    return Control::Get(prop, index);
  }

 private:
  void ApplyPicture() {
    const runtime::Picture p = runtime::CompilePicture(d_.picture);
    if (!d_.picture.empty() && p.valid && p.kind == runtime::PictureKind::kString && p.length > 0) {
      edit_->setMaxLength(p.length);
    }
    edit_->setAlignment(IsNumericPicture(d_.picture) ? Qt::AlignRight | Qt::AlignVCenter
                                                     : Qt::AlignLeft | Qt::AlignVCenter);
  }

  std::optional<std::string> Read() const {
    const auto typed = FromQt(edit_->text());
    if (!typed) return std::nullopt;
    return ReadBack(*typed, d_.picture);
  }

  // The user left a changed entry or pressed Enter.
  void Commit(int32_t keycode) {
    const auto value = Read();
    if (!value) {
      Post(Event::kRejected, keycode);
      window_.ShowNotice(QStringLiteral("\"%1\" is not a valid value here").arg(edit_->text()));
      return;
    }
    edit_->setModified(false);
    if (!d_.picture.empty()) edit_->setText(ToQt(Shown(*value, d_.use, d_.picture)));
    StoreAndPost(*value, Event::kAccepted, keycode);
  }

  LineEdit* edit_ = nullptr;
};

class PlainText : public QPlainTextEdit {
 public:
  using QPlainTextEdit::QPlainTextEdit;
  std::function<void(const QString&)> refused;
  std::function<void()> left;

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    const QString bad = ForeignCharacter(e->text());
    if (!bad.isEmpty()) {
      refused(bad);
      return;
    }
    QPlainTextEdit::keyPressEvent(e);
  }
  void insertFromMimeData(const QMimeData* source) override {
    const QString bad = ForeignCharacter(source->text());
    if (!bad.isEmpty()) {
      refused(bad);
      return;
    }
    QPlainTextEdit::insertFromMimeData(source);
  }
  void inputMethodEvent(QInputMethodEvent* e) override {
    const QString bad = ForeignCharacter(e->commitString());
    if (!bad.isEmpty()) {
      refused(bad);
      return;
    }
    QPlainTextEdit::inputMethodEvent(e);
  }
  void focusOutEvent(QFocusEvent* e) override {
    QPlainTextEdit::focusOutEvent(e);
    if (left && e->reason() != Qt::PopupFocusReason && e->reason() != Qt::ActiveWindowFocusReason) {
      left();
    }
  }
};

// Stored text keeps the system's line ends ("\r\n"); the widget has "\n".
std::string StoredLines(const std::string& shown) {
  std::string out;
  out.reserve(shown.size() + shown.size() / 40);
  for (char c : shown) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}
QString ShownLines(const std::string& stored) {
  QString s = ToQt(stored);
  s.remove(u'\r');
  return s;
}

class TextBox : public Control {
 public:
  TextBox(EngineWindow& w, const runtime::ControlDescription& d) : Control(w, d) {
    edit_ = new PlainText(w.AreaFor(d.parent));
    Adopt(edit_);
    edit_->setTabChangesFocus(true);
    edit_->setReadOnly(d.flags.read_only);
    edit_->refused = [this](const QString& c) { Refuse(c); };
    edit_->left = [this] {
      if (!edit_->document()->isModified()) return;
      edit_->document()->setModified(false);
      StoreAndPost(Text(), Event::kAccepted);
    };
    w.Place(edit_, w.AreaFor(d.parent), d.at, QSize(w.units().X(120), w.units().Y(40)));
  }
  void Display() override {
    if (!IsBound(d_.use)) return;
    edit_->setPlainText(ShownLines(RawText(d_.use)));
    edit_->document()->setModified(false);
  }
  bool Update() override {
    Store(d_.use, Text());
    edit_->document()->setModified(false);
    return true;
  }
  bool Set(Prop prop, int32_t index, std::string_view value) override {
    if (prop == Prop::kText) {
      edit_->setPlainText(ShownLines(std::string(value)));
      return true;
    }
    if (prop == Prop::kReadOnly) {
      d_.flags.read_only = Switch(value);
      edit_->setReadOnly(d_.flags.read_only);
      return true;
    }
    return Control::Set(prop, index, value);
  }
  std::optional<std::string> Get(Prop prop, int32_t index) const override {
    if (prop == Prop::kText) return Text();
    return Control::Get(prop, index);
  }

 private:
  std::string Text() const {
    // Typing and pasting refuse what Windows-1252 cannot hold, so the text always converts.
    return StoredLines(FromQt(edit_->toPlainText()).value_or(std::string()));
  }
  PlainText* edit_ = nullptr;
};

class Label : public Control {
 public:
  Label(EngineWindow& w, const runtime::ControlDescription& d) : Control(w, d) {
    label_ = new QLabel(w.AreaFor(d.parent));
    Adopt(label_);
    label_->setTextFormat(Qt::PlainText);
    // A label only shows: a click on it reaches what lies beneath (a calendar's day cell).
    label_->setAttribute(Qt::WA_TransparentForMouseEvents);
    const bool prompt = d.kind == runtime::ControlKind::kPrompt;
    label_->setText(prompt ? ToQt(d.text) : WithoutMnemonicIfString(d.text));
    if (IsNumericPicture(d.picture)) label_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    w.Place(label_, w.AreaFor(d.parent), d.at, label_->sizeHint());
  }
  void Built() override {
    if (d_.kind != runtime::ControlKind::kPrompt) return;
    // The prompt's mnemonic moves to the control that follows it.
    bool after = false;
    for (const auto& c : window_.controls()) {
      if (c.get() == this) {
        after = true;
        continue;
      }
      if (after && c->FocusWidget() != nullptr && c->kind() != runtime::ControlKind::kPrompt) {
        label_->setBuddy(c->FocusWidget());
        if (c->FocusWidget()->accessibleName().isEmpty()) {
          c->FocusWidget()->setAccessibleName(WithoutMnemonic(ToQt(d_.text)).trimmed());
        }
        break;
      }
    }
  }
  void Display() override {
    if (!IsBound(d_.use)) return;
    label_->setText(ToQt(Shown(RawText(d_.use), d_.use, d_.picture)));
  }
  bool Set(Prop prop, int32_t index, std::string_view value) override {
    if (prop == Prop::kText) {
      d_.text = std::string(value);
      label_->setText(d_.kind == runtime::ControlKind::kPrompt ? ToQt(value)
                                                               : WithoutMnemonicIfString(value));
      SetAccessibleText(ToQt(value));
      return true;
    }
    return Control::Set(prop, index, value);
  }
  std::optional<std::string> Get(Prop prop, int32_t index) const override {
    if (prop == Prop::kText) {
      return d_.kind == runtime::ControlKind::kPrompt
                 ? d_.text
                 : FromQt(label_->text()).value_or(std::string());
    }
    return Control::Get(prop, index);
  }

 private:
  static QString WithoutMnemonicIfString(std::string_view text) { return ToQt(text); }
  QLabel* label_ = nullptr;
};

}  // namespace

std::unique_ptr<Control> MakeEntry(EngineWindow& w, const runtime::ControlDescription& d) {
  return std::make_unique<Entry>(w, d);
}
std::unique_ptr<Control> MakeTextBox(EngineWindow& w, const runtime::ControlDescription& d) {
  return std::make_unique<TextBox>(w, d);
}
std::unique_ptr<Control> MakeLabel(EngineWindow& w, const runtime::ControlDescription& d) {
  return std::make_unique<Label>(w, d);
}

}  // namespace pellucor::ui

#include "data/view/steps.h"

#include "runtime/core/error_state.h"

namespace pellucor::data::view {
namespace {

namespace err = runtime::err;

OpResult Call(FileDecl& file, Op op, const ReadOptions& options, const KeyDecl* key = nullptr,
              std::string_view position = {}, const EntryTest* entry_test = nullptr) {
  OpArgs args;
  args.key = key;
  args.trace = options.route;
  args.entry_test = entry_test;
  if (!position.empty()) args.position = std::string(position);
  return Dispatch(file, op, args);
}

Op ReadOp(ScanDirection d) {
  return d == ScanDirection::kForward ? Op::kNEXT : Op::kPREVIOUS;
}

class ScanStep : public Step {
 public:
  ScanStep(ViewFile& file, std::optional<KeyPlan> plan, bool identity_by_file,
           const ReadOptions& options, const EntryTest* filter_test)
      : file_(file),
        plan_(std::move(plan)),
        by_file_(identity_by_file || !plan_),
        options_(options),
        filter_test_(filter_test) {
    if (plan_ && filter_test_) {
      // An entry outside the range is read all the same, so that the scan sees where the range
      // ends; one before its start is passed over.
      entry_test_.accept = [this] {
        if (plan_->PastEnd(direction_)) return true;
        if (plan_->BeforeStart(direction_)) return false;
        return filter_test_->accept();
      };
    }
  }

  int32_t Start(ScanDirection d) override {
    OpResult r;
    if (!plan_) {
      r = Call(*file_.file, Op::kSETfile, options_);
    } else if (plan_->bounded == 0) {
      r = Call(*file_.file, Op::kSETkey, options_, plan_->key);
    } else {
      plan_->FillStart(d);
      r = Call(*file_.file, Op::kSETkeykey, options_, plan_->key);
    }
    (void)TakeNewSequence(*file_.file);
    return r.error;
  }

  int32_t Fetch(ScanDirection d) override {
    for (;;) {
      if (!file_.read_memos) {
        if (const int32_t e = Call(*file_.file, Op::kNOMEMO, options_).error) return e;
      }
      if (options_.watch) {
        if (const int32_t e = Call(*file_.file, Op::kWATCH, options_).error) return e;
      }
      direction_ = d;
      const int32_t e = Call(*file_.file, ReadOp(d), options_, nullptr, {},
                             entry_test_.accept ? &entry_test_ : nullptr)
                            .error;
      if (e == err::kRecordNotAvailable) return SetBack();
      if (e != 0) return e;
      if (!plan_) return 0;
      if (plan_->BeforeStart(d)) continue;
      if (plan_->PastEnd(d)) return SetBack();
      return 0;
    }
  }

  int32_t ResumeAt(std::string_view* identity) override {
    std::string position;
    if (!TakePart(identity, &position)) return err::kRecordNotFound;
    const OpResult r = by_file_ ? Call(*file_.file, Op::kRESETfile, options_, nullptr, position)
                                : Call(*file_.file, Op::kRESETkey, options_, plan_->key, position);
    (void)TakeNewSequence(*file_.file);
    return r.error;
  }

  int32_t AppendIdentity(std::string* identity) override {
    const OpResult r = by_file_ ? Call(*file_.file, Op::kPOSITIONfile, options_)
                                : Call(*file_.file, Op::kPOSITIONkey, options_, plan_->key);
    if (r.error != 0) return r.error;
    AppendPart(identity, r.text);
    return 0;
  }

 private:
  // The end of the range: the key is set back to its start, and the end is reported.
  int32_t SetBack() {
    if (plan_) {
      (void)Call(*file_.file, Op::kSETkey, options_, plan_->key);
      (void)TakeNewSequence(*file_.file);
    }
    runtime::ClearError();
    return err::kRecordNotAvailable;
  }

  ViewFile& file_;
  std::optional<KeyPlan> plan_;
  bool by_file_;
  const ReadOptions& options_;
  const EntryTest* filter_test_;
  EntryTest entry_test_;
  ScanDirection direction_ = ScanDirection::kForward;
};

class JoinStep : public Step {
 public:
  JoinStep(std::unique_ptr<Step> outer, ViewFile& file, const KeyDecl* key,
           std::vector<LinkField> links, JoinKind kind, const std::vector<ViewFile*>& earlier,
           const ReadOptions& options)
      : outer_(std::move(outer)), file_(file), key_(key), kind_(kind), options_(options) {
    if (key_) components_ = BindKeyComponents(*key_, file_.layout, file_.file->RecordBuffer());
    for (const LinkField& link : links) {
      for (ViewFile* f : earlier) {
        if (f->file != link.file || link.field < 1 ||
            static_cast<size_t>(link.field) > f->layout.fields.size())
          continue;
        const FieldInfo& info = f->layout.fields[static_cast<size_t>(link.field - 1)];
        uint8_t* address = f->file->RecordBuffer() + info.offset;
        links_.push_back(runtime::AccessorFactory(info.type, address, info.size, info.places));
        break;
      }
    }
    if (links_.size() > components_.size()) {
      links_.erase(links_.begin() + static_cast<ptrdiff_t>(components_.size()), links_.end());
    }
  }

  int32_t Start(ScanDirection d) override {
    have_outer_ = false;
    resume_inner_.reset();
    return outer_->Start(d);
  }

  int32_t Fetch(ScanDirection d) override {
    for (;;) {
      if (!have_outer_) {
        if (const int32_t e = outer_->Fetch(d)) return e;
        have_outer_ = true;
        matched_ = false;
        int32_t e = 0;
        if (resume_inner_ && !resume_inner_->empty()) {
          SetLinkValues();
          e = Call(*file_.file, key_ ? Op::kRESETkey : Op::kRESETfile, options_, key_,
                   *resume_inner_)
                  .error;
          (void)TakeNewSequence(*file_.file);
        } else {
          e = StartInner(d);
        }
        resume_inner_.reset();
        if (e != 0) return e;
      }
      const int32_t e = FetchInner(d);
      if (e == 0) {
        matched_ = true;
        current_matched_ = true;
        return 0;
      }
      if (e != err::kRecordNotAvailable) return e;
      have_outer_ = false;
      if (!matched_ && kind_ == JoinKind::kOuter) {
        // No match: the row stands with the secondary record cleared.
        ClearRecord(*file_.file->Block(), 0);
        current_matched_ = false;
        return 0;
      }
    }
  }

  int32_t ResumeAt(std::string_view* identity) override {
    if (const int32_t e = outer_->ResumeAt(identity)) return e;
    std::string position;
    if (!TakePart(identity, &position)) return err::kRecordNotFound;
    have_outer_ = false;
    resume_inner_ = std::move(position);
    return 0;
  }

  int32_t AppendIdentity(std::string* identity) override {
    if (const int32_t e = outer_->AppendIdentity(identity)) return e;
    if (!current_matched_) {
      AppendPart(identity, {});
      return 0;
    }
    const OpResult r = key_ ? Call(*file_.file, Op::kPOSITIONkey, options_, key_)
                            : Call(*file_.file, Op::kPOSITIONfile, options_);
    if (r.error != 0) return r.error;
    AppendPart(identity, r.text);
    return 0;
  }

 private:
  // The link fields' values, as the key's leading components must hold them.
  void SetLinkValues() {
    link_values_.clear();
    for (size_t i = 0; i < links_.size(); ++i) {
      const KeyComponent& c = components_[i];
      BoundValue v;
      v.present = true;
      if (c.text) {
        v.text = links_[i]->GetText();
      } else {
        v.real = links_[i]->GetReal();
      }
      link_values_.push_back(std::move(v));
    }
  }

  int32_t StartInner(ScanDirection d) {
    if (!key_) {
      const int32_t e = Call(*file_.file, Op::kSETfile, options_).error;
      (void)TakeNewSequence(*file_.file);
      return e;
    }
    SetLinkValues();
    for (size_t i = 0; i < components_.size(); ++i) {
      KeyComponent& c = components_[i];
      if (i < links_.size()) {
        (*c.accessor)->Assign(*links_[i]);
        continue;
      }
      const bool from_low = c.descending == (d == ScanDirection::kBackward);
      runtime::ClearValue(**c.accessor,
                          from_low ? runtime::ClearMode::kLowest : runtime::ClearMode::kHighest);
    }
    const int32_t e = Call(*file_.file, Op::kSETkeykey, options_, key_).error;
    (void)TakeNewSequence(*file_.file);
    return e;
  }

  int32_t FetchInner(ScanDirection d) {
    if (!file_.read_memos) {
      if (const int32_t e = Call(*file_.file, Op::kNOMEMO, options_).error) return e;
    }
    const int32_t e = Call(*file_.file, ReadOp(d), options_).error;
    if (e == err::kRecordNotAvailable) runtime::ClearError();
    if (e != 0) return e;
    for (size_t i = 0; i < link_values_.size(); ++i) {
      if (CompareField(components_[i], link_values_[i]) != 0) return err::kRecordNotAvailable;
    }
    return 0;
  }

  std::unique_ptr<Step> outer_;
  ViewFile& file_;
  const KeyDecl* key_;
  JoinKind kind_;
  const ReadOptions& options_;
  std::vector<KeyComponent> components_;
  std::vector<runtime::Accessor> links_;
  std::vector<BoundValue> link_values_;
  bool have_outer_ = false;
  bool matched_ = false;
  bool current_matched_ = false;
  std::optional<std::string> resume_inner_;
};

class FilterStep : public Step {
 public:
  FilterStep(std::unique_ptr<Step> child, const runtime::expr::Expression* filter)
      : child_(std::move(child)), filter_(filter) {}
  int32_t Start(ScanDirection d) override { return child_->Start(d); }
  int32_t Fetch(ScanDirection d) override {
    for (;;) {
      if (const int32_t e = child_->Fetch(d)) return e;
      if (!filter_ || runtime::expr::EvaluateBoolean(*filter_)) return 0;
    }
  }
  int32_t ResumeAt(std::string_view* identity) override { return child_->ResumeAt(identity); }
  int32_t AppendIdentity(std::string* identity) override {
    return child_->AppendIdentity(identity);
  }

 private:
  std::unique_ptr<Step> child_;
  const runtime::expr::Expression* filter_;
};

}  // namespace

void AppendPart(std::string* identity, std::string_view part) {
  const auto n = static_cast<uint16_t>(std::min<size_t>(part.size(), 0xFFFF));
  identity->push_back(static_cast<char>(n & 0xFF));
  identity->push_back(static_cast<char>(n >> 8));
  identity->append(part.substr(0, n));
}

bool TakePart(std::string_view* identity, std::string* part) {
  if (identity->size() < 2) return false;
  const auto* p = reinterpret_cast<const unsigned char*>(identity->data());
  const size_t n = size_t{p[0]} | size_t{p[1]} << 8;
  if (identity->size() < 2 + n) return false;
  part->assign(identity->substr(2, n));
  identity->remove_prefix(2 + n);
  return true;
}

std::unique_ptr<Step> MakeScan(ViewFile& file, std::optional<KeyPlan> plan, bool identity_by_file,
                               const ReadOptions& options, const EntryTest* filter_test) {
  return std::make_unique<ScanStep>(file, std::move(plan), identity_by_file, options, filter_test);
}

std::unique_ptr<Step> MakeJoin(std::unique_ptr<Step> outer, ViewFile& file, const KeyDecl* key,
                               std::vector<LinkField> links, JoinKind kind,
                               const std::vector<ViewFile*>& earlier, const ReadOptions& options) {
  return std::make_unique<JoinStep>(std::move(outer), file, key, std::move(links), kind, earlier,
                                    options);
}

std::unique_ptr<Step> MakeFilter(std::unique_ptr<Step> child,
                                 const runtime::expr::Expression* filter) {
  return std::make_unique<FilterStep>(std::move(child), filter);
}

}  // namespace pellucor::data::view

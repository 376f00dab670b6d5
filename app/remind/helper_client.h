// The agent's side of the helper process (data_helper.h): it starts this program again with
// --helper, waits for it and reads its answer.
#pragma once

#include <QString>
#include <vector>

#include "app/remind/data_helper.h"

namespace pellucor::app::remind {

struct HelperAnswer {
  enum class Kind { kOk, kGone, kRetry } kind = Kind::kRetry;
  QString error;  // what went wrong, in one line
  std::vector<DueNote> notes;
};

class HelperClient {
 public:
  // `program`: this program's path; `data_dir`: the data directory (absolute).
  HelperClient(QString program, QString data_dir)
      : program_(std::move(program)), data_dir_(std::move(data_dir)) {}

  // The notes of "Current Reminders" on `day` ("YYYY-MM-DD").
  [[nodiscard]] HelperAnswer Due(const QString& day) const;
  // Marks the note done in the data file when it is still the note that was shown.
  [[nodiscard]] HelperAnswer Done(uint32_t id, const QString& fingerprint) const;

 private:
  HelperAnswer Run(const QStringList& words) const;

  QString program_;
  QString data_dir_;
};

}  // namespace pellucor::app::remind

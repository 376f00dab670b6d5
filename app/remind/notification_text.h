// What the notifications say: one per due note (its topic as the summary; its reminder date,
// "overdue" when that is past, and the memo's first line as the body) and one that counts the
// notes beyond the first few. Actions are offered only where the server has them.
#pragma once

#include <QStringList>

#include "app/remind/data_helper.h"
#include "app/remind/notifier.h"

namespace pellucor::app::remind {

// At most this many notes are shown one by one in a round; the rest are counted in one more.
inline constexpr int kNotesShownAtOnce = 5;

namespace action {
inline constexpr const char* kDone = "done";
inline constexpr const char* kTomorrow = "tomorrow";
inline constexpr const char* kOpen = "open";
inline constexpr const char* kDefault = "default";  // a click on the notification itself
}  // namespace action

// `today` is "YYYY-MM-DD"; `capabilities` what the server offers.
[[nodiscard]] Notification NoteNotification(const DueNote& note, const QString& today,
                                            const QStringList& capabilities);
[[nodiscard]] Notification MoreNotification(int more, const QStringList& capabilities);

}  // namespace pellucor::app::remind

// The notes window (the program's main procedure), the archive browse it starts, and the About
// window. Main runs on the program's main thread; "View Archive" and "&About" start further
// independent instances on threads of their own.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace pellucor::app {

// The support mailbox "Email Support" writes to, with the subject line it fills in.
inline constexpr std::string_view kSupportMailbox = "support@pellucor.example";
inline constexpr std::string_view kSupportSubject = "KNB4";
// The mail link "Email Support" opens.
[[nodiscard]] std::string SupportMailUrl();

// How the desktop opens a link with the user's default program (the executable sets it; the
// procedures themselves know no desktop). Returns whether the desktop took it. Unset: the
// button says that no mail program could be started.
using UrlOpener = std::function<bool(const std::string& url)>;
void SetUrlOpener(UrlOpener opener);

// The notes browse with its four tabs. Returns when its window closes.
void Main();
// The archive browse. Returns when its window closes.
void BrowseARC();
// The About window.
void About();

// The About window's version message: "App: pelkit  |Date: ...|Build: 372".
[[nodiscard]] std::string VersionMessage();

}  // namespace pellucor::app

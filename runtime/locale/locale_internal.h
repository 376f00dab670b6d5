// What the locale's sources share among themselves and nobody else needs.
#pragma once

#include <string>
#include <string_view>

#include "runtime/locale/locale.h"
#include "runtime/locale/picture.h"

namespace pellucor::runtime::locale_internal {

// The one process-wide locale, writable by InitLocale and LoadEnvironment only.
Locale& MutableLocale();

// Positions appended to a picture under construction; false when the 255 positions are full.
bool AddPosition(Picture* p, uint8_t fill, PositionCode code);
// Every digit position a fill option applies to takes `fill`; every separator position takes
// `separator` (0 leaves them).
void ApplyDateTimeOptions(Picture* p, uint8_t fill, uint8_t separator);

// The system pictures built from the "intl" settings: @D17 from sShortDate, @D18 from sLongDate,
// @T7 and @T8 from iTime, iTLzero and sTime.
Picture BuildShortDatePicture(std::string_view format);
Picture BuildLongDatePicture(std::string_view format);
Picture BuildTimePicture(int i_time, int i_tlzero, std::string_view separator, bool seconds);
// Rebuilds the four system pictures of the locale from its settings.
void RebuildSystemPictures(Locale* locale);

// The environment's "WINDOWS" tables.
void ApplyWindowsCollation();
void ApplyWindowsCase();
// The case tables 128-255 reset to "no letters" (A-Z/a-z/0-9 keep theirs).
void ResetUpperCase();
// Copies the ANSI collation and digraphs into their OEM forms.
void DeriveOemTables();

// Upper-cases one character through the current tables (letters of the class table only).
uint8_t FoldCase(uint8_t c);

}  // namespace pellucor::runtime::locale_internal

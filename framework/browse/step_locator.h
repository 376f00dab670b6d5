// The step locator: typing a character on a browse list moves to the records that begin with it.
// The first key field that no range binds (the free element) is what it looks at:
//
//   - the highlight first moves one row down and that row is taken into the record buffer;
//   - when that record's free element already begins with the character (in upper case when
//     NOCASE), the highlight stays there, so pressing the same letter again steps through the
//     records that begin with it;
//   - otherwise the free element is set to the character and the browse positions at the first
//     record at or after it.
//
// A key without a character is not taken.
#pragma once

#include <cstdint>

#include "runtime/values/accessor.h"

namespace pellucor::framework {

class BrowseManager;

// What HandleKey did with a key.
enum class LocatorResult : uint8_t {
  kNotTaken,  // no character: the key is for someone else
  kStepped,   // the highlight moved to the next record, which begins with the character
  kLocate,    // the free element holds the character: position the browse by it
};

class StepLocator {
 public:
  virtual ~StepLocator() = default;

  // `browse` owns the locator through its sort order; `control` shows what was typed (0 for
  // none); `free_element` is the record buffer's field the locator sets.
  void Init(BrowseManager& browse, int32_t control, runtime::AnyRef free_element, bool no_case);
  // Takes the key that KEYCODE() reports (see CharacterOf).
  virtual LocatorResult HandleKey(int32_t keycode);
  // Redisplays CONTROL, when there is one.
  virtual void Refresh();

  // The character a key code types: letters (capitals with Shift), digits and the blank; 0 for a
  // key that types none (Ctrl and Alt combinations type none).
  [[nodiscard]] static unsigned char CharacterOf(int32_t keycode);

  // --- Fields, in order ---

  BrowseManager* VIEWMANAGER = nullptr;  // not owned: the browse the locator belongs to
  int32_t CONTROL = 0;
  runtime::AnyRef FREEELEMENT;  // not owned: a field of the primary record buffer
  bool NOCASE = true;
};

}  // namespace pellucor::framework

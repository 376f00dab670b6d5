#include "framework/browse/step_locator.h"

#include <string>

#include "framework/browse/browse_manager.h"
#include "runtime/core/char_tables.h"
#include "runtime/event/key_codes.h"
#include "runtime/event/window.h"

namespace pellucor::framework {

namespace key = runtime::key;

void StepLocator::Init(BrowseManager& browse, int32_t control, runtime::AnyRef free_element,
                       bool no_case) {
  VIEWMANAGER = &browse;
  CONTROL = control;
  FREEELEMENT = free_element;
  NOCASE = no_case;
}

unsigned char StepLocator::CharacterOf(int32_t keycode) {
  if ((keycode & (key::kCtrl | key::kAlt)) != 0) return 0;
  const bool shift = (keycode & key::kShift) != 0;
  const int32_t vk = keycode & 0xFF;
  if (keycode > 0x1FF) return 0;  // not a key of the keyboard (or a mouse code)
  if (vk >= key::kA && vk <= key::kA + 25) {
    return static_cast<unsigned char>((shift ? 'A' : 'a') + (vk - key::kA));
  }
  if (!shift && vk >= key::k0 && vk <= key::k0 + 9) {
    return static_cast<unsigned char>('0' + (vk - key::k0));
  }
  if (!shift && vk == key::kSpace) return ' ';
  return 0;
}

LocatorResult StepLocator::HandleKey(int32_t keycode) {
  const unsigned char typed = CharacterOf(keycode);
  if (typed == 0 || VIEWMANAGER == nullptr || FREEELEMENT.address == nullptr) {
    return LocatorResult::kNotTaken;
  }
  runtime::Accessor field = runtime::AccessorFactory(FREEELEMENT.type, FREEELEMENT.address,
                                                     FREEELEMENT.size, FREEELEMENT.places);
  if (VIEWMANAGER->Rows() > 0) {
    // The next row first: pressing the same letter again steps through the records that begin
    // with it.
    VIEWMANAGER->ScrollByRow(runtime::Event::kScrollDown);
    const std::string text = field->GetText();
    if (!text.empty()) {
      const runtime::CharTables& t = runtime::CurrentCharTables();
      auto fold = [&](unsigned char c) { return NOCASE ? t.upper[c] : c; };
      if (fold(static_cast<unsigned char>(text[0])) == fold(typed)) return LocatorResult::kStepped;
    }
  }
  field->SetText(std::string(1, static_cast<char>(typed)));
  return LocatorResult::kLocate;
}

void StepLocator::Refresh() {
  if (CONTROL != 0) runtime::DISPLAY(CONTROL);
}

}  // namespace pellucor::framework

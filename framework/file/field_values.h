// Field-level work on record buffers, for the file and relation managers: finding a field by its
// label, comparing one field of two records, clearing a field and reading or writing a number.
// Fields are numbered from 1 in declaration order, as keys number them.
#pragma once

#include <cstdint>
#include <string_view>

#include "data/driver/declaration.h"
#include "runtime/values/accessor.h"

namespace pellucor::framework::fields {

// The number (from 1) of the field labelled `label` in `layout`, compared without regard to case;
// a label given without its prefix ("TOPIC" for "SNO:TOPIC") matches too. 0 when none does.
[[nodiscard]] int32_t NumberOf(const data::RecordLayout& layout, std::string_view label);

// REQUIRES: 1 <= number <= layout.fields.size().
[[nodiscard]] const data::FieldInfo& Info(const data::RecordLayout& layout, int32_t number);

// An accessor of field `number` inside `record`.
[[nodiscard]] runtime::Accessor Access(const data::RecordLayout& layout, uint8_t* record,
                                       int32_t number);

// Whether field `left_number` of `left` holds the same value as field `right_number` of `right`:
// texts as the runtime compares them (trailing blanks never matter; without regard to case when
// `no_case`), numbers by value, so that a LONG link field matches a SHORT one.
[[nodiscard]] bool SameValue(const data::RecordLayout& left_layout, const uint8_t* left,
                             int32_t left_number, const data::RecordLayout& right_layout,
                             const uint8_t* right, int32_t right_number, bool no_case);

// Copies the value of field `from_number` of `from` into field `to_number` of `to`, converting
// by type as an assignment does.
void Assign(const data::RecordLayout& to_layout, uint8_t* to, int32_t to_number,
            const data::RecordLayout& from_layout, const uint8_t* from, int32_t from_number);

// Clears field `number` of `record`: blank, lowest or highest value of its type.
void Clear(const data::RecordLayout& layout, uint8_t* record, int32_t number,
           runtime::ClearMode mode);

}  // namespace pellucor::framework::fields

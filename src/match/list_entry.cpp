#include "match/list_entry.h"

namespace kensaku {

LineInclusion::LineInclusion(const char* text)
    : pattern_(text), required_(pattern_.RequiredBytes(&chars_before_, &whole_)) {}

}  // namespace kensaku

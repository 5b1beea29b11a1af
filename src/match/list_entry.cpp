#include "match/list_entry.h"

namespace kensaku {

LineInclusion::LineInclusion(const char* text, const MatchOptions& options)
    : pattern_(text, options), required_(pattern_.RequiredBytes(&chars_before_, &whole_)) {}

}  // namespace kensaku

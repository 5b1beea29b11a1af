// The prefilter of a longer list: one pass over the text finds the first place where any entry's
// bytes occur (ListFilter, the vector kernel), and a line read is swept once for every entry.
// Its cursor keeps how far the text is decided and the place found next.
#ifndef KENSAKU_SRC_MATCH_SWEPT_FILTER_H_
#define KENSAKU_SRC_MATCH_SWEPT_FILTER_H_

#include <cstddef>
#include <memory>
#include <vector>

#include "match/list_filter.h"
#include "match/prefilter.h"

namespace kensaku {

class SweptFilter final : public Prefilter {
 public:
  explicit SweptFilter(std::vector<const ByteFinder*> finders);
  std::unique_ptr<Cursor> NewCursor() const override;

 private:
  class SweepCursor;
  ListFilter sweep_;
  std::size_t longest_ = 0;  // the most bytes any entry requires
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_SWEPT_FILTER_H_

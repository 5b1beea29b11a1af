// The prefilter of a longer list: one pass over the text finds the first place where any entry's
// bytes occur (ListFilter, the vector kernel), and a line read is swept once for every entry.
// A sweep takes at most 64 runs; entries whose alternatives make more are split into groups,
// each swept apart. The cursor keeps, for each group, how far the text is decided and the place
// found next.
#ifndef KENSAKU_SRC_MATCH_SWEPT_FILTER_H_
#define KENSAKU_SRC_MATCH_SWEPT_FILTER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "match/list_filter.h"
#include "match/prefilter.h"

namespace kensaku {

class SweptFilter final : public Prefilter {
 public:
  explicit SweptFilter(std::vector<const ByteFinder*> finders, bool char_starts = true);
  std::unique_ptr<Cursor> NewCursor() const override;

 private:
  class SweepCursor;
  // Entries whose runs one sweep looks for.
  struct Group {
    ListFilter sweep;
    std::vector<std::size_t> entry_of;  // by run: the list's entry
    std::vector<std::size_t> size_of;   // by run: its bytes
    bool one_each = true;               // run i is entry i's
    std::size_t longest = 0;            // the most bytes any run holds
    bool char_starts = true;            // as the prefilter's
    // The entries that the runs of a mask belong to.
    std::uint64_t EntriesOf(std::uint64_t runs) const;
  };
  std::vector<Group> groups_;
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_SWEPT_FILTER_H_

// The prefilter of a short list: each entry's finder run on its own. Its cursor keeps where each
// entry's bytes next occur in the stream, so that each finder looks at every byte once.
#ifndef KENSAKU_SRC_MATCH_ENTRY_FINDERS_H_
#define KENSAKU_SRC_MATCH_ENTRY_FINDERS_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "match/prefilter.h"

namespace kensaku {

class EntryFinders final : public Prefilter {
 public:
  using Prefilter::Prefilter;
  std::unique_ptr<Cursor> NewCursor() const override;

 private:
  class EntryCursor;
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_ENTRY_FINDERS_H_

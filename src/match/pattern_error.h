// A pattern that its syntax cannot read: where in its bytes, and why. Compiling a query throws
// it; each caller reports it in its own way (an error code, an exception, a message and exit 2).
#ifndef KENSAKU_SRC_MATCH_PATTERN_ERROR_H_
#define KENSAKU_SRC_MATCH_PATTERN_ERROR_H_

#include <cstddef>
#include <stdexcept>
#include <string>

namespace kensaku {

class PatternError : public std::runtime_error {
 public:
  // position: the byte of the pattern (in the internal form) at fault.
  PatternError(std::size_t position, const std::string& what)
      : std::runtime_error(what), position_(position) {}

  std::size_t position() const { return position_; }
  // Which of the query's patterns, from 0 (set as the error leaves the list).
  std::size_t pattern() const { return pattern_; }
  void set_pattern(std::size_t i) { pattern_ = i; }

 private:
  std::size_t position_;
  std::size_t pattern_ = 0;
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_PATTERN_ERROR_H_

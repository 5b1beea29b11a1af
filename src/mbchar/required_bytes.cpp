#include "mbchar/required_bytes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <set>

#include "frame/find_byte.h"
#include "mbchar/case_fold.h"
#include "mbchar/fold.h"
#include "mbchar/internal_text.h"
#include "mbchar/variants.h"

namespace kensaku {

double detail::Selectivity(const ByteSets& sets) {
  double score = 0;
  for (const ByteSet& set : sets) score += 1.0 / set.Count();
  return score;
}

double detail::Selectivity(const ByteRuns& runs) {
  if (runs.empty()) return 0;
  double weakest = Selectivity(runs[0]);
  for (const ByteSets& run : runs) {
    const double score = Selectivity(run);
    if (score < weakest) weakest = score;
  }
  // k alternatives let about k times as many places through: log2(k) bits, where one byte of a
  // set of one, 8 bits, scores 1.
  return weakest - 0.125 * std::log2(static_cast<double>(runs.size()));
}

void AddFirstBytesFoldingInto(Code lo, Code hi, const FoldTable& fold, FirstBytes& firsts) {
  fold.ForEachPreimageIn(lo, hi, [&firsts](Code c) {
    const unsigned b = c > 0xFF ? c >> 8 : c;
    if (!firsts.bytes[b]) {
      firsts.bytes[b] = true;
      ++firsts.count;
      firsts.only = static_cast<int>(b);
    }
  });
  if (firsts.count != 1) firsts.only = -1;
}

FirstBytes FirstBytesFoldingTo(Code folded, const FoldTable& fold) {
  FirstBytes firsts;
  AddFirstBytesFoldingInto(folded, folded, fold, firsts);
  return firsts;
}

const char* NextCharStartIn(const char* from, const FirstBytes& firsts) {
  const auto* p = reinterpret_cast<const unsigned char*>(from);
  for (;;) {
    const unsigned char* k;
    if (firsts.only > 0) {
      k = reinterpret_cast<const unsigned char*>(
          FindByteOrEnd(reinterpret_cast<const char*>(p), static_cast<char>(firsts.only)));
    } else {
      k = p;
      while (*k != 0 && !firsts.bytes[*k]) ++k;
    }
    if (*k == 0) return reinterpret_cast<const char*>(k);
    const unsigned char* q = k;
    while (q > p && IsLeadByte(q[-1])) --q;
    while (q < k) q += CharLength(reinterpret_cast<const char*>(q));
    if (q == k) return reinterpret_cast<const char*>(k);
    p = q;  // the byte found was the trail byte of the character before it
  }
}

namespace {

// The forms of the characters in another encoding, grouped by length: each position's set holds
// that byte of every form of the length. Exact when they have one length and every choice of a
// byte from each set is one of them.
bool EncodedForms(const std::vector<Code>& chars, std::vector<ByteSets>& forms, bool* exact,
                  const FormsIn& in) {
  constexpr std::size_t kLongest = 4;
  ByteSets by_length[kLongest + 1];
  std::set<std::string> distinct;
  auto add = [&](const std::string& form) {
    if (form.empty() || form.size() > kLongest) return;
    distinct.insert(form);
    ByteSets& sets = by_length[form.size()];
    if (sets.empty()) sets.resize(form.size());
    for (std::size_t k = 0; k < form.size(); ++k) sets[k].Add(static_cast<unsigned char>(form[k]));
  };
  for (Code c : chars) {
    char32_t extra = in.extras != nullptr ? in.extras->UnicodeOf(c) : 0;
    if (const FixedKana* fixed = FixedKanaOf(c)) {
      extra = fixed->unicode;  // none for a half-width joined kana: its kana stands for it
      if (extra == 0) continue;
    }
    // The letters code page 932 lacks that read as this one under the case fold.
    auto add_cased = [&](char32_t u) {
      if (!in.case_fold) return;
      for (const char32_t v : CaseVariantsOf(CaseFoldOf(u))) {
        if (v != u && Cp932OfUnicode(v) == 0) {
          for (const std::string& form : FormsOfUnicode(in.encoding, v)) add(form);
        }
      }
    };
    if (extra != 0) {
      for (const std::string& form : FormsOfUnicode(in.encoding, extra)) add(form);
      add_cased(extra);
    } else {
      for (const std::string& form : FormsOfCp932(in.encoding, c)) add(form);
      if (in.variants) {
        for (const char32_t v : VariantsLacking932(UnicodeOfCp932(c))) {
          for (const std::string& form : FormsOfUnicode(in.encoding, v)) add(form);
        }
      }
      if (c >= 0x80) add_cased(UnicodeOfCp932(c));
    }
  }
  const std::size_t before = forms.size();
  for (ByteSets& sets : by_length) {
    if (!sets.empty()) forms.push_back(std::move(sets));
  }
  if (exact != nullptr) {
    std::size_t choices = forms.size() == before + 1 ? 1 : 0;
    for (std::size_t k = 0; choices != 0 && k < forms.back().size(); ++k) {
      const ByteSet& set = forms.back()[k];
      choices *= static_cast<std::size_t>(set.Count());
    }
    *exact = choices != 0 && choices == distinct.size();
  }
  return forms.size() > before;
}

}  // namespace

bool AddJoinedForms(const std::vector<Code>& chars, std::vector<ByteSets>& forms, const FormsIn& in,
                    bool spacing) {
  const Encoding e = in.encoding;
  std::vector<std::string> written;  // each joined character as its kana and mark
  for (Code c : chars) {
    bool semi = false;
    const Code base = BaseOfJoined(c, &semi);
    if (base == 0) continue;
    const bool half = base < 0x100;
    // Combining marks are not among them: the lines that hold one are read in full
    // (LineCursors), so that a pattern's runs stay one length.
    std::vector<std::string> marks;
    if (half || spacing) {
      for (const std::string& m : FormsOfCp932(e, semi ? 0xDF : 0xDE)) marks.push_back(m);
    }
    if (spacing) {
      for (const std::string& m : FormsOfCp932(e, semi ? 0x814B : 0x814A)) marks.push_back(m);
    }
    for (const std::string& b : FormsOfCp932(e, base)) {
      for (const std::string& m : marks) written.push_back(b + m);
    }
  }
  for (const std::string& form : written) {
    auto same = std::find_if(forms.begin(), forms.end(),
                             [&](const ByteSets& sets) { return sets.size() == form.size(); });
    if (same == forms.end()) same = forms.insert(forms.end(), ByteSets(form.size()));
    for (std::size_t k = 0; k < form.size(); ++k)
      (*same)[k].Add(static_cast<unsigned char>(form[k]));
  }
  return !written.empty();
}

bool CharForms(const std::vector<Code>& chars, std::vector<ByteSets>& forms, bool* exact,
               const FormsIn& in) {
  if (in.encoding != Encoding::kCp932) return EncodedForms(chars, forms, exact, in);
  std::vector<Code> single, wide;
  for (Code c : chars) (c > 0xFF ? wide : single).push_back(c);
  bool x = false;
  if (!single.empty()) {
    forms.emplace_back();
    AppendCharBytes(single, forms.back(), &x);
  }
  if (!wide.empty()) {
    forms.emplace_back();
    AppendCharBytes(wide, forms.back(), &x);
  }
  if (exact != nullptr) *exact = forms.size() == 1 && x;
  return !forms.empty();
}

bool FormsAsRead(const std::vector<Code>& chars, std::vector<ByteSets>& forms, bool* exact,
                 const FormsIn& in, bool as_read, bool spacing) {
  bool x = false;
  if (!CharForms(chars, forms, &x, in)) return false;
  const bool joined = as_read && AddJoinedForms(chars, forms, in, spacing);
  if (exact != nullptr) *exact = x && !joined;
  return true;
}

bool AppendCharBytes(const std::vector<Code>& chars, ByteSets& bytes, bool* exact) {
  if (chars.empty()) return false;
  const bool wide = chars[0] > 0xFF;
  for (Code c : chars) {
    if ((c > 0xFF) != wide) return false;
  }
  ByteSet first, second;
  bool leads = false;  // a lone lead byte is no character where a trail byte follows it
  for (Code c : chars) {
    if (wide) {
      first.Add(c >> 8);
      second.Add(c & 0xFF);
    } else {
      first.Add(c);
      leads = leads || IsLeadByte(c);
    }
  }
  bytes.push_back(first);
  if (wide) bytes.push_back(second);
  if (exact != nullptr) {
    // Double-byte characters are exactly the pairs of their sets when every pair is one of them.
    std::size_t pairs = 0;
    if (wide) {
      pairs = static_cast<std::size_t>(first.Count()) * static_cast<std::size_t>(second.Count());
    }
    *exact = wide ? pairs == chars.size() : !leads;
  }
  return true;
}

}  // namespace kensaku

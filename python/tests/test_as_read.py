"""Text as its readers see it, against a slow twin: both sides normalized character by character
in Python (selectors left out, kana joined with their marks, variants, then the folds), and the
library's hits compared with the twin's on generated text, for every fold value, kind and
encoding."""
import itertools
import random
import unicodedata

import pytest

from kensaku import Fold, Kind, Query

VARIANTS = {"髙": "高", "﨑": "崎", "邊": "辺", "邉": "辺", "驒": "騨"}
# What every encoding holds, and what only Unicode text can (decomposed marks, selectors, kana
# and a kanji code page 932 lacks).
COMMON = list("かがカガはばぱハバパうウヴわワヷゝゞヽヾｶｳﾊﾜｦﾞﾟ゛゜ーｰ"
              "aAａＡαΑσΣяЯ1１＋+。｡高髙崎﨑辺邊邉騨 xéÉςǅǆµ")
UNICODE_ONLY = ["\u3099", "\u309a", "\ufe00", "\U000E0100", "ゔ", "ゕ", "ヵ", "ゖ", "驒"]
DIGITS = {chr(0xFF10 + i): str(i) for i in range(10)} | dict(zip("，．＋－／＊＝＃＄％￥＠（）［］",
                                                                 ",.+-/*=#$%\\@()[]"))
HALF = {"\uff9e": "\u309b", "\uff9f": "\u309c"}  # a half-width mark alone is the spacing one


def is_kana(c):
    return "\u3041" <= c <= "\u3096" or "\u30a1" <= c <= "\u30fa" or "\uff66" <= c <= "\uff9d" \
        or c in "ゝヽ"


def joined(base, voiced):
    """The one character a kana and a mark make (a str, maybe of two code points), or None."""
    mark = "\u3099" if voiced else "\u309a"
    if "\uff66" <= base <= "\uff9d":  # half width: joined when its full-width form joins
        full = unicodedata.normalize("NFKC", base)
        return base + ("\uff9e" if voiced else "\uff9f") if joined(full, voiced) else None
    one = unicodedata.normalize("NFC", base + mark)
    if len(one) == 1:
        return one
    return base + mark if voiced and base in "わゐゑを" else None


def characters(text, width):
    """The text's characters as read: selectors left out, kana joined with the mark after them."""
    out, joinable = [], False
    for c in text:
        if "\ufe00" <= c <= "\ufe0f" or "\U000E0100" <= c <= "\U000E01EF":
            continue
        voiced = {"\u3099": True, "\u309a": False}.get(c)
        if voiced is None and c in "\uff9e\uff9f" and out and (width or "\uff66" <= out[-1] <= "\uff9d"):
            voiced = c == "\uff9e"
        if voiced is None and width and c in "\u309b\u309c":
            voiced = c == "\u309b"
        one = joined(out[-1], voiced) if voiced is not None and joinable else None
        if one is not None:
            out[-1], joinable = one, False
        else:
            out.append(c)
            joinable = is_kana(c)
    return out


def fold(ch, flags):
    if flags & Fold.IGNORE_VARIANTS:
        ch = VARIANTS.get(ch, ch)
    if flags & (Fold.TO_HALF_WIDTH | Fold.TO_FULL_WIDTH):
        if ch in HALF:
            ch = HALF[ch]
        elif "\uff61" <= ch[0] <= "\uff9f" or "\uff01" <= ch <= "\uff5e" or ch == "\u3000":
            ch = unicodedata.normalize("NFC", unicodedata.normalize("NFKC", ch))
            if len(ch) == 2 and ch[0] in "ワヰヱヲ":  # NFC has no va-vo from their parts
                ch = chr(ord(ch[0]) + 8)
    if flags & (Fold.TO_UPPER | Fold.TO_LOWER) and len(ch) == 1:
        ch = ch.upper() if len(ch.upper()) == 1 else ch
    if flags & (Fold.KANA_TO_HIRAGANA | Fold.KANA_TO_KATAKANA):
        if "\u30a1" <= ch[0] <= "\u30f6" or ch[0] in "ヽヾ":
            ch = chr(ord(ch[0]) - 0x60) + ch[1:]
        elif "\u30f7" <= ch <= "\u30fa":
            ch = chr(ord(ch) - 0x30f7 + ord("わ")) + "\u3099"
    if flags & Fold.IGNORE_DIGITS:
        ch = DIGITS.get(ch, ch)
    return ch


def normalized(text, flags):
    return [fold(c, flags) for c in characters(text, bool(flags & (Fold.TO_HALF_WIDTH | Fold.TO_FULL_WIDTH)))]


def twin_selects(chars, pattern, kind, flags):
    """Whether the line's characters, normalized, hold the pattern's terms in order."""
    terms = pattern.split("&") if kind == Kind.CONJUNCTIVE else [pattern]
    at = 0
    for term in terms:
        want = normalized(term, flags)
        found = next((i for i in range(at, len(chars) - len(want) + 1)
                      if chars[i:i + len(want)] == want), None)
        if found is None:
            return False
        at = found + len(want)
    return True


FOLDS = [sum(bits, Fold.NONE) for n in range(6) for bits in itertools.combinations(
    [Fold.IGNORE_KANA, Fold.IGNORE_CASE, Fold.IGNORE_WIDTH, Fold.IGNORE_DIGITS,
     Fold.IGNORE_VARIANTS], n) if sum(bits, 0) or n == 0] + [
    Fold.KANA_TO_HIRAGANA | Fold.TO_LOWER | Fold.TO_FULL_WIDTH]


@pytest.mark.parametrize("encoding, codec", [("utf-8", "utf-8"), ("sjis", "cp932"),
                                             ("euc-jp", "euc_jp")])
def test_hits_are_the_twins(encoding, codec):
    rng = random.Random(31)
    alphabet = COMMON + (UNICODE_ONLY * 3 if encoding == "utf-8" else [])

    def holds(text):
        try:
            return text.encode(codec).decode(codec) == text
        except UnicodeError:
            return False

    alphabet = [c for c in alphabet if holds(c)]
    lines = ["".join(rng.choice(alphabet) for _ in range(rng.randint(0, 12))) for _ in range(300)]
    data = ("\n".join(lines) + "\n").encode(codec)
    checked = hits = 0
    for flags in FOLDS:
        read = [normalized(line, flags) for line in lines]
        for _ in range(10):
            # A piece of a line, so that many patterns hit; cut anywhere, marks and selectors too.
            source = rng.choice(lines)
            start = rng.randint(0, len(source))
            pattern = source[start:start + rng.randint(1, 4)].strip() or "x"
            kind = rng.choice([Kind.LITERAL, Kind.PATTERN, Kind.CONJUNCTIVE])
            if kind == Kind.CONJUNCTIVE:
                other = rng.choice(lines)[:2].strip() or "a"
                pattern = pattern + "&" + other
            got = {hit.number for hit in Query(pattern, kind, flags, encoding=encoding).search(data)}
            want = {i + 1 for i, chars in enumerate(read) if twin_selects(chars, pattern, kind, flags)}
            assert got == want, (pattern, kind, hex(flags), sorted(got ^ want)[:5])
            checked += 1
            hits += len(want)
    assert checked == 10 * len(FOLDS) and hits > checked  # most patterns hit somewhere


def test_spans_cover_marks_and_selectors():
    text = "xｶﾞｲﾄﾞ テ\u3099ータ 葛\U000E0100飾区\n"
    for pattern, flags, want in [("ガイド", Fold.IGNORE_WIDTH, "ｶﾞｲﾄﾞ"), ("データ", Fold.NONE, "テ\u3099ータ"),
                                 ("葛", Fold.NONE, "葛\U000E0100"), ("葛飾", Fold.NONE, "葛\U000E0100飾")]:
        hits = list(Query(pattern, Kind.LITERAL, flags, encoding="utf-8").search(text.encode()))
        assert [text[a:b] for hit in hits for a, b in hit.text_spans] == [want], pattern

"""Regular expressions against a slow twin: random expressions from a grammar over a Japanese
alphabet, matched by Python's re on the text as read (test_as_read's normalization), each
character, set and range written out as the class of the folded characters it takes; the library's
lines compared with the twin's for every fold value and encoding."""
import random
import re
import threading

import pytest

from kensaku import Fold, Kind, PatternError, Query
from test_as_read import COMMON, FOLDS, UNICODE_ONLY, fold, joined, normalized

MARKS = set("ﾞﾟ゛゜\u3099\u309a\ufe00\U000E0100")
SPECIAL = set("\\.+*?()[]{}|^$-")
RANGES = [("ぁ", "ん"), ("ァ", "ヶ"), ("a", "z"), ("ｦ", "ﾝ"), ("０", "９"), ("0", "9"), ("Α", "Ω")]
# Characters whose fold may meet a text's: every kana, letter and digit block the alphabet uses,
# and the kana joined with each mark.
BLOCKS = [(0x3041, 0x3096), (0x30A1, 0x30FA), (0xFF61, 0xFF9F), (0xFF10, 0xFF19), (0x30, 0x39),
          (0x41, 0x5A), (0x61, 0x7A), (0xFF21, 0xFF3A), (0xFF41, 0xFF5A), (0x391, 0x3C9)]


def universe(lines):
    chars = {c for a, b in BLOCKS for c in map(chr, range(a, b + 1))} | set(COMMON) | set(UNICODE_ONLY)
    for base in list(chars):
        for voiced in (True, False):
            one = joined(base, voiced)
            if one is not None:
                chars.add(one)
    for line in lines:
        chars.update(normalized(line, Fold.NONE))
    return chars - {"\ufe00", "\U000E0100"}


def in_script(ch, name):
    u = ord(ch[0])  # a kana joined with its mark is in a class when its kana is
    if name == "Katakana":
        return 0x30A1 <= u <= 0x30FA or u in (0x30FD, 0x30FE, 0x30FC, 0xFF70) or \
            0xFF66 <= u <= 0xFF6F or 0xFF71 <= u <= 0xFF9D
    if name == "Hiragana":
        return 0x3041 <= u <= 0x3096 or u in (0x309D, 0x309E)
    return ch[0] in "0123456789０１２３４５６７８９"  # \d over this alphabet


class Twin:
    """The folded text as one code point a character, and classes over it."""

    def __init__(self, flags, chars):
        self.flags, self.chars, self.codes, self.case = flags, chars, {}, False

    def code(self, ch):
        folded = fold(ch, self.flags)
        if len(folded) == 1:
            return folded
        return self.codes.setdefault(folded, chr(0xF0000 + len(self.codes)))

    def text(self, line):
        return "".join(self.code(c) for c in normalized(line, self.flags))

    def klass(self, member, negated=False):
        flags = self.flags | (Fold.IGNORE_CASE if self.case else 0)  # (?i)
        keys = {fold(m, flags) for m in self.chars if member(m)}
        codes = sorted({self.code(m) for m in self.chars if fold(m, flags) in keys})
        body = "".join(re.escape(c) for c in codes)
        if not codes:
            return "." if negated else "[^\\s\\S]"
        return ("[^" if negated else "[") + body + "]"


def generate(rng, alphabet, depth=0):
    """A random expression: (kensaku's text, a function of the twin giving Python's)."""
    roll = rng.random() if depth < 3 else rng.random() * 0.55
    if roll < 0.25:
        c = rng.choice(alphabet)
        return ("\\" + c if c in SPECIAL else c), lambda t, c=c: t.klass(lambda m: m == c)
    if roll < 0.35:
        members = rng.sample(alphabet, rng.randint(1, 3))
        negated = rng.random() < 0.3
        text = "[" + ("^" if negated else "") + "".join("\\" + c if c in SPECIAL else c for c in members) + "]"
        return text, lambda t: t.klass(lambda m: m in members, negated=negated)
    if roll < 0.42:
        lo, hi = rng.choice(RANGES)
        return f"[{lo}-{hi}]", lambda t: t.klass(lambda m: lo <= m[0] <= hi)
    if roll < 0.47:
        name = rng.choice(["Katakana", "Hiragana", "d"])
        text = "\\d" if name == "d" else "\\p{%s}" % name
        return text, lambda t: t.klass(lambda m: in_script(m, name))
    if roll < 0.55:
        return ".", lambda t: "."
    if roll < 0.75:
        parts = [generate(rng, alphabet, depth + 1) for _ in range(rng.randint(2, 3))]
        return "".join(p[0] for p in parts), lambda t: "".join(p[1](t) for p in parts)
    if roll < 0.87:
        a, b = generate(rng, alphabet, depth + 1), generate(rng, alphabet, depth + 1)
        return f"({a[0]}|{b[0]})", lambda t: f"(?:{a[1](t)}|{b[1](t)})"
    inner = generate(rng, alphabet, depth + 1)
    op = rng.choice(["*", "+", "?", "{1,2}", "{2}"])
    return f"(?:{inner[0]}){op}", lambda t: f"(?:{inner[1](t)}){op}"


ENCODINGS = [("utf-8", "utf-8"), ("sjis", "cp932"), ("euc-jp", "euc_jp"),
             ("utf-16le", "utf-16-le"), ("iso-2022-jp", "iso2022_jp")]


@pytest.mark.parametrize("encoding, codec", ENCODINGS)
def test_lines_are_the_twins(encoding, codec):
    rng = random.Random(32)

    def holds(text):
        try:
            return text.encode(codec).decode(codec) == text
        except UnicodeError:
            return False

    alphabet = [c for c in COMMON + (UNICODE_ONLY * 2 if encoding == "utf-8" else []) if holds(c)]
    lines = ["".join(rng.choice(alphabet) for _ in range(rng.randint(0, 10))) for _ in range(200)]
    data = ("\n".join(lines) + "\n").encode(codec)
    chars = universe(lines)
    atoms = [c for c in alphabet if c not in MARKS]
    checked = selected = 0
    for flags in FOLDS:
        twin = Twin(flags, chars)
        texts = [twin.text(line) for line in lines]
        for _ in range(6):
            text, python = generate(rng, atoms)
            twin.case = rng.random() < 0.2
            text = "(?i)" + text if twin.case else text
            expected = re.compile(python(twin))
            want = {i + 1 for i, t in enumerate(texts) if expected.search(t)}
            got = {hit.number for hit in Query(text, Kind.REGEX, flags, encoding=encoding).search(data)}
            assert got == want, (text, hex(flags), sorted(got ^ want)[:5])
            checked += 1
            selected += 0 < len(want) < len(lines)
    assert checked == 6 * len(FOLDS) and selected > checked // 3  # most select some lines, not all


@pytest.mark.parametrize("pattern, position, words", [
    ("a[b", 1, "missing ]"), ("(ab", 0, "missing )"), ("ab)", 2, "unmatched )"),
    ("*a", 0, "missing argument"), ("(a)\\1", 3, "back-references"), ("ア(?=イ)", 3, "look-around"),
    ("(?<!x)y", 0, "look-around"), ("[z-a]", 1, "invalid range"), ("a{3,1}", 1, "invalid repetition"),
    ("a{1001}", 1, "too large"), ("\\p{Nope}", 0, "unknown"), ("ab\\", 2, "trailing backslash"),
    # Deeper trees would overflow a small thread stack as they are walked.
    ("(" * 300 + "a" + ")" * 300, 251, "nested too deeply"), ("a" + "*" * 400, 300, "nests too deeply"),
])
def test_errors_name_the_byte(pattern, position, words):
    with pytest.raises(PatternError) as caught:
        Query(["ok", pattern], Kind.REGEX)
    assert caught.value.pattern == 1 and caught.value.position == position and words in str(caught.value)


def test_deep_regexes_in_a_small_stack():
    # A host's thread of 512 KiB: the deepest regex taken is compiled and searched in both kinds of
    # program, deeper ones are refused, and none overflows the stack.
    results = []

    def run():
        deep = "(" * 250 + "a." + ")" * 250
        for encoding in ("utf-8", "sjis"):
            results.append([h.number for h in Query(deep, Kind.REGEX, encoding=encoding).search(b"x\nab\n")])
        for too_deep in ("(" * 300 + "a." + ")" * 300, "a" + "*" * 300):
            try:
                Query(too_deep, Kind.REGEX)
                results.append("taken")
            except PatternError:
                results.append("refused")

    old = threading.stack_size(512 * 1024)
    try:
        thread = threading.Thread(target=run)
        thread.start()
        thread.join()
    finally:
        threading.stack_size(old)
    assert results == [[2], [2], "refused", "refused"]


def test_linear_time():
    # A backtracking engine takes exponential time on this; the line is 200,000 characters long.
    line = ("a" * 200_000 + "\n").encode()
    assert not list(Query("(a|aa)*b", Kind.REGEX).search(line))
    assert [h.number for h in Query("(a|aa)*$", Kind.REGEX).search(line)] == [1]


def test_escapes_name_what_code_page_932_lacks():
    text = "smile 😀\ncafé\n驒\nno\n".encode("utf-8")
    for pattern, fold, want in [(r"\x{1F600}|caf\xE9", Fold.NONE, [1, 2]), (r"\x{9A52}", Fold.NONE, [3]),
                                (r"\x{9A28}", Fold.IGNORE_VARIANTS, [3])]:  # 騨, the common form
        assert [h.number for h in Query(pattern, Kind.REGEX, fold).search(text)] == want, pattern

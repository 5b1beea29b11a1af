"""The older functions of kensaku.legacy: file searches with line numbers, line tests, folding;
and their old names in kensaku."""
import subprocess
import sys

import pytest

from kensaku import Fold, Kind, legacy, raw
from kensaku.legacy import Hit
from conftest import SOURCE_DIR


def lines_of(path):
    return path.read_bytes().split(b"\n")


def reference_literal(path, texts):
    """Hits of a literal search, found on decoded characters rather than bytes."""
    found = []
    for number, line in enumerate(path.read_bytes().decode("cp932").splitlines(), 1):
        if any(text in line for text in texts):
            found.append(Hit(number, line.encode("cp932")))
    return found


# Searches of a file: kinds, line numbers, line ends.
def test_literal_search_of_the_sample_agrees_with_a_search_on_characters(sample):
    for texts in (["検索"], ["kensaku", "ファイル"], ["\\"], ["円"]):
        assert list(legacy.search(sample, texts, Kind.LITERAL)) == reference_literal(sample, texts)


def test_the_trail_byte_0x5c_is_no_backslash(sample):
    hits = list(legacy.search(sample, "\\", Kind.LITERAL))
    bytewise = [n for n, line in enumerate(lines_of(sample), 1) if b"\\" in line]
    assert len(hits) == 1 and len(bytewise) > 1
    assert "(\\)" in hits[0].line.decode("cp932")


def test_kinds_read_patterns_differently(write_sjis):
    path = write_sjis(["a.c", "abc", "ba", "xaxb"])
    assert [h.number for h in legacy.search(path, "a.c", Kind.PATTERN)] == [1, 2]
    assert [h.number for h in legacy.search(path, "a.c", Kind.LITERAL)] == [1]
    assert [h.number for h in legacy.search(path, "a&b", Kind.CONJUNCTIVE)] == [2, 4]
    assert [h.number for h in legacy.search(path, "^b", "pattern")] == [3]


def test_a_line_that_several_patterns_match_is_yielded_once(write_sjis):
    path = write_sjis(["abc", "xyz", "abz"], end="\r\n")
    hits = list(legacy.search(path, ["a", "b", "z"]))
    assert hits == [Hit(1, b"abc"), Hit(2, b"xyz"), Hit(3, b"abz")]  # CR LF dropped


def test_line_numbers_past_five_digits_and_output_past_the_result_buffer(tmp_path):
    path = tmp_path / "big.txt"
    path.write_bytes(b"".join(b"line %d\n" % n for n in range(1, 120001)))
    hits = list(legacy.search(path, "line", Kind.LITERAL))
    assert len(hits) == 120000
    assert hits[99998:100001] == [Hit(99999, b"line 99999"), Hit(100000, b"line 100000"),
                                  Hit(100001, b"line 100001")]


def test_folding_applies_to_the_search_and_is_put_back(sample):
    raw.xSet(int(Fold.TO_LOWER))
    try:
        assert list(legacy.search(sample, "ケンサク", Kind.LITERAL)) == \
            reference_literal(sample, ["ケンサク"])
        wide = list(legacy.search(sample, "ケンサク", Kind.LITERAL, Fold.IGNORE_WIDTH))
        assert "けんさく" in wide[0].line.decode("cp932")
        upper = list(legacy.search(sample, "KENSAKU", Kind.LITERAL, Fold.IGNORE_CASE))
        assert len(upper) > len(list(legacy.search(sample, "KENSAKU", Kind.LITERAL)))
        assert raw.xReSet(0) == Fold.TO_LOWER
    finally:
        raw.xSet(0)


def test_the_modes_are_left_at_their_defaults(write_sjis):
    path = write_sjis(["abc abc"])
    list(legacy.search(path, "abc"))
    assert raw.xMatchsMult(path, "abc") == b"abc\r\nabc\r\n"  # matched parts: OutputMode 0
    assert raw.xIncMult(path, "abc") == b"abc abc\n"  # no number: LineMode 0


# What a search refuses before it starts.
def test_pattern_lists_the_library_would_misread_are_refused(write_sjis):
    path = write_sjis(["abc"])
    for patterns, message in ((["a"] * 61, "at most 60"), (["a\r\nb"], "line break"),
                              (["a", "  "], "empty or blank"), (["\u3000"], "empty or blank"),
                              ([], "no pattern")):
        with pytest.raises(ValueError, match=message):
            legacy.search(path, patterns)
    assert len(list(legacy.search(path, ["x"] * 59 + ["b"]))) == 1  # the 60th is tried


def test_a_missing_file_raises_as_open_does(tmp_path):
    with pytest.raises(FileNotFoundError):
        legacy.search(tmp_path / "missing.txt", "a")


# Single lines.
def test_matches_and_find():
    assert legacy.matches("xaxb", "a&b", Kind.CONJUNCTIVE)
    assert not legacy.matches("xbxa", "a&b", Kind.CONJUNCTIVE)
    assert legacy.matches("カタカナ", ["ひら", "かた"], Kind.LITERAL, Fold.IGNORE_KANA)
    assert legacy.find("abcabc", "CA", Fold.IGNORE_CASE) == 2
    assert legacy.find("abcabc", "CA") == -1
    assert legacy.find("ソ\\", "\\") == 2  # after the two bytes of ソ, not inside it


# Folding and comparing texts.
def test_fold_gives_the_texts_as_the_library_compares_them():
    assert legacy.fold("ひらがなabc", Fold.KANA_TO_KATAKANA | Fold.TO_UPPER) == \
        "ヒラガナABC".encode("cp932")
    assert legacy.fold("ＡＢＣ１２", Fold.TO_HALF_WIDTH) == b"ABC12"
    assert legacy.fold("abc", Fold.TO_FULL_WIDTH) == "ａｂｃ".encode("cp932")
    assert legacy.fold("ソ表", Fold.NONE) == b"\x83\x5c\x95\x5c"
    assert legacy.fold(b"a\x82", Fold.NONE) == b"a\x82"  # a lone lead byte at the end stays


def test_equal_under_folding():
    assert legacy.equal("ケンサク", "けんさく", Fold.IGNORE_KANA)
    assert legacy.equal("ｹﾝｻｸ", "ケンサク", Fold.IGNORE_WIDTH)
    assert not legacy.equal("ケンサク", "けんさく", Fold.NONE)
    with pytest.raises(ValueError, match="unknown fold flags"):
        legacy.fold("a", 0x80)


def test_the_old_names_are_the_legacy_functions_and_warn_once():
    code = """if True:
        import warnings, kensaku, kensaku.legacy
        warnings.simplefilter("always")
        with warnings.catch_warnings(record=True) as caught:
            same = [getattr(kensaku, name) is getattr(kensaku.legacy, name)
                    for name in ("search", "matches", "find", "fold", "equal", "Hit", "search")]
            from kensaku import fold
        print(all(same), fold is kensaku.legacy.fold, len(caught),
              {w.category.__name__ for w in caught}, "search" in dir(kensaku))
        """
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          env={"PYTHONPATH": str(SOURCE_DIR / "python")}, check=True)
    assert done.stdout.split() == ["True", "True", "6", "{'DeprecationWarning'}", "False"]

"""Query: the reentrant interface, against the command-line tool on generated text in every
encoding, from many threads, pickled, streamed, and at its limits."""
import io
import os
import pickle
import random
import subprocess
import sys
import threading

import pytest

import kensaku
import kensaku.legacy
from kensaku import Bound, Fold, Kind, Query

WORDS = ["検索", "けんさく", "ケンサク", "ｹﾝｻｸ", "ﾃｷｽﾄ", "テキスト", "abc", "ABC", "ａｂｃ", "１２", "12",
         "日本語", "表", "ソ", " ", "x"]
PYTHON_CODECS = {"sjis": "cp932", "utf-8": "utf-8", "euc-jp": "euc_jp", "utf-16le": "utf-16le",
                 "utf-16be": "utf-16be", "iso-2022-jp": "iso2022_jp_ext"}
# pattern, kind, fold, invert, bound: each row runs on each encoding
ROWS = [
    ("けんさく", Kind.LITERAL, Fold.IGNORE_KANA, False, Bound.NONE),
    ("ｹﾝｻｸ", Kind.LITERAL, Fold.IGNORE_WIDTH, False, Bound.NONE),
    ("a[b-c]*", Kind.PATTERN, Fold.IGNORE_CASE, False, Bound.NONE),
    ("テ.ス", Kind.PATTERN, Fold.NONE, False, Bound.NONE),
    ("検索&12", Kind.CONJUNCTIVE, Fold.NUMERIC, False, Bound.NONE),
    ("日本語", Kind.LITERAL, Fold.NONE, True, Bound.NONE),
    ("abc", Kind.LITERAL, Fold.IGNORE_CASE | Fold.IGNORE_WIDTH, False, Bound.WORD),
    ("１２", Kind.LITERAL, Fold.NUMERIC, True, Bound.WORD),
    ("[^x]*", Kind.PATTERN, Fold.IGNORE_KANA, False, Bound.LINE),
]


def generate(seed, lines=400):
    rng = random.Random(seed)
    return "\n".join("".join(rng.choice(WORDS) for _ in range(rng.randint(0, 14)))
                     for _ in range(lines)) + "\n"


@pytest.fixture(scope="module")
def tool():
    path = os.environ.get("KENSAKU_CLI")
    if not path:
        pytest.skip("KENSAKU_CLI names the command-line tool (set by ctest)")
    return path


def tool_hits(tool, path, pattern, kind, fold, invert, bound, encoding, only=False):
    # The tool's named folds compare as the module does; --fold-flags keeps the exports' folds.
    named = {0x03: "-k", 0x0C: "-i", 0x30: "--ignore-width", 0x40: "--ignore-digits"}
    args = [tool, "-n", f"--encoding={encoding}", "--output-encoding=utf-8"]
    args += [option for bits, option in named.items() if int(fold) & bits]
    args += {Kind.LITERAL: ["-F"], Kind.CONJUNCTIVE: ["--and"], Kind.PATTERN: []}[kind]
    args += {Bound.NONE: [], Bound.WORD: ["-w"], Bound.LINE: ["-x"]}[bound]
    args += (["-v"] if invert else []) + (["-o"] if only else []) + ["-e", pattern, str(path)]
    done = subprocess.run(args, capture_output=True)
    assert done.returncode in (0, 1), done.stderr
    return [tuple(line.split(":", 1)) for line in done.stdout.decode("utf-8").splitlines()]


@pytest.mark.parametrize("seed, encoding", enumerate(sorted(PYTHON_CODECS)))
def test_every_encoding_selects_what_the_tool_selects(tool, tmp_path, seed, encoding):
    text = generate(seed)
    path = tmp_path / f"text.{encoding}"
    bom = {"utf-16le": b"\xff\xfe", "utf-16be": b"\xfe\xff"}.get(encoding, b"")  # to tell them
    path.write_bytes(bom + text.encode(PYTHON_CODECS[encoding]))
    for pattern, kind, fold, invert, bound in ROWS:
        query = Query(pattern, kind, fold, encoding="auto", invert=invert, bound=bound)
        hits = list(query.search(path))
        assert all(hit.encoding == encoding and hit.path == str(path) for hit in hits)
        want = tool_hits(tool, path, pattern, kind, fold, invert, bound, encoding)
        assert [(str(hit.number), hit.text) for hit in hits] == want, (pattern, encoding)
        if not invert:
            parts = [(str(hit.number), kensaku.to_text(hit.line[a:b], hit.encoding))
                     for hit in hits for a, b in hit.spans]
            assert parts == tool_hits(tool, path, pattern, kind, fold, False, bound, encoding,
                                      True)
            # Character spans into text, against Python's own codecs.
            codec = PYTHON_CODECS[encoding] if encoding in ("sjis", "utf-8", "euc-jp") else "utf-8"
            pairs = [(hit.text[c:d], hit.line[a:b]) for hit in hits
                     for (a, b), (c, d) in zip(hit.spans, hit.text_spans)]
            assert all(text.encode(codec) == line for text, line in pairs) and pairs
            # Columns with spans hold what the hits find one by one.
            batches = list(query.batches(path, spans=True))
            assert [hit for batch in batches for hit in batch] == hits
            assert [s for batch in batches for s in batch.span_lists()] == [h.spans for h in hits]
            assert [t for batch in batches for t in batch.texts()] == [h.text for h in hits]
            assert [t for batch in batches for t in batch.text_span_lists()] == \
                [h.text_spans for h in hits]
        # The same from memory and from a file object, and line by line.
        data = path.read_bytes()
        assert list(query.search(data, str(path))) == hits
        assert list(query.search(io.BufferedReader(io.BytesIO(data)), str(path))) == hits
        if encoding in ("sjis", "utf-8", "euc-jp"):  # a line alone is too short to tell
            told = Query(pattern, kind, fold, encoding=encoding, bound=bound)
            lines = data.split(b"\n")[:-1]
            assert [n for n, line in enumerate(lines, 1)
                    if told.matches(line) != invert] == [hit.number for hit in hits]


def test_binary_texts_are_passed_over_unless_asked(tmp_path):
    query = Query("検索")
    text = "検索\n".encode("utf-8")
    binary = text + b"\0" + b"x" * (1 << 15) + b"\0"
    late = text + b"x" * (1 << 15) + b"\0\n" + text  # its NUL after the first 32 KiB
    utf16 = b"\xff\xfe" + "検索\n".encode("utf-16le")
    path = tmp_path / "binary"
    path.write_bytes(binary)
    for source in (binary, path, io.BytesIO(binary)):
        hits = query.search(source)
        assert list(hits) == [] and hits.binary
        assert list(query.batches(source if not hasattr(source, "seek") else
                                  io.BytesIO(binary))) == []
        again = source if not hasattr(source, "seek") else io.BytesIO(binary)
        hits = query.search(again, binary=True)
        assert [h.number for h in hits] == [1] and not hits.binary
    for data, numbers in ((late, [1, 3]), (utf16, [1])):
        hits = query.search(data)
        assert [h.number for h in hits] == numbers and not hits.binary
        assert [h.number for h in query.search(io.BufferedReader(io.BytesIO(data)))] == numbers


def test_many_threads_search_with_one_query_at_once(tmp_path):
    query = Query(["検索", "abc"], Kind.LITERAL, Fold.IGNORE_WIDTH | Fold.IGNORE_KANA)
    sources = [generate(seed, 3000).encode("cp932" if seed % 2 else "utf-8") for seed in range(8)]
    alone = [list(query.search(data)) for data in sources]
    together = [None] * len(sources)

    def run(i):
        together[i] = list(query.search(sources[i]))

    threads = [threading.Thread(target=run, args=(i,)) for i in range(len(sources))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert together == alone and all(alone)


def test_a_query_and_its_hits_pickle():
    query = Query(["ケンサク", b"\x83\x5c"], Kind.LITERAL, Fold.IGNORE_KANA, "sjis", max_count=2)
    again = pickle.loads(pickle.dumps(query))
    assert again == query and again is not query
    data = generate(3).encode("cp932")
    hits = list(query.search(data))
    assert len(hits) == 2 and list(again.search(data)) == hits
    assert pickle.loads(pickle.dumps(hits)) == hits
    # The bound too, shown, and kept by hits that travel alone.
    word = Query("abc", bound="word")
    again = pickle.loads(pickle.dumps(word))
    assert again == word != Query("abc") and again.bound is Bound.WORD and "WORD" in repr(again)
    hits = pickle.loads(pickle.dumps(list(word.search(b"abcd abc\nabcd\n"))))
    assert [(hit.number, hit.spans) for hit in hits] == [(1, [(5, 8)])]


class Endless(io.RawIOBase):
    """A gigabyte of lines, one hit in 10,000, made as they are read; counts what was read."""

    def __init__(self, size=1 << 30):
        self.left, self.read_bytes = size, 0
        self.block = ("けんさくの行\n" + "ほかの行\n" * 9999).encode("utf-8")

    def readable(self):
        return True

    def readinto(self, buffer):
        at = self.read_bytes % len(self.block)
        n = min(len(buffer), len(self.block) - at, self.left)
        buffer[:n] = self.block[at:at + n]
        self.left -= n
        self.read_bytes += n
        return n


def test_the_first_hit_of_a_large_stream_comes_before_it_is_read():
    source = Endless()
    hits = Query("けんさく").search(source)
    first = next(hits)
    assert (first.number, first.text) == (1, "けんさくの行")
    assert source.read_bytes < 16 << 20  # not the 500 MB that 4,096 hits would take
    hits.close()  # and the search is let go


def test_no_limit_on_lines_or_patterns():
    long_line = "あ" * 100_000 + "検索"
    data = ("x\n" + long_line + "\ny\n").encode("cp932")
    hits = list(Query("検索").search(data))
    assert [(h.number, h.text) for h in hits] == [(2, long_line)]
    assert hits[0].spans == [(200_000, 200_004)]
    patterns = [f"word{i}" for i in range(500)]
    assert [h.number for h in Query(patterns).search(b"a\nword499\nword77x\n")] == [2, 3]
    assert [h.number for h in Query("").search(b"a\n\nb")] == [1, 2, 3]  # empty selects all
    assert [h.number for h in Query("a ").search(b"a\na b\n")] == [2]  # blanks count


def test_errors_say_what_and_where(tmp_path):
    with pytest.raises(kensaku.PatternError) as raised:
        Query(["ok", "x\ny"])
    assert (raised.value.pattern, raised.value.position) == (1, 1)
    with pytest.raises(FileNotFoundError):
        Query("a").search(tmp_path / "missing.txt")
    with pytest.raises(ValueError, match="unknown encoding"):
        Query("a", encoding="latin-1")
    with pytest.raises(TypeError):
        list(Query("a").search(io.StringIO("a\n")))


FAILING = """
import ctypes, sys
import kensaku
from kensaku import Fold, Kind, Query
shim = ctypes.CDLL(sys.argv[1])
text = "検索する\\nけんさく ｹﾝｻｸ\\nabbbc\\n".encode()

def run():
    query = Query(["けんさく", "ab*c"], kind=Kind.PATTERN, fold=Fold.IGNORE_KANA)
    hits = [(h.number, h.offset, h.line, h.spans) for h in query.search(text)]
    return hits, query.matches("ケンサク"), kensaku.fold_text("けんさく", Fold.IGNORE_WIDTH)

want = run()
for always in (0, 1):
    n, reached = 0, True
    while reached:
        n += 1
        shim.kensaku_test_fail_allocation(n, always)
        try:
            got = run()
        except MemoryError:
            got = None
        reached = shim.kensaku_test_failed_allocations() > 0
        shim.kensaku_test_fail_allocation(0, 0)
        assert got is None or got == want, (n, got)
    assert run() == want
    print(n, end=" ")
"""


@pytest.mark.skipif("KENSAKU_FAIL_ALLOC" not in os.environ, reason="no allocation shim built")
def test_memory_running_out_is_a_memory_error():
    shim = os.environ["KENSAKU_FAIL_ALLOC"]
    module = os.path.dirname(os.path.dirname(kensaku.__file__))
    done = subprocess.run([sys.executable, "-c", FAILING, shim], capture_output=True, text=True,
                          env=dict(os.environ, LD_PRELOAD=shim, PYTHONPATH=module), timeout=300)
    assert done.returncode == 0, done.stderr[-2000:]
    runs = [int(n) for n in done.stdout.split()]
    assert len(runs) == 2 and min(runs) > 10  # every allocation of the run was made to fail


def test_encodings_told_apart_and_folded_text():
    assert [kensaku.detect_encoding("検索です".encode(c)) for c in
            ("cp932", "utf-8", "euc_jp", "iso2022_jp")] == ["sjis", "utf-8", "euc-jp",
                                                          "iso-2022-jp"]
    for text in WORDS:  # where the exports' folds and the folds as read agree
        for flags in (Fold.IGNORE_KANA, Fold.NUMERIC):
            assert kensaku.fold_text(text, flags) == kensaku.legacy.fold(text, flags).decode("cp932")
    assert kensaku.fold_text("ｹ😀", Fold.TO_FULL_WIDTH) == "ケ😀"  # what Shift_JIS lacks stays
    # As read: voicing kept and joined, selectors passed over, every letter and kana
    for text, flags, want in [("ｶﾞｲﾄﾞ ｶｲﾄ", Fold.IGNORE_WIDTH, "ガイド カイト"),
                              ("テ\u3099ータ", Fold.NONE, "データ"),
                              ("葛\U000E0100飾区", Fold.NONE, "葛飾区"),
                              ("ｃｏｌｏｒ αβγ ё", Fold.IGNORE_CASE, "ＣＯＬＯＲ ΑΒΓ Ё"),
                              ("ゔぁいおりん ゕゖ", Fold.IGNORE_KANA, "ヴァイオリン ヵヶ"),
                              ("ﾜﾞ", Fold.IGNORE_WIDTH | Fold.KANA_TO_HIRAGANA, "わ\u3099")]:
        assert kensaku.fold_text(text, flags) == want, text

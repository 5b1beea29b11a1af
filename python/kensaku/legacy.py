"""The older functions, kept for the programs that use them: they follow the rules of the
library's exports (Shift_JIS only, up to 60 patterns, lines cut at 4095 bytes, patterns trimmed)
and run one at a time, since the exports keep their settings for the whole process. A Query
reads every encoding and has none of these limits.

    from kensaku.legacy import search
    for hit in search("notes.sjis.txt", "検索"):
        print(hit.number, hit.line.decode("cp932"))
"""

import contextlib
import ctypes
import os
import re
import tempfile
import threading
from typing import NamedTuple

from . import raw
from ._query import Kind
from .raw import encode

__all__ = ["Hit", "search", "matches", "find", "fold", "equal", "MAX_PATTERNS"]

MAX_PATTERNS = 60  # the library tries no more than these
_FOLD_BITS = 0x7F


class Hit(NamedTuple):
    number: int  # 1-based, as the library counts lines
    line: bytes  # without its LF or CR LF


_FILE_SEARCH = {Kind.PATTERN: "FileLinexMatchMult", Kind.CONJUNCTIVE: "FileLinexMatchsMult",
                Kind.LITERAL: "FileLinexIncMult"}
_LINE_TEST = {Kind.PATTERN: "LinexMatchMult", Kind.CONJUNCTIVE: "LinexMatchsMult",
              Kind.LITERAL: "LinexIncMult"}
_BLANK = re.compile(rb"(?:[ \t\x08]|\x81\x40)*")  # whole characters from the start
_RECORD = re.compile(rb" *([0-9]+) (.*)", re.S)
_calls = threading.RLock()


@contextlib.contextmanager
def _fold_flags(flags):
    flags = int(flags)
    if flags & ~_FOLD_BITS:
        raise ValueError(f"unknown fold flags {flags:#x}")
    previous = raw.xReSet(0)
    raw.xSet(flags)
    try:
        yield
    finally:
        raw.xSet(previous)


def _pattern_list(patterns):
    if isinstance(patterns, (str, bytes, bytearray)):
        patterns = [patterns]
    entries = [encode(pattern) for pattern in patterns]
    if not entries:
        raise ValueError("no pattern given")
    if len(entries) > MAX_PATTERNS:
        raise ValueError(f"at most {MAX_PATTERNS} patterns, not {len(entries)}")
    for entry in entries:
        if b"\r" in entry or b"\n" in entry:
            raise ValueError(f"a pattern cannot hold a line break: {entry!r}")
        # The library passes over a list line that trimming leaves empty: such a pattern
        # would be dropped without a word, so it is refused here instead.
        if _BLANK.fullmatch(entry):
            raise ValueError(f"a pattern cannot be empty or blank: {entry!r}")
    return b"\r\n".join(entries)


def _hits(output):
    records = output.split(b"\n")
    if records[-1] == b"":
        records.pop()
    for record in records:
        parsed = _RECORD.fullmatch(record)
        if parsed is None:
            raise RuntimeError(f"unexpected output of the library: {record[:80]!r}")
        line = parsed.group(2)
        yield Hit(int(parsed.group(1)), line[:-1] if line.endswith(b"\r") else line)


def search(path, patterns, kind=Kind.PATTERN, fold=0):
    """Searches a Shift_JIS file line by line and yields a Hit for each line that one of the
    patterns (a str, bytes, or a list of up to 60 of them) matches: each line once, in file
    order. The search runs when called; the hits are yielded afterwards.

    As in the library, trailing blanks and then one trailing double quote are dropped from
    each pattern, and a line longer than 4095 bytes is read as several lines."""
    kind = Kind(kind)
    listing = _pattern_list(patterns)
    name = raw.encode_path(path)
    with open(name, "rb"):  # a missing or unreadable file raises here, as open() does
        pass
    handle, output = tempfile.mkstemp(prefix="kensaku-", suffix=".txt")
    os.close(handle)
    try:
        with _calls, _fold_flags(fold):
            raw.OutputMode(1)  # whole lines, each once
            raw.LineMode(1)  # with their numbers
            try:
                getattr(raw, _FILE_SEARCH[kind])(name, output, listing)
            finally:
                raw.OutputMode(0)
                raw.LineMode(0)
        with open(output, "rb") as written:
            found = written.read()
    finally:
        os.remove(output)
    return _hits(found)


def matches(line, patterns, kind=Kind.PATTERN, fold=0):
    """True when one of the patterns matches the line (a str or bytes of one line)."""
    kind = Kind(kind)
    listing = _pattern_list(patterns)
    with _calls, _fold_flags(fold):
        return getattr(raw, _LINE_TEST[kind])(encode(line), listing) != 0


def find(line, text, fold=0):
    """The byte offset of the first inclusion of text in line under the folding, or -1."""
    with _calls, _fold_flags(fold):
        return raw.LinexInc(encode(line), encode(text)) - 1


def fold(text, flags):
    """The text with every character folded under the flags, as the library compares it."""
    data = encode(text)
    buffer = ctypes.create_string_buffer(data)
    base = ctypes.addressof(buffer)
    folded = bytearray()
    with _calls, _fold_flags(flags):
        at = 0
        while at < len(data):
            character = ctypes.c_char_p(base + at)
            code, size = raw.xsjis(character), raw.xisbytes(character)
            folded += (code & 0xFFFF).to_bytes(size, "big")
            at += max(raw.isbytes(character), 1)
    return bytes(folded)


def equal(a, b, flags):
    """True when the two texts are the same once folded under the flags."""
    return fold(a, flags) == fold(b, flags)

"""Queries compiled once and searched with from any thread: the reentrant interface."""

import collections
import ctypes
import enum
import os
import threading
from array import array
from itertools import chain, repeat
from operator import itemgetter
from typing import BinaryIO, List, Optional, Sequence, Tuple, Union

from . import _native
from ._native import lib

Source = Union[str, bytes, bytearray, memoryview, os.PathLike, BinaryIO]
_FEED_BYTES = 1 << 20


class Kind(enum.Enum):
    """How the library reads a pattern."""

    PATTERN = "pattern"  # the pattern language: . [a-z] x* #x @ ^ and escapes
    CONJUNCTIVE = "conjunctive"  # terms of the pattern language joined by &, found in order
    LITERAL = "literal"  # the text itself
    REGEX = "regex"  # regular expressions as RE2 reads them, every fold applied
    ROMAJI = "romaji"  # romaji words, found as the kana they type in every script and width
    ROMAJI_CONJUNCTIVE = "romaji_conjunctive"  # romaji words joined by &, found in order


_KIND_CODES = {Kind.PATTERN: 0, Kind.CONJUNCTIVE: 1, Kind.LITERAL: 2, Kind.REGEX: 3,
               Kind.ROMAJI: 4, Kind.ROMAJI_CONJUNCTIVE: 5}
_ROMAJI_KINDS = (Kind.ROMAJI, Kind.ROMAJI_CONJUNCTIVE)


class Bound(enum.Enum):
    """What a match must be bounded by, as the tool's -w and -x."""

    NONE = "none"
    WORD = "word"  # no letter, digit or _ (ASCII or full width) right before or after it
    LINE = "line"  # the line's ends: the match is the whole line


_BOUND_CODES = {Bound.NONE: 0, Bound.WORD: 1, Bound.LINE: 2}


def encoding_code(name: str) -> int:
    """The library's code of an encoding name ("auto", "sjis", "utf-8", "euc-jp", "utf-16le",
    "utf-16be", "iso-2022-jp", or a usual alias such as "cp932" or "jis")."""
    code = lib().encoding_code(name.encode("utf-8", "replace"))
    if code < 0:
        names = ", ".join(_native.encoding_names())
        raise ValueError(f"unknown encoding {name!r}: one of {names}")
    return code


def detect_encoding(data: bytes, complete: bool = True) -> str:
    """The encoding the first bytes of a text say it is in, as the searches tell it:
    "sjis", "utf-8", "euc-jp", "utf-16le", "utf-16be" or "iso-2022-jp". complete: the bytes are
    the whole text."""
    data = bytes(data)
    return _native.encoding_name(lib().detect_encoding(data, len(data), int(complete)))


BINARY_HEAD = 1 << 15  # the bytes a text is told binary from, as the tool tells it


def is_binary(head: bytes, encoding: str = "auto") -> bool:
    """A NUL in the first 32 KiB, as the tool tells a binary file; UTF-16 with a byte-order mark,
    or read as UTF-16 by the query's encoding, is text."""
    if encoding in ("utf-16le", "utf-16be"):
        return False
    return b"\0" in head[:BINARY_HEAD] and not head.startswith((b"\xff\xfe", b"\xfe\xff"))


_GIVEN_AS_UTF8 = ("utf-8", "utf-16le", "utf-16be", "iso-2022-jp")


def _to_utf8(line: bytes, encoding: str) -> bytes:
    if encoding in _GIVEN_AS_UTF8:
        return line
    # Twice the bytes hold most texts (a double-byte character takes three in UTF-8); half-width
    # kana and broken bytes take three each, and a second call.
    return _native.into_bytes(lib().to_utf8, encoding_code(encoding), line, len(line),
                              guess=2 * len(line) + 16)


def _text_spans(line: bytes, encoding: str, spans) -> List[Tuple[int, int]]:
    # Parts begin and end on whole characters, so each piece converts alone.
    found, at, chars = [], 0, 0
    for start, end in spans:
        chars += len(to_text(line[at:start], encoding))
        width = len(to_text(line[start:end], encoding))
        found.append((chars, chars + width))
        at, chars = end, chars + width
    return found


def to_text(line: bytes, encoding: str) -> str:
    """A line as the library reads it, as str (a character it cannot read as U+FFFD)."""
    return _to_utf8(line, encoding).decode("utf-8", "replace")


class HitBatch:
    """The hits of one batch as columns, made without an object per hit: path, encoding (the
    text's), numbers (array of int64), offsets (array of uint64), lines (the lines' bytes one
    after another) and line_ends (array: hit i's line is lines[line_ends[i-1]:line_ends[i]]);
    spans and span_ends likewise (the matched parts as start, end pairs of byte offsets into
    each line) when asked for, otherwise None. len() is the number of hits; iterating yields
    QueryHits."""

    __slots__ = ("path", "encoding", "query", "numbers", "offsets", "lines", "line_ends",
                 "spans", "span_ends")

    def __len__(self):
        return len(self.numbers)

    def __iter__(self):
        return map(tuple.__new__, repeat(QueryHit),
                   zip(repeat(self), self.numbers, self.offsets, self.line_list()))

    def line(self, i: int) -> bytes:
        ends = self.line_ends
        return self.lines[ends[i - 1] if i else 0:ends[i]]

    def line_list(self) -> List[bytes]:
        """Each hit's line."""
        lines, ends = self.lines, self.line_ends
        return [lines[a:b] for a, b in zip(chain((0,), ends), ends)]

    def utf8_lines(self) -> List[bytes]:
        """Each line in UTF-8 bytes, whole (a CR kept), converted a batch at a time."""
        if self.encoding in _GIVEN_AS_UTF8:
            return self.line_list()
        return self.utf8_text()[:-1].split(b"\n") if len(self) else []

    def utf8_text(self) -> bytes:
        """The lines in UTF-8 bytes one after another, each ended by a LF, converted at once."""
        pieces = self.line_list()
        pieces.append(b"")
        text = b"\n".join(pieces)
        if self.encoding in _GIVEN_AS_UTF8:
            return text
        utf8 = _to_utf8(text, self.encoding)
        if utf8.count(b"\n") != len(pieces) - 1:  # a broken character took a LF
            utf8 = b"".join(_to_utf8(piece, self.encoding) + b"\n" for piece in pieces[:-1])
        return utf8

    def texts(self) -> List[str]:
        """Each line as str, as QueryHit.text gives it."""
        if not len(self):
            return []
        texts = self.utf8_text()[:-1].decode("utf-8", "replace").split("\n")
        if len(texts) != len(self.line_ends):
            texts = [to_text(self.line(i), self.encoding) for i in range(len(self.line_ends))]
        return [text[:-1] if text.endswith("\r") else text for text in texts]

    def text_span_lists(self) -> List[List[Tuple[int, int]]]:
        """Each hit's matched parts as (start, end) character offsets into its text."""
        return [_text_spans(self.line(i), self.encoding, spans)
                for i, spans in enumerate(self.span_lists())]

    def span_lists(self) -> List[List[Tuple[int, int]]]:
        """Each hit's matched parts as (start, end) byte offsets into its line."""
        if self.spans is None:
            return [hit.spans for hit in self]
        flat, ends = self.spans, self.span_ends
        pairs = list(zip(flat[::2], flat[1::2]))
        return [pairs[a:b] for a, b in zip(chain((0,), ends), ends)]


class QueryHit(tuple):
    """A selected line: path (None for bytes and file objects), number (1-based), offset (of the
    line's first byte), line (bytes, without its LF, in the text's encoding; UTF-16 and
    ISO-2022-JP are read as UTF-8 and given so; the CR of a CR LF stays), encoding (the text's),
    spans (the matched parts as (start, end) byte offsets into line, found when first asked for;
    none when inverted) and text (line as str).

    A hit is a tuple of its batch and its own values, made and read without a Python call, so
    that thousands of them cost little; it compares, hashes and pickles as its values."""

    __slots__ = ()

    @property
    def path(self) -> Optional[str]:
        return self[0].path

    number = property(itemgetter(1), doc="1-based")
    offset = property(itemgetter(2), doc="of the line's first byte")
    line = property(itemgetter(3), doc="the line's bytes, without its LF")

    @property
    def encoding(self) -> str:
        return self[0].encoding

    @property
    def spans(self) -> List[Tuple[int, int]]:
        query = self[0].query
        if query.invert:
            return []
        return query._spans(self.line, self.encoding)

    @property
    def text_spans(self) -> List[Tuple[int, int]]:
        """The matched parts as (start, end) offsets in characters into text: text[start:end]."""
        return _text_spans(self.line, self.encoding, self.spans)

    @property
    def text(self) -> str:
        """The line as str, without the CR of a CR LF line end."""
        text = to_text(self.line, self.encoding)
        return text[:-1] if text.endswith("\r") else text

    def _values(self):
        return (self.path, self.number, self.offset, self.line, self.encoding)

    def __eq__(self, other):
        return isinstance(other, QueryHit) and self._values() == other._values()

    def __ne__(self, other):
        return not self == other

    def __hash__(self):
        return hash(self._values())

    def __reduce__(self):
        return (_standalone, (*self._values(), self[0].query))

    def __repr__(self):
        return (f"QueryHit(path={self.path!r}, number={self.number}, offset={self.offset}, "
                f"line={self.line!r}, encoding={self.encoding!r})")

    def _replace(self, **changes):
        values = dict(zip(("path", "number", "offset", "line", "encoding"), self._values()))
        values.update(changes)
        return _standalone(**values, query=self[0].query)


def _standalone(path, number, offset, line, encoding, query):
    """A hit of its own, in a batch of one."""
    batch = HitBatch()
    batch.path, batch.encoding, batch.query = path, encoding, query
    batch.numbers, batch.offsets, batch.lines, batch.line_ends = [number], [offset], line, \
        [len(line)]
    batch.spans = batch.span_ends = None
    return tuple.__new__(QueryHit, (batch, number, offset, line))


class Hits(chain):
    """The hits of one search, yielded as the library finds them, a batch at a time; close()
    lets the search go before its end."""

    __slots__ = ("_batches", "binary")

    @classmethod
    def of(cls, batches, binary=False):
        hits = cls.from_iterable(batches)
        hits._batches = batches
        hits.binary = binary  # a binary text whose lines were passed over
        return hits

    def close(self):
        self._batches.close()


class SearchError(RuntimeError):
    """A search that failed part way (a read error)."""


def _raise(error, default=ValueError, filename=None):
    if error.code == _native.E_PATTERN:
        raise PatternError(error.text(), error.pattern, error.position)
    if error.code == _native.E_MEMORY:
        raise MemoryError(error.text())
    if error.code in (_native.E_OPEN, _native.E_READ):
        # "NAME: reason", the reason as strerror says it: the usual OSError subclass.
        reason = error.text().rpartition(": ")[2]
        number = _ERRNO_OF.get(reason)
        if number is not None:
            raise OSError(number, reason, filename)
        raise OSError(error.text())
    raise default(error.text())


_ERRNO_OF = {os.strerror(number): number for number in range(1, 134)}


class PatternError(ValueError):
    """A pattern that cannot be searched for: .pattern (its index) and .position (the byte of
    its UTF-8 or Shift_JIS form at fault)."""

    def __init__(self, message, pattern, position):
        super().__init__(message)
        self.pattern = pattern
        self.position = position


# The latest queries compiled in this process, by their plain data: a query unpickled again and
# again in a worker is compiled there once.
_compiled = collections.OrderedDict()
_compiled_lock = threading.Lock()
_COMPILED_KEPT = 32


class _Handle:
    def __init__(self, pointer, free="query_free"):
        self.pointer = pointer
        self.free = free

    def __del__(self):
        if self.pointer and _native._functions is not None:
            getattr(_native._functions, self.free)(self.pointer)
            self.pointer = None


# Dictionaries read in this process, by path and the file's state: read once, however many
# queries are compiled with one.
_dictionaries = {}


def _dictionary(path: str) -> _Handle:
    state = os.stat(path)
    key = (path, state.st_mtime_ns, state.st_size)
    with _compiled_lock:
        handle = _dictionaries.get(key)
    if handle is None:
        error = _native.Error()
        pointer = lib().dictionary_open(os.fsencode(path), ctypes.byref(error))
        if not pointer:
            _raise(error, filename=path)
        handle = _Handle(pointer, "dictionary_free")
        handle.state = key
        with _compiled_lock:
            for old in [k for k in _dictionaries if k[0] == path]:
                del _dictionaries[old]
            handle = _dictionaries.setdefault(key, handle)
    return handle


class Query:
    """Patterns compiled once, for any number of searches on any threads.

    patterns: a str or bytes, or a sequence of them, any number; str is matched as text in
    every encoding, bytes are Shift_JIS. A pattern is what it is: blanks count, and an empty
    pattern selects every line. kind: Kind.PATTERN, Kind.CONJUNCTIVE, Kind.LITERAL, Kind.REGEX,
    Kind.ROMAJI or Kind.ROMAJI_CONJUNCTIVE (or its name). fold: Fold flags. encoding: of the
    texts searched, "auto" to tell each text's from its first bytes. invert: select the lines
    no pattern matches. max_count: stop after this many selected lines of a text. bound: Bound.WORD or Bound.LINE (or "word", "line") selects a line
    only by a match that is a whole word or the whole line, and its spans are those matches.
    dictionary: the SKK dictionary file the romaji kinds find kanji words in; None for the
    file $KENSAKU_ROMAJI_DICT names (else /usr/share/skk/SKK-JISYO.L, and none when it cannot
    be read), "" for none (kana and the words as typed only). A file that cannot be read is an
    OSError. The other kinds ignore it.

    A Query pickles as its plain data and is compiled again where it is unpickled."""

    def __init__(self, patterns: Union[str, bytes, Sequence[Union[str, bytes]]],
                 kind: Union[Kind, str] = Kind.PATTERN, fold: int = 0,
                 encoding: str = "auto", invert: bool = False,
                 max_count: Optional[int] = None, bound: Union[Bound, str] = Bound.NONE,
                 dictionary: Optional[Union[str, os.PathLike]] = None):
        if isinstance(patterns, (str, bytes, bytearray)):
            patterns = [patterns]
        patterns = tuple(bytes(p) if isinstance(p, (bytearray, memoryview)) else p
                         for p in patterns)
        for p in patterns:
            if not isinstance(p, (str, bytes)):
                raise TypeError(f"a pattern is str or bytes, not {type(p).__name__}")
        self.patterns = patterns
        self.kind = Kind(kind)
        self.fold = int(fold)
        self.encoding = _native.encoding_name(encoding_code(encoding))
        self.invert = bool(invert)
        self.max_count = None if max_count is None else int(max_count)
        self.bound = Bound(bound)
        self.dictionary = None if dictionary is None else os.fspath(dictionary)
        self._handle = self._compile()
        self._span_handle = None

    def _key(self):
        return (self.patterns, self.kind.value, self.fold, self.encoding, self.invert,
                self.max_count, self.bound.value, self.dictionary)

    def _compile(self, spans=False):
        key = self._key() + (spans,)
        dictionary = None
        if self.kind in _ROMAJI_KINDS and self.dictionary is None:
            # its kanji come from the dictionary the environment names
            key += (os.environ.get("KENSAKU_ROMAJI_DICT"),)
        elif self.kind in _ROMAJI_KINDS and self.dictionary:
            dictionary = _dictionary(self.dictionary)
            key += (dictionary.state,)  # a file changed since is read again
        with _compiled_lock:
            handle = _compiled.get(key)
            if handle is not None:
                _compiled.move_to_end(key)
                return handle
        sjis = bool(self.patterns) and all(isinstance(p, bytes) for p in self.patterns)
        texts = [p if isinstance(p, bytes) else p.encode("utf-8", "surrogateescape")
                 for p in self.patterns] if sjis or all(isinstance(p, str) for p in self.patterns) \
            else [(p.decode("cp932") if isinstance(p, bytes) else p).encode("utf-8")
                  for p in self.patterns]
        options = _native.Options()
        lib().query_options_init(ctypes.byref(options))
        options.kind = _KIND_CODES[self.kind]
        options.fold = self.fold
        options.invert = int(self.invert)
        options.max_count = -1 if self.max_count is None else self.max_count
        options.encoding = encoding_code(self.encoding)
        options.pattern_encoding = 1 if sjis else 2
        options.spans = int(spans)  # otherwise a hit finds its spans when asked (QueryHit.spans)
        count = len(texts)
        pointers = (ctypes.c_char_p * max(count, 1))(*texts)
        lengths = (ctypes.c_size_t * max(count, 1))(*map(len, texts))
        error = _native.Error()
        if self.kind in _ROMAJI_KINDS and self.dictionary is not None:
            pointer = lib().query_new_with(pointers, lengths, count, ctypes.byref(options),
                                           _BOUND_CODES[self.bound],
                                           dictionary.pointer if dictionary else None,
                                           ctypes.byref(error))
        else:
            pointer = lib().query_new_bounded(pointers, lengths, count, ctypes.byref(options),
                                              _BOUND_CODES[self.bound], ctypes.byref(error))
        if not pointer:
            _raise(error)
        handle = _Handle(pointer)
        with _compiled_lock:
            handle = _compiled.setdefault(key, handle)
            while len(_compiled) > _COMPILED_KEPT:
                _compiled.popitem(last=False)
            return handle

    def __reduce__(self):
        return (_restore, self._key())

    def __repr__(self):
        return (f"Query({list(self.patterns)!r}, kind={self.kind}, fold={self.fold:#x}, "
                f"encoding={self.encoding!r}, invert={self.invert}, max_count={self.max_count}, "
                f"bound={self.bound}"
                + ("" if self.dictionary is None else f", dictionary={self.dictionary!r}") + ")")

    def __eq__(self, other):
        return isinstance(other, Query) and self._key() == other._key()

    def __hash__(self):
        return hash(self._key())

    def matches(self, line: Union[str, bytes]) -> bool:
        """Whether a pattern matches one line (str, or bytes in the query's encoding, told
        from the line under "auto"), within the bound. Inversion is not applied."""
        code = encoding_code(self.encoding)
        if isinstance(line, str):
            line, code = line.encode("utf-8", "surrogateescape"), encoding_code("utf-8")
        line = bytes(line)
        result = lib().query_match(self._handle.pointer, line, len(line), code, None, 0, None)
        return _matched(result)

    def _spans(self, line: bytes, encoding: str) -> List[Tuple[int, int]]:
        if encoding in ("utf-16le", "utf-16be", "iso-2022-jp"):
            encoding = "utf-8"  # the lines of these are given as UTF-8
        spans = (ctypes.c_uint64 * (2 * len(line) + 2))()
        count = ctypes.c_size_t()
        _matched(lib().query_match(self._handle.pointer, line, len(line), encoding_code(encoding),
                                   spans, len(line) + 1, ctypes.byref(count)))
        flat = spans[:2 * count.value]
        return list(zip(flat[::2], flat[1::2]))

    def search(self, source: Source, path: Optional[str] = None, binary: bool = False) -> Hits:
        """Searches a text and yields a QueryHit for each selected line, as the library finds them.

        source: a file name (str or path object), the text itself (bytes, bytearray,
        memoryview), or a binary file object (read in pieces as the search goes). path is what
        the hits carry as their path (the file name by default). A binary text (a NUL in its
        first 32 KiB, and no UTF-16 byte-order mark) yields no hit, as the tool passes over it,
        and the result's .binary says so; binary=True searches it as text."""
        batches, skipped = self._open(source, path, False, binary)
        return Hits.of(batches, skipped)

    def batches(self, source: Source, path: Optional[str] = None, spans: bool = False,
                binary: bool = False):
        """Searches as search() does, and yields the hits a HitBatch at a time, as columns;
        with spans, each batch holds the matched parts too (found with the lines). The
        generator returns the number of lines read (StopIteration.value)."""
        return self._open(source, path, spans, binary)[0]

    def _open(self, source, path, spans, binary):
        if spans and self._span_handle is None:
            self._span_handle = self._compile(spans=True)
        handle = self._span_handle if spans else self._handle
        if isinstance(source, (str, os.PathLike)):
            name = os.fspath(source)
            if not binary:
                try:
                    with open(name, "rb") as f:
                        if is_binary(f.read(BINARY_HEAD), self.encoding):
                            return iter(()), True
                except OSError:
                    pass  # the library says why it cannot be read, as for any file
            error = _native.Error()
            pointer = lib().search_file(handle.pointer, os.fsencode(name), ctypes.byref(error))
            if not pointer:
                _raise(error, filename=name)
            return self._batches(pointer, handle, name if path is None else path, None, None,
                                 name, spans), False
        if isinstance(source, (bytes, bytearray, memoryview)):
            data = source if isinstance(source, bytes) else bytes(source)
            if not binary and is_binary(data[:BINARY_HEAD], self.encoding):
                return iter(()), True
            error = _native.Error()
            pointer = lib().search_buffer(handle.pointer, data, len(data), ctypes.byref(error))
            if not pointer:
                _raise(error)
            return self._batches(pointer, handle, path, data, None, path, spans), False
        if hasattr(source, "read"):
            head = b""
            if not binary:
                while len(head) < BINARY_HEAD:
                    piece = source.read(BINARY_HEAD - len(head))
                    if piece is None:
                        continue  # a non-blocking stream with nothing yet
                    if not isinstance(piece, (bytes, bytearray, memoryview)):
                        raise TypeError("a file object searched must be binary (open with 'rb')")
                    if not piece:
                        break
                    head += piece
                if is_binary(head, self.encoding):
                    return iter(()), True
            error = _native.Error()
            pointer = lib().search_stream(handle.pointer, ctypes.byref(error))
            if not pointer:
                _raise(error)
            if head:
                lib().search_feed(pointer, head, len(head))
            return self._batches(pointer, handle, path, None, source, path, spans), False
        raise TypeError(f"a source is a file name, bytes or a binary file object, "
                        f"not {type(source).__name__}")

    def _batches(self, pointer, handle, path, data, stream, name, spans):
        """The hits of a search, one HitBatch at a time. handle and data are kept alive while
        the search runs."""
        functions = lib()
        batch = _native.Batch()
        encoding = None
        try:
            while True:
                status = functions.search_next(pointer, ctypes.byref(batch))
                if status == _native.HITS:
                    if encoding is None:
                        encoding = _native.encoding_name(functions.search_encoding(pointer))
                    yield _unpack(batch, path, encoding, self, spans)
                elif status == _native.MORE_INPUT:
                    piece = stream.read(_FEED_BYTES)
                    if piece is None:
                        continue  # a non-blocking stream with nothing yet
                    if not isinstance(piece, (bytes, bytearray, memoryview)):
                        raise TypeError("a file object searched must be binary (open with 'rb')")
                    if len(piece) == 0:
                        functions.search_end_input(pointer)
                    else:
                        functions.search_feed(pointer, bytes(piece), len(piece))
                elif status == _native.DONE:
                    return functions.search_lines(pointer)  # the lines read, for who asks
                else:
                    error = _native.Error()
                    functions.search_error(pointer, ctypes.byref(error))
                    _raise(error, SearchError, filename=name)
        finally:
            functions.search_free(pointer)
            del handle, data


def _matched(result):
    """The answer of kensaku_query_match, or its failure raised."""
    if result == _native.E_MEMORY:
        raise MemoryError("out of memory")
    if result < 0:
        raise ValueError(f"the kensaku library refused the line (error {result})")
    return result == 1


def _column(address, count, kind):
    column = array(kind)
    column.frombytes(ctypes.string_at(address, 8 * count))
    return column


def _unpack(batch, path, encoding, query, spans):
    n = batch.count
    columns = HitBatch()
    columns.path, columns.encoding, columns.query = path, encoding, query
    columns.numbers = _column(batch.numbers, n, "q")
    columns.offsets = _column(batch.offsets, n, "Q")
    columns.line_ends = _column(batch.line_ends, n, "Q")
    columns.lines = ctypes.string_at(batch.lines, columns.line_ends[-1])
    columns.spans = columns.span_ends = None
    if spans:
        columns.span_ends = _column(batch.span_ends, n, "Q")
        columns.spans = _column(batch.spans, 2 * columns.span_ends[-1], "Q")
    return columns


def _restore(patterns, kind, fold, encoding, invert, max_count, bound="none", dictionary=None):
    return Query(patterns, kind, fold, encoding, invert, max_count, bound, dictionary)


def fold_text(text: str, flags: int) -> str:
    """A str with each character folded under the flags as a query compares it; characters
    Shift_JIS lacks stay as they are."""
    data = text.encode("utf-8", "surrogateescape")
    return _native.into_bytes(lib().fold_utf8, data, len(data), int(flags)).decode(
        "utf-8", "surrogateescape")


__all__ = ["Query", "QueryHit", "HitBatch", "Kind", "Bound", "PatternError", "SearchError",
           "detect_encoding", "to_text", "fold_text", "encoding_code"]
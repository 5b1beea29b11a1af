"""kensaku: Japanese-aware search of Shift_JIS, UTF-8, EUC-JP, UTF-16 and ISO-2022-JP text.

    import kensaku
    query = kensaku.Query(["検索", "けんさく"], fold=kensaku.Fold.IGNORE_KANA)
    for hit in query.search("notes.txt"):
        print(hit.number, hit.text)

A Query is compiled once and searches from any number of threads at once, the GIL let go while
the library works; its search yields hits as they are found, from a file, bytes or a binary file
object, with no limit on line length or on the number of patterns. A Query pickles, and
kensaku.dask searches many files and large ones across a Dask cluster with it.

The older Shift_JIS-only functions (search, matches, find, fold, equal) are in kensaku.legacy;
their old names here still work, with a DeprecationWarning. kensaku.raw has the exports one to
one.
"""

import enum
import threading
import warnings

from . import raw
from ._library import LibraryNotFound, find_library
from ._query import (Bound, HitBatch, Kind, PatternError, Query, QueryHit, SearchError,
                     detect_encoding, fold_text, to_text)
from .raw import encode

__all__ = ["Query", "QueryHit", "HitBatch", "Fold", "Kind", "Bound", "PatternError", "SearchError",
           "detect_encoding", "fold_text", "to_text", "encode", "find_library", "LibraryNotFound",
           "raw"]

# The older functions' names, moved to kensaku.legacy; each warns the first time it is taken.
_MOVED = ("Hit", "search", "matches", "find", "fold", "equal", "MAX_PATTERNS")
_warned = set()
_warned_lock = threading.Lock()


def __getattr__(name):
    # The version is the library's, asked for when first wanted: importing loads no library.
    if name == "__version__":
        from ._native import lib
        return lib().version().decode("ascii")
    if name in _MOVED:
        from . import legacy
        with _warned_lock:
            first = name not in _warned
            _warned.add(name)
        if first:
            warnings.warn(f"kensaku.{name} is kensaku.legacy.{name}, the older Shift_JIS-only "
                          f"function; kensaku.Query searches every encoding",
                          DeprecationWarning, stacklevel=2)
        return getattr(legacy, name)
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")


class Fold(enum.IntFlag):
    """Which character differences comparisons ignore (the KENSAKU_FOLD_ bits).

    Query, fold_text and kensaku.dask compare text as its readers see it: either width flag
    ignores width and keeps voicing (ガ equals ｶﾞ, not カ), either case flag every letter's case,
    either kana flag every kana's partner; a kana and its voicing mark are always one character,
    and variation selectors are passed over. kensaku.legacy folds as the exports do."""

    NONE = 0
    KANA_TO_HIRAGANA = 0x01
    KANA_TO_KATAKANA = 0x02  # wins over KANA_TO_HIRAGANA
    TO_UPPER = 0x04  # wins over TO_LOWER
    TO_LOWER = 0x08
    TO_FULL_WIDTH = 0x10
    TO_HALF_WIDTH = 0x20  # to kensaku.legacy: wins over TO_FULL_WIDTH, drops voicing marks
    IGNORE_DIGITS = 0x40  # full-width digits and numeric symbols as ASCII
    IGNORE_VARIANTS = 0x80  # old and variant kanji as the common form (not in kensaku.legacy)
    # The command-line tool's -i, -k, --ignore-width (and --ignore-digits above).
    IGNORE_CASE = TO_UPPER
    IGNORE_KANA = KANA_TO_KATAKANA
    IGNORE_WIDTH = TO_HALF_WIDTH
    NUMERIC = IGNORE_DIGITS  # its older name



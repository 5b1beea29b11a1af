"""Searches across a Dask cluster: many files, and files too large for one task, at once.

    import kensaku, kensaku.dask
    query = kensaku.Query("検索", fold=kensaku.Fold.IGNORE_KANA)
    hits = kensaku.dask.search(["archive/"], query)
    hits.count().compute()                 # counted on the workers
    frame = hits.to_dataframe()            # path, number, offset, text: a dask.dataframe
    hits.compute()                         # the QueryHits, in the order of files and lines

Small files are searched many to a task, about blocksize bytes a task; a larger file is cut at
line ends into blocks of about that size, each a task, whose hits keep the file's own line
numbers (from the line counts of the blocks before alone) and offsets. The query is compiled once
in each worker process (a Query pickles as its plain data). The paths must be readable by every
worker under the same names (a shared file system).

The command-line form takes the options of the tool kensaku where both do the same:

    python3 -m kensaku.dask [--scheduler ADDRESS] [OPTIONS] PATTERN PATH...
"""

import argparse
import logging
import os
import stat
import sys
from itertools import chain
from typing import Iterable, List, Optional

import dask
import dask.bag
from dask.base import tokenize
from dask.highlevelgraph import HighLevelGraph

from ._query import Bound, HitBatch, Kind, PatternError, Query, detect_encoding, is_binary

# Read whole by one task; split only where a LF byte ends every line.
_SPLITTABLE = ("sjis", "utf-8", "euc-jp")
_HEAD = 1 << 15  # what the encoding, and whether a file is binary, is told from
BLOCKSIZE = 64 << 20  # each task costs the scheduler some milliseconds
_WORKERS_WAIT = 30  # seconds the command line waits for a scheduler's first worker


def _message(path: str, error: OSError) -> str:
    reason = error.strerror or str(error)
    return f"kensaku: {path}: {reason}"


class _File:
    """What one task found in one file, or in its block: batches of hits, the lines read (of a
    block) and the message of a failure or of a binary file."""

    __slots__ = ("path", "batches", "message", "lines")

    def __init__(self, path, batches=(), message=None, lines=0):
        self.path, self.batches, self.message, self.lines = path, list(batches), message, lines

    def __len__(self):
        return sum(map(len, self.batches))


class Part:
    """One task's result: the files it searched, in order. Iterating yields their QueryHits;
    len() counts them without making one."""

    __slots__ = ("files",)

    def __init__(self, files):
        self.files = files

    def __iter__(self):
        return chain.from_iterable(chain.from_iterable(f.batches for f in self.files))

    def __len__(self):
        return sum(map(len, self.files))

    @property
    def messages(self) -> List[str]:
        return [f.message for f in self.files if f.message]


def _walk(path: str, found: list) -> None:
    """The files of a folder as the tool's -r meets them: names in sorted order, folders
    entered where they sort; symbolic links and special files met in a tree are passed over."""
    try:
        entries = sorted(os.scandir(path), key=lambda e: os.fsencode(e.name))
    except OSError as error:
        found.append((path, 0, _message(path, error)))
        return
    for entry in entries:
        try:
            if entry.is_symlink():
                continue
            if entry.is_dir(follow_symlinks=False):
                _walk(entry.path, found)
            elif entry.is_file(follow_symlinks=False):
                found.append((entry.path, entry.stat(follow_symlinks=False).st_size, None))
        except OSError as error:
            found.append((entry.path, 0, _message(entry.path, error)))


def _files(paths: Iterable) -> list:
    """(path, size, message) of every file to search, in the order the tool searches them; a
    path that cannot be searched has the reason as its message."""
    found = []
    for path in paths:
        path = os.fspath(path)
        try:
            mode = os.stat(path).st_mode
        except OSError as error:
            found.append((path, 0, _message(path, error)))
            continue
        if stat.S_ISDIR(mode):
            _walk(path, found)
        else:
            found.append((path, os.path.getsize(path) if stat.S_ISREG(mode) else 0, None))
    return found


def _search_file(query: Query, path: str, spans: bool, errors: str, binary: bool) -> _File:
    done = _File(path)
    try:
        for batch in query.batches(path, spans=spans, binary=True):
            done.batches.append(batch)
        if done.batches and not binary:  # only a file with hits is told binary or not
            with open(path, "rb") as f:
                if is_binary(f.read(_HEAD), query.encoding):
                    return _File(path, message=f"kensaku: {path}: binary file matches")
    except OSError as error:
        if errors == "raise":
            raise
        done.message = _message(path, error)
    return done


def _search_group(query: Query, files: list, spans: bool, errors: str, binary: bool) -> Part:
    """Searches small files one after another in one task."""
    done = []
    for path, message in files:
        if message:
            if errors == "raise":
                raise OSError(message)
            done.append(_File(path, message=message))
        else:
            done.append(_search_file(query, path, spans, errors, binary))
    return Part(done)


def _line_start_at_or_after(f, at: int) -> int:
    """Where the first line that starts at or after byte `at` starts (the file's size if none)."""
    if at == 0:
        return 0
    f.seek(at - 1)
    while True:
        piece = f.read(1 << 16)
        if not piece:
            return f.tell()
        lf = piece.find(b"\n")
        if lf >= 0:
            return f.tell() - len(piece) + lf + 1


class _Range:
    """The bytes of an open file from where it stands up to `end`, read in pieces: a block is
    never held whole, and the pieces' memory is used again."""

    def __init__(self, f, end: int):
        self.f, self.left = f, end - f.tell()

    def read(self, size: int = -1) -> bytes:
        size = self.left if size < 0 else min(size, self.left)
        piece = self.f.read(size) if size > 0 else b""
        self.left -= len(piece)
        return piece


def _search_block(query: Query, path: str, start: int, end: int, encoding: str, spans: bool,
                  errors: str) -> Part:
    """The hits of the lines that start in [start, end) of the file, numbered from 1 in the
    block, offsets the file's own; and the lines the block holds."""
    block = Query(query.patterns, query.kind, query.fold, encoding, query.invert, None,
                  query.bound)
    batches = []
    try:
        with open(path, "rb") as f:
            first = _line_start_at_or_after(f, start)
            last = _line_start_at_or_after(f, end)
            f.seek(first)
            found = block.batches(_Range(f, last), path, spans=spans, binary=True)
            while True:
                try:
                    batches.append(next(found))
                except StopIteration as done:
                    lines = done.value  # counted by the library: bytes.count is ten times slower
                    break
    except OSError as error:
        if errors == "raise":
            raise
        # Said once, by the first block.
        return Part([_File(path, message=_message(path, error) if start == 0 else None)])
    for batch in batches:
        batch.offsets = type(batch.offsets)(batch.offsets.typecode,
                                            (offset + first for offset in batch.offsets))
    return Part([_File(path, batches, lines=lines)])


def _lines(part: Part) -> int:
    return part.files[0].lines


def _numbered(part: Part, *lines_before: int) -> Part:
    """The block's hits numbered as the file's lines: a new part, since a task's result may be
    another task's argument too."""
    shift = sum(lines_before)
    if not shift:
        return part
    block = part.files[0]
    batches = []
    for batch in block.batches:
        moved = HitBatch()
        for slot in HitBatch.__slots__:
            setattr(moved, slot, getattr(batch, slot))
        moved.numbers = type(batch.numbers)(batch.numbers.typecode,
                                            (number + shift for number in batch.numbers))
        batches.append(moved)
    return Part([_File(block.path, batches, block.message, block.lines)])


def _encoding_and_binary(path: str, query: Query):
    try:
        with open(path, "rb") as f:
            head = f.read(_HEAD)
    except OSError:
        return None, False  # searched whole, which says why it cannot be read
    encoding = query.encoding if query.encoding != "auto" else \
        detect_encoding(head, complete=len(head) < _HEAD)
    return encoding, is_binary(head, query.encoding)


class Hits(dask.bag.Bag):
    """The hits of a search as a dask.bag.Bag of QueryHits, whose partitions (Part) hold them as
    columns: count() counts them and to_dataframe() makes a dask.dataframe of them without a
    Python object per hit; messages() has the files that could not be searched."""

    spans = False

    def to_dataframe(self, meta=None, columns=None, optimize_graph=True):
        """A dask.dataframe.DataFrame of the hits, one row each, in order: path, number,
        offset (the file's own bytes) and text; when searched with spans, spans (byte offsets into
        the line) and text_spans (character offsets into text). Needs pandas on the client and the workers."""
        import dask.dataframe
        frame = dask.delayed(_frame, pure=True)
        parts = [frame(part, self.spans) for part in self.to_delayed(optimize_graph)]
        return dask.dataframe.from_delayed(parts, meta=_frame(Part([]), self.spans),
                                           verify_meta=False)

    def messages(self) -> dask.bag.Bag:
        """A Bag of the messages of the files that could not be searched, or were binary."""
        return self.map_partitions(lambda part: part.messages)


def _frame(part: Part, spans: bool):
    import numpy
    import pandas
    batches = [b for f in part.files for b in f.batches]

    def column(name, dtype):
        return numpy.concatenate([numpy.frombuffer(getattr(b, name), dtype) for b in batches]) \
            if batches else numpy.empty(0, dtype)
    data = {
        "path": numpy.repeat(numpy.array([b.path for b in batches], dtype=object),
                             [len(b) for b in batches]) if batches else numpy.empty(0, object),
        "number": column("numbers", numpy.int64),
        "offset": column("offsets", numpy.uint64).astype(numpy.int64),
        "text": numpy.array(list(chain.from_iterable(b.texts() for b in batches)), dtype=object),
    }
    if spans:
        for name, method in (("spans", "span_lists"), ("text_spans", "text_span_lists")):
            data[name] = numpy.empty(len(data["number"]), dtype=object)
            data[name][:] = list(chain.from_iterable(getattr(b, method)() for b in batches))
    return pandas.DataFrame(data)


def search(paths, query: Query, blocksize: Optional[int] = BLOCKSIZE, *, spans: bool = False,
           errors: str = "raise", binary: bool = False) -> Hits:
    """The hits of the query in every file (folders are walked as the tool's -r walks them), as
    a Hits bag, in the order of the files and their lines.

    Files are searched about blocksize bytes a task: small ones many to a task, one over 1.5
    times blocksize in blocks when its lines end in LF bytes (Shift_JIS, UTF-8, EUC-JP), the query has no
    max_count and it is not binary; None: each file a task of its own, whole. spans: the
    batches hold the matched parts. errors: "raise" to fail on a file that cannot be read,
    "report" to say so in messages() and search on. binary: False passes over the lines of
    binary files (a NUL in the first 32 KiB), saying "binary file matches" in messages()."""
    if errors not in ("raise", "report"):
        raise ValueError(f"errors is 'raise' or 'report', not {errors!r}")
    group = dask.delayed(_search_group, pure=False)  # tokenizing long lists costs more
    block = dask.delayed(_search_block, pure=True)
    parts, pending, pending_bytes = [], [], 0

    def flush():
        nonlocal pending, pending_bytes
        if pending:
            parts.append(group(query, pending, spans, errors, binary))
        pending, pending_bytes = [], 0

    for path, size, message in _files(paths if not isinstance(paths, (str, os.PathLike))
                                      else [paths]):
        if message and errors == "raise":
            raise OSError(message)
        # A file a little over blocksize is one task: a split costs more tasks than it saves.
        if blocksize and size > blocksize * 3 // 2 and query.max_count is None:
            encoding, binary_file = _encoding_and_binary(path, query)
            if encoding in _SPLITTABLE and (binary or not binary_file):
                flush()
                step = -(-size // -(-size // blocksize))  # blocks of one size, none tiny
                blocks = [block(query, path, at, min(at + step, size), encoding, spans,
                                errors) for at in range(0, size, step)]
                counts = [dask.delayed(_lines, pure=True)(b) for b in blocks[:-1]]
                parts += blocks[:1] + [dask.delayed(_numbered, pure=True)(b, *counts[:i])
                                       for i, b in enumerate(blocks) if i]
                continue
        pending.append((path, message))
        pending_bytes += size
        if not blocksize or pending_bytes >= blocksize:
            flush()
    flush()
    if not parts:
        parts.append(dask.delayed(Part, pure=True)([]))
    # Each partition is a Part as its task made it (from_delayed would copy it into a list).
    name = "kensaku-search-" + tokenize(*parts)
    layer = {(name, i): part.key for i, part in enumerate(parts)}
    hits = Hits(HighLevelGraph.from_collections(name, layer, dependencies=parts), name,
                len(parts))
    hits.spans = spans
    return hits


def _parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="python3 -m kensaku.dask", add_help=False,
        usage="python3 -m kensaku.dask [OPTIONS] PATTERN [PATH...]\n"
              "       python3 -m kensaku.dask [OPTIONS] -e PATTERN... [PATH...]",
        description="Searches files with kensaku on a Dask cluster, folders walked as the "
                    "tool's -r walks them; the tool's options where both do the same. "
                    "Lines are written in UTF-8.")
    add = parser.add_argument
    add("words", nargs="*", metavar="PATTERN PATH", help=argparse.SUPPRESS)
    add("-e", "--regexp", action="append", metavar="PATTERN", help="a pattern; repeatable")
    add("-f", "--file", action="append", metavar="LISTFILE",
        help="patterns from a file, one a line")
    add("-F", "--fixed-strings", action="store_true", help="patterns are literal text")
    add("-E", "--extended-regexp", action="store_true",
        help="patterns are regular expressions, every fold applied")
    add("--romaji", action="store_true",
        help="patterns are romaji, found as the kana they type in every script and width")
    add("--romaji-dict", metavar="FILE",
        help="the SKK dictionary --romaji finds kanji words in (default: $KENSAKU_ROMAJI_DICT, "
             "else /usr/share/skk/SKK-JISYO.L), read by each worker")
    add("--and", action="store_true", dest="conjunctive",
        help="patterns are terms joined by &, all found in this order (with --romaji, words)")
    add("-i", "--ignore-case", action="store_true", help="ignore the case of letters")
    add("-k", "--ignore-kana", action="store_true",
        help="ignore hiragana against katakana")
    add("--ignore-width", action="store_true",
        help="ignore full width against half width (ｶﾞ as ガ; voicing still counts)")
    add("--ignore-digits", action="store_true",
        help="read full-width digits and numeric symbols as ASCII")
    add("--ignore-variants", action="store_true",
        help="read old and variant kanji as the common form (髙 as 高)")
    add("--fold-flags", type=lambda text: int(text, 0), default=0, metavar="N",
        help="the Fold flags (KENSAKU_FOLD_ bits), added to the above")
    add("-v", "--invert-match", action="store_true", help="select the lines that do not match")
    add("-n", "--line-number", action="store_true", help="prefix each line with its number")
    add("-b", "--byte-offset", action="store_true",
        help="prefix each line with its offset in the file")
    add("-H", "--with-filename", action="store_true", default=None,
        help="prefix each line with its file name (default with several paths or a folder)")
    add("-h", "--no-filename", action="store_false", dest="with_filename",
        help="never prefix file names")
    add("-c", "--count", action="store_true", help="print the number of selected lines of each file")
    add("-l", "--files-with-matches", action="store_true",
        help="print only the names of files with a selected line")
    add("-q", "--quiet", action="store_true", help="print nothing")
    add("-s", "--no-messages", action="store_true",
        help="no messages about missing or unreadable files")
    add("-m", "--max-count", type=int, metavar="NUM",
        help="stop reading a file after NUM selected lines")
    add("-a", "--text", action="store_true", help="search binary files as text")
    add("-w", "--word-regexp", action="store_true",
        help="only matches with no letter, digit or _ (ASCII or full-width) right before or after")
    add("-x", "--line-regexp", action="store_true",
        help="only matches of the whole line (wins over -w)")
    add("--encoding", default="auto", help="of the files: auto, sjis, utf-8, euc-jp, ...")
    add("--scheduler", metavar="ADDRESS",
        help="a running scheduler (tcp://host:8786); without it, a local cluster")
    add("--workers", type=int, default=os.cpu_count() or 1,
        help="worker processes of the local cluster")
    add("--blocksize", type=int, default=BLOCKSIZE,
        help="bytes searched by one task: small files grouped, larger ones split")
    add("--help", action="help", help="show this help and exit")
    return parser


def _fold(options) -> int:
    return (options.fold_flags | (0x04 if options.ignore_case else 0)
            | (0x02 if options.ignore_kana else 0) | (0x20 if options.ignore_width else 0)
            | (0x40 if options.ignore_digits else 0) | (0x80 if options.ignore_variants else 0))


def _patterns(options, parser) -> tuple:
    """The patterns, as the tool takes them (a LF in -e text parts patterns, a list file is a
    pattern a line), and the paths."""
    patterns = []
    for text in options.regexp or []:
        patterns += text.split("\n")
    for name in options.file or []:
        with open(name, "rb") as f:
            lines = f.read().split(b"\n")
        if lines[-1] == b"":
            lines.pop()
        patterns += [line.rstrip(b"\r").decode("utf-8", "surrogateescape") for line in lines]
    words = options.words
    if options.regexp is None and options.file is None:
        if not words:
            parser.error("no pattern given")
        patterns, words = words[0].split("\n"), words[1:]
    return patterns, words


def _output(part: Part, options) -> tuple:
    """What the printer writes for one part: stdout bytes (a piece a batch), messages, and the
    (path, count) of each file, made on the worker so that hits never travel one by one."""
    out = []
    prefix_name = options["with_filename"]
    counts = []
    for f in part.files:
        counts.append((f.path, len(f)))
        if options["count"] or options["files"] or options["quiet"]:
            continue
        name = os.fsencode(f.path) + b":" if prefix_name else b""
        for batch in f.batches:
            if not options["number"] and not options["offset"]:
                text = batch.utf8_text()
                # Each line's name is put in by one pass over the batch's text.
                out.append(name + text[:-1].replace(b"\n", b"\n" + name) + b"\n"
                           if name and text else text)
                continue
            lines = batch.utf8_lines()
            if options["number"] and options["offset"]:
                heads = [b"%s%d:%d:" % (name, n, o) for n, o in zip(batch.numbers, batch.offsets)]
            elif options["number"]:
                heads = [b"%s%d:" % (name, n) for n in batch.numbers]
            else:
                heads = [b"%s%d:" % (name, o) for o in batch.offsets]
            out.append(b"".join(chain.from_iterable(zip(heads, lines, [b"\n"] * len(lines)))))
    messages = [(i, f.message) for i, f in enumerate(part.files) if f.message]
    return out, messages, counts


def main(argv=None) -> int:
    parser = _parser()
    options = parser.parse_args(argv)
    try:
        patterns, paths = _patterns(options, parser)
    except OSError as error:
        print(_message(error.filename, error), file=sys.stderr)
        return 2
    if not paths:
        parser.error("no PATH given (standard input is not searched on a cluster)")
    kind = Kind.LITERAL if options.fixed_strings else \
        Kind.REGEX if options.extended_regexp else \
        Kind.ROMAJI_CONJUNCTIVE if options.romaji and options.conjunctive else \
        Kind.ROMAJI if options.romaji else \
        Kind.CONJUNCTIVE if options.conjunctive else Kind.PATTERN
    # The workers read the file the client names, not one their own environment may name.
    dictionary = options.romaji_dict
    if dictionary is None and os.path.isfile(os.environ.get("KENSAKU_ROMAJI_DICT") or ""):
        dictionary = os.environ["KENSAKU_ROMAJI_DICT"]
    try:
        bound = Bound.LINE if options.line_regexp else \
            Bound.WORD if options.word_regexp else Bound.NONE
        query = Query(patterns, kind, _fold(options), options.encoding, options.invert_match,
                      options.max_count, bound, dictionary)
    except (PatternError, ValueError) as error:
        print(f"kensaku: {error}", file=sys.stderr)
        return 2
    except OSError as error:  # the dictionary
        print(f"kensaku: {error}" if error.filename is None else _message(error.filename, error),
              file=sys.stderr)
        return 2
    with_filename = options.with_filename
    if with_filename is None:
        with_filename = len(paths) > 1 or any(os.path.isdir(p) for p in paths)
    shown = {"with_filename": with_filename, "number": options.line_number,
             "offset": options.byte_offset, "count": options.count,
             "files": options.files_with_matches, "quiet": options.quiet}

    from distributed import Client, LocalCluster
    # Failures are this command's own one-line messages; a slow scheduler's dropped connection
    # attempt would otherwise leave asyncio's "Future exception was never retrieved" on stderr.
    logging.getLogger("asyncio").setLevel(logging.CRITICAL)
    cluster = None
    try:
        if not options.scheduler:
            if sys.platform != "win32":
                # Workers forked from a small server start in half the time of spawned ones,
                # and stop at once.
                dask.config.set({"distributed.worker.multiprocessing-method": "forkserver"})
            cluster = LocalCluster(n_workers=options.workers, threads_per_worker=1,
                                   processes=True, dashboard_address=None)
        client = Client(options.scheduler or cluster, timeout="5s")
    except (OSError, TimeoutError, ValueError) as error:
        print(f"kensaku: no Dask scheduler at {options.scheduler}: {error}", file=sys.stderr)
        if cluster is not None:
            cluster.close()
        return 2
    try:
        # A scheduler without workers would keep the tasks waiting for ever.
        client.wait_for_workers(1, timeout=_WORKERS_WAIT)
    except (OSError, TimeoutError):
        print(f"kensaku: no Dask worker at {options.scheduler} after {_WORKERS_WAIT} s",
              file=sys.stderr)
        client.close()
        return 2
    failed = found = False
    out = sys.stdout.buffer
    try:
        with client:
            hits = search(paths, query, options.blocksize or None, errors="report",
                          binary=options.text)
            output = dask.delayed(_output, pure=True)
            parts = hits.to_delayed()
            # Earlier parts first, so that writing in order can start at once.
            futures = [client.compute(output(part, shown), priority=len(parts) - i)
                       for i, part in enumerate(parts)]
            pending_count = None  # (path, count) of a file whose blocks go on in the next part
            for future in futures:
                pieces, messages, counts = future.result()
                future.release()
                out.writelines(pieces)
                for path, count in counts:
                    found = found or count > 0
                    if options.count or options.files_with_matches:
                        if pending_count and pending_count[0] == path:
                            pending_count = (path, pending_count[1] + count)
                            continue
                        _write_count(out, pending_count, options, with_filename)
                        pending_count = (path, count)
                if messages:
                    out.flush()
                for _, message in messages:
                    binary_note = message.endswith(": binary file matches")
                    failed = failed or not binary_note
                    if binary_note or not options.no_messages:
                        print(message, file=sys.stderr, flush=True)
            _write_count(out, pending_count, options, with_filename)
    finally:
        if cluster is not None:
            cluster.close()
    out.flush()
    if options.quiet and found:
        return 0
    return 2 if failed else 0 if found else 1


def _write_count(out, entry, options, with_filename) -> None:
    if entry is None:
        return
    path, count = entry
    if options.files_with_matches:
        if count:
            out.write(os.fsencode(path) + b"\n")
    elif with_filename:
        out.write(os.fsencode(path) + b":%d\n" % count)
    else:
        out.write(b"%d\n" % count)


if __name__ == "__main__":
    sys.exit(main())

"""Searches across a Dask cluster: many files, and files too large for one task, at once.

    import kensaku, kensaku.dask
    query = kensaku.Query("検索", fold=kensaku.Fold.IGNORE_KANA)
    hits = kensaku.dask.search(["archive/"], query, blocksize=64 << 20).compute()

Each task searches one file, or one block of a large file cut at line ends, with the query
compiled once in each worker process (a Query pickles as its plain data; the library is never
sent). Hits are the QueryHits query.search yields, each with its path, and a block's line
numbers and offsets are the file's own. The paths must be readable by every worker under the
same names (a shared file system).

The command-line form, for a running scheduler or a local cluster of processes:

    python3 -m kensaku.dask [--scheduler ADDRESS] [-F] [-i] [-k] [-v] PATTERN PATH...
"""

import argparse
import os
import sys
from typing import Iterable, List, Optional, Tuple

from ._query import Kind, Query, QueryHit, detect_encoding

# Read whole by one task; split only where a LF byte ends every line.
_SPLITTABLE = ("sjis", "utf-8", "euc-jp")
_HEAD = 1 << 15  # what the encoding is told from


def _files(paths: Iterable) -> List[str]:
    found = []
    for path in paths:
        path = os.fspath(path)
        if os.path.isdir(path):
            for root, dirs, names in os.walk(path):
                dirs.sort()
                found.extend(os.path.join(root, name) for name in sorted(names))
        else:
            found.append(path)
    return found


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
        at += len(piece)


def _search_block(path: str, start: int, end: int, query: Query,
                  encoding: str) -> Tuple[List[QueryHit], int]:
    """The hits of the lines that start in [start, end) of the file, numbered from 1 in the block,
    offsets the file's own; and the lines the block holds."""
    with open(path, "rb") as f:
        first = _line_start_at_or_after(f, start)
        last = _line_start_at_or_after(f, end)
        f.seek(first)
        data = f.read(last - first)
    block = Query(query.patterns, query.kind, query.fold, encoding, query.invert, None)
    hits = [hit._replace(offset=hit.offset + first) for hit in block.search(data, path)]
    lines = data.count(b"\n") + (1 if data and not data.endswith(b"\n") else 0)
    return hits, lines


def _numbered(part: Tuple[List[QueryHit], int], *before: Tuple[List[QueryHit], int]):
    shift = sum(lines for _, lines in before)
    return [hit._replace(number=hit.number + shift) for hit in part[0]]


def _search_file(path: str, query: Query) -> List[QueryHit]:
    return list(query.search(path))


def _encoding(path: str, query: Query) -> str:
    if query.encoding != "auto":
        return query.encoding
    with open(path, "rb") as f:
        head = f.read(_HEAD)
    return detect_encoding(head, complete=len(head) < _HEAD)


def search(paths, query: Query, blocksize: Optional[int] = None):
    """A dask.bag.Bag of the hits of the query in every file (folders are walked), in the
    order of the files and their lines. A file larger than blocksize bytes is searched in
    blocks of about that size, each by a task of its own, when its lines end in LF bytes
    (Shift_JIS, UTF-8, EUC-JP) and the query has no max_count; others are searched whole."""
    import dask
    import dask.bag

    parts = []
    for path in _files(paths if not isinstance(paths, (str, os.PathLike)) else [paths]):
        size = os.path.getsize(path)
        encoding = _encoding(path, query) if blocksize and size > blocksize else None
        if encoding not in _SPLITTABLE or query.max_count is not None:
            parts.append(dask.delayed(_search_file, pure=True)(path, query))
            continue
        blocks = [dask.delayed(_search_block, pure=True)(path, at, min(at + blocksize, size),
                                                        query, encoding)
                  for at in range(0, size, blocksize)]
        parts += [dask.delayed(_numbered, pure=True)(block, *blocks[:i])
                  for i, block in enumerate(blocks)]
    return dask.bag.from_delayed(parts) if parts else dask.bag.from_sequence([])


_FOLDS = {"ignore_case": 0x04, "ignore_kana": 0x02, "ignore_width": 0x20}


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(
        prog="python3 -m kensaku.dask",
        description="Search files with kensaku on a Dask cluster; prints FILE:LINE:TEXT.")
    parser.add_argument("pattern")
    parser.add_argument("paths", nargs="+", metavar="PATH")
    parser.add_argument("--scheduler", metavar="ADDRESS",
                        help="a running scheduler (tcp://host:8786); without it, a local cluster")
    parser.add_argument("--workers", type=int, default=os.cpu_count() or 1,
                        help="worker processes of the local cluster")
    parser.add_argument("--blocksize", type=int, default=64 << 20,
                        help="split larger files into blocks of about this many bytes")
    parser.add_argument("-F", "--fixed-strings", action="store_true")
    parser.add_argument("-i", "--ignore-case", action="store_true")
    parser.add_argument("-k", "--ignore-kana", action="store_true")
    parser.add_argument("-W", "--ignore-width", action="store_true")
    parser.add_argument("-v", "--invert-match", action="store_true")
    parser.add_argument("--encoding", default="auto")
    options = parser.parse_args(argv)

    from distributed import Client, LocalCluster

    fold = sum(bit for name, bit in _FOLDS.items() if getattr(options, name))
    query = Query(options.pattern, Kind.LITERAL if options.fixed_strings else Kind.PATTERN,
                  fold, options.encoding, options.invert_match)
    cluster = None
    if not options.scheduler:
        cluster = LocalCluster(n_workers=options.workers, threads_per_worker=1, processes=True,
                               dashboard_address=None)
    found = 0
    out = sys.stdout
    try:
        with Client(options.scheduler or cluster):
            for hit in search(options.paths, query, options.blocksize).compute():
                out.write(f"{hit.path}:{hit.number}:{hit.text}\n")
                found += 1
    finally:
        if cluster is not None:
            cluster.close()
    out.flush()
    return 0 if found else 1


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""The Python module's goals, measured on the corpus (bench/corpus.sh) in one run:

  python_bench.py CORPUS_DIR TOOL [SCRATCH_DIR]

- Query.search over the Shift_JIS corpus against the tool writing the same hits to /dev/null,
  with a rare pattern and with one of about 600,000 hit lines;
- two threads searching two files against one thread searching both;
- kensaku.dask on a local cluster of two worker processes over 64 files against one worker
  process, and against one process without Dask;
- the peak memory of a search of 1 MB and of 1 GB (a child process each, its maximum RSS).

Each time is the best of a few runs. The library is the one the module finds (KENSAKU_LIBRARY).
"""

import os
import re
import subprocess
import sys
import threading
import time

import kensaku

RUNS = 10


def best(run, runs=RUNS):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return min(times)


def count(query, source):
    return sum(1 for _ in query.search(source))


def tool_seconds(tool, args, path):
    def run():
        with open(os.devnull, "wb") as null:
            subprocess.run([tool, "--encoding=sjis", *args, str(path)], stdout=null, check=False)
    return best(run)


def throughput(corpus, tool):
    path = os.path.join(corpus, "corpus-sjis.txt")
    size = os.path.getsize(path)
    print(f"# Query.search against the tool writing the same lines to /dev/null, without and "
          f"with -n (a hit always has its number), on {path} ({size / 1e6:.1f} MB); MB/s")
    print(f"{'search':<24} {'hits':>8} {'tool':>6} {'tool -n':>8} {'Query':>6} {'ratio':>6} "
          f"{'to -n':>6}")
    for name, pattern, kind, args in [("rare, literal 国際化", "国際化", "literal", ["-F"]),
                                      ("600k lines, [のはに]", "[のはに]", "pattern", [])]:
        query = kensaku.Query(pattern, kind=kind, encoding="sjis")
        hits = count(query, path)
        mine = best(lambda: count(query, path))
        plain = tool_seconds(tool, [*args, "-e", pattern], path)
        numbered = tool_seconds(tool, ["-n", *args, "-e", pattern], path)
        print(f"{name:<24} {hits:>8} {size / plain / 1e6:>6.0f} {size / numbered / 1e6:>8.0f} "
              f"{size / mine / 1e6:>6.0f} {plain / mine:>6.2f} {numbered / mine:>6.2f}")


def threads(corpus):
    paths = [os.path.join(corpus, "corpus-sjis.txt"), os.path.join(corpus, "corpus-eucjp.txt")]
    query = kensaku.Query("国際化", kind="literal")

    def each(path):
        for _ in range(5):
            count(query, path)
    one = best(lambda: [each(p) for p in paths])

    def two():
        workers = [threading.Thread(target=each, args=(p,)) for p in paths]
        for w in workers:
            w.start()
        for w in workers:
            w.join()
    both = best(two)
    print(f"\n# two files (Shift_JIS and EUC-JP copies of the corpus), each searched 5 times, "
          f"rare literal")
    print(f"one thread, both files: {one * 1e3:.0f} ms; two threads, one file each: "
          f"{both * 1e3:.0f} ms; ratio {both / one:.2f}")


def sixty_four_files(corpus, scratch):
    """64 files of 64 MB, cut from the corpus at line ends (the corpus read round)."""
    data = open(os.path.join(corpus, "corpus-sjis.txt"), "rb").read()
    data += data
    folder = os.path.join(scratch, "kensaku-64")
    os.makedirs(folder, exist_ok=True)
    piece = 64 << 20
    paths = []
    for i in range(64):
        start = data.index(b"\n", (i * 1_300_007) % (len(data) // 2)) + 1
        end = data.index(b"\n", start + piece) + 1
        path = os.path.join(folder, f"part{i:02}.txt")
        if not os.path.exists(path) or os.path.getsize(path) != end - start:
            with open(path, "wb") as f:
                f.write(data[start:end])
        paths.append(path)
    return paths


def dask_scaling(corpus, scratch):
    import kensaku.dask
    from distributed import Client, LocalCluster

    paths = sixty_four_files(corpus, scratch)
    size = sum(map(os.path.getsize, paths))
    print(f"\n# 64 files, {size / 1e9:.2f} GB: one process, then Dask with 1 and with 2 worker "
          f"processes (a new bag each run, its hits counted on the workers)")
    queries = [("rare literal 国際化", kensaku.Query("国際化", kind="literal", encoding="sjis")),
               ("folded けんさく -k -W", kensaku.Query("けんさく", fold=0x22, encoding="sjis"))]
    local = {name: best(lambda: [count(query, p) for p in paths], 3) for name, query in queries}
    spread = {}
    equal = True
    for workers in (1, 2):
        with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                          dashboard_address=None) as cluster, Client(cluster):
            for name, query in queries:
                kensaku.dask.search(paths, query).count().compute()  # the workers load the library
                spread[name, workers] = best(
                    lambda: kensaku.dask.search(paths, query).count().compute(), 5)
                if workers == 2:
                    hits = kensaku.dask.search(paths, query).compute()
                    equal = equal and hits == [hit for p in paths for hit in query.search(p)]
    for name, _ in queries:
        one, two = spread[name, 1], spread[name, 2]
        print(f"{name:<22} one process {local[name]:.2f} s, Dask 1 worker {one:.2f} s, "
              f"2 workers {two:.2f} s ({size / two / 1e6:.0f} MB/s): 2 against 1 "
              f"{one / two:.2f}, against one process {local[name] / two:.2f}")
    print(f"hits equal to Query.search's: {equal}")


def peak_memory(corpus, scratch):
    data = open(os.path.join(corpus, "corpus-sjis.txt"), "rb").read()
    small = os.path.join(scratch, "kensaku-1mb.txt")
    large = os.path.join(scratch, "kensaku-1gb.txt")
    with open(small, "wb") as f:
        f.write(data[:1 << 20])
    if not os.path.exists(large) or os.path.getsize(large) < 1 << 30:
        with open(large, "wb") as f:
            while f.tell() < 1 << 30:
                f.write(data)
    print("\n# peak memory of Query.search (/usr/bin/time -v, maximum resident set size)")
    code = ("import sys, kensaku; q = kensaku.Query('[のはに]', encoding='sjis'); "
            "print(sum(1 for _ in q.search(sys.argv[1])))")
    for path in (small, large):
        done = subprocess.run(["/usr/bin/time", "-v", sys.executable, "-c", code, path],
                              capture_output=True, text=True)
        peak = re.search(r"Maximum resident set size \(kbytes\): (\d+)", done.stderr).group(1)
        print(f"{os.path.getsize(path) / 1e6:>8.0f} MB: {done.stdout.strip():>9} hits, "
              f"peak {int(peak) / 1024:.1f} MiB")


def main():
    corpus, tool = sys.argv[1], sys.argv[2]
    scratch = sys.argv[3] if len(sys.argv) > 3 else "/tmp"
    print(f"# kensaku {kensaku.__version__}, library {kensaku.raw.library()._name}, "
          f"{os.cpu_count()} cores")
    throughput(corpus, tool)
    threads(corpus)
    dask_scaling(corpus, scratch)
    peak_memory(corpus, scratch)


if __name__ == "__main__":
    main()

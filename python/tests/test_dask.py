"""kensaku.dask on a local cluster of two worker processes: a tree of files and one file split in
blocks give what the local search gives."""
import os
import shutil
import subprocess
import sys
import tempfile

import pytest
from distributed import Client, LocalCluster

import kensaku
import kensaku.dask
from kensaku import Fold, Query
from conftest import SOURCE_DIR
from test_query import PYTHON_CODECS, generate


@pytest.fixture(scope="module")
def client():
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        yield client


def local(paths, query):
    return [hit for path in paths for hit in query.search(path)]


@pytest.fixture(scope="module")
def tree(tmp_path_factory):
    root = tmp_path_factory.mktemp("tree")
    paths = []
    for i, codec in enumerate(["cp932", "utf-8", "euc_jp", "cp932", "iso2022_jp_ext", "utf-8",
                               "utf-16"]):
        folder = root / f"part{i % 2}"
        folder.mkdir(exist_ok=True)
        paths.append(folder / f"file{i}.txt")
        paths[-1].write_bytes(generate(100 + i, 500).encode(codec))
    return root, sorted(paths, key=lambda p: (p.parent.name, p.name))


def test_a_tree_searched_on_the_cluster_gives_the_local_hits(client, tree):
    root, paths = tree
    query = Query(["けんさく", "abc"], fold=Fold.IGNORE_KANA | Fold.IGNORE_WIDTH)
    want = local(map(str, paths), query)
    assert len(want) > 100
    sizes = sorted(p.stat().st_size for p in paths)
    # Whole files a task each, small files grouped by twos and threes, some split too, all in one.
    for blocksize, parts in [(None, len(paths)), (sizes[0] + sizes[1], None),
                             (sizes[0] // 3, None), (kensaku.dask.BLOCKSIZE, 1)]:
        bag = kensaku.dask.search([root], query, blocksize)
        assert parts is None or bag.npartitions == parts
        assert bag.compute() == want, blocksize
        assert bag.count().compute() == len(want)


def test_the_dataframe_holds_the_rows_the_tool_writes(client, tree):
    tool = os.environ.get("KENSAKU_CLI")
    if not tool:
        pytest.skip("KENSAKU_CLI names the command-line tool (set by ctest)")
    root, paths = tree
    for blocksize in (kensaku.dask.BLOCKSIZE, 3000):
        query = Query("けんさく", fold=Fold.IGNORE_KANA)
        frame = kensaku.dask.search([root], query, blocksize, spans=True).to_dataframe()
        assert frame.npartitions > (blocksize == 3000)
        rows = frame.compute()
        done = subprocess.run([tool, "-r", "-n", "-b", "-k", "--output-encoding=utf-8", "けんさく",
                               str(root)], capture_output=True, check=True)
        assert [f"{r.path}:{r.number}:{r.offset}:{r.text}" for r in rows.itertuples()] == \
            done.stdout.decode("utf-8").splitlines()
        assert list(rows.columns) == ["path", "number", "offset", "text", "spans", "text_spans"]
        # The spans found with the lines are those each hit finds alone.
        hits = local(map(str, paths), query)
        assert list(rows.spans) == [h.spans for h in hits]
        assert list(rows.text_spans) == [h.text_spans for h in hits]


@pytest.mark.parametrize("invert", [False, True])
def test_a_large_file_split_in_blocks_keeps_its_numbers_and_offsets(client, tmp_path, invert):
    path = tmp_path / "large.txt"
    path.write_bytes(generate(7, 20000).encode("euc_jp") + "最後の行けんさく".encode("euc_jp"))
    query = Query("けんさく", fold=Fold.IGNORE_KANA, invert=invert)
    bag = kensaku.dask.search([path], query, blocksize=40_000)
    assert bag.npartitions > 10
    hits = bag.compute()
    assert hits == local([str(path)], query)
    data = path.read_bytes()
    assert all(data[hit.offset:hit.offset + len(hit.line)] == hit.line for hit in hits)


def run_cli(client, *args, user=None):
    env = dict(os.environ, PYTHONPATH=str(SOURCE_DIR / "python"), PYTHONIOENCODING="utf-8")
    command = [sys.executable, "-m", "kensaku.dask", "--scheduler", client.scheduler.address,
               *map(str, args)]
    if user:
        command = ["runuser", "-u", user, "--", "env", *(f"{k}={v}" for k, v in env.items()
                                                        if k.startswith(("KENSAKU", "PYTHON"))),
                   *command]
    done = subprocess.run(command, capture_output=True, env=env, cwd="/tmp")
    return done.returncode, done.stdout.decode("utf-8"), done.stderr.decode("utf-8")


def test_the_command_line_form_on_a_running_scheduler(client, tree):
    root, paths = tree
    code, out, err = run_cli(client, "-n", "-k", "--blocksize", "5000", "ケンサク", root)
    assert code == 0, err
    want = [f"{h.path}:{h.number}:{h.text}"
            for h in local(map(str, paths), Query("ケンサク", fold=Fold.IGNORE_KANA))]
    assert out.splitlines() == want
    code, out, err = run_cli(client, "-c", "--blocksize", "5000", "-e", "けんさく", "-e", "abc",
                             *paths[:2])
    assert out.splitlines() == [f"{p}:{len(local([str(p)], Query(['けんさく', 'abc'])))}"
                                for p in paths[:2]]


@pytest.mark.parametrize("options", [
    ["-n", "-k", "けんさく"], ["-c", "-i", "abc"], ["-l", "--ignore-width", "ｹﾝｻｸ"],
    ["-n", "-b", "-h", "-F", "ａｂｃ"], ["-v", "-n", "-m", "3", "日本語"],
    ["--and", "-e", "検索&12", "-e", "テキスト", "--ignore-digits"], ["-q", "表"],
    ["-n", "-f", "{list}"], ["-n", "-w", "-i", "abc"], ["-c", "-x", "-k", "[^x]*"],
    ["-n", "-E", "-k", "(けん|ケン)さ?く|\\p{Han}{2}"],
    ["-n", "--romaji", "--and", "--romaji-dict={dict}", "kensaku&tekisuto"]])
def test_the_options_are_the_tools(client, tree, tmp_path, options, capfdbinary):
    tool = os.environ.get("KENSAKU_CLI")
    if not tool:
        pytest.skip("KENSAKU_CLI names the command-line tool (set by ctest)")
    root, paths = tree
    (tmp_path / "list").write_text("けんさく\nabc\n", encoding="utf-8")
    (tmp_path / "dict").write_text("けんさく /検索/\n", encoding="euc_jp")
    options = [o.replace("{list}", str(tmp_path / "list")).replace("{dict}", str(tmp_path / "dict"))
               for o in options]
    want = subprocess.run([tool, "-r", "--output-encoding=utf-8", *options, str(root)],
                          capture_output=True)
    code = kensaku.dask.main(["--scheduler", client.scheduler.address, "--blocksize", "4000",
                              *options, str(root)])
    out = capfdbinary.readouterr().out
    assert (code, out) == (want.returncode, want.stdout) and (out or "-q" in options)


def test_failures_are_messages_and_the_other_hits_come(client, tree, tmp_path):
    root, paths = tree
    query = Query("検索")
    (tmp_path / "binary").write_bytes("検索\n".encode("utf-8") + b"\0\n")
    code, out, err = run_cli(client, "-n", "--blocksize", "3000", "検索", tmp_path / "missing",
                             paths[0], "/proc/self/mem", tmp_path / "binary", paths[1])
    assert code == 2
    assert out.splitlines() == [f"{h.path}:{h.number}:{h.text}"
                                for h in local(map(str, paths[:2]), query)]
    assert err.splitlines() == [f"kensaku: {tmp_path / 'missing'}: No such file or directory",
                                "kensaku: /proc/self/mem: Input/output error",
                                f"kensaku: {tmp_path / 'binary'}: binary file matches"]
    code, out, err = run_cli(client, "-a", "検索", tmp_path / "binary")
    assert (code, out, err) == (0, "検索\n", "")
    code, out, err = run_cli(client, "a\udcff", root)
    assert code == 2 and out == "" and err.startswith("kensaku: pattern 0, byte 1:")
    with pytest.raises(OSError):
        kensaku.dask.search([tmp_path / "missing"], query)
    with pytest.raises(OSError):
        kensaku.dask.search(["/proc/self/mem"], query).compute()
    hits = kensaku.dask.search([tmp_path, "/proc/self/mem"], query, errors="report")
    assert hits.messages().compute() == [
        f"kensaku: {tmp_path / 'binary'}: binary file matches",
        "kensaku: /proc/self/mem: Input/output error"]


@pytest.mark.skipif(os.geteuid() != 0 or not shutil.which("runuser"),
                    reason="needs root to run the search as nobody")
def test_a_folder_that_cannot_be_read_is_a_message(client, tree):
    root, paths = tree
    shared = tempfile.mkdtemp()
    try:
        os.chmod(shared, 0o755)
        shutil.copy(paths[0], shared + "/a.txt")
        os.mkdir(shared + "/locked", 0)
        code, out, err = run_cli(client, "-c", "検索", shared + "/a.txt", user="nobody")
        if code != 0:  # a checkout in a folder that nobody cannot enter
            pytest.skip(f"nobody cannot run the module here: {err.strip()[-200:]}")
        code, out, err = run_cli(client, "-n", "検索", shared, user="nobody")
        assert code == 2
        assert out.splitlines() == [f"{h.path}:{h.number}:{h.text}"
                                    for h in local([shared + "/a.txt"], Query("検索"))]
        assert err == f"kensaku: {shared}/locked: Permission denied\n"
    finally:
        shutil.rmtree(shared)


def test_every_encoding_is_searched_whole_or_in_blocks(client, tmp_path):
    paths = []
    for i, encoding in enumerate(sorted(PYTHON_CODECS)):
        paths.append(tmp_path / f"{i}.{encoding}")
        bom = {"utf-16le": b"\xff\xfe", "utf-16be": b"\xfe\xff"}.get(encoding, b"")
        paths[-1].write_bytes(bom + generate(i, 2000).encode(PYTHON_CODECS[encoding]))
    query = Query("検索")
    hits = kensaku.dask.search(paths, query, blocksize=8192).compute()
    assert hits == local(map(str, paths), query)
    assert {hit.encoding for hit in hits} == set(PYTHON_CODECS)

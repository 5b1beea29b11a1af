"""kensaku.dask on a local cluster of two worker processes: a tree of files and one file split in
blocks give what the local search gives."""
import os
import subprocess
import sys

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
    for i, codec in enumerate(["cp932", "utf-8", "euc_jp", "cp932", "iso2022_jp_ext", "utf-8"]):
        folder = root / f"part{i % 2}"
        folder.mkdir(exist_ok=True)
        paths.append(folder / f"file{i}.txt")
        paths[-1].write_bytes(generate(100 + i, 500).encode(codec))
    return root, sorted(paths, key=lambda p: (p.parent.name, p.name))


def test_a_tree_searched_on_the_cluster_gives_the_local_hits(client, tree):
    root, paths = tree
    query = Query(["けんさく", "abc"], fold=Fold.IGNORE_KANA | Fold.IGNORE_WIDTH)
    bag = kensaku.dask.search([root], query)
    assert bag.npartitions == len(paths)
    hits = bag.compute()
    assert hits == local(map(str, paths), query) and len(hits) > 100


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


def test_the_command_line_form_on_a_running_scheduler(client, tree):
    root, paths = tree
    env = dict(os.environ, PYTHONPATH=str(SOURCE_DIR / "python"), PYTHONIOENCODING="utf-8")
    done = subprocess.run(
        [sys.executable, "-m", "kensaku.dask", "--scheduler", client.scheduler.address, "-k",
         "--blocksize", "5000", "ケンサク", str(root)], capture_output=True, env=env)
    assert done.returncode == 0, done.stderr.decode(errors="replace")
    want = [f"{h.path}:{h.number}:{h.text}"
            for h in local(map(str, paths), Query("ケンサク", fold=Fold.IGNORE_KANA))]
    assert done.stdout.decode("utf-8").splitlines() == want


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

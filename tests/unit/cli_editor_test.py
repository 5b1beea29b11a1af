#!/usr/bin/python3
"""The tool as editors drive it: --json, --vimgrep and --column against ripgrep's on the UTF-8
copy of a Shift_JIS file, --json read the way an editor reads it, and a hit on a line written
into a pipe printed while the writer keeps the pipe open.

    cli_editor_test.py KENSAKU
"""
import base64
import codecs
import json
import os
import random
import select
import subprocess
import sys
import tempfile
import time
from pathlib import Path

KENSAKU = sys.argv[1]
WORDS = ["検索", "ファイル", "テスト", "abc", "の", "表示", "ソース", "x y", "１２", "能力"]
FILLER = ["です", "ます", "。", "、", "表", "ソ", "能", "a", " ", "ｱｲｳ", "→", "\t"]
failures = 0


def fail(what):
    global failures
    failures += 1
    print(f"FAIL: {what}")


def run(args):
    done = subprocess.run(args, capture_output=True)
    if done.returncode not in (0, 1):
        fail(f"{args}: exit {done.returncode}: {done.stderr.decode(errors='replace')}")
    return done.stdout


def messages(output):
    return [json.loads(line) for line in output.decode("utf-8").split("\n") if line]


def matches(output):
    """What the two tools must agree on: each match's line number, line and submatches."""
    return [(m["data"]["line_number"], m["data"]["lines"],
             [(s["match"], s["start"], s["end"]) for s in m["data"]["submatches"]])
            for m in messages(output) if m["type"] == "match"]


def read_like_an_editor(output, files):
    """A quickfix list, as an editor builds it from the messages: every match's file, line and
    1-based column, its text cut out of the line at the submatch's offsets."""
    entries, open_file, stats = [], None, None
    for message in messages(output):
        kind, data = message["type"], message["data"]
        if kind == "begin":
            open_file = data["path"]["text"]
        elif kind in ("match", "context"):
            assert data["path"]["text"] == open_file, "a line outside its begin and end"
            lines = data["lines"]
            line = (lines["text"].encode("utf-8") if "text" in lines
                    else base64.b64decode(lines["bytes"]))
            for sub in data["submatches"]:
                found = line[sub["start"]:sub["end"]].decode("utf-8")
                assert found == sub["match"]["text"], (found, sub)
                entries.append((open_file, data["line_number"], sub["start"] + 1, found))
        elif kind == "end":
            assert data["path"]["text"] == open_file
            open_file = None
        elif kind == "summary":
            stats = data["stats"]
    assert open_file is None and stats is not None, "no end or no summary"
    assert stats["matches"] == len(entries) and stats["searches"] == files, stats
    return entries


with tempfile.TemporaryDirectory() as folder:
    rng = random.Random(20261208)
    text = "".join("".join(rng.choice(WORDS + FILLER * 3) for _ in range(rng.randint(0, 30)))
                   + ("\r\n" if rng.random() < 0.1 else "\n") for _ in range(3000)) + "末尾の検索"
    sjis, utf8 = Path(folder, "sjis.txt"), Path(folder, "utf8.txt")
    sjis.write_bytes(text.encode("cp932"))
    utf8.write_bytes(text.encode("utf-8"))
    for word in WORDS:
        mine = run([KENSAKU, "--json", "--encoding=sjis", "-F", word, str(sjis)])
        theirs = run(["rg", "--json", "-F", word, str(utf8)])
        if matches(mine) != matches(theirs) or not matches(mine):
            fail(f"--json -F {word}: {len(matches(mine))} matches, ripgrep {len(matches(theirs))}")
        mine = run([KENSAKU, "--vimgrep", "--encoding=sjis", "--output-encoding=utf-8", "-F", word,
                    str(sjis)]).replace(str(sjis).encode(), b"F")
        theirs = run(["rg", "--vimgrep", "-F", word, str(utf8)]).replace(str(utf8).encode(), b"F")
        if mine != theirs:
            fail(f"--vimgrep -F {word}")
        for opts in (["--column"], ["-o", "--column"], ["-o", "--vimgrep"]):
            mine = run([KENSAKU, *opts, "--encoding=sjis", "--output-encoding=utf-8", "-F", word,
                        str(sjis)]).replace(str(sjis).encode(), b"F")
            theirs = run(["rg", *opts, "-F", word, str(utf8)]).replace(str(utf8).encode(), b"F")
            if mine != theirs:
                fail(f"{' '.join(opts)} -F {word}")
    # With context, a broken sequence (as bytes), and two files: read as an editor reads it.
    Path(folder, "broken.txt").write_bytes(b"ok\n\xe3\x81 \xe6\xa4\x9c\xe7\xb4\xa2 x\n")
    output = run([KENSAKU, "--json", "-C1", "--encoding=utf-8", "検索", str(utf8),
                  str(Path(folder, "broken.txt"))])
    entries = read_like_an_editor(output, 2)
    want = [(str(utf8), n, column, "検索") for n, line in enumerate(text.split("\n"), 1)
            for column in [i + 1 for i in range(len(line.encode()))
                           if line.encode()[i:].startswith("検索".encode())]]
    want.append((str(Path(folder, "broken.txt")), 2, 4, "検索"))
    if entries != want:
        fail(f"an editor's reading: {len(entries)} entries, {len(want)} expected")
    if not any('"bytes":' in line for line in output.decode().splitlines()):
        fail("a line that is no UTF-8 is not given as bytes")

    # A binary file that matches counts as a search with a match, as the exit status says; its
    # end tells where its NUL is. The summary's bytes_printed is the sum of the files'.
    Path(folder, "bin.dat").write_bytes(b"zzq\nx\0y\nzzq\n")
    done = subprocess.run([KENSAKU, "--json", "zzq", str(Path(folder, "bin.dat")), str(utf8)],
                          capture_output=True)
    got = messages(done.stdout)
    ends = [m["data"] for m in got if m["type"] == "end"]
    stats = got[-1]["data"]["stats"]
    if (done.returncode != 0 or stats["searches_with_match"] != 1 or stats["searches"] != 2
            or [e["binary_offset"] for e in ends] != [5]
            or b"binary file matches" not in done.stderr):
        fail(f"--json over a binary file: exit {done.returncode}, {stats}, {ends}")
    output = run([KENSAKU, "--json", "-C1", "検索", str(utf8), str(sjis)])
    got = messages(output)
    if sum(m["data"]["stats"]["bytes_printed"] for m in got if m["type"] == "end") != \
            got[-1]["data"]["stats"]["bytes_printed"]:
        fail("the summary's bytes_printed is not the sum of the files'")

    # A Shift_JIS or EUC-JP line with a broken sequence is given as bytes: UTF-8 with the broken
    # bytes as they are, never U+FFFD; the offsets count in those bytes.
    for encoding, broken in (("sjis", b"\x81\x20"), ("euc-jp", b"\xa4 ")):
        line = "検索".encode(encoding) + broken + "検索".encode(encoding)
        Path(folder, "broken").write_bytes(line + b"\n")
        got = [m["data"] for m in messages(run([KENSAKU, "--json", f"--encoding={encoding}", "検索",
                                                 str(Path(folder, "broken"))]))
               if m["type"] == "match"]
        want = "検索".encode() + broken + "検索".encode() + b"\n"
        subs = [(s["start"], s["end"], s["match"].get("text")) for s in got[0]["submatches"]]
        if ("bytes" not in got[0]["lines"] or base64.b64decode(got[0]["lines"]["bytes"]) != want
                or subs != [(0, 6, "検索"), (6 + len(broken), 12 + len(broken), "検索")]):
            fail(f"a broken {encoding} line in --json: {got}")

    # Offsets in the file's own bytes, for files read as transcoded UTF-8 too: -b, -o -b and the
    # JSON offsets against where each encoder put each character, on generated lines.
    rng = random.Random(20261209)
    alphabet = ["a", "検", "索", "x", "ｱ", " ", "表", "ソ", "。", "β", "\U0001F363"]
    # Enough lines that the reader lets go of the first ones before it reads the last.
    lines = ["".join(rng.choice(alphabet) for _ in range(rng.randint(0, 12))) for _ in range(40000)]
    for codec, name, bom in (("utf-16-le", "utf-16le", b"\xff\xfe"),
                             ("utf-16-be", "utf-16be", b"\xfe\xff"),
                             ("iso2022_jp_ext", "iso-2022-jp", b"")):
        encoder = codecs.getincrementalencoder(codec)()
        data, places = bytearray(bom), []  # each line, where it begins, where each character does
        for line in lines:
            if name == "iso-2022-jp":
                line = line.replace("\U0001F363", "")
            begins, starts = 0 if not places else len(data), []
            for c in line:
                piece = encoder.encode(c)
                own = (len(c.encode(codec)) if name != "iso-2022-jp" else
                       1 if ord(c) < 0x80 or 0xFF61 <= ord(c) <= 0xFF9F else 2)
                starts.append(len(data) + len(piece) - own)  # after an escape written first
                data += piece
            data += encoder.encode("\n")
            places.append((line, begins, starts))
        path = Path(folder, "transcoded.txt")
        path.write_bytes(bytes(data))
        want_o = [f"{n}:{starts[i]}:検索" for n, (line, _, starts) in enumerate(places, 1)
                  for i in range(len(line)) if line.startswith("検索", i)]
        want_b = [f"{n}:{begins}:{line}" for n, (line, begins, _) in enumerate(places, 1)
                  if "検索" in line]
        got_o = run([KENSAKU, "-n", "-o", "-b", "検索", str(path)]).decode().splitlines()
        got_b = run([KENSAKU, "-n", "-b", "検索", str(path)]).decode().splitlines()
        got_json = [(m["data"]["line_number"], m["data"]["absolute_offset"], m["data"]["encoding"],
                     [s["source_start"] for s in m["data"]["submatches"]])
                    for m in messages(run([KENSAKU, "--json", "検索", str(path)]))
                    if m["type"] == "match"]
        want_json = [(n, begins, name, [starts[i] - begins for i in range(len(line))
                                        if line.startswith("検索", i)])
                     for n, (line, begins, starts) in enumerate(places, 1) if "検索" in line]
        if got_o != want_o or got_b != want_b or got_json != want_json or not want_o:
            fail(f"offsets in {name}: -o -b {got_o[:2]} against {want_o[:2]}, -b {got_b[:1]} "
                 f"against {want_b[:1]}, --json {got_json[:1]} against {want_json[:1]}")

    # -c, -l and -L write no JSON: refused, with nothing on standard output.
    for opt in ("-c", "-l", "-L"):
        done = subprocess.run([KENSAKU, "--json", opt, "x", str(utf8)], capture_output=True)
        if done.returncode != 2 or done.stdout or b"--json" not in done.stderr:
            fail(f"--json {opt}: exit {done.returncode}")


def seconds_until_printed(process, line):
    """How long a line written into the pipe takes to come out of the tool, at most a second."""
    start = time.monotonic()
    process["pipe"].write(line)
    process["pipe"].flush()
    got = b""
    while b"\n" not in got and time.monotonic() - start < 1:
        ready, _, _ = select.select([process["out"]], [], [], 0.01)
        if ready:
            got += os.read(process["out"].fileno(), 4096)
    return time.monotonic() - start, got


# Each hit of a live pipe as it is written, as a line or as a JSON message.
for options, expect in ((["-n"], lambda n, line: str(n).encode() + b":" + line),
                        (["--json"], lambda n, line: b'{"type":"begin"' if n == 2 else
                         b'{"type":"match","data":{"path":')):
    with tempfile.TemporaryDirectory() as folder:
        fifo = Path(folder, "fifo")
        os.mkfifo(fifo)
        tool = subprocess.Popen([KENSAKU, "--line-buffered", *options, "ERROR", str(fifo)],
                                stdout=subprocess.PIPE)
        with open(fifo, "wb") as pipe:
            process = {"pipe": pipe, "out": tool.stdout}
            seconds_until_printed(process, b"starting\n")
            for n, line in ((2, b"an ERROR here\n"), (4, b"ERROR again\n")):
                taken, got = seconds_until_printed(process, line if n == 2 else b"ok\n" + line)
                if not got.startswith(expect(n, line)) or taken > 0.1:
                    fail(f"a hit in a pipe, {options}: {got!r} after {taken * 1000:.0f} ms")
        tool.wait(timeout=10)

print("cli_editor_test: " + ("all checks passed" if failures == 0 else f"{failures} failed"))
sys.exit(1 if failures else 0)

"""The tool against what grep's and ripgrep's own tests check, case by case (cases.jsonl).

Each case gives the arguments (a shell word list, run in a folder holding the files of
inputs.json, each in the encoding its `_encodings` names or UTF-8), standard input, and the
expected standard output and exit status: grep's or ripgrep's for `same`; for `own`, an option
of the tool's own, what the README promises; the tool's own for `differs`, a deliberate
difference whose `why` the README's table says too; for `mending`, the peers' output that a
change under way is mending, not counted either way (a case that passes is named, to be made
`same`). JSON output is compared as
objects: every field the peer writes must be there with the same value, timings left out; the
tool's own extra fields are allowed. `sorted`: the lines compared in sorted order (a directory's
walk order is grep's own).
  conformance_test.py path/to/kensaku
"""
import json
import os
import pathlib
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent


def subset(want, got):
    if isinstance(want, dict):
        return isinstance(got, dict) and all(k in got and subset(v, got[k]) for k, v in want.items())
    if isinstance(want, list):
        return isinstance(got, list) and len(want) == len(got) and all(
            subset(w, g) for w, g in zip(want, got))
    return want == got


def same_output(case, out):
    want = case["stdout"]
    if isinstance(want, list):  # JSON Lines
        try:
            got = [json.loads(line) for line in out.splitlines()]
        except ValueError:
            return False
        return subset(want, got)
    if case.get("sorted"):
        out = "".join(sorted(out.splitlines(True)))
    return out == want


def main():
    tool = os.path.realpath(sys.argv[1])
    cases = [json.loads(line) for line in (HERE / "cases.jsonl").read_text("utf-8").splitlines()]
    inputs = json.loads((HERE / "inputs.json").read_text("utf-8"))
    encodings = inputs.pop("_encodings")
    env = {k: v for k, v in os.environ.items() if k not in ("GREP_COLORS", "GREP_COLOR", "NO_COLOR")}
    env["LC_ALL"] = "C"
    failed, mended, counts = [], [], {}
    with tempfile.TemporaryDirectory() as work:
        for name, text in inputs.items():
            path = pathlib.Path(work, name)
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(text.encode(encodings.get(name, "utf-8")))
        for case in cases:
            kind = case["kind"]
            counts[kind] = counts.get(kind, 0) + 1
            if kind not in ("same", "own", "differs", "mending"):
                failed.append(f"{case['args']}: no kind '{kind}'")
                continue
            if kind != "same" and not case.get("why"):
                failed.append(f"{case['args']}: a '{kind}' case says no why")
                continue
            done = subprocess.run(["bash", "-c", f"'{tool}' {case['args']}"], cwd=work, env=env,
                                  input=(case["stdin"] or "").encode("utf-8"), capture_output=True,
                                  timeout=30)
            ok = done.returncode == case["status"] and same_output(
                case, done.stdout.decode("latin-1"))
            if kind == "mending":
                if ok:
                    mended.append(case["args"])
            elif not ok:
                failed.append(f"{case['args']} ({case['source']}): exit {done.returncode}, "
                              f"expected {case['status']}\n  got  {done.stdout[:300]!r}\n"
                              f"  want {str(case['stdout'])[:300]!r}")
    for line in failed:
        print("FAIL:", line)
    for args in mended:
        print("now passes, make it 'same':", args)
    print(f"{len(cases)} cases ({', '.join(f'{n} {k}' for k, n in sorted(counts.items()))}), "
          f"{len(failed)} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

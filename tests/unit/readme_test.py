"""The READMEs keep in step with the tool: the option tables of README.md and README.ja.md name
the options `kensaku --help` lists and no others, and the quick start, the same in both, runs
from a source tree where `make demo` has built the tool.
  readme_test.py SOURCE_DIR path/to/kensaku
"""
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

NAME = re.compile(r"(?<![\w-])(--[a-z][\w-]*|-[A-Za-z])(?![\w])")


def help_options(tool):
    """Each option of --help as the set of its names (short, long)."""
    text = subprocess.run([tool, "--help"], capture_output=True, text=True, check=True).stdout
    options = []
    for line in text.splitlines():
        indent = len(line) - len(line.lstrip())
        if not 2 <= indent <= 6 or not line.lstrip().startswith("-"):
            continue
        names = re.split(r" {2,}", line.strip())[0]
        options.append(set(NAME.findall(names)))
    return options


def table_names(path, header):
    """The option names in the first column of the tool's table, but for the row of options
    that are not offered."""
    lines = path.read_text("utf-8").splitlines()
    start = lines.index(header)
    names = set()
    for line in lines[start + 2:]:
        if not line.startswith("|"):
            break
        cells = [c.strip() for c in re.split(r"(?<!\\)\|", line)[1:-1]]
        if "only" in cells[1] or "のみ" in cells[1]:
            continue
        names |= set(NAME.findall(cells[0]))
    return names


def example(path, name):
    m = re.search(rf"<!-- example: {name} -->\n```\w*\n(.*?)```", path.read_text("utf-8"), re.S)
    assert m, f"{path.name} has no example {name!r}"
    return m.group(1)


def main():
    source, tool = pathlib.Path(sys.argv[1]), str(pathlib.Path(sys.argv[2]).resolve())
    failures = []
    options = help_options(tool)
    every = set().union(*options)
    if len(options) < 30:
        failures.append(f"--help lists only {len(options)} options")
    tables = {"README.md": table_names(source / "README.md", "| kensaku | grep | Notes |"),
              "README.ja.md": table_names(source / "README.ja.md", "| kensaku | grep | 説明 |")}
    for readme, names in tables.items():
        for names_of_one in options:
            if not names_of_one & names:
                failures.append(f"{readme} does not name {' / '.join(sorted(names_of_one))}")
        for name in sorted(names - every):
            failures.append(f"{readme} names {name}, which --help does not list")
    if tables["README.md"] != tables["README.ja.md"]:
        failures.append("README.md and README.ja.md name different options: "
                        f"{sorted(tables['README.md'] ^ tables['README.ja.md'])}")

    quick = example(source / "README.md", "quickstart")
    if quick != example(source / "README.ja.md", "quickstart"):
        failures.append("the quick starts of README.md and README.ja.md differ")
    steps = quick.splitlines()
    if len(steps) != 5 or steps[0] != "make demo":
        failures.append("the quick start is not `make demo` and four more lines")
    with tempfile.TemporaryDirectory() as work:
        shutil.copytree(source / "samples", pathlib.Path(work, "samples"),
                        ignore=shutil.ignore_patterns("host"))
        pathlib.Path(work, "build/linux").mkdir(parents=True)
        pathlib.Path(work, "build/linux/kensaku").symlink_to(tool)
        done = subprocess.run(["bash", "-e", "-c", "\n".join(steps[1:])], cwd=work,
                              capture_output=True)
        out = done.stdout.decode("utf-8", errors="replace") + done.stdout.decode(
            "cp932", errors="replace")
        if done.returncode != 0:
            failures.append(f"the quick start fails: {done.stderr.decode(errors='replace')}")
        for want in ("検索ライブラリ", "「ケンサク」", "1:ファイルの設定", "2:ﾌｧｲﾙ名"):
            if want not in out:
                failures.append(f"the quick start does not print {want}")
    for f in failures:
        print("FAIL:", f)
    print(f"{len(options)} options, quick start run: {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

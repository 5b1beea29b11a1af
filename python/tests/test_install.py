"""pip installs the module offline; the installed copy finds the library beside itself; the
README's example runs."""
import os
import re
import shutil
import subprocess
import sys

import kensaku
import kensaku.dask
from kensaku import _library
from conftest import SOURCE_DIR


def readme_example(name):
    text = (SOURCE_DIR / "README.md").read_text(encoding="utf-8")
    found = re.search(rf"<!-- example: {re.escape(name)} -->\n```\w*\n(.*?)```", text, re.S)
    assert found, f"README.md has no example {name!r}"
    return found.group(1)


def python(code, env, cwd=None):
    env = dict(env, PYTHONIOENCODING="utf-8", PYTHONDONTWRITEBYTECODE="1")
    done = subprocess.run([sys.executable, "-c", code], env=env, cwd=cwd, capture_output=True)
    assert done.returncode == 0, done.stderr.decode(errors="replace")
    return done.stdout.decode("utf-8").splitlines()


def test_the_readme_example_prints_the_line_it_finds(sample):
    env = dict(os.environ, PYTHONPATH=str(SOURCE_DIR / "python"))
    third = sample.read_bytes().split(b"\r\n")[2].decode("cp932")
    assert python(readme_example("python"), env, cwd=SOURCE_DIR) == [f"3 {third}"]


def test_the_readme_dask_example_prints_the_hits_of_the_samples(tmp_path, monkeypatch):
    script = tmp_path / "example.py"
    script.write_text(readme_example("dask"), encoding="utf-8")
    env = dict(os.environ, PYTHONPATH=str(SOURCE_DIR / "python"), PYTHONIOENCODING="utf-8")
    done = subprocess.run([sys.executable, str(script)], env=env, cwd=SOURCE_DIR,
                          capture_output=True)
    assert done.returncode == 0, done.stderr.decode(errors="replace")
    monkeypatch.chdir(SOURCE_DIR)
    query = kensaku.Query("けんさく", fold=kensaku.Fold.IGNORE_KANA)
    want = [f"{hit.path} {hit.number}" for path, _, _ in kensaku.dask._files(["samples"])
            for hit in query.search(path)]
    assert done.stdout.decode("utf-8").splitlines() == want and want


def test_pip_installs_it_offline_with_the_library_it_builds(tmp_path):
    # A copy of the source tree as a clone has it: pip builds the library there with CMake.
    source, target = tmp_path / "source", tmp_path / "site"
    shutil.copytree(SOURCE_DIR, source, symlinks=True, ignore=shutil.ignore_patterns(
        ".git", "build", "*.egg-info", "__pycache__", ".pytest_cache"))
    done = subprocess.run(
        [sys.executable, "-m", "pip", "install", "--no-build-isolation", "--no-index",
         "--no-deps", "--target", str(target), str(source / "python")], capture_output=True)
    assert done.returncode == 0, done.stderr.decode(errors="replace")
    assert not (target / "tests").exists()
    assert (target / "kensaku" / "py.typed").is_file()

    beside = target / "kensaku" / _library.LIBRARY_NAMES[0]
    env = {k: v for k, v in os.environ.items() if k != "KENSAKU_LIBRARY"}
    env["PYTHONPATH"] = str(target)
    code = ("import kensaku; print(kensaku.__file__); print(kensaku.raw.library()._name); "
            "print(kensaku.raw.LinexMatch('abbbc', 'ab*c')); "
            "print([h.number for h in kensaku.Query('b').search(b'a\\nb\\n')])")
    assert python(code, env, cwd=tmp_path) == [
        str(target / "kensaku" / "__init__.py"), str(beside), "1", "[2]"]


def test_a_python_that_cannot_build_a_wheel_is_told_which_to_use(tmp_path):
    blocked = tmp_path / "wheel"
    blocked.mkdir()
    (blocked / "__init__.py").write_text("raise ImportError('no wheel here')\n")
    env = dict(os.environ, PYTHONPATH=str(tmp_path))
    done = subprocess.run([sys.executable, "setup.py", "dist_info"], cwd=SOURCE_DIR / "python",
                          env=env, capture_output=True, text=True)
    assert done.returncode == 1
    assert "cannot build a wheel" in done.stderr and "/usr/bin/python3" in done.stderr

"""Builds the module with its own copy of the kensaku library, so that `pip install ./python`
from the source tree is all a user needs: the library is built with CMake from the tree around
this folder (or taken from KENSAKU_BUILD_LIBRARY, a library built already) and installed beside
the module, where the module looks first."""

import os
import re
import shutil
import struct
import subprocess
import sys
from pathlib import Path

from setuptools import setup
from setuptools.command.build_py import build_py
from setuptools.dist import Distribution

HERE = Path(__file__).resolve().parent
SOURCE = HERE.parent
# The name the module looks for (kensaku._library.library_names): on Windows, the DLL of this
# Python's width.
if sys.platform == "win32":
    LIBRARY = "kensaku64.dll" if struct.calcsize("P") == 8 else "kensaku.dll"
else:
    LIBRARY = "libkensaku.so.1"


def version():
    """The library's version, from the one place it is written."""
    header = (SOURCE / "include" / "kensaku_search.h").read_text(encoding="utf-8")
    parts = [re.search(rf"#define KENSAKU_VERSION_{part} (\d+)", header).group(1)
             for part in ("MAJOR", "MINOR", "PATCH")]
    return ".".join(parts)


def build_library(build_dir):
    if not (SOURCE / "CMakeLists.txt").is_file():
        sys.exit(f"no kensaku source tree around {HERE}: install from it, or set "
                 "KENSAKU_BUILD_LIBRARY to a built library")
    subprocess.run(["cmake", "-S", str(SOURCE), "-B", str(build_dir), "-DCMAKE_BUILD_TYPE=Release",
                    "-DKENSAKU_BUILD_TESTS=OFF", "-DKENSAKU_BUILD_BENCH=OFF"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(build_dir), "--target", "kensaku",
                    "-j", str(os.cpu_count() or 1)], check=True, stdout=subprocess.DEVNULL)
    return build_dir / LIBRARY


class BuildWithLibrary(build_py):
    def run(self):
        super().run()
        library = os.environ.get("KENSAKU_BUILD_LIBRARY")
        built = Path(library) if library else build_library(Path(self.build_lib).parent / "cmake")
        shutil.copy(built, Path(self.build_lib) / "kensaku" / LIBRARY)  # the file, not a link


class BinaryDistribution(Distribution):
    """A wheel of this machine's kind: it holds a compiled library."""

    def has_ext_modules(self):
        return True


def require_wheel():
    """pip makes a wheel (and its metadata with dist_info): before 70.1 setuptools needs the wheel
    package for that, which a Python of one's own often lacks, and then says only "invalid
    command 'bdist_wheel'"."""
    if not {"bdist_wheel", "dist_info"} & set(sys.argv[1:]):
        return
    try:
        import setuptools.command.bdist_wheel  # noqa: F401 (setuptools 70.1 and later)
        return
    except ImportError:
        pass
    try:
        import wheel  # noqa: F401
    except ImportError:
        sys.exit(f"kensaku: this Python ({sys.executable}) cannot build a wheel: its setuptools "
                 "needs the 'wheel' package, which it lacks. Install with Debian's "
                 "/usr/bin/python3 (apt-get install python3-setuptools python3-wheel), or add "
                 "'wheel' to this Python first.")


require_wheel()
setup(version=version(), cmdclass={"build_py": BuildWithLibrary}, distclass=BinaryDistribution)

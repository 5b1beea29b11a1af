"""Finding and loading the kensaku shared library (libkensaku.so.1, or on Windows kensaku.dll or
kensaku64.dll)."""

import ctypes
import ctypes.util
import os
import struct
import sys
import sysconfig
from pathlib import Path

ENVIRONMENT_VARIABLE = "KENSAKU_LIBRARY"
ON_WINDOWS = sys.platform == "win32"


def library_names(windows=ON_WINDOWS, pointer_size=None):
    """The run-time names of the library: the SONAME on Linux; on Windows the DLL a process of
    the interpreter's width can load, kensaku64.dll in a 64-bit one, kensaku.dll in a 32-bit one."""
    if not windows:
        return ("libkensaku.so.1", "libkensaku.so")
    pointer_size = struct.calcsize("P") if pointer_size is None else pointer_size
    return ("kensaku64.dll",) if pointer_size == 8 else ("kensaku.dll",)


LIBRARY_NAMES = library_names()


class LibraryNotFound(OSError):
    """No kensaku library where it was looked for."""


def _prefix_dirs(prefixes):
    multiarch = sysconfig.get_config_var("MULTIARCH")
    for prefix in prefixes:
        prefix = Path(prefix)
        if ON_WINDOWS:
            yield from (prefix / "bin", prefix)
        else:
            if multiarch:
                yield prefix / "lib" / multiarch
            yield prefix / "lib"


def default_prefixes():
    """The installed prefixes looked in: Python's own, then the usual system ones."""
    prefixes = [sys.prefix, sys.base_prefix]
    if not ON_WINDOWS:
        prefixes += ["/usr/local", "/usr"]
    return list(dict.fromkeys(prefixes))


def find_library(environ=None, module_dir=None, prefixes=None, names=None):
    """The library to load, in this order: the file (or the folder holding it) that
    KENSAKU_LIBRARY names, the library next to this module, the library in an installed
    prefix, and last whatever the system's loader knows by name. names: the file names looked
    for, LIBRARY_NAMES by default."""
    environ = os.environ if environ is None else environ
    module_dir = Path(__file__).parent if module_dir is None else Path(module_dir)
    prefixes = default_prefixes() if prefixes is None else prefixes
    names = LIBRARY_NAMES if names is None else names

    named = environ.get(ENVIRONMENT_VARIABLE)
    if named:
        path = Path(named)
        if path.is_dir():
            for name in names:
                if (path / name).is_file():
                    return str(path / name)
        elif path.is_file():
            return str(path)
        # A wrong setting is an error, never a reason to load some other copy.
        raise LibraryNotFound(f"{ENVIRONMENT_VARIABLE}={named}: no kensaku library there")

    for directory in [module_dir, *_prefix_dirs(prefixes)]:
        for name in names:
            if (directory / name).is_file():
                return str(directory / name)

    # Windows' loader knows the DLL by its file name; elsewhere by the library's name.
    found = ctypes.util.find_library(Path(names[0]).stem if names[0].endswith(".dll") else "kensaku")
    if found:
        return found
    raise LibraryNotFound(
        f"no kensaku library ({', '.join(names)}) next to {module_dir}, in "
        f"{', '.join(map(str, prefixes))} or on the loader's path; set {ENVIRONMENT_VARIABLE}")


def load(path=None):
    """Loads the library: WinDLL on Windows, where every export is stdcall; CDLL elsewhere."""
    path = find_library() if path is None else path
    loader = ctypes.WinDLL if ON_WINDOWS else ctypes.CDLL
    try:
        return loader(path)
    except OSError as error:
        if ON_WINDOWS and getattr(error, "winerror", None) == 193:  # ERROR_BAD_EXE_FORMAT
            raise OSError(f"{path} is not a DLL for a {8 * struct.calcsize('P')}-bit process: "
                          f"load {LIBRARY_NAMES[0]} ({error})") from error
        raise

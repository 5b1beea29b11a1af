"""The exports of kensaku.h one to one, with their arguments converted.

Texts are NUL-terminated Shift_JIS byte strings: bytes pass as they are, str is encoded to
CP932, None is passed as a null pointer. File names are bytes, or str and path objects in the
file-system encoding (the ANSI code page on Windows). Text results are returned as bytes (a
copy, so later calls cannot change them) or None. The library is loaded on first use.
"""

import ctypes
import os
import threading

from . import _library

_lock = threading.Lock()
_loaded = None
_bound = {}


def encode(text):
    """text as the library's bytes: str encoded to CP932; no NUL byte inside."""
    if isinstance(text, str):
        try:
            data = text.encode("cp932")
        except UnicodeEncodeError as error:
            raise UnicodeEncodeError(
                "cp932", text, error.start, error.end,
                f"{text[error.start]!r} has no Shift_JIS (code page 932) form") from None
    elif isinstance(text, (bytes, bytearray, memoryview)):
        data = bytes(text)
    else:
        raise TypeError(f"a kensaku text is str or bytes, not {type(text).__name__}")
    if b"\0" in data:
        raise ValueError("a kensaku text cannot hold a NUL byte")
    return data


def encode_path(path):
    """A file name as the library's char* wants it."""
    if isinstance(path, (bytes, bytearray)):
        data = bytes(path)
    else:
        path = os.fspath(path)
        if isinstance(path, bytes):
            data = path
        elif _library.ON_WINDOWS:
            data = path.encode("mbcs", "strict")
        else:
            data = os.fsencode(path)
    if b"\0" in data:
        raise ValueError("a file name cannot hold a NUL byte")
    return data


def _text_argument(value):
    if value is None or isinstance(value, ctypes.c_char_p):  # a pointer into a buffer
        return value
    return encode(value)


def _path_argument(value):
    return None if value is None else encode_path(value)


class _Text:
    """A text argument (char*)."""


class _Path:
    """A file name argument (char*)."""


_CONVERT = {_Text: _text_argument, _Path: _path_argument}

_int, _uint, _text, _path = ctypes.c_int, ctypes.c_uint, _Text, _Path
_window, _intptr, _uintptr = ctypes.c_void_p, ctypes.c_ssize_t, ctypes.c_size_t
_result_text = ctypes.c_char_p  # copied into bytes by ctypes

# name: (result, arguments), in the order of kensaku.h.
SIGNATURES = {
    "xSet": (_int, [_int]),
    "xSetor": (_int, [_int]),
    "xReSet": (_int, [_int]),
    "OutputMode": (_int, [_int]),
    "LineMode": (_int, [_int]),
    "sjis": (_int, [_text]),
    "jis": (_int, [_text]),
    "isbytes": (_int, [_text]),
    "xsjis": (_int, [_text]),
    "xisbytes": (_int, [_text]),
    "LinexHeadinc": (_int, [_text, _text]),
    "LinexInc": (_int, [_text, _text]),
    "LinexIncMult": (_int, [_text, _text]),
    "LinexHeadMatch": (_int, [_text, _text]),
    "LinexMatch": (_int, [_text, _text]),
    "LinexMatchMult": (_int, [_text, _text]),
    "LinexMatchs": (_int, [_text, _text]),
    "LinexMatchsMult": (_int, [_text, _text]),
    "FileLinexIncMult": (_int, [_path, _path, _text]),
    "FileLinexMatchMult": (_int, [_path, _path, _text]),
    "FileLinexMatchsMult": (_int, [_path, _path, _text]),
    "xIncMult": (_result_text, [_path, _text]),
    "xMatchsMult": (_result_text, [_path, _text]),
    "FileNoSize": (_int, [_path]),
    "FileRemove": (_int, [_path]),
    "FoutputStr": (_int, [_path, _text]),
    "FoutputFormatStr": (_int, [_path, _text, _int]),
    "OpenShell": (_int, [_path, _text]),
    "Msg": (_int, [_text]),
    "Msgi": (_int, [_int]),
    "QFileView": (_int, [_path]),
    "QView": (_int, [_text, _text]),
    "QViewNextIsOpen": (_int, []),
    "QSelectionWinClose": (_int, []),
    "QSelectionProc": (_intptr, [_window, _uint, _uintptr, _intptr]),
    "QViewWinsProc": (_intptr, [_window, _uint, _uintptr, _intptr]),
    "QInputMain": (_window, []),
    "QInputSub": (_window, [_int]),
    "QFindData": (_int, [_path, _text, _int, _int]),
    "QFileName": (_int, [_path]),
    "QFindStart": (_window, []),
    "QInputBoxIcon": (_int, []),
    "QInputBoxClose": (_int, []),
}


def library():
    """The loaded library (found as kensaku._library.find_library describes)."""
    global _loaded
    with _lock:
        if _loaded is None:
            _loaded = _library.load()
        return _loaded


def available():
    """The exports that the loaded library has; a build may not have every one yet."""
    lib = library()
    return [name for name in SIGNATURES if hasattr(lib, name)]


def _bind(name):
    result, arguments = SIGNATURES[name]
    lib = library()
    try:
        function = getattr(lib, name)
    except AttributeError:
        raise AttributeError(f"the kensaku library {lib._name} has no export {name}") from None
    function.restype = result
    function.argtypes = [ctypes.c_char_p if a in _CONVERT else a for a in arguments]
    # Converted here rather than in from_param, so that errors keep their own type.
    convert = [_CONVERT.get(a, lambda value: value) for a in arguments]

    def call(*args):
        if len(args) != len(convert):
            raise TypeError(f"{name}() takes {len(convert)} arguments ({len(args)} given)")
        return function(*(c(a) for c, a in zip(convert, args)))

    call.__name__ = call.__qualname__ = name
    return call


def __getattr__(name):
    if name not in SIGNATURES:
        raise AttributeError(f"module {__name__!r} has no attribute {name!r}")
    function = _bound.get(name)
    if function is None:
        function = _bound[name] = _bind(name)
    return function


def __dir__():
    return sorted(list(globals()) + list(SIGNATURES))

"""The reentrant interface of kensaku_search.h through ctypes, bound on first use.

ctypes lets go of the GIL for every call into the library, so that searches on several Python
threads run at once.
"""

import ctypes
import threading

from . import raw

# kensaku_search.h
HITS, DONE, MORE_INPUT = 1, 0, 2
E_ARGUMENT, E_PATTERN, E_OPEN, E_READ, E_MEMORY, E_STATE = -1, -2, -3, -4, -5, -6


class Error(ctypes.Structure):
    _fields_ = [("code", ctypes.c_int), ("pattern", ctypes.c_size_t),
                ("position", ctypes.c_size_t), ("message", ctypes.c_char * 256)]

    def text(self):
        return self.message.decode("utf-8", "replace")


class Options(ctypes.Structure):
    _fields_ = [("kind", ctypes.c_int), ("fold", ctypes.c_uint), ("invert", ctypes.c_int),
                ("max_count", ctypes.c_int64), ("encoding", ctypes.c_int),
                ("pattern_encoding", ctypes.c_int), ("spans", ctypes.c_int)]


class Batch(ctypes.Structure):
    _fields_ = [("count", ctypes.c_size_t), ("numbers", ctypes.c_void_p),
                ("offsets", ctypes.c_void_p), ("lines", ctypes.c_void_p),
                ("line_ends", ctypes.c_void_p), ("spans", ctypes.c_void_p),
                ("span_ends", ctypes.c_void_p)]


_P = ctypes.c_void_p
_SIZE = ctypes.c_size_t
_PROTOTYPES = {
    "kensaku_version": (ctypes.c_char_p, []),
    "kensaku_query_options_init": (None, [ctypes.POINTER(Options)]),
    "kensaku_query_new": (_P, [ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(_SIZE), _SIZE,
                              ctypes.POINTER(Options), ctypes.POINTER(Error)]),
    "kensaku_query_new_bounded": (_P, [ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(_SIZE),
                                      _SIZE, ctypes.POINTER(Options), ctypes.c_int,
                                      ctypes.POINTER(Error)]),
    "kensaku_query_free": (None, [_P]),
    "kensaku_query_match": (ctypes.c_int, [_P, ctypes.c_char_p, _SIZE, ctypes.c_int,
                                           ctypes.POINTER(ctypes.c_uint64), _SIZE,
                                           ctypes.POINTER(_SIZE)]),
    "kensaku_search_file": (_P, [_P, ctypes.c_char_p, ctypes.POINTER(Error)]),
    "kensaku_search_buffer": (_P, [_P, _P, _SIZE, ctypes.POINTER(Error)]),
    "kensaku_search_stream": (_P, [_P, ctypes.POINTER(Error)]),
    "kensaku_search_feed": (ctypes.c_int, [_P, ctypes.c_char_p, _SIZE]),
    "kensaku_search_end_input": (ctypes.c_int, [_P]),
    "kensaku_search_next": (ctypes.c_int, [_P, ctypes.POINTER(Batch)]),
    "kensaku_search_encoding": (ctypes.c_int, [_P]),
    "kensaku_search_lines": (ctypes.c_int64, [_P]),
    "kensaku_search_error": (None, [_P, ctypes.POINTER(Error)]),
    "kensaku_search_free": (None, [_P]),
    "kensaku_detect_encoding": (ctypes.c_int, [ctypes.c_char_p, _SIZE, ctypes.c_int]),
    "kensaku_encoding_code": (ctypes.c_int, [ctypes.c_char_p]),
    "kensaku_encoding_name": (ctypes.c_char_p, [ctypes.c_int]),
    "kensaku_fold_utf8": (ctypes.c_int64, [ctypes.c_char_p, _SIZE, ctypes.c_uint,
                                           ctypes.c_char_p, _SIZE]),
    "kensaku_to_utf8": (ctypes.c_int64, [ctypes.c_int, ctypes.c_char_p, _SIZE, ctypes.c_char_p,
                                         _SIZE]),
    "kensaku_dictionary_open": (_P, [ctypes.c_char_p, ctypes.POINTER(Error)]),
    "kensaku_dictionary_free": (None, [_P]),
    "kensaku_query_new_with": (_P, [ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(_SIZE),
                                   _SIZE, ctypes.POINTER(Options), ctypes.c_int, _P,
                                   ctypes.POINTER(Error)]),
}

# Not bound: a Python caller pulls batches instead of being called back.
_UNBOUND = ("kensaku_search_run",)

_lock = threading.Lock()
_functions = None


class _Functions:
    def __init__(self, lib):
        for name, (result, arguments) in _PROTOTYPES.items():
            try:
                function = getattr(lib, name)
            except AttributeError:
                raise OSError(f"the kensaku library {lib._name} has no reentrant interface "
                              f"({name}): it is older than 1.1, or the 32-bit DLL") from None
            function.restype = result
            function.argtypes = arguments
            setattr(self, name[len("kensaku_"):], function)


def lib():
    """The reentrant functions, without their kensaku_ prefix."""
    global _functions
    if _functions is None:
        with _lock:
            if _functions is None:
                _functions = _Functions(raw.library())
    return _functions


def encoding_name(code):
    """The library's name of an encoding code."""
    name = lib().encoding_name(code)
    if name is None:
        raise ValueError(f"unknown encoding code {code}")
    return name.decode("ascii")


def encoding_names():
    """The names of every encoding, "auto" first."""
    names, code = [], 0
    while lib().encoding_name(code) is not None:
        names.append(encoding_name(code))
        code += 1
    return names


def into_bytes(call, *arguments, guess=0):
    """Runs one of the functions that write a result of any length into (out, capacity) after
    their arguments: into `guess` bytes, and again into as many as it asked for when they were
    too few (either call may run out of memory)."""
    capacity = guess
    while True:
        out = ctypes.create_string_buffer(capacity + 1) if capacity else None
        size = call(*arguments, out, len(out) if out is not None else 0)  # the NUL's room too
        if size == E_MEMORY:
            raise MemoryError("out of memory")
        if size < 0:
            raise ValueError(f"the kensaku library refused the text (error {size})")
        if size <= capacity:
            return ctypes.string_at(out, size) if size else b""
        capacity = size

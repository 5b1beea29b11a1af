"""Finding the library, the bindings of every export, and the argument conversions."""
import ctypes
import re

import pytest

import kensaku
from kensaku import _library, raw
from conftest import SOURCE_DIR

NAME = _library.LIBRARY_NAMES[0]


# Where the library is looked for, and in which order.
def test_the_environment_variable_wins(tmp_path):
    named, beside = tmp_path / "mine.so", tmp_path / "module"
    named.write_bytes(b"")
    beside.mkdir()
    (beside / NAME).write_bytes(b"")
    environ = {"KENSAKU_LIBRARY": str(named)}
    assert _library.find_library(environ, beside, []) == str(named)
    environ = {"KENSAKU_LIBRARY": str(beside)}  # a folder holding it
    assert _library.find_library(environ, tmp_path, []) == str(beside / NAME)


def test_a_wrong_environment_variable_is_an_error(tmp_path):
    (tmp_path / NAME).write_bytes(b"")
    with pytest.raises(kensaku.LibraryNotFound, match="KENSAKU_LIBRARY=.*missing"):
        _library.find_library({"KENSAKU_LIBRARY": str(tmp_path / "missing")}, tmp_path, [])


def test_next_to_the_module_before_the_prefixes(tmp_path):
    module, prefix = tmp_path / "module", tmp_path / "prefix"
    (prefix / "lib").mkdir(parents=True)
    (prefix / "lib" / NAME).write_bytes(b"")
    module.mkdir()
    assert _library.find_library({}, module, [prefix]) == str(prefix / "lib" / NAME)
    (module / NAME).write_bytes(b"")
    assert _library.find_library({}, module, [prefix]) == str(module / NAME)


def test_windows_loads_the_dll_of_the_interpreters_width(tmp_path):
    # Both DLLs side by side, as a folder serving 32-bit and 64-bit hosts holds them.
    for name in ("kensaku.dll", "kensaku64.dll"):
        (tmp_path / name).write_bytes(b"")
    for pointer_size, want in ((8, "kensaku64.dll"), (4, "kensaku.dll")):
        names = _library.library_names(windows=True, pointer_size=pointer_size)
        assert _library.find_library({}, tmp_path, [], names) == str(tmp_path / want)
        folder = {"KENSAKU_LIBRARY": str(tmp_path)}
        assert _library.find_library(folder, tmp_path / "elsewhere", [], names) == \
            str(tmp_path / want)
    # Linux keeps its SONAME whatever the width.
    assert _library.library_names(False, 4) == _library.library_names(False, 8) == \
        ("libkensaku.so.1", "libkensaku.so")
    if not _library.ON_WINDOWS:
        assert _library.LIBRARY_NAMES == _library.library_names(False)


def test_a_library_the_loader_cannot_find_is_named_in_the_error(tmp_path, monkeypatch):
    monkeypatch.setattr(ctypes.util, "find_library", lambda name: None)
    with pytest.raises(kensaku.LibraryNotFound, match="set KENSAKU_LIBRARY"):
        _library.find_library({}, tmp_path, [tmp_path])


# The bindings follow kensaku.h: every export, with its number of arguments and its result.
def header_exports():
    header = (SOURCE_DIR / "include" / "kensaku.h").read_text()
    declaration = r"/\* \d+ \*/ KENSAKU_EXPORT\s+(.+?)\s*KENSAKU_API\s+(\w+)\(([^)]*)\);"
    found = re.findall(declaration, header, re.S)
    return {name: (result, [] if args.strip() == "void" else args.split(","))
            for result, name, args in found}


def test_every_export_of_the_header_is_bound_alike():
    exports = header_exports()
    assert len(exports) == 43
    assert set(exports) == set(raw.SIGNATURES)
    results = {"int": ctypes.c_int, "const char*": ctypes.c_char_p,
               "KensakuWindow": ctypes.c_void_p, "intptr_t": ctypes.c_ssize_t}
    for name, (result, args) in exports.items():
        bound_result, bound_args = raw.SIGNATURES[name]
        assert bound_result is results[result], name
        assert len(bound_args) == len(args), name
        for arg, bound in zip(args, bound_args):
            if "char*" in arg:
                assert bound in (raw._Text, raw._Path), (name, arg)


def test_the_library_has_the_exports_of_its_symbol_map():
    listed = (SOURCE_DIR / "src/capi/kensaku.map").read_text().split("global:")[1]
    symbols = [name for name in re.findall(r"\w+", re.sub(r"/\*.*?\*/", "", listed.split("local:")[0]))
               if not name.startswith("kensaku_")]  # the reentrant interface is not raw's
    assert sorted(symbols) == sorted(raw.SIGNATURES)
    assert sorted(raw.available()) == sorted(symbols)


# Raw calls: 16-bit slots, texts in and out.
def test_settings_and_character_services():
    try:
        assert raw.xSet(0xFFFF) == -1
        assert raw.xReSet(0) == -1
    finally:
        raw.xSet(0)
    assert raw.sjis("あ") == 0x82A0 and raw.jis(b"\x82\xa0") == 0x2422
    assert raw.isbytes("ソ") == 2 and raw.isbytes(b"\\") == 1
    assert raw.FileRemove(None) == 0  # None is the null pointer


def test_line_tests_take_str_and_bytes():
    assert raw.LinexMatch("検索ライブラリ", "検.ラ") == 1
    assert raw.LinexMatch("検索ライブラリ".encode("cp932"), b"x") == 0
    assert raw.LinexInc("abcabc", "ca") == 3
    assert raw.LinexIncMult("abc", "c\r\na") == 3


def test_result_texts_are_copies(tmp_path):
    path = tmp_path / "in.txt"
    path.write_bytes(b"one\ntwo\n")
    raw.OutputMode(1)
    try:
        first = raw.xIncMult(path, "one")
        second = raw.xIncMult(path, "two")
    finally:
        raw.OutputMode(0)
    assert (first, second) == (b"one\n", b"two\n")
    assert raw.xIncMult(tmp_path / "missing", "one") is None


def test_file_utilities_take_path_objects(tmp_path):
    out = tmp_path / "out.txt"
    assert raw.FoutputStr(out, "検索\r\n") != 0
    assert raw.FoutputFormatStr(str(out), "%d", 42) != 0
    assert out.read_bytes() == "検索\r\n42".encode("cp932")
    assert raw.FileRemove(out) == 0 and not out.exists()


# Conversions of texts.
def test_str_is_encoded_to_cp932():
    assert kensaku.encode("ソ表") == b"\x83\x5c\x95\x5c"
    assert kensaku.encode(b"\x83\x5c") == b"\x83\x5c"


def test_characters_cp932_lacks_are_named():
    with pytest.raises(UnicodeEncodeError, match=r"'é' has no Shift_JIS \(code page 932\) form"):
        kensaku.encode("café")
    with pytest.raises(UnicodeEncodeError) as error:
        raw.LinexMatch("line", "😀")
    assert error.value.start == 0


def test_texts_the_library_cannot_take_are_refused():
    with pytest.raises(ValueError, match="NUL"):
        raw.LinexMatch(b"a\0b", b"b")
    with pytest.raises(TypeError, match="str or bytes"):
        kensaku.encode(42)

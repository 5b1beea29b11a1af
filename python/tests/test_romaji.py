"""Romaji words found in every script, width and encoding, and as typed."""
import pickle

import pytest

from kensaku import Kind, Query

LINES = ["タと", "たと", "ﾀﾄ", "tato", "ｔａｔｏ", "ﾀﾞﾄ", "けんさくする", "ケンサク", "検索", "がっこう",
         "ガッコウ", "かっこう", "ｶﾞｯｺｳ"]


@pytest.mark.parametrize("codec, encoding", [("utf-8", "utf-8"), ("cp932", "sjis"),
                                             ("euc_jp", "euc-jp"), ("utf-16-le", "utf-16le")])
@pytest.mark.parametrize("words, want", [
    (["tato"], {1, 2, 3, 4, 5}), (["kensak"], {7, 8}), (["gakkou"], {10, 11, 13}),
    (["tato", "kensaku"], {1, 2, 3, 4, 5, 7, 8}),
])
def test_found_in_every_script(codec, encoding, words, want, tmp_path, monkeypatch):
    monkeypatch.setenv("KENSAKU_ROMAJI_DICT", str(tmp_path / "none"))  # kana only
    data = ("\n".join(LINES) + "\n").encode(codec)
    assert {hit.number for hit in Query(words, Kind.ROMAJI, encoding=encoding).search(data)} == want


def test_kanji_from_the_dictionary(tmp_path, monkeypatch):
    dictionary = tmp_path / "SKK-JISYO.test"
    dictionary.write_bytes(";; okuri-ari entries.\nかk /書/\n;; okuri-nasi entries.\n"
                           "けんさ /検査/\nけんさく /検索/研削;annotation/(concat \"x\")/\n"
                           "たと /他都/\n".encode("euc_jp"))
    lines = ["検索する", "検査", "研削", "けんさ", "他都市", "書く", "検", "他都でｹﾝｻｸ", "検索の他都"]
    data = ("\n".join(lines) + "\n").encode("utf-8")
    monkeypatch.setenv("KENSAKU_ROMAJI_DICT", str(tmp_path / "none"))
    assert {h.number for h in Query("kensa", Kind.ROMAJI).search(data)} == {4, 8}  # kana only
    monkeypatch.setenv("KENSAKU_ROMAJI_DICT", str(dictionary))
    # Words joined by & are all found, in order, each in kana of any width or from the dictionary.
    for word, kind, want in [("kensa", Kind.ROMAJI, {1, 2, 3, 4, 8, 9}),
                             ("kensakusuru", Kind.ROMAJI, {1}),
                             ("kensaku", Kind.ROMAJI, {1, 3, 8, 9}),
                             ("tato", Kind.ROMAJI, {5, 8, 9}), ("kaku", Kind.ROMAJI, {6}),
                             ("tato&kensaku", Kind.ROMAJI_CONJUNCTIVE, {8}),
                             ("kensaku&tato", Kind.ROMAJI_CONJUNCTIVE, {9}),
                             ("kensaku", Kind.ROMAJI_CONJUNCTIVE, {1, 3, 8, 9})]:
        assert {h.number for h in Query(word, kind).search(data)} == want, word

    # A dictionary named whatever the environment says, "" for none, in pickles, equality, repr
    # and the compiled queries kept; a file changed since is read again.
    monkeypatch.setenv("KENSAKU_ROMAJI_DICT", str(tmp_path / "none"))
    named = Query("kensaku", Kind.ROMAJI, dictionary=dictionary)
    assert {h.number for h in named.search(data)} == {1, 3, 8, 9}
    assert {h.number for h in Query("kensaku", "romaji", dictionary="").search(data)} == {8}
    assert pickle.loads(pickle.dumps(named)) == named and "dictionary=" in repr(named)
    assert named != Query("kensaku", Kind.ROMAJI) != Query("kensaku", Kind.ROMAJI, dictionary="")
    dictionary.write_bytes("けんさく /研削/\n".encode("euc_jp"))
    assert {h.number for h in Query("kensaku", Kind.ROMAJI, dictionary=dictionary)
            .search(data)} == {3, 8}
    with pytest.raises(FileNotFoundError):
        Query("kensaku", Kind.ROMAJI, dictionary=tmp_path / "none")

"""Romaji words found in every script, width and encoding, and as typed."""
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
def test_found_in_every_script(codec, encoding, words, want):
    data = ("\n".join(LINES) + "\n").encode(codec)
    assert {hit.number for hit in Query(words, Kind.ROMAJI, encoding=encoding).search(data)} == want

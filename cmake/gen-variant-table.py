#!/usr/bin/env python3
"""Writes variant_table.inc for src/mbchar/variants.cpp: each variant kanji (old forms, variant
forms and the code page 932 extension kanji) with the common form people type, from data that
Debian packages install, read when the library is built:

  kakasi      /usr/share/kakasi/itaijidict (kakasi-dic): lines of two EUC-JP characters, a
              variant and the form kakasi reads it as. Every pair is taken as it stands, but for
              KAKASI_LEFT_OUT.
  decomposed  /usr/share/unicode/UnicodeData.txt (unicode-data): the canonical decomposition of
              each compatibility ideograph (U+F900-FAFF) of code page 932's extension rows, when
              the ideograph it names is in JIS X 0208.
  unihan      /usr/share/unicode/Unihan_Variants.txt.bz2 (unicode-data): for an ideograph of
              those rows that has no decomposition and is not in JIS X 0208, the form that
              kZVariant, kSemanticVariant and kSpecializedSemanticVariant name, only where
              together they name exactly one character and it is in JIS X 0208. Those fields come
              from Chinese dictionaries too, so a pair whose characters Japanese text keeps apart
              is dropped by UNIHAN_LEFT_OUT.
  hand        HAND: pairs people use that the data lacks or gets wrong.

The extension rows are the NEC-selected IBM extensions (lead bytes 0xED-0xEE) and the IBM
extensions (0xFA-0xFC). JIS X 0208 is code page 932 below lead byte 0xED.

The table is closed: each variant maps straight to its final form, no form maps to itself, and
no form a variant maps to is a variant. A variant two sources map to different final forms, a
cycle, or a pair of KEPT_APART merged fails the build.

    gen-variant-table.py OUTPUT
"""

import bz2
import re
import sys
import unicodedata

ITAIJIDICT = "/usr/share/kakasi/itaijidict"
UNICODE_DATA = "/usr/share/unicode/UnicodeData.txt"
UNIHAN_VARIANTS = "/usr/share/unicode/Unihan_Variants.txt.bz2"
UNIHAN_FIELDS = ("kZVariant", "kSemanticVariant", "kSpecializedSemanticVariant")
EXTENSION_LEADS = (0xED, 0xEE, 0xFA, 0xFB, 0xFC)

# kakasi's pairs that merge characters Japanese text keeps apart.
KAKASI_LEFT_OUT = {
    "壱一": "the formal numeral is written so that it is not 一 (壱岐, 壱万円)",
    "壹一": "the old form of the formal numeral 壱 (HAND maps it to 壱)",
    "擧拳": "擧 is the old form of 挙 (raise), not 拳 (fist) (HAND maps it to 挙)",
    "舉拳": "舉 is a form of 擧, so of 挙, not 拳 (HAND maps it to 挙)",
    "歐嘔": "歐 is the old form of 欧 (Europe), not 嘔 (vomit) (HAND maps it to 欧)",
    "濾滬": "濾 (filter, 濾過) and 滬 (Shanghai) are different characters",
    "皃猊": "皃 is a form of 貌 (appearance), not 猊 (lion)",
    "纜繿": "纜 (mooring rope) and 繿 (rags) are different characters",
    "誡戒": "戒 stands in for 誡 only as a substitute character, and both are in use",
    "夂夊": "two different radicals, both characters of JIS X 0208",
    "尢尤": "尢 is a radical (lame), 尤 another character (especially)",
}

# Unihan's single forms that are other characters in Japanese.
UNIHAN_LEFT_OUT = {
    "晳晰": "晳 (white, 白晳) and 晰 (clear, 明晰) are different characters",
    "炫衒": "炫 (dazzle, in given names) and 衒 (show off) are different characters",
    "煆鍜": "煆 (calcine) and 鍜 (neck armour) are different characters",
    "鍰鐶": "鍰 (a weight) and 鐶 (ring) are different characters",
    "閒間": "閒 is as often 閑 (leisure) as 間",
    "隝塢": "隝 is a form of 島 (island) in Japanese, not of 塢 (bank)",
    "埇甬": "埇 is a place-name character of its own",
    "寘置": "寘 is a character of its own, not a form of 置",
    "纊絖": "纊 is silk floss, 絖 in Japanese a glossy silk (ぬめ)",
    "澈徹": "澈 (clear water, in given names) and 徹 (pierce) are different characters",
    "仼任": "仼 (read キョウ) is a character of its own; 任 is named for a Hong Kong glyph",
}

# Hand-checked pairs people use that the sources lack: variants common in names, and the right
# forms of kakasi pairs left out above.
HAND = [
    "驒騨",  # 飛驒
    "﨑崎",  # 山﨑; Unihan names seven forms
    "德徳",  # Unihan names 悳 and 惪
    "濵浜",  # 濵田; Unihan names 濱 and 瀕
    "鄕郷",  # Unihan names 郷 and 鄉
    "擧挙",
    "舉挙",
    "歐欧",
    "壹壱",
]

# Characters that must keep different common forms, whatever the sources come to say.
KEPT_APART = ["齋齊", "斎斉", "壱一", "挙拳", "欧嘔", "濾滬", "夂夊", "尢尤", "晳晰", "間閑"]


def jis_x0208(u):
    """Whether code page 932 holds u in its JIS X 0208 rows (not only in the extension rows)."""
    try:
        b = chr(u).encode("cp932")
    except UnicodeEncodeError:
        return False
    return len(b) == 2 and b[0] < 0xED


def pair(text):
    return ord(text[0]), ord(text[1])


def kakasi_pairs():
    with open(ITAIJIDICT, "rb") as f:
        lines = f.read().decode("euc_jp").split("\n")
    pairs = []
    for n, line in enumerate(lines, 1):
        if not line:
            continue
        if len(line) != 2:
            sys.exit(f"{ITAIJIDICT}:{n}: not two characters: {line!r}")
        if line not in KAKASI_LEFT_OUT:
            pairs.append(pair(line))
    return pairs


def extension_kanji():
    """The ideographs of code page 932's extension rows that JIS X 0208 lacks, in code order."""
    out = []
    for lead in EXTENSION_LEADS:
        for trail in list(range(0x40, 0x7F)) + list(range(0x80, 0xFD)):
            try:
                c = bytes([lead, trail]).decode("cp932")
            except UnicodeDecodeError:
                continue
            u = ord(c)
            if unicodedata.category(c) == "Lo" and not jis_x0208(u) and u not in out:
                out.append(u)
    return out


def decompositions():
    out = {}
    with open(UNICODE_DATA, encoding="utf-8") as f:
        for line in f:
            fields = line.split(";")
            d = fields[5].split()
            if len(d) == 1 and not d[0].startswith("<"):
                out[int(fields[0], 16)] = int(d[0], 16)
    return out


def unihan_forms():
    """Each character's forms named by UNIHAN_FIELDS, in order, without repeats."""
    out = {}
    with bz2.open(UNIHAN_VARIANTS, "rt", encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            code, field, value = line.rstrip("\n").split("\t")
            if field not in UNIHAN_FIELDS:
                continue
            forms = out.setdefault(int(code[2:], 16), [])
            for m in re.findall(r"U\+([0-9A-F]+)", value):
                if int(m, 16) not in forms:
                    forms.append(int(m, 16))
    return out


def extension_pairs():
    decomposed, unihan, skipped = [], [], []
    decomposition = decompositions()
    forms = unihan_forms()
    for u in extension_kanji():
        if u in decomposition:
            (decomposed if jis_x0208(decomposition[u]) else skipped).append((u, decomposition[u]))
            continue
        named = forms.get(u, [])
        if len(named) == 1 and jis_x0208(named[0]):
            if chr(u) + chr(named[0]) not in UNIHAN_LEFT_OUT:
                unihan.append((u, named[0]))
    return decomposed, unihan


def closed(sources):
    """The map of each variant to its final form, and how many variants each source gave."""
    direct, origin = {}, {}
    for name, pairs in sources:
        for variant, common in pairs:
            if variant == common:
                sys.exit(f"{name}: U+{variant:04X} maps to itself")
            if variant in direct:
                continue  # an earlier source's pair; the two must agree once resolved
            direct[variant], origin[variant] = common, name

    def final(u):
        seen = [u]
        while u in direct:
            u = direct[u]
            if u in seen:
                sys.exit("cycle: " + " -> ".join(f"U+{c:04X}" for c in seen + [u]))
            seen.append(u)
        return u

    table = {v: final(v) for v in direct}
    for name, pairs in sources:
        for variant, common in pairs:
            if table[variant] != final(common):
                sys.exit(f"{name}: {chr(variant)} -> {chr(common)}, but "
                         f"{origin[variant]} gives {chr(direct[variant])}")
    for text in KEPT_APART:
        a, b = pair(text)
        if table.get(a, a) == table.get(b, b):
            sys.exit(f"{text[0]} and {text[1]} would become one character")
    counts = {name: sum(1 for v in origin if origin[v] == name) for name, _ in sources}
    return table, counts


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    decomposed, unihan = extension_pairs()
    sources = [("kakasi", kakasi_pairs()), ("decomposed", decomposed), ("unihan", unihan),
               ("hand", [pair(p) for p in HAND])]
    table, counts = closed(sources)

    rows = sorted(table.items())
    out = ["// Generated by cmake/gen-variant-table.py from kakasi's itaijidict, UnicodeData.txt,",
           "// Unihan_Variants.txt and its own list; do not edit.",
           "// " + ", ".join(f"{name} {n}" for name, n in counts.items()) + ".",
           "",
           "// Each variant kanji and its common form, by variant.",
           f"constexpr KanjiVariant kKanjiVariants[{len(rows)}] = {{"]
    for k in range(0, len(rows), 5):
        out.append("  " + " ".join(f"{{0x{v:04X}, 0x{c:04X}}}," for v, c in rows[k:k + 5]))
    out.append("};")
    with open(sys.argv[1], "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()

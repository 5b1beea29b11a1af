"""-E against its peers, row by row: the lines each regex selects (-c) equal ripgrep's on Japanese
UTF-8 text and grep -E's on ASCII text; a folded row equals ripgrep's with the fold written out as
classes; and the Shift_JIS, EUC-JP, UTF-16 and ISO-2022-JP copies of the text select as the
UTF-8 one does.
  regex_peers_test.py path/to/kensaku
"""
import os
import pathlib
import random
import shutil
import subprocess
import sys
import tempfile
import unicodedata

HERE = pathlib.Path(__file__).resolve().parent
SAMPLE = HERE.parents[1] / "samples" / "sample.sjis.txt"

# A row counted by ripgrep in the text as read, a half-width kana and its mark one character
# (written in full width for it).
READ = "as read"
WORD = "0-9A-Za-z_０-９Ａ-Ｚａ-ｚ＿"
JAPANESE = [  # kensaku -E ..., ripgrep's regex (None: the same)
    (["ファイル(名|パス)"], None), (["ab*c"], None), (["colou?r"], None), (["[0-9]{4}"], None),
    (["\\d+円"], None), (["^\\p{Han}"], None), (["\\p{Hiragana}{3,}"], None),
    (["\\p{Katakana}+ー"], None), (["[ァ-ヶ]ー[ァ-ヶ]"], None), (["(?i)kensaku"], None),
    (["^#"], None), (["\\s$"], None), (["[^\\x00-\\x7F]{10}"], READ), (["\\x{30BD}"], None),
    (["(ab|cd)+e"], None), (["[[:digit:]]+\\."], None), (["^$"], None), ([".{40,}"], READ),
    (["[一-龠]{2}"], None), (["\\w+@\\w+"], None), (["[ｦ-ﾟ]+"], None),
    (["\\p{Han}\\p{Hiragana}\\p{Han}"], None), (["[^ -~]"], None), (["(?:です|ます)。$"], None),
    # \b and -w take kana and kanji for no word characters: ASCII's boundary, for ripgrep.
    (["\\bkensaku\\b"], "(?-u:\\b)kensaku(?-u:\\b)"), (["[A-Z]{2,}"], None), (["\\D{30}"], READ), (["x+y*z?"], None),
    (["(?i)[ａ-ｚ]+"], None), (["^\\S+$"], None), (["。.*。"], None), (["-w", "data"], f"(?:^|[^{WORD}])data(?:$|[^{WORD}])"),
    (["-x", "[^。]+。"], None), (["-v", "\\p{Han}"], None), (["-e", "^ソ", "-e", "ﾃﾞ"], None),
    # Folded rows: ripgrep with the fold written out.
    (["-k", "ファイル(名|パス)"], "[フふ][ァぁ][イい][ルる](名|[パぱ][スす])"),
    (["--ignore-width", "ガイド|データ"], "(ガ|ｶﾞ)(イ|ｲ)(ド|ﾄﾞ)|(デ|ﾃﾞ)(ー|ｰ)(タ|ﾀ)"),
    (["-i", "search|ｋｅｎ"], "(?i)search|ｋｅｎ"),
    (["--ignore-digits", "[0-9]{4}"], "[0-9０-９]{4}"),
    (["-k", "[ァ-ヶ]{4}"], "[ァ-ヶぁ-ゖ]{4}"),
    (["-k", "--ignore-width", "けんさく"], "[けケｹ][んンﾝ][さサｻ][くクｸ]"),
]
ASCII = [
    "ab*c", "^(foo|bar)", "[[:alpha:]]+[0-9]", "x{2,3}", "o$", "^.{3}$", "(a|b)c?d", "[^a-z ]",
    "\\.", "^[[:space:]]*$", "b+", "(ab)+", "[[:upper:]][[:lower:]]+", "a.c", "^[^x]*x[^x]*$",
]


def japanese_text(rng):
    lines = SAMPLE.read_bytes().decode("cp932").splitlines()
    pieces = ["ファイル名", "ファイルパス", "ふぁいるぱす", "ｶﾞｲﾄﾞ", "ガイド", "データ", "ﾃﾞｰﾀ",
              "けんさく", "ケンサク", "ｹﾝｻｸ", "検索", "漢字", "かな", "です。", "ます。", "。",
              "abc", "ac", "abbbc", "color", "colour", "kensaku", "KENSAKU", "ｋｅｎｓａｋｕ",
              "１２００円", "2026", "data", "data_x", "x@y", " ", "\\", "ソ", "#", "abcde", "xyz",
              "１", "Ｚ", "SEARCH", "search", "ｓｅａｒｃｈ"]
    for _ in range(1500):
        lines.append("".join(rng.choice(pieces) for _ in range(rng.randint(0, 8))))
    return "\n".join(lines) + "\n"


def ascii_text(rng):
    words = ["foo", "bar", "abc", "ac", "abbc", "xx", "xxx", "cd", "bcd", "a.c", "Hello", "x",
             "  ", "o", "123", "q9"]
    return "\n".join(" ".join(rng.choice(words) for _ in range(rng.randint(0, 4)))
                     for _ in range(800)) + "\n"


def count(command):
    done = subprocess.run(command, capture_output=True, env=dict(os.environ, LC_ALL="C.UTF-8"))
    if done.returncode not in (0, 1) or done.stderr:
        raise AssertionError(f"{command}: {done.returncode} {done.stderr!r}")
    return int(done.stdout or b"0")


def main():
    tool = os.path.realpath(sys.argv[1])
    rng = random.Random(32)
    failures = rows = 0
    selecting = set()
    with tempfile.TemporaryDirectory() as folder:
        folder = pathlib.Path(folder)
        text = japanese_text(rng)
        copies = {"utf-8": "utf-8", "sjis": "cp932", "euc-jp": "euc_jp", "utf-16le": "utf-16-le",
                  "iso-2022-jp": "iso2022_jp"}
        for name, codec in copies.items():
            if name == "iso-2022-jp":  # it holds no half-width kana
                narrow = "".join(c for c in text if not "\uff61" <= c <= "\uff9f")
                (folder / "utf-8-narrow").write_text(narrow)
                (folder / name).write_bytes(narrow.encode(codec))
            else:
                (folder / name).write_bytes(text.encode(codec))
        (folder / "as-read").write_text(unicodedata.normalize("NFC", "".join(
            unicodedata.normalize("NFKC", c) if "\uff61" <= c <= "\uff9f" else c for c in text)))
        (folder / "ascii").write_text(ascii_text(rng))
        for args, peer in JAPANESE:
            rows += 1
            pattern = args[-1] if peer in (None, READ) else peer
            # A written-out row holds the options' meaning itself.
            flags = [a for a in args[:-1] if a in ("-w", "-x", "-v") and peer in (None, READ)]
            patterns = args if args[0] == "-e" else flags + ["-e", pattern]
            text_read = "as-read" if peer == READ else "utf-8"
            want = count(["rg", "-c", "--no-config", "--no-ignore", *patterns, str(folder / text_read)])
            selecting.add(want)
            for name in copies:
                if name == "iso-2022-jp":  # a text of its own: against its UTF-8
                    want_narrow = count([tool, "-c", "-E", *args, str(folder / "utf-8-narrow")])
                    got = count([tool, "-c", f"--encoding={name}", "-E", *args, str(folder / name)])
                    if got != want_narrow:
                        failures += 1
                        print(f"FAIL {name}: kensaku -E {args}: {got}, its UTF-8: {want_narrow}")
                    continue
                got = count([tool, "-c", f"--encoding={name}", "-E", *args, str(folder / name)])
                if got != want:
                    failures += 1
                    print(f"FAIL {name}: kensaku -E {args}: {got}, rg {patterns}: {want}")
        for pattern in ASCII:
            rows += 1
            want = count(["grep", "-c", "-E", pattern, str(folder / "ascii")])
            got = count([tool, "-c", "-E", pattern, str(folder / "ascii")])
            if got != want:
                failures += 1
                print(f"FAIL kensaku -E {pattern!r}: {got}, grep -E: {want}")
    print(f"{rows} rows, {failures} failures, {len(selecting)} different counts")
    if len(selecting) < len(JAPANESE) // 2:
        failures += 1  # the text no longer tells the rows apart
    return 1 if failures else 0


if __name__ == "__main__":
    if shutil.which("rg") is None:
        sys.exit("ripgrep (rg) is needed: cmake/install-deps.sh native installs it")
    sys.exit(main())

"""--romaji against cmigemo: for a fixed list of everyday words, every line that cmigemo's
expression (Debian's cmigemo and its migemo-dict, run through ripgrep) finds, kensaku --romaji
finds too. The text is made of the SKK dictionary's words for those readings (and their stems
with okurigana), their kana in katakana and half width, and words of other readings between.
  romaji_peers_test.py path/to/kensaku
"""
import os
import random
import re
import subprocess
import sys
import tempfile
import unicodedata

SKK = "/usr/share/skk/SKK-JISYO.L"
MIGEMO = "/usr/share/cmigemo/utf-8/migemo-dict"
WORDS = {  # romaji: its kana
    "kensaku": "けんさく", "setsumei": "せつめい", "fairu": "ふぁいる", "henkou": "へんこう",
    "settei": "せってい", "sakujo": "さくじょ", "tsuika": "ついか", "hyouji": "ひょうじ",
    "kakunin": "かくにん", "nyuuryoku": "にゅうりょく", "kensa": "けんさ", "kanri": "かんり",
    "riyou": "りよう", "jouhou": "じょうほう", "shori": "しょり", "kinou": "きのう",
    "mondai": "もんだい", "kaihatsu": "かいはつ", "hozon": "ほぞん", "tsuushin": "つうしん",
    "gamen": "がめん", "kotoba": "ことば", "nihongo": "にほんご", "shiyou": "しよう",
    "tato": "たと", "kaku": "かく", "koto": "こと", "benri": "べんり", "atarashii": "あたらしい",
    "kyouto": "きょうと", "toukyou": "とうきょう", "denwa": "でんわ", "jikan": "じかん",
    "ai": "あい", "hon": "ほん",
}


def dictionary_lines(rng):
    """Words of the dictionary whose readings begin with the list's kana or romaji, and some
    others."""
    wanted = tuple(WORDS.values())
    lines, others = [], []
    with open(SKK, encoding="euc_jp", errors="replace") as f:
        for entry in f:
            if entry.startswith(";") or " /" not in entry:
                continue
            reading, _, rest = entry.partition(" /")
            words = [w.split(";")[0] for w in rest.rstrip("/\n").split("/")]
            words = [w for w in words if w and "(" not in w]
            if reading.isascii():  # read in Latin letters (aids: エイズ)
                if reading.startswith(tuple(WORDS)):
                    lines += ["x" + w + "y" for w in words]
                continue
            stem = reading[-1:].isascii() and reading[-1:].isalpha()
            kana = reading[:-1] if stem else reading
            if kana.startswith(wanted):
                for w in words:
                    lines.append("x" + w + ("る" if stem else "") + "y")
            elif rng.random() < 0.01:
                others.extend(words[:1])
    return lines, others


def kept(text):
    """Whether kensaku keeps a dictionary word that cmigemo matched: one written in kana or
    kanji, or of two letters or digits or more (AI)."""
    narrow = unicodedata.normalize("NFKC", text)
    return any("\u3041" <= c <= "\u3096" or "\u30a1" <= c <= "\u30f6" or "\u3400" <= c <= "\u9fff"
               or "\uf900" <= c <= "\ufaff" for c in text) or (
        len(narrow) >= 2 and narrow.isascii() and narrow.isalnum())


def main():
    tool = os.path.realpath(sys.argv[1])
    for need in (SKK, MIGEMO):
        if not os.path.exists(need):
            sys.exit(f"{need} is missing: cmake/install-deps.sh native installs skkdic and cmigemo")
    rng = random.Random(33)
    lines, others = dictionary_lines(rng)
    half = {unicodedata.normalize("NFKC", chr(c)): chr(c) for c in range(0xFF61, 0xFFA0)}
    marks = {"\u3099": "ﾞ", "\u309a": "ﾟ"}
    for kana in WORDS.values():
        katakana = "".join(chr(ord(c) + 0x60) if "ぁ" <= c <= "ゖ" else c for c in kana)
        narrow = "".join(half.get(c, c) for c in unicodedata.normalize("NFD", katakana))
        narrow = "".join(marks.get(c, c) for c in narrow)
        lines += [kana, katakana, narrow, katakana[:2] + kana[2:]]
    lines += others
    rng.shuffle(lines)
    failures = found_more = 0
    with tempfile.NamedTemporaryFile("w", encoding="utf-8", suffix=".txt", delete=False) as f:
        f.write("\n".join(lines) + "\n")
        text = f.name
    try:
        for romaji in WORDS:
            expression = subprocess.run(["cmigemo", "-q", "-w", romaji, "-d", MIGEMO],
                                        capture_output=True, text=True, check=True).stdout.strip()
            peer = subprocess.run(["rg", "-n", "--no-config", expression, text],
                                  capture_output=True, text=True)
            ours = subprocess.run([tool, "-n", "--romaji", romaji, text], capture_output=True,
                                  text=True, env=dict(os.environ, KENSAKU_ROMAJI_DICT=SKK))
            numbers = lambda out: {line.split(":", 1)[0] for line in out.splitlines()}
            theirs, mine = numbers(peer.stdout), numbers(ours.stdout)
            # A word of symbols the width fold would take to ASCII (［ read kakko), or of one
            # letter or digit, is left out on purpose: with the width fold it would find every [.
            peer_re = re.compile(expression)
            missed = {n for n in theirs - mine
                      if any(kept(m.group()) for m in peer_re.finditer(lines[int(n) - 1]))}
            if missed or peer.returncode > 1 or ours.returncode > 1 or not theirs:
                failures += 1
                print(f"FAIL {romaji}: cmigemo {len(theirs)} lines, kensaku {len(mine)}, missed "
                      f"{len(missed)} {peer.stderr.strip()[:200]}")
            found_more += len(mine - theirs)
    finally:
        os.unlink(text)
    print(f"{len(WORDS)} words over {len(lines)} lines, {failures} failures; kensaku found "
          f"{found_more} lines more (half width, mixed scripts, stems)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

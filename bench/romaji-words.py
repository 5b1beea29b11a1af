#!/usr/bin/env python3
"""kensaku --romaji against cmigemo on the bench corpus, word by word: for each word of a list,
the lines ripgrep finds with cmigemo's expression and the lines kensaku --romaji finds, the
lines cmigemo finds that kensaku misses (with what cmigemo matched there), and the time each side
takes over the whole list (their -c runs). Not part of the tests: it reads the 100 MB corpus.

    bench/romaji-words.py KENSAKU [CORPUS] [WORDS]

CORPUS defaults to /tmp/kensaku-corpus/corpus-utf8.txt (bench/corpus.sh makes it), WORDS to
bench/romaji-words.txt; the times are taken on corpus-sjis.txt beside it too, where it is.
Both sides read Debian's dictionaries: cmigemo its migemo-dict, kensaku skkdic's SKK-JISYO.L."""
import collections
import os
import re
import subprocess
import sys
import tempfile
import time
import unicodedata

HERE = os.path.dirname(os.path.abspath(__file__))
SKK = "/usr/share/skk/SKK-JISYO.L"
MIGEMO = "/usr/share/cmigemo/utf-8/migemo-dict"


def timed(args, env=None):
    start = time.perf_counter()
    done = subprocess.run(args, capture_output=True, env=env)
    return done, time.perf_counter() - start


def numbers(out):
    return {int(line.split(b":", 1)[0]) for line in out.splitlines()}


def kind_of(text):
    """What a piece of text is written in, for the summary."""
    if any("\uff61" <= c <= "\uff9f" for c in text):
        return "half-width kana"
    scripts = {"hiragana" if "\u3041" <= c <= "\u309f" else "katakana" if "\u30a0" <= c <= "\u30ff"
               else "kanji" if "\u3400" <= c <= "\u9fff" or "\uf900" <= c <= "\ufaff"
               else "latin" if c.isascii() or "\uff01" <= c <= "\uff5e" else "other"
               for c in text}
    return "mixed: " + "+".join(sorted(scripts)) if len(scripts) > 1 else scripts.pop()


def skk_readings():
    """The readings SKK-JISYO.L lists each word under (an inflected word's without its letter)."""
    readings = collections.defaultdict(set)
    with open(SKK, encoding="euc_jp", errors="replace") as f:
        for entry in f:
            if not entry.startswith(";") and " /" in entry:
                reading, _, rest = entry.partition(" /")
                if reading[-1:].isascii():
                    reading = reading[:-1]
                for w in rest.split("/"):
                    readings[w.split(";")[0]].add(reading)
    return readings


def found_in(tool, word, texts, env, options=()):
    """The texts in which kensaku --romaji finds the word (where it begins them, with start)."""
    with tempfile.NamedTemporaryFile("wb", suffix=".txt") as f:
        f.write("\n".join(texts).encode("utf-8") + b"\n")
        f.flush()
        out = subprocess.run([tool, "-s", "--romaji", "--column", "-n", *options, word, f.name],
                             capture_output=True, env=env).stdout.decode("utf-8")
    return [(texts[int(n) - 1], c == "1") for n, c, _ in (l.split(":", 2) for l in out.splitlines())]


def is_written(c):
    """Kana or kanji: what makes a dictionary word more than symbols."""
    return "\u3041" <= c <= "\u30fa" or "\u3400" <= c <= "\u9fff" or "\uf900" <= c <= "\ufaff"


def why_missed(tool, word, text, readings, env):
    """Why kensaku does not find what cmigemo matched."""
    if found_in(tool, word, [text], env):
        return "found alone: FAULT"
    if unicodedata.normalize("NFKC", text).lower() == word:
        return "the word as typed in another case (-i finds it)"
    narrow = unicodedata.normalize("NFKC", text)
    if not any(map(is_written, text)) and (len(narrow) == 1 or not narrow.isalnum()) and any(
            c.isascii() or "\uff01" <= c <= "\uff5e" or c in "。「」、・ー" for c in text):
        return ("one letter or digit, or symbols the width fold takes to one byte: "
                "left out on purpose")
    if sum(c in "aiueo" for c in word) == 1 and not word.endswith("n"):
        return "one kana: only the words read as it, or as it and a letter"
    kana_only = dict(env, KENSAKU_ROMAJI_DICT="/nonexistent")
    if text in readings:
        kana = sorted(r for r in readings[text] if not r.isascii())
        if any(start for _, start in found_in(tool, word, kana, kana_only)):
            return "SKK-JISYO.L reading begins with the word: FAULT, or past the word cap"
        if any(r.isascii() and r.startswith(word) for r in readings[text]):
            return "SKK-JISYO.L reading in Latin letters begins with the word: FAULT"
        return "SKK-JISYO.L reads it otherwise"
    if all("\u3041" <= c <= "\u30fa" for c in text):
        return "cmigemo reads the spelling otherwise (onna as おんあ)"
    return "not in SKK-JISYO.L (migemo-dict only)"


def main():
    tool = os.path.realpath(sys.argv[1])
    corpus = sys.argv[2] if len(sys.argv) > 2 else "/tmp/kensaku-corpus/corpus-utf8.txt"
    listed = sys.argv[3] if len(sys.argv) > 3 else os.path.join(HERE, "romaji-words.txt")
    # The Shift_JIS copy beside it, for the times against rg -E shift_jis.
    sjis = os.path.join(os.path.dirname(corpus), "corpus-sjis.txt")
    sjis = sjis if os.path.exists(sjis) else None
    ours_sjis = theirs_sjis = 0.0
    words = [w.strip() for w in open(listed, encoding="utf-8") if w.strip() and w[0] != "#"]
    with open(corpus, "rb") as f:
        lines = f.read().split(b"\n")
    env = dict(os.environ, KENSAKU_ROMAJI_DICT=SKK)
    readings = skk_readings()
    explained = collections.defaultdict(list)
    ours_time = theirs_time = 0.0
    missing_words, missed_kinds, extra_kinds = [], collections.Counter(), collections.Counter()
    extra_samples = collections.defaultdict(list)
    print(f"{'word':<12} {'cmigemo':>9} {'kensaku':>9} {'missed':>7}  what cmigemo matched there")
    for word in words:
        expression = subprocess.run(["cmigemo", "-q", "-w", word, "-d", MIGEMO],
                                    capture_output=True, text=True, check=True).stdout.strip()
        theirs, seconds = timed(["rg", "-c", "--no-config", "-e", expression, corpus])
        theirs_time += seconds
        ours, seconds = timed([tool, "-c", "--romaji", word, corpus], env)
        ours_time += seconds
        assert theirs.returncode < 2 and ours.returncode < 2, (word, theirs.stderr, ours.stderr)
        if sjis:
            peer_sjis, seconds = timed(["rg", "-c", "--no-config", "-E", "shift_jis", "-e",
                                        expression, sjis])
            theirs_sjis += seconds
            mine_sjis, seconds = timed([tool, "-c", "--romaji", word, sjis], env)
            ours_sjis += seconds
            if peer_sjis.stdout != theirs.stdout or mine_sjis.stdout != ours.stdout:
                print(f"{word}: Shift_JIS counts differ: rg {peer_sjis.stdout.strip()}, "
                      f"kensaku {mine_sjis.stdout.strip()}")
        theirs_lines = numbers(subprocess.run(["rg", "-n", "--no-config", "-e", expression, corpus],
                                              capture_output=True).stdout)
        ours_lines = numbers(subprocess.run([tool, "-n", "--romaji", word, corpus],
                                            capture_output=True, env=env).stdout)
        missed = theirs_lines - ours_lines
        peer = re.compile(expression)
        what = collections.Counter()
        for n in sorted(missed)[:2000]:  # what cmigemo matched, on a sample of them
            for m in peer.finditer(lines[n - 1].decode("utf-8", "replace")):
                what[m.group()] += 1
        if missed:
            missing_words.append(word)
            for text in what:
                why = why_missed(tool, word, text, readings, env)
                missed_kinds[why] += 1
                if len(explained[why]) < 6:
                    explained[why].append(f"{word}:{text}")
        # What kensaku finds beyond: what it matched in a sample of those lines.
        extra = sorted(ours_lines - theirs_lines)[:50]
        if extra:
            with tempfile.NamedTemporaryFile("wb", suffix=".txt") as f:
                f.write(b"\n".join(lines[n - 1] for n in extra) + b"\n")
                f.flush()
                parts = subprocess.run([tool, "-o", "--romaji", word, f.name], capture_output=True,
                                       env=env).stdout.decode("utf-8", "replace").splitlines()
            for part in set(parts):
                kind = kind_of(part)
                extra_kinds[kind] += 1
                if len(extra_samples[kind]) < 4:
                    extra_samples[kind].append(f"{word}:{part}")
        shown = ", ".join(f"{t}×{c}" for t, c in what.most_common(4))
        print(f"{word:<12} {int(theirs.stdout or 0):>9} {int(ours.stdout or 0):>9} "
              f"{len(missed):>7}  {shown}", flush=True)
    print(f"\n{len(words)} words on {corpus}: kensaku misses lines for {len(missing_words)} "
          f"({' '.join(missing_words)})")
    print("texts cmigemo matched in lines kensaku misses, by cause:")
    for why, count in missed_kinds.most_common():
        print(f"  {why}: {count} ({' '.join(explained[why])})")
    print("texts kensaku matched in lines cmigemo misses (first 50 lines a word), by script:",
          dict(extra_kinds))
    for kind, samples in extra_samples.items():
        print(f"  {kind}: " + " | ".join(samples))
    print(f"time over the list: cmigemo+rg {theirs_time:.1f} s, kensaku {ours_time:.1f} s "
          f"(-c runs; rg's time excludes cmigemo making its expression)")
    if sjis:
        print(f"on {sjis}: rg -E shift_jis {theirs_sjis:.1f} s, kensaku {ours_sjis:.1f} s")


if __name__ == "__main__":
    main()

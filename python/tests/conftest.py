import os
from pathlib import Path

import pytest

SOURCE_DIR = Path(__file__).resolve().parents[2]


@pytest.fixture
def sample():
    return SOURCE_DIR / "samples" / "sample.sjis.txt"


@pytest.fixture
def write_sjis(tmp_path):
    """Writes lines (str, encoded to CP932) to a file with the given line end."""
    def write(lines, end="\n", name="input.txt"):
        path = tmp_path / name
        path.write_bytes("".join(line + end for line in lines).encode("cp932"))
        return path
    return write


def pytest_report_header():
    return f"kensaku library: {os.environ.get('KENSAKU_LIBRARY', '(found by the module)')}"

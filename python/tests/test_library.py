"""Where cfckit looks for the C library."""

from __future__ import annotations

import os
import subprocess
import sys

from cfckit import _library
from conftest import SOURCE


def test_named_library_wins(monkeypatch):
    monkeypatch.setenv("CFC_LIBRARY", "/opt/line/libcfc.so.1")
    assert _library._candidates() == ["/opt/line/libcfc.so.1"]


def test_windows_looks_beside_the_package_then_on_path(monkeypatch, tmp_path):
    monkeypatch.delenv("CFC_LIBRARY")
    monkeypatch.setattr(sys, "platform", "win32")
    first, second = tmp_path / "tools", tmp_path / "bin"
    for folder in (first, second):
        folder.mkdir()
        (folder / "cfc.dll").write_bytes(b"")
    monkeypatch.setenv("PATH", os.pathsep.join([str(tmp_path / "empty"), str(first), str(second)]))
    assert _library._candidates() == [str(first / "cfc.dll"), str(second / "cfc.dll")]

    # A ZIP's cfc.dll beside the cfckit folder comes before PATH.
    package = tmp_path / "zip" / "cfckit"
    package.mkdir(parents=True)
    (tmp_path / "zip" / "cfc.dll").write_bytes(b"")
    monkeypatch.setattr(_library, "__file__", str(package / "_library.py"))
    assert _library._candidates()[0] == str(tmp_path / "zip" / "cfc.dll")

    monkeypatch.setenv("PATH", "")
    (tmp_path / "zip" / "cfc.dll").unlink()
    assert _library._candidates() == ["cfc.dll"]


def test_missing_library_says_how_to_name_it(tmp_path):
    run = subprocess.run(
        [sys.executable, "-c", "import cfckit; cfckit.get_version()"],
        capture_output=True,
        text=True,
        timeout=60,
        env={
            **os.environ,
            "CFC_LIBRARY": str(tmp_path / "libcfc.so.1"),
            "PYTHONPATH": str(SOURCE / "python"),
        },
    )
    assert run.returncode != 0
    assert "LibraryError" in run.stderr and "CFC_LIBRARY" in run.stderr

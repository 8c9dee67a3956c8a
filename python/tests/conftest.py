"""Runs cfckit against the built library and the module simulator cfcsim on
a pseudo-terminal. CFCKIT_BUILD_DIR names the build (default build/default);
CFC_LIBRARY, when set, names the library directly."""

from __future__ import annotations

import os
import selectors
import subprocess
import sys
import tempfile
from pathlib import Path
from typing import Iterator

import pytest

SOURCE = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("CFCKIT_BUILD_DIR", SOURCE / "build" / "default"))
SIMULATOR = BUILD / "tools" / "cfcsim"
HEADER = SOURCE / "cfc" / "include" / "cfc.h"
ERROR_HEADER = SOURCE / "cfc" / "include" / "emmierr.h"

# The package under test is the source tree's, unless an installed one is
# asked for.
if not os.environ.get("CFCKIT_INSTALLED"):
    sys.path.insert(0, str(SOURCE / "python"))
os.environ.setdefault("CFC_LIBRARY", str(BUILD / "cfc" / "libcfc.so.1"))
# The user's own port map and signal-trace settings stay out of the runs; a
# signal trace switched on there would add 5 s to every close.
os.environ["XDG_CONFIG_HOME"] = tempfile.mkdtemp(prefix="cfckit-test-")
os.environ.pop("CFC_TRACE", None)
os.environ.pop("CFC_TRACE_INI", None)

# A start on a loaded machine takes far less; the bound only ends a hang.
START_BOUND_S = 10


def start_simulator(*options: str) -> "tuple[subprocess.Popen[str], str]":
    # Standard input is a pipe the simulator ends with, so a test run that
    # dies cannot leave it behind.
    process = subprocess.Popen(
        [str(SIMULATOR), *options],
        stdin=subprocess.PIPE,
        stdout=subprocess.PIPE,
        text=True,
    )
    assert process.stdout is not None
    with selectors.DefaultSelector() as selector:
        selector.register(process.stdout, selectors.EVENT_READ)
        ready = selector.select(START_BOUND_S)
    line = process.stdout.readline().strip() if ready else ""
    if not line:
        stop_simulator(process)
        pytest.fail(f"cfcsim did not name its terminal within {START_BOUND_S} s")
    return process, line


def stop_simulator(process: "subprocess.Popen[str]") -> None:
    process.terminate()
    try:
        process.wait(timeout=START_BOUND_S)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
    for stream in (process.stdin, process.stdout):
        if stream is not None:
            stream.close()


COM = 7


@pytest.fixture
def simulated_port(monkeypatch: pytest.MonkeyPatch) -> Iterator[int]:
    """COM7 mapped to a fresh simulated module in AT mode."""
    process, pty = start_simulator("--mode=at")
    try:
        monkeypatch.setenv(f"CFC_COM{COM}", pty)
        yield COM
    finally:
        stop_simulator(process)


@pytest.fixture
def module(simulated_port: int) -> Iterator[object]:
    """An open connection to the simulated module, in service mode."""
    import cfckit

    with cfckit.open(simulated_port) as connection:
        connection.init_service_mode()
        yield connection

"""The README's example, run as a user would: cfckit installed with pip into
a fresh virtual environment, the module simulated by cfcsim."""

from __future__ import annotations

import os
import re
import shutil
import subprocess
import sys

from conftest import SIMULATOR, SOURCE, start_simulator, stop_simulator

# Creating the environment and installing take a few seconds; the bound
# only ends a hang.
STEP_BOUND_S = 120


def readme_block(marker: str) -> str:
    readme = (SOURCE / "README.md").read_text()
    match = re.search(re.escape(marker) + r"\n```\w*\n(.*?)```", readme, re.S)
    assert match, f"README has no block after {marker}"
    return match.group(1)


def user_environment(**extra: str) -> dict:
    # The source tree must not be what the example imports.
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    env.update(extra)
    return env


def test_readme_example_after_pip_install_into_a_fresh_venv(tmp_path):
    package = tmp_path / "python"
    skipped = shutil.ignore_patterns("tests", "__pycache__", "build", "*.egg-info")
    shutil.copytree(SOURCE / "python", package, ignore=skipped)
    venv = tmp_path / "venv"
    subprocess.run(
        [sys.executable, "-m", "venv", "--system-site-packages", str(venv)],
        check=True,
        timeout=STEP_BOUND_S,
    )
    python = venv / "bin" / "python"
    subprocess.run(
        [str(python), "-m", "pip", "install", "-q", "--no-index", "--no-build-isolation"]
        + [str(package)],
        check=True,
        timeout=STEP_BOUND_S,
        cwd=tmp_path,
    )
    example = tmp_path / "station.py"
    example.write_text(readme_block("<!-- python example -->"))
    process, pty = start_simulator("--mode=at")
    try:
        run = subprocess.run(
            [str(python), str(example)],
            capture_output=True,
            text=True,
            timeout=STEP_BOUND_S,
            cwd=tmp_path,
            env=user_environment(CFC_COM3=pty),
        )
    finally:
        stop_simulator(process)
    assert run.stderr == ""
    assert run.stdout == readme_block("<!-- python example output -->")


def test_example_script_starts_its_own_simulator(tmp_path):
    run = subprocess.run(
        [sys.executable, str(SOURCE / "python" / "examples" / "station_on_simulator.py")],
        capture_output=True,
        text=True,
        timeout=STEP_BOUND_S,
        cwd=tmp_path,
        env=user_environment(CFCSIM=str(SIMULATOR), PYTHONPATH=str(SOURCE / "python")),
    )
    assert run.returncode == 0, run.stderr
    assert run.stdout.splitlines()[-1] == "module switched off"

"""A production station's sequence against the module simulator.

Starts cfcsim on a pseudo-terminal (from PATH, or the program CFCSIM names),
maps COM3 to it, and runs the station: service mode, the IMEI, a user item
written and read back, the Java autostart switched off, the module switched
off. Prints one line a step; a failing step prints the library's reason and
ends with exit code 1.

    python3 station_on_simulator.py
"""

from __future__ import annotations

import os
import shutil
import subprocess
import sys

import cfckit

STATION_ITEM = 4711


def station(port: str) -> None:
    with cfckit.open(port) as module:
        module.init_service_mode()
        print("service mode")
        print("IMEI", module.read_imei().hex())
        module.write_nvram_user_item(STATION_ITEM, 0, b"LINE-7")
        print(f"user item {STATION_ITEM}:", module.read_nvram_user_item(STATION_ITEM, 0, 64))
        module.switch_java_auto_start(False)
        print("Java autostart off")
        module.switch_off()
        print("module switched off")


def main() -> int:
    simulator = os.environ.get("CFCSIM") or shutil.which("cfcsim")
    if simulator is None:
        print("cfcsim is not on PATH; set CFCSIM to the simulator program", file=sys.stderr)
        return 2
    # The simulator ends when its standard input does, whatever happens here.
    process = subprocess.Popen(
        [simulator, "--mode=at"], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True
    )
    try:
        assert process.stdout is not None
        terminal = process.stdout.readline().strip()
        if not terminal:
            print("cfcsim did not start", file=sys.stderr)
            return 2
        os.environ["CFC_COM3"] = terminal
        station("COM3")
        return 0
    except cfckit.CfcError as error:
        print(error, file=sys.stderr)
        return 1
    finally:
        process.terminate()
        process.wait()


if __name__ == "__main__":
    sys.exit(main())

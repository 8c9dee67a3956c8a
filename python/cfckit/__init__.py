"""cfckit: the CFC module-control library for Python scripts.

Every public operation of the C library is here under one rule for names:
the C name without its W, in snake case, a run of capitals kept as one word
(WInitServiceMode is init_service_mode, WReadNVRAMUserItem is
read_nvram_user_item). Operations on a module are methods of the
Connection that open() returns; the others are functions of this module.
An operation that fails raises CfcError.

    import cfckit

    with cfckit.open("COM3") as module:
        module.init_service_mode()
        print(module.read_imei().hex())
"""

from ._library import LibraryError
from ._names import python_name
from .connection import (
    CFCAirplaneMode,
    CFCNormalMode,
    CFCServiceMode,
    CFCTestMode,
    Connection,
    ExitData,
    PublicMode,
    TargetVersion,
    com_number,
    com_open,
    open,
)
from .errors import *  # noqa: F401,F403  (the codes of emmierr.h and the CFC_OPEN_* kinds)
from .errors import CfcError, OpenError, OpenFailure
from .nvram import VersionedData
from .process import (
    CFC_WAIT_BOOT,
    CFC_WAIT_EMMI,
    CFC_WAIT_ENDED,
    CFC_WAIT_FIRMWARE,
    CFC_WAIT_PROBES,
    CFC_WAIT_SIGNAL_TRACE,
    CFC_WAIT_SWITCH_OFF,
    PortSettings,
    disable_trace_file,
    enable_trace_file,
    get_error_text,
    get_last_open_failure,
    get_version,
    read_port_settings,
    set_switch_off_drain_wait,
    set_test_system_binding,
    set_wait_hook,
    write_port_settings,
)
from .radio import GwRssiPoints, IQOffsets, LoopbackData

__version__ = "1.4.0"

__all__ = [
    "CFC_WAIT_BOOT",
    "CFC_WAIT_EMMI",
    "CFC_WAIT_ENDED",
    "CFC_WAIT_FIRMWARE",
    "CFC_WAIT_PROBES",
    "CFC_WAIT_SIGNAL_TRACE",
    "CFC_WAIT_SWITCH_OFF",
    "CFCAirplaneMode",
    "CFCNormalMode",
    "CFCServiceMode",
    "CFCTestMode",
    "CfcError",
    "Connection",
    "ExitData",
    "GwRssiPoints",
    "IQOffsets",
    "LibraryError",
    "LoopbackData",
    "OpenError",
    "OpenFailure",
    "PortSettings",
    "PublicMode",
    "TargetVersion",
    "VersionedData",
    "com_number",
    "com_open",
    "disable_trace_file",
    "enable_trace_file",
    "get_error_text",
    "get_last_open_failure",
    "get_version",
    "open",
    "python_name",
    "read_port_settings",
    "set_switch_off_drain_wait",
    "set_test_system_binding",
    "set_wait_hook",
    "write_port_settings",
]

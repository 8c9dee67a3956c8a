"""Every operation cfc.h declares has its Python form, under the one rule
for names, with a prototype that matches the C declaration."""

from __future__ import annotations

import ctypes
import inspect
import re
from typing import Dict, List, Tuple

import pytest

import cfckit
from cfckit._library import PROTOTYPES, WAIT_HOOK
from conftest import ERROR_HEADER, HEADER


def declarations() -> Dict[str, Tuple[str, List[str]]]:
    """The W operations of cfc.h: result type and parameter types."""
    source = HEADER.read_text()
    source = re.sub(r"/\*.*?\*/", " ", source, flags=re.S)
    found = {}
    for match in re.finditer(r"([\w ]+?\**)\s*\b(W\w+)\s*\(([^)]*)\)\s*;", source):
        result, name, parameters = match.groups()
        kinds = []
        for parameter in parameters.split(","):
            parameter = " ".join(parameter.split())
            if parameter and parameter != "void":
                kinds.append(re.sub(r"\s*\w+$", "", parameter).replace(" *", "*"))
        found[name] = (" ".join(result.split()), kinds)
    return found


C_TYPES = {
    "void": None,
    "int8_t": ctypes.c_int8,
    "uint8_t": ctypes.c_uint8,
    "int16_t": ctypes.c_int16,
    "uint16_t": ctypes.c_uint16,
    "int32_t": ctypes.c_int32,
    "uint32_t": ctypes.c_uint32,
}


def ctype_of(declared: str) -> object:
    if declared == "CfcWaitHook":
        return WAIT_HOOK
    if declared == "void*":
        return ctypes.c_void_p
    if declared == "const char*":
        return ctypes.c_char_p
    base = declared.replace("const ", "")
    if base == "char*":
        return ctypes.POINTER(ctypes.c_char)
    if base.endswith("*"):
        return ctypes.POINTER(C_TYPES[base[:-1]])
    return C_TYPES[base]


def python_form(name: str) -> object:
    python = cfckit.python_name(name)
    return getattr(cfckit.Connection, python, None) or getattr(cfckit, python, None)


def test_header_declares_the_operations_this_test_reads():
    # A parser that found nothing would let every check below pass.
    found = declarations()
    assert len(found) > 100
    assert found["WReadNVRAMUserItem"] == (
        "int32_t",
        ["uint32_t", "uint32_t", "uint16_t", "uint8_t*", "uint16_t", "uint16_t*"],
    )


def test_every_operation_has_its_python_form_with_a_docstring():
    missing = [name for name in declarations() if python_form(name) is None]
    assert missing == []
    undocumented = [name for name in declarations() if not inspect.getdoc(python_form(name))]
    assert undocumented == []


@pytest.mark.parametrize(
    "c_name, python",
    [
        ("WInitServiceMode", "init_service_mode"),
        ("WReadNVRAMUserItem", "read_nvram_user_item"),
        ("WReadIMEI", "read_imei"),
        ("WSwitchJavaAutoStart", "switch_java_auto_start"),
        ("WBBCRegister", "bbc_register"),
        ("WSendGwRssiMPoints", "send_gw_rssi_m_points"),
        ("WQuorleStoreCalibrationDataAGCGainWords", "quorle_store_calibration_data_agc_gain_words"),
    ],
)
def test_name_rule(c_name, python):
    assert cfckit.python_name(c_name) == python


def test_prototypes_match_the_header():
    # A width or a pointer wrong here corrupts memory or values silently.
    wrong = []
    for name, (result, parameters) in declarations().items():
        restype, argtypes = PROTOTYPES[name]
        expected_result = ctypes.c_char_p if result == "const char*" else C_TYPES[result]
        if restype is not expected_result or argtypes != [ctype_of(p) for p in parameters]:
            wrong.append(name)
    assert wrong == []
    assert set(PROTOTYPES) == set(declarations())


def test_error_codes_match_the_headers():
    text = ERROR_HEADER.read_text() + HEADER.read_text()
    defined = dict(re.findall(r"#define ((?:EMMIERR|CFCRPC|CFC_OPEN)_\w+) (\d+)", text))
    assert len(defined) > 20
    assert {name: getattr(cfckit, name, None) for name in defined} == {
        name: int(value) for name, value in defined.items()
    }

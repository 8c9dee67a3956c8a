"""cfckit against the module simulator: the production path, item round
trips, failures as exceptions, and the connection's life."""

from __future__ import annotations

import pytest

import cfckit
from conftest import COM


def test_production_station_sequence(simulated_port):
    with cfckit.open(f"com{simulated_port}") as module:
        module.init_service_mode()
        imei = module.read_imei()
        module.write_nvram_user_item(4711, 0, b"LINE-7")
        assert module.read_nvram_user_item(4711, 0, 64) == b"LINE-7"
        module.switch_java_auto_start(False)
        module.switch_off()
    assert module.closed
    assert isinstance(imei, bytes) and len(imei) == 8


def test_items_round_trip(module):
    module.write_nvram_user_item_ver(12, 0, b"\x00\xffab", 3)
    assert module.read_nvram_user_item_ver(12, 0, 16).data == b"\x00\xffab"
    # A read delivers at most the size it was given.
    assert module.read_nvram_user_item(12, 0, 2) == b"\x00\xff"

    assert not module.check_nvram_calibration_item(5)
    item = bytes(range(40))
    module.write_nvram_calibration_item(5, item)
    assert module.check_nvram_calibration_item(5)
    assert module.read_nvram_calibration_item(5, 200) == item

    module.write_nvramqv_calibration_item(300, b"qv")
    assert module.check_nvramqv_calibration_item(300)
    assert module.read_nvramqv_calibration_item(300, 8) == b"qv"


def _read_absent_user_item(module):
    module.read_nvram_user_item(999, 0, 16)


def _freeze_imei_twice(module):
    module.freeze_imei(bytes(8))
    module.freeze_imei(bytes(8))


def _store_band_4(module):
    module.quorle_store_calibration_data_am_loop_offsets(4, 1)


@pytest.mark.parametrize(
    "fail, operation, code",
    [
        # The module reports failure status for an item it does not hold.
        (_read_absent_user_item, "WReadNVRAMUserItem", cfckit.CFCRPC_BAD_CONFIRM),
        # Identity calls report 700 + the module's status byte (2: frozen).
        (_freeze_imei_twice, "WFreezeIMEI", cfckit.EMMIERR_STATUS_BASE + 2),
        # Refused by the library itself, before anything is sent.
        (_store_band_4, "WQuorleStoreCalibrationDataAMLoopOffsets", cfckit.EMMIERR_BAD_BAND),
    ],
)
def test_failure_raises_with_code_operation_and_text(module, fail, operation, code):
    with pytest.raises(cfckit.CfcError) as raised:
        fail(module)
    error = raised.value
    assert (error.operation, error.code) == (operation, code)
    assert error.text.startswith(cfckit.get_error_text(code))
    assert "\n" not in str(error) and operation in str(error) and str(code) in str(error)
    assert module.last_error == code


def test_open_failure_names_device_and_reason(monkeypatch, tmp_path):
    missing = tmp_path / "no-such-adapter"
    monkeypatch.setenv("CFC_COM9", str(missing))
    with pytest.raises(cfckit.OpenError) as raised:
        cfckit.open("COM9")
    error = raised.value
    assert isinstance(error, cfckit.CfcError)
    assert (error.kind, error.device_path, error.operation) == (
        cfckit.CFC_OPEN_NO_DEVICE,
        str(missing),
        "WComOpen",
    )
    assert error.reason and error.code != 0
    assert f"COM9 ({missing})" in str(error) and error.reason in str(error)


def test_second_open_of_a_port_fails_and_leaves_the_first_working(simulated_port):
    with cfckit.open(simulated_port) as first:
        with pytest.raises(cfckit.OpenError) as raised:
            cfckit.open(simulated_port)
        assert raised.value.kind == cfckit.CFC_OPEN_SLOT_IN_USE
        assert raised.value.code == cfckit.EMMIERR_PORT_IN_USE
        first.init_service_mode()


def test_context_manager_closes_after_an_exception(simulated_port):
    with pytest.raises(RuntimeError):
        with cfckit.open(simulated_port) as module:
            module.init_service_mode()
            raise RuntimeError("the station's own failure")
    assert module.closed
    with pytest.raises(ValueError):
        module.read_imei()
    # Were the port still open, this open would fail with "slot in use".
    with cfckit.open(simulated_port) as again:
        again.init_service_mode()


def test_refused_values_send_nothing(module):
    module.write_nvram_user_item(77, 0, b"kept")
    with pytest.raises(ValueError):
        module.write_nvram_user_item(77, 0x10000, b"lost")  # would be sent as value 0
    with pytest.raises(ValueError):
        module.write_nvram_user_item(77 + 2**32, 0, b"lost")
    with pytest.raises(TypeError):
        module.write_nvram_user_item(77, 0, "text is no byte area")
    assert module.read_nvram_user_item(77, 0, 16) == b"kept"
    # A short area would have the library read past its end.
    with pytest.raises(ValueError):
        module.freeze_imei(b"\x35\x12")
    with pytest.raises(ValueError):
        module.set_power_ramp([0] * 31)


@pytest.mark.parametrize(
    "port, number",
    [(3, 3), ("COM3", 3), ("com3", 3), (" Com12 ", 12), ("45", 45)],
)
def test_port_names(port, number):
    assert cfckit.com_number(port) == number


@pytest.mark.parametrize("port", ["COMX", "LPT1", "com", "com-1", 0, -3, 2.5])
def test_port_names_refused(port):
    with pytest.raises((ValueError, TypeError)):
        cfckit.com_number(port)


def test_module_functions_without_a_connection(monkeypatch, tmp_path):
    monkeypatch.setenv("XDG_CONFIG_HOME", str(tmp_path))
    with pytest.raises(cfckit.CfcError):
        cfckit.read_port_settings()
    cfckit.write_port_settings(COM, 57600)
    assert cfckit.read_port_settings() == (COM, 115200)
    assert cfckit.get_version() == 0x00014000


def test_outputs_come_back_in_their_places(module):
    # Addresses and values swapped would read back the addresses.
    written = module.bbc_register(0x5555, range(8), range(100, 108))
    assert written == tuple(range(100, 108))
    assert module.bbc_register(0xAAAA, range(8), [0] * 8) == tuple(range(100, 108))

    # The simulated firmware numbers a table's codes band * 0x100 + gain
    # index * 0x10 + i, so swapped arguments show; the table ends after its
    # codes.
    module.init_gain_code_templates(2, 1)
    codes = []
    with pytest.raises(cfckit.CfcError) as raised:
        while len(codes) < 17:
            codes.append(module.get_next_gain_code())
    assert raised.value.operation == "WGetNextGainCode"
    assert codes and codes == [0x120 + i for i in range(len(codes))]

    module.start_loopback(10, 20, 2, 5, 7)
    data = module.get_loopback_data()
    assert data == cfckit.LoopbackData(2, -150, 7, 900, -1100)
    assert (data.freq_offset, data.rssi) == (-150, -1100)


def test_target_version_is_the_firmware_the_module_names(module):
    # The simulated module names itself ZEPHIN, version 240, RPC version 1.0.
    version = module.get_target_version()
    assert version == cfckit.TargetVersion("ZEPHIN", 240, "", 0x10000)
    assert version.rpc_version >> 16 == 1


def test_wait_hook_hears_every_wait_start_and_end(simulated_port):
    heard = []
    cfckit.set_wait_hook(lambda wait, done, total: heard.append((wait, done, total)))
    try:
        with cfckit.open(simulated_port) as connection:
            connection.init_service_mode()
            connection.switch_off()
    finally:
        cfckit.set_wait_hook(None)
    starts = [wait for wait, done, _ in heard if done == 0]
    ends = [wait for wait, done, _ in heard if done == cfckit.CFC_WAIT_ENDED]
    # The switch-off waits for the module to fall silent, probing as it goes.
    assert cfckit.CFC_WAIT_SWITCH_OFF in starts
    assert cfckit.CFC_WAIT_PROBES in starts
    assert sorted(starts) == sorted(ends)

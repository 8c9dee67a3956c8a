"""NVRAM user and calibration items, and the host's calibration store that
is written to the module's NVRAM in one go."""

from __future__ import annotations

from ctypes import byref, c_int8, c_int16, c_uint8, c_uint16, c_uint32
from typing import NamedTuple, Sequence, Tuple

from ._base import LOCAL_FAILURES, RPC_FAILURES, Operations, raises
from ._convert import BytesLike, area, flag, number, output, words


class VersionedData(NamedTuple):
    """An item's data and its version."""

    data: bytes
    version: int
    """0 where the firmware keeps no item versions."""


class NvramOperations(Operations):
    """NVRAM items and the calibration store of a connection."""

    def _read(self, name: str, *head: object, size: int) -> bytes:
        length = number(size, c_uint16, "size")
        data, delivered = output(length), c_uint16(0)
        self._call(name, *head, data, length, byref(delivered))
        return bytes(data)[: min(delivered.value, length)]

    def _read_versioned(self, name: str, *head: object, size: int) -> VersionedData:
        length = number(size, c_uint16, "size")
        data, delivered, version = output(length), c_uint16(0), c_uint8(0)
        self._call(name, *head, data, length, byref(delivered), byref(version))
        return VersionedData(bytes(data)[: min(delivered.value, length)], version.value)

    def _check(self, name: str, calibration_id: int) -> bool:
        present = c_uint8(0)
        self._call(name, calibration_id, byref(present))
        return present.value == 1

    def _write(self, name: str, head: Tuple[int, ...], data: BytesLike, *tail: int) -> None:
        buffer, length = area(data, "data")
        self._call(name, *head, buffer, length, *tail)

    def _store_agc_values(self, name: str, band: int, values: Sequence[int], label: str) -> None:
        self._call(name, number(band, c_uint8, "band"), words(values, c_uint16, 26, label))

    # Calibration items with 8-bit ids

    @raises(RPC_FAILURES)
    def read_nvram_calibration_item(self, calibration_id: int, size: int) -> bytes:
        """Reads the NVRAM calibration item `calibration_id` (0 to 255).

        Args:
            calibration_id: the item's id.
            size: the most bytes the read may deliver (at most 65535).

        Returns:
            The bytes the module delivered, at most `size`.
        """
        return self._read(
            "WReadNVRAMCalibrationItem",
            number(calibration_id, c_uint8, "calibration_id"),
            size=size,
        )

    @raises(RPC_FAILURES + " Code 6 when the module reports an undefined item state.")
    def check_nvram_calibration_item(self, calibration_id: int) -> bool:
        """Whether the module holds the calibration item `calibration_id` (0 to 255).

        Returns:
            True only for an item the firmware reports present.
        """
        checked = number(calibration_id, c_uint8, "calibration_id")
        return self._check("WCheckNVRAMCalibrationItem", checked)

    @raises(RPC_FAILURES)
    def write_nvram_calibration_item(self, calibration_id: int, data: BytesLike) -> None:
        """Writes `data` as the NVRAM calibration item `calibration_id` (0 to 255)."""
        self._write(
            "WWriteNVRAMCalibrationItem",
            (number(calibration_id, c_uint8, "calibration_id"),),
            data,
        )

    @raises(RPC_FAILURES)
    def erase_all_nvram_calibration_items(self) -> None:
        """Erases every NVRAM calibration item of the module."""
        self._call("WEraseAllNVRAMCalibrationItems")

    @raises(RPC_FAILURES)
    def save_all_other_nvram_calibration_items(self, last_calibration_item: int) -> None:
        """Has the module save the calibration items above `last_calibration_item`,
        the ones the host does not handle itself, so that they survive an erase."""
        self._call(
            "WSaveAllOtherNVRAMCalibrationItems",
            number(last_calibration_item, c_uint16, "last_calibration_item"),
        )

    @raises(RPC_FAILURES)
    def restore_all_other_nvram_calibration_items(self, last_calibration_item: int) -> None:
        """Has the module restore the items saved by
        save_all_other_nvram_calibration_items."""
        self._call(
            "WRestoreAllOtherNVRAMCalibrationItems",
            number(last_calibration_item, c_uint16, "last_calibration_item"),
        )

    # Calibration items with 16-bit ids (the QV family)

    @raises(RPC_FAILURES + " Code 6 when the module reports an undefined item state.")
    def check_nvramqv_calibration_item(self, calibration_id: int) -> bool:
        """Whether the module holds the QV calibration item `calibration_id` (0 to 65535)."""
        checked = number(calibration_id, c_uint16, "calibration_id")
        return self._check("WCheckNVRAMQVCalibrationItem", checked)

    @raises(RPC_FAILURES)
    def read_nvramqv_calibration_item(self, calibration_id: int, size: int) -> bytes:
        """Reads the QV calibration item `calibration_id` (0 to 65535).

        Args:
            calibration_id: the item's id.
            size: the most bytes the read may deliver.

        Returns:
            The bytes the module delivered, at most `size`.
        """
        return self._read(
            "WReadNVRAMQVCalibrationItem",
            number(calibration_id, c_uint16, "calibration_id"),
            size=size,
        )

    @raises(RPC_FAILURES)
    def write_nvramqv_calibration_item(self, calibration_id: int, data: BytesLike) -> None:
        """Writes `data` as the QV calibration item `calibration_id` (0 to 65535)."""
        self._write(
            "WWriteNVRAMQVCalibrationItem",
            (number(calibration_id, c_uint16, "calibration_id"),),
            data,
        )

    @raises(RPC_FAILURES)
    def read_nvramqv_calibration_item_ver(self, calibration_id: int, size: int) -> VersionedData:
        """Reads the QV calibration item `calibration_id` with its version.

        Firmware without item versions is read with the plain call; the
        version is 0 then.

        Returns:
            VersionedData(data, version), data at most `size` bytes.
        """
        return self._read_versioned(
            "WReadNVRAMQVCalibrationItemVer",
            number(calibration_id, c_uint16, "calibration_id"),
            size=size,
        )

    @raises(RPC_FAILURES)
    def write_nvramqv_calibration_item_ver(
        self, calibration_id: int, data: BytesLike, version: int
    ) -> None:
        """Writes `data` as the QV calibration item `calibration_id` with
        `version` (0 to 255); firmware without item versions gets the plain write."""
        self._write(
            "WWriteNVRAMQVCalibrationItemVer",
            (number(calibration_id, c_uint16, "calibration_id"),),
            data,
            number(version, c_uint8, "version"),
        )

    # User items

    @raises(RPC_FAILURES)
    def read_nvram_user_item(self, user_id: int, value: int, size: int) -> bytes:
        """Reads the NVRAM user item `user_id`.

        Args:
            user_id: the item's 32-bit id.
            value: a 16-bit value that goes to the firmware unchanged (0 usually).
            size: the most bytes the read may deliver.

        Returns:
            The bytes the module delivered, at most `size`. An item the module
            does not hold fails with code 5.
        """
        return self._read(
            "WReadNVRAMUserItem",
            number(user_id, c_uint32, "user_id"),
            number(value, c_uint16, "value"),
            size=size,
        )

    @raises(RPC_FAILURES)
    def write_nvram_user_item(self, user_id: int, value: int, data: BytesLike) -> None:
        """Writes `data` as the NVRAM user item `user_id` (`value` goes to the
        firmware unchanged, 0 usually)."""
        self._write(
            "WWriteNVRAMUserItem",
            (number(user_id, c_uint32, "user_id"), number(value, c_uint16, "value")),
            data,
        )

    @raises(RPC_FAILURES)
    def read_nvram_user_item_ver(self, user_id: int, value: int, size: int) -> VersionedData:
        """Reads the NVRAM user item `user_id` with its version (0 where the
        firmware keeps none).

        Returns:
            VersionedData(data, version), data at most `size` bytes.
        """
        return self._read_versioned(
            "WReadNVRAMUserItemVer",
            number(user_id, c_uint32, "user_id"),
            number(value, c_uint16, "value"),
            size=size,
        )

    @raises(RPC_FAILURES)
    def write_nvram_user_item_ver(
        self, user_id: int, value: int, data: BytesLike, version: int
    ) -> None:
        """Writes `data` as the NVRAM user item `user_id` with `version` (0 to 255)."""
        self._write(
            "WWriteNVRAMUserItemVer",
            (number(user_id, c_uint32, "user_id"), number(value, c_uint16, "value")),
            data,
            number(version, c_uint8, "version"),
        )

    @raises(RPC_FAILURES)
    def delete_nvram_user_item(self, user_id: int, value: int) -> None:
        """Deletes the NVRAM user item `user_id`."""
        self._call(
            "WDeleteNVRAMUserItem",
            number(user_id, c_uint32, "user_id"),
            number(value, c_uint16, "value"),
        )

    @raises(RPC_FAILURES)
    def erase_all_nvram_user_items(self) -> None:
        """Erases every NVRAM user item of the module."""
        self._call("WEraseAllNVRAMUserItems")

    # The host's calibration store; nothing goes to the module before
    # write_all_stored_values_to_module_nvram.

    @raises(LOCAL_FAILURES)
    def quorle_store_calibration_data_afc(self, slope: int, nominal_value: int) -> None:
        """Stores the AFC slope (32-bit) and nominal value (16-bit) for item 2."""
        self._call(
            "WQuorleStoreCalibrationDataAFC",
            number(slope, c_uint32, "slope"),
            number(nominal_value, c_uint16, "nominal_value"),
        )

    @raises("CfcError: code 12 for a band above 3, 14 for a modulation above 1.")
    def quorle_store_calibration_data_tx_iq_offsets(
        self, band: int, modulation: int, i_offset: int, q_offset: int
    ) -> None:
        """Stores a band's Tx I/Q offsets (-128 to 127) for item 6.

        Args:
            band: 0 to 3.
            modulation: 0 (GMSK) or 1 (8PSK; also stored as GMSK values).
        """
        self._call(
            "WQuorleStoreCalibrationDataTxIQOffsets",
            number(band, c_uint8, "band"),
            number(modulation, c_uint8, "modulation"),
            number(i_offset, c_int8, "i_offset"),
            number(q_offset, c_int8, "q_offset"),
        )

    @raises("CfcError: code 12 for a band above 3, 14 for a modulation above 1.")
    def quorle_store_calibration_data_scaling_factors(
        self, band: int, modulation: int, factors: Sequence[int]
    ) -> None:
        """Stores a band's 32 scaling factors (16-bit) for item 3 (GMSK) or 4 (8PSK)."""
        self._call(
            "WQuorleStoreCalibrationDataScalingFactors",
            number(band, c_uint8, "band"),
            number(modulation, c_uint8, "modulation"),
            words(factors, c_uint16, 32, "factors"),
        )

    @raises("CfcError: code 12 for a band above 3.")
    def quorle_store_calibration_data_am_loop_offsets(self, band: int, value: int) -> None:
        """Stores a band's AM loop offset (32-bit) for item 5."""
        self._call(
            "WQuorleStoreCalibrationDataAMLoopOffsets",
            number(band, c_uint8, "band"),
            number(value, c_uint32, "value"),
        )

    @raises("CfcError: code 12 for a band above 3.")
    def quorle_store_calibration_data_agc_gain_words(
        self, band: int, gain_words: Sequence[int]
    ) -> None:
        """Stores a band's 26 AGC gain words for item 0."""
        self._store_agc_values(
            "WQuorleStoreCalibrationDataAGCGainWords", band, gain_words, "gain_words"
        )

    @raises("CfcError: code 12 for a band above 3.")
    def quorle_store_calibration_data_agc_accurate_values(
        self, band: int, accurate_values: Sequence[int]
    ) -> None:
        """Stores a band's 26 AGC accurate values for item 1."""
        self._store_agc_values(
            "WQuorleStoreCalibrationDataAGCAccurateValues", band, accurate_values, "accurate_values"
        )

    @raises("CfcError: code 12 for a band above 3, 14 for a modulation above 1.")
    def quorle_store_calibration_data_tx_dac_offsets(
        self, band: int, modulation: int, value: int
    ) -> None:
        """Stores a band's Tx DAC offset (-32768 to 32767) for item 7."""
        self._call(
            "WQuorleStoreCalibrationDataTxDacOffsets",
            number(band, c_uint8, "band"),
            number(modulation, c_uint8, "modulation"),
            number(value, c_int16, "value"),
        )

    @raises(LOCAL_FAILURES)
    def quorle_store_calibration_data_autocalibration_tx_iq_offsets(
        self, i_offset: int, q_offset: int
    ) -> None:
        """Stores the autocalibration Tx I/Q offsets (16-bit signed) for item 18."""
        self._call(
            "WQuorleStoreCalibrationDataAutocalibrationTxIQOffsets",
            number(i_offset, c_int16, "i_offset"),
            number(q_offset, c_int16, "q_offset"),
        )

    @raises(RPC_FAILURES)
    def write_all_stored_values_to_module_nvram(self, reset_flag: bool = False) -> None:
        """Writes every stored calibration item to the module's NVRAM and
        empties the store.

        The erase this needs keeps the module's other items, unless `reset_flag`
        is true, which erases them all.
        """
        self._call("WWriteAllStoredValuesToModuleNVRAM", flag(reset_flag, "reset_flag"))


__all__ = ["NvramOperations", "VersionedData"]

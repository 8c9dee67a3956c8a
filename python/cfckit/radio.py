"""Radio test control: AFC, gains, power, loopback, GPRS frames and slots,
bursts, baseband registers and the AGC measure points."""

from __future__ import annotations

from ctypes import byref, c_int16, c_uint8, c_uint16, c_uint32
from typing import NamedTuple, Sequence, Tuple

from ._base import LOCAL_FAILURES, RPC_FAILURES, Operations, raises
from ._convert import BytesLike, area, flag, number, words


class IQOffsets(NamedTuple):
    """The I/Q offsets in use."""

    rx_i: int
    rx_q: int
    tx_i: int
    tx_q: int


class LoopbackData(NamedTuple):
    """One loopback measurement."""

    timing_offset: int
    """In quarter bits."""
    freq_offset: int
    """In Hz."""
    bit_errors: int
    soft_decision_total: int
    rssi: int


class GwRssiPoints(NamedTuple):
    """26 AGC gain words and their RSSI values."""

    gain_words: Tuple[int, ...]
    rssi: Tuple[int, ...]


def _u8(value: int, name: str) -> int:
    return number(value, c_uint8, name)


def _u16(value: int, name: str) -> int:
    return number(value, c_uint16, name)


def _u32(value: int, name: str) -> int:
    return number(value, c_uint32, name)


class RadioOperations(Operations):
    """Radio test control of a connection. Bands are 0 to 3, modulations 0
    (GMSK) and 1 (8PSK)."""

    @raises(RPC_FAILURES)
    def set_afc(self, value: int) -> None:
        """Sets the AFC DAC to `value` (16-bit)."""
        self._call("WSetAFC", _u16(value, "value"))

    @raises(RPC_FAILURES + " Code 16 when the module found no frequency burst.")
    def set_afc_and_measure(self, arfcn: int, value: int) -> int:
        """Sets the AFC DAC to `value` and measures on channel `arfcn`.

        Returns:
            The frequency offset the module measured.
        """
        offset = c_int16(0)
        self._call("WSetAFCAndMeasure", _u16(arfcn, "arfcn"), _u16(value, "value"), byref(offset))
        return offset.value

    @raises(RPC_FAILURES)
    def set_gain_program_word(self, gain_word: int, gain_index: int, band: int) -> None:
        """Writes the gain program word of `gain_index` in `band`."""
        self._call(
            "WSetGainProgramWord",
            _u16(gain_word, "gain_word"),
            _u8(gain_index, "gain_index"),
            _u8(band, "band"),
        )

    @raises(RPC_FAILURES)
    def get_gain_program_word(self, gain_index: int, band: int) -> int:
        """Reads the gain program word of `gain_index` in `band`.

        Returns:
            The 16-bit gain word.
        """
        word = c_uint16(0)
        self._call(
            "WGetGainProgramWord", _u8(gain_index, "gain_index"), _u8(band, "band"), byref(word)
        )
        return word.value

    @raises(RPC_FAILURES)
    def set_accurate_value(self, value: int, gain_index: int, band: int) -> None:
        """Writes the accurate value of `gain_index` in `band`."""
        self._call(
            "WSetAccurateValue",
            _u16(value, "value"),
            _u8(gain_index, "gain_index"),
            _u8(band, "band"),
        )

    @raises(RPC_FAILURES)
    def get_power_value(self, channel: int, gain: int, apply_agc_table: bool) -> int:
        """Measures the received power on `channel` with `gain`.

        Returns:
            The RSSI in 1/16 dB.
        """
        rssi = c_int16(0)
        self._call(
            "WGetPowerValue",
            _u16(channel, "channel"),
            _u16(gain, "gain"),
            flag(apply_agc_table, "apply_agc_table"),
            byref(rssi),
        )
        return rssi.value

    @raises(RPC_FAILURES)
    def get_used_iq_offset_values(self, measure: bool) -> IQOffsets:
        """The I/Q offsets in use, measured anew when `measure` is true.

        Returns:
            IQOffsets(rx_i, rx_q, tx_i, tx_q).
        """
        offsets = (c_int16 * 4)()
        self._call("WGetUsedIQOffsetValues", flag(measure, "measure"), offsets)
        return IQOffsets(*offsets)

    @raises(RPC_FAILURES)
    def set_current_dual_band_mode(self, band_mode: int) -> None:
        """Sets the module's band mode for the radio tests."""
        self._call("WSetCurrentDualBandMode", _u8(band_mode, "band_mode"))

    @raises(RPC_FAILURES)
    def set_power_ramp(self, ramp: Sequence[int]) -> None:
        """Sets the power ramp: 32 values of 16 bits."""
        self._call("WSetPowerRamp", words(ramp, c_uint16, 32, "ramp"))

    @raises(RPC_FAILURES)
    def set_ramp_scale_factor(self, scale_factor: int) -> None:
        """Sets the ramp scale factor (16-bit)."""
        self._call("WSetRampScaleFactor", _u16(scale_factor, "scale_factor"))

    @raises(RPC_FAILURES)
    def radio_power_on(self) -> None:
        """Switches the radio on."""
        self._call("WRadioPowerOn")

    @raises(RPC_FAILURES)
    def radio_power_down(self) -> None:
        """Switches the radio off."""
        self._call("WRadioPowerDown")

    @raises(RPC_FAILURES)
    def radio_receiver_on(self, parameter: int) -> None:
        """Switches the receiver on with a 32-bit `parameter`."""
        self._call("WRadioReceiverOn", _u32(parameter, "parameter"))

    @raises(RPC_FAILURES)
    def radio_receiver_off(self, parameter: int) -> None:
        """Switches the receiver off with a 32-bit `parameter`."""
        self._call("WRadioReceiverOff", _u32(parameter, "parameter"))

    @raises(RPC_FAILURES)
    def radio_send_telegram(self, telegram: int) -> None:
        """Sends a 32-bit radio `telegram`."""
        self._call("WRadioSendTelegram", _u32(telegram, "telegram"))

    @raises(RPC_FAILURES)
    def radio_set_init_telegram(self, telegram: int, index: int) -> None:
        """Sets the initial telegram number `index` to `telegram`."""
        self._call("WRadioSetInitTelegram", _u32(telegram, "telegram"), _u8(index, "index"))

    @raises(RPC_FAILURES)
    def start_loopback(
        self, bch: int, tch: int, time_slot: int, tsc: int, power_level: int
    ) -> None:
        """Starts a loopback on the channels `bch` and `tch`."""
        self._call(
            "WStartLoopback",
            _u16(bch, "bch"),
            _u16(tch, "tch"),
            _u8(time_slot, "time_slot"),
            _u8(tsc, "tsc"),
            _u8(power_level, "power_level"),
        )

    @raises(RPC_FAILURES)
    def change_loopback(self, tch: int, time_slot: int, tsc: int, power_level: int) -> None:
        """Changes the running loopback."""
        self._call(
            "WChangeLoopback",
            _u16(tch, "tch"),
            _u8(time_slot, "time_slot"),
            _u8(tsc, "tsc"),
            _u8(power_level, "power_level"),
        )

    @raises(RPC_FAILURES)
    def stop_loopback(self) -> None:
        """Stops the loopback."""
        self._call("WStopLoopback")

    @raises(RPC_FAILURES)
    def get_loopback_data(self) -> LoopbackData:
        """Reads the loopback's measurement.

        Returns:
            LoopbackData(timing_offset, freq_offset, bit_errors,
            soft_decision_total, rssi).
        """
        timing, freq, errors, soft, rssi = c_int16(), c_int16(), c_uint16(), c_uint16(), c_int16()
        self._call(
            "WGetLoopbackData", byref(timing), byref(freq), byref(errors), byref(soft), byref(rssi)
        )
        return LoopbackData(timing.value, freq.value, errors.value, soft.value, rssi.value)

    @raises(RPC_FAILURES)
    def configure_gprs_multi_frame(
        self,
        frame_number: int,
        slot_mapping: BytesLike,
        rx_channel: int,
        tx_channel: int,
        monitor_channel: int,
        frame_advance: int,
        rx_advance: int,
        tx_advance: int,
        monitor_advance: int,
    ) -> None:
        """Defines GPRS frame `frame_number`; `slot_mapping` holds the eight
        slots' mapping (8 bytes)."""
        mapping, _ = area(slot_mapping, "slot_mapping", 8)
        self._call(
            "WConfigureGPRSMultiFrame",
            _u8(frame_number, "frame_number"),
            mapping,
            _u16(rx_channel, "rx_channel"),
            _u16(tx_channel, "tx_channel"),
            _u16(monitor_channel, "monitor_channel"),
            _u16(frame_advance, "frame_advance"),
            _u16(rx_advance, "rx_advance"),
            _u16(tx_advance, "tx_advance"),
            _u16(monitor_advance, "monitor_advance"),
        )

    @raises(RPC_FAILURES)
    def change_gprs_timing(
        self,
        frame_number: int,
        frame_advance: int,
        rx_advance: int,
        tx_advance: int,
        monitor_advance: int,
    ) -> None:
        """Changes the four advances of GPRS frame `frame_number`."""
        self._call(
            "WChangeGPRSTiming",
            _u8(frame_number, "frame_number"),
            _u16(frame_advance, "frame_advance"),
            _u16(rx_advance, "rx_advance"),
            _u16(tx_advance, "tx_advance"),
            _u16(monitor_advance, "monitor_advance"),
        )

    @raises(RPC_FAILURES)
    def set_gprs_usage(self, mode: int) -> None:
        """Sets how the GPRS frames are used."""
        self._call("WSetGPRSUsage", _u8(mode, "mode"))

    @raises(RPC_FAILURES)
    def bbc_register(
        self, read_write_mask: int, addresses: Sequence[int], values: Sequence[int]
    ) -> Tuple[int, ...]:
        """Reads and writes eight baseband registers.

        Args:
            read_write_mask: two bits a register from bit 0 up, 01 writing its
                value and 10 reading it.
            addresses: the eight register addresses.
            values: the eight values to write.

        Returns:
            The eight values the module returned.
        """
        returned = (c_uint16 * 8)()
        self._call(
            "WBBCRegister",
            _u16(read_write_mask, "read_write_mask"),
            words(addresses, c_uint16, 8, "addresses"),
            words(values, c_uint16, 8, "values"),
            returned,
        )
        return tuple(returned)

    @raises(RPC_FAILURES)
    def set_precharge_value(self, value: int) -> None:
        """Sets the precharge value (16-bit)."""
        self._call("WSetPrechargeValue", _u16(value, "value"))

    @raises(RPC_FAILURES + " Code 5 when the module does not take the band mode.")
    def set_apex_band_mode(self, band_mode: int) -> None:
        """Changes the band mode, with the protocol stack off in normal mode
        and the operation mode set back when the change moved it."""
        self._call("WSetApexBandMode", _u8(band_mode, "band_mode"))

    @raises(RPC_FAILURES)
    def set_tx_offset(self, i_offset: int, q_offset: int) -> None:
        """Sets the Tx I/Q offsets (bytes) through the baseband registers."""
        self._call("WSetTxOffset", _u8(i_offset, "i_offset"), _u8(q_offset, "q_offset"))

    @raises(RPC_FAILURES + " Code 13 for an offset of 0x40 or more, 15 for a ramp DAC"
            " value of 1024 or more.")
    def set_am_loop_offset(
        self, mode: int, channel: int, am_loop_offset: int, value: int, ramp_dac_value: int
    ) -> None:
        """Constant transmission on `channel`; a non-zero `mode` prepares the
        Tx control registers and sets the ramp DAC after it."""
        self._call(
            "WSetAMLoopOffset",
            _u8(mode, "mode"),
            _u16(channel, "channel"),
            _u32(am_loop_offset, "am_loop_offset"),
            _u16(value, "value"),
            _u16(ramp_dac_value, "ramp_dac_value"),
        )

    @raises(RPC_FAILURES)
    def init_gain_code_templates(self, gain_index: int, band: int) -> None:
        """Fetches the band's gain codes (at most 16) for get_next_gain_code."""
        self._call("WInitGainCodeTemplates", _u8(gain_index, "gain_index"), _u8(band, "band"))

    @raises("CfcError: code 21 when every fetched gain code was read already.")
    def get_next_gain_code(self) -> int:
        """The next gain code fetched by init_gain_code_templates."""
        code = c_uint16(0)
        self._call("WGetNextGainCode", byref(code))
        return code.value

    @raises(RPC_FAILURES)
    def set_burst_data(self, burst_data: Sequence[int], modulation: int) -> None:
        """Sends 30 burst data words; the first 10 (GMSK) or all (8PSK) are
        kept for the Tx slots."""
        self._call(
            "WSetBurstData",
            words(burst_data, c_uint16, 30, "burst_data"),
            _u8(modulation, "modulation"),
        )

    @raises(RPC_FAILURES + " Code 11 for a training sequence code above 7 in modes 3 and 4.")
    def set_cfc_burst_data_mode(self, data_mode: int, tsc: int, modulation: int) -> None:
        """Builds and sends the burst of `data_mode`: 1 all ones, 2 a 0/1
        pattern, 3 ones around the training sequence `tsc`, 4 the 0/1 pattern
        around it."""
        self._call(
            "WSetCfcBurstDataMode",
            _u8(data_mode, "data_mode"),
            _u8(tsc, "tsc"),
            _u8(modulation, "modulation"),
        )

    @raises(RPC_FAILURES)
    def configure_gprs_logical_rx_slot(self, slot_number: int, modulation: int, gain: int) -> None:
        """Defines GPRS slot `slot_number` as an Rx slot."""
        self._call(
            "WConfigureGPRSLogicalRxSlot",
            _u8(slot_number, "slot_number"),
            _u8(modulation, "modulation"),
            _u16(gain, "gain"),
        )

    @raises(RPC_FAILURES)
    def configure_gprs_logical_tx_slot(
        self, slot_number: int, modulation: int, power_level: int, other_type: bool
    ) -> None:
        """Defines GPRS slot `slot_number` as a Tx slot with the kept burst
        data; `other_type` gives it the third Tx type."""
        self._call(
            "WConfigureGPRSLogicalTxSlot",
            _u8(slot_number, "slot_number"),
            _u8(modulation, "modulation"),
            _u8(power_level, "power_level"),
            flag(other_type, "other_type"),
        )

    @raises(RPC_FAILURES)
    def configure_gprs_logical_mon_slot(self, slot_number: int, value: int) -> None:
        """Defines GPRS slot `slot_number` as a monitor slot."""
        self._call(
            "WConfigureGPRSLogicalMonSlot", _u8(slot_number, "slot_number"), _u16(value, "value")
        )

    @raises(RPC_FAILURES)
    def configure_gprs_logical_unused_slot(self, slot_number: int) -> None:
        """Marks GPRS slot `slot_number` as not in use."""
        self._call("WConfigureGPRSLogicalUnusedSlot", _u8(slot_number, "slot_number"))

    @raises(RPC_FAILURES)
    def set_circuit_switched_tdma_frame(
        self,
        burst_type: int,
        burst_on: BytesLike,
        channels: Sequence[int],
        gains: Sequence[int],
        second_burst_type: int,
        timing_advance: int,
        rach_data: int,
        power_level: int,
        scale_factor: int,
    ) -> None:
        """Defines a circuit-switched TDMA frame of four bursts.

        Args:
            burst_on: four burst-on flags (4 bytes).
            channels: four channels.
            gains: four gains.
            scale_factor: set first with set_ramp_scale_factor.
        """
        flags, _ = area(burst_on, "burst_on", 4)
        self._call(
            "WSetCircuitSwitchedTDMAFrame",
            _u8(burst_type, "burst_type"),
            flags,
            words(channels, c_uint16, 4, "channels"),
            words(gains, c_uint16, 4, "gains"),
            _u8(second_burst_type, "second_burst_type"),
            _u8(timing_advance, "timing_advance"),
            _u8(rach_data, "rach_data"),
            _u8(power_level, "power_level"),
            _u16(scale_factor, "scale_factor"),
        )

    @raises(LOCAL_FAILURES)
    def get_gw_index_array(self) -> Tuple[int, ...]:
        """The AGC measure points' index record (count 3, points 4 and 15);
        nothing is sent."""
        record = (c_uint16 * 3)()
        self._call("WGetGwIndexArray", record)
        return tuple(record)

    @raises(LOCAL_FAILURES)
    def send_gw_rssi_m_points(self, gain_words: Sequence[int], rssi: Sequence[int]) -> GwRssiPoints:
        """Spreads two measured points (gain words and RSSI values, two each)
        to 26 gain words and RSSI values; computed here, nothing is sent.

        Returns:
            GwRssiPoints(gain_words, rssi), 26 values each.
        """
        gain_result, rssi_result = (c_uint16 * 26)(), (c_int16 * 26)()
        self._call(
            "WSendGwRssiMPoints",
            words(gain_words, c_uint16, 2, "gain_words"),
            words(rssi, c_int16, 2, "rssi"),
            gain_result,
            rssi_result,
        )
        return GwRssiPoints(tuple(gain_result), tuple(rssi_result))

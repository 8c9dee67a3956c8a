"""Identity and security: serial numbers, IMEI, security mode, mobile
information."""

from __future__ import annotations

from ctypes import byref, c_uint8, c_uint16, c_uint32

from ._base import IDENTITY_FAILURES, RPC_FAILURES, Operations, raises
from ._convert import BytesLike, area, number, output


class IdentityOperations(Operations):
    """Identity and security operations of a connection."""

    def _read_area(self, name: str, size: int) -> bytes:
        data = output(size)
        self._call(name, data)
        return bytes(data)[:size]

    def _imei_mode(self, name: str) -> int:
        mode = c_uint8(0)
        self._call(name, byref(mode))
        return mode.value

    @raises(RPC_FAILURES)
    def get_flash_serial_number(self) -> bytes:
        """The flash memory's serial number (4 bytes)."""
        return self._read_area("WGetFlashSerialNumber", 4)

    @raises(IDENTITY_FAILURES)
    def get_single_ie(self, ie_code: int) -> int:
        """The 16-bit value of the information element `ie_code`."""
        value = c_uint16(0)
        self._call("WGetSingleIE", number(ie_code, c_uint16, "ie_code"), byref(value))
        return value.value

    @raises(IDENTITY_FAILURES)
    def reset_imei_mode(self) -> int:
        """Resets the IMEI mode.

        Returns:
            The mode the module keeps.
        """
        return self._imei_mode("WResetIMEIMode")

    @raises(IDENTITY_FAILURES)
    def set_customer_imei_mode(self) -> int:
        """Sets the customer IMEI mode.

        Returns:
            The mode the module keeps.
        """
        return self._imei_mode("WSetCustomerIMEIMode")

    @raises(IDENTITY_FAILURES)
    def read_serial_number(self) -> bytes:
        """The module's serial number (8 bytes)."""
        return self._read_area("WReadSerialNumber", 8)

    @raises(IDENTITY_FAILURES)
    def read_imei(self) -> bytes:
        """The module's IMEI as the module holds it (8 bytes, BCD)."""
        return self._read_area("WReadIMEI", 8)

    @raises(IDENTITY_FAILURES)
    def init_imei(self) -> None:
        """Initialises the IMEI."""
        self._call("WInitIMEI")

    @raises(IDENTITY_FAILURES)
    def freeze_imei(self, imei: BytesLike) -> None:
        """Writes and freezes the IMEI (8 bytes)."""
        buffer, _ = area(imei, "imei", 8)
        self._call("WFreezeIMEI", buffer)

    @raises(IDENTITY_FAILURES)
    def set_security_mode(self, mode: int, value: int) -> int:
        """Asks for security mode `mode` (16-bit) with a 32-bit `value`.

        Returns:
            The mode the module keeps.
        """
        kept = c_uint16(number(mode, c_uint16, "mode"))
        self._call("WSetSecurityMode", byref(kept), number(value, c_uint32, "value"))
        return kept.value

    @raises(RPC_FAILURES)
    def request_challenge(self) -> bytes:
        """A challenge from the module (8 bytes), for send_response."""
        return self._read_area("WRequestChallenge", 8)

    @raises(IDENTITY_FAILURES)
    def send_response(self, response: BytesLike) -> None:
        """Answers the last challenge (64 bytes)."""
        buffer, _ = area(response, "response", 64)
        self._call("WSendResponse", buffer)

    @raises(IDENTITY_FAILURES)
    def get_mobile_information(self) -> bytes:
        """The module's mobile information (17 bytes)."""
        return self._read_area("WGetMobileInformation", 17)

// The calibration operations that others build on, for use on a connection
// that has passed the handle check. Each traces and keeps its last error as
// its public operation does.
#pragma once

#include <cstdint>

namespace cfc {

class Connection;

int32_t CheckCalibrationItem(Connection& connection, uint8_t calibrationId, uint8_t* present);
int32_t ReadCalibrationItem(Connection& connection, uint8_t calibrationId, uint8_t* data,
                            uint16_t dataSize, uint16_t* bytesRead);
int32_t WriteCalibrationItem(Connection& connection, uint8_t calibrationId, const uint8_t* data,
                             uint16_t dataSize);
int32_t EraseCalibrationItems(Connection& connection);
int32_t SaveAllOtherCalibrationItems(Connection& connection, uint16_t lastCalibrationItem);
int32_t RestoreAllOtherCalibrationItems(Connection& connection, uint16_t lastCalibrationItem);

// Eight register addresses and values; `returned` takes eight values.
int32_t BBCRegister(Connection& connection, uint16_t readWriteMask, const uint16_t* addresses,
                    const uint16_t* values, uint16_t* returned);
int32_t SetRampScaleFactor(Connection& connection, uint16_t scaleFactor);

} // namespace cfc

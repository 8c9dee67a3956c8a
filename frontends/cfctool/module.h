// A connection to the module on a COM port, brought into service mode, for
// the length of one command. Every failure on it becomes a Failure carrying
// the library's code and words.
#pragma once

#include <cstdint>
#include <string>

namespace cfctool {

// "com3" (any case) as vornax takes it, strictly: digits up to the end,
// 1 to 99. 0 for anything else.
int parseComPort(const std::string& text);

// "COM3 (/dev/ttyUSB0)", or "COM3" when the number maps to no device.
std::string portName(int port);

class Module {
public:
    // Opens COM<port> at 115200 baud and brings the module into service
    // mode; throws Failure with the reason when either does not happen.
    explicit Module(int port);
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    uint32_t handle() const { return handle_; }
    int port() const { return port_; }

    // Throws Failure naming `what` and the library's reason when `result`
    // is 0; returns otherwise.
    void require(int32_t result, const std::string& what) const;
    // The library's last error of this connection in words, with its number.
    std::string lastErrorText() const;
    uint16_t lastError() const;

private:
    int port_;
    uint32_t handle_ = 0;
};

// Switches the library's trace file on before any connection is opened and
// tells where it goes.
void enableLibraryTrace();

} // namespace cfctool

// What the simulated module does, and the faults it stages on the line.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim {

// The states of the module's serial side.
enum class Mode : uint8_t {
    Off,        // switched off: hears nothing, says nothing
    At,         // the firmware's command interpreter
    Emmi,       // the firmware's framed service protocol
    Bootloader, // just switched on through DTR, before the firmware runs
};

const char* modeName(Mode mode);

// The firmware's operation modes, numbered as on the wire.
enum class OperationMode : uint8_t { Normal = 0, Service = 1, Test = 2, Airplane = 4 };

bool isOperationMode(uint8_t value);

inline constexpr uint32_t kEveryTime = 0xFFFFFFFFu;

// When a fault strikes: it lets `skip` occasions pass, then strikes on the
// next `count` (kEveryTime: on all). Each fault names its occasion.
struct FaultPlan {
    uint32_t skip = 0;
    uint32_t count = 0;

    // Counts one occasion off; true when the fault strikes on it.
    bool take();
    bool armed() const { return count != 0; }
};

struct Faults {
    // Occasion: a correct host frame that was not itself the resend of a
    // frame this fault refused. Strikes: answers NAK instead of ACK.
    FaultPlan nakFirstTransmission;
    // Occasion: a transmission of a module frame. Strikes: the BCC is sent
    // inverted.
    FaultPlan corruptBcc;
    // Occasion: a module frame about to be sent. Strikes: the frame never
    // goes out and the message goes on as if it had been acknowledged.
    FaultPlan dropFrame;
    // Occasion: a module frame that was acknowledged. Strikes: it is sent
    // once more, same segment number, as after a lost acknowledgement.
    FaultPlan repeatFrame;
    // Occasion: the gap between two frames of a module message. Strikes: a
    // signal-trace frame (0xD4) goes out in between.
    FaultPlan interleaveSignalTrace;
    // Occasion: a module message about to be sent / just sent. Strikes:
    // strayText goes out before / after it, outside any frame.
    FaultPlan strayTextBefore;
    FaultPlan strayTextAfter;
    std::string strayText = "\r\nstray module text\r\n";
};

// How the command interpreter answers.
enum class AtAnswers : uint8_t {
    Normal,        // echo, then "\r\nOK\r\n" or "\r\nERROR\r\n"
    SwitchRefused, // "at^sqwe=1" is answered with ERROR and changes nothing
    UpperCaseEcho, // echoes every letter in capitals
};

// How the bootloader answers its version command.
enum class BootVersionAnswer : uint8_t {
    Valid,   // ACK and the 11-byte version record
    Refused, // NAK instead of ACK
    Silent,  // nothing at all
};

struct BootloaderOptions {
    // The start pattern that is answered: 1 the first, N the Nth, 0 none.
    uint32_t patternAnswerAt = 1;
    // How long after the ignition the bootloader listens for the start
    // pattern before it starts the firmware the normal way.
    uint32_t patternWindowMs = 1000;
    BootVersionAnswer versionAnswer = BootVersionAnswer::Valid;
    uint8_t versionMajor = 1;
    uint8_t versionMinor = 3;
    // From the boot command's confirmation until the firmware answers.
    uint32_t firmwareStartMs = 100;
};

// How the firmware confirms the Java autostart request (107).
enum class AutoStartConfirm : uint8_t {
    AtOnce,        // confirm 108 follows the request
    AfterFallback, // no confirm until the request comes again as 103
    Never,         // the setting is taken, no confirm ever comes
};

// What goes wrong with the confirm of a catalogue call (calibration, NVRAM,
// identity); the main path's calls are not touched.
enum class ConfirmFault : uint8_t {
    None,
    Status, // the confirm's status byte is `status`
    // A stale confirm (reference one below) goes out before the real one.
    ForeignReference,
    Short,     // the confirm's last byte is left off
    Silent,    // no confirm at all
    WrongEcho, // an echoed field (channel, burst type) is off by one
};

struct CatalogueFault {
    ConfirmFault kind = ConfirmFault::None;
    // The request it strikes on; 0: every catalogue request.
    uint16_t request = 0;
    uint8_t status = 0xFF;
    // Occasion: a request it may strike on, counted from the firmware's
    // construction.
    uint32_t skip = 0;
    uint32_t count = kEveryTime;
};

inline constexpr const char* kDefaultVersionText =
    "ZEPHIN_B2_240:cfcsim module firmware&Bln-Bootloader V01.03&RPC 0001.0000";

struct FirmwareOptions {
    // False: the module has its bootloader only; after a boot it stays silent.
    bool present = true;
    // The rate the firmware speaks at; 0 understands any.
    uint32_t baudRate = 115200;
    // The serial mode the firmware starts in after the bootloader dialogue
    // (after a plain ignition pulse it always starts in AT mode).
    Mode serviceBootMode = Mode::Emmi;
    AtAnswers atAnswers = AtAnswers::Normal;

    std::string versionText = kDefaultVersionText;
    uint32_t hardwareId = 0x00000203;
    uint32_t rpcVersion = 0x00010000; // major in the high half

    // The operation mode at every start of the firmware.
    OperationMode operationMode = OperationMode::Normal;
    // True: a mode change is confirmed as done but the mode stays.
    bool keepsOperationMode = false;

    // The Java autostart setting, kept over switching off.
    bool javaAutoStart = true;
    // Result byte of the autostart confirm; not 0 leaves the setting alone.
    uint8_t autoStartResult = 0;
    AutoStartConfirm autoStartConfirm = AutoStartConfirm::AtOnce;

    // False: the switch-off request is acknowledged and nothing else happens.
    bool silentAfterSwitchOff = true;

    CatalogueFault catalogueFault;
    // Band mode reads answered as not valid before the firmware gives the
    // band mode, counted over the firmware's life.
    uint32_t bandModeInvalidReads = 0;
    // True: a band mode write is confirmed and the band mode stays.
    bool keepsBandMode = false;
    // A calibration item id this firmware does not handle: its check and
    // read report the item state 4. None when above 0xFFFF.
    uint32_t unknownCalibrationItem = 0x10000;
    // The NVRAM calibration items the module holds when it is made, by id.
    std::map<uint16_t, std::vector<uint8_t>> calibrationItems;
};

// The items of a calibrated module: ids 0 to 7 and 18 in the sizes the
// host's calibration store gives them, each filled with its own pattern.
std::map<uint16_t, std::vector<uint8_t>> factoryCalibrationItems();

struct Options {
    // Silence allowed inside a host frame before it counts as broken off.
    uint32_t interByteTimeoutMs = 500;
    // How long a module frame waits for the host's ACK or NAK.
    uint32_t ackTimeoutMs = 1000;
    // Transmissions of one module frame (the first included) before the
    // message is given up.
    uint32_t maxTransmissions = 5;
    // False: bytes are understood whatever baud rate the host has set.
    bool checkBaudRate = true;
    BootloaderOptions bootloader;
    FirmwareOptions firmware;
    Faults faults;
};

} // namespace sim

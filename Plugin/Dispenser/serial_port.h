// SerialPort: a COM port (Windows) or a serial device path (POSIX) opened for the
// sole use of this process, configured with a line format and the read and write
// time-outs of the Windows COMMTIMEOUTS record, which mean the same on both:
//   a read of n bytes returns when n bytes came, when readInterval ms pass between
//   two bytes (0: no interval limit), or when readTotalMultiplier * n +
//   readTotalConstant ms have passed (both 0: no total limit); a write of n bytes
//   gives up after writeTotalMultiplier * n + writeTotalConstant ms (both 0: never).
#pragma once

#include "framework/file_port.h"

#include <cstdint>
#include <memory>
#include <string>

// The line: bit rate, data bits, parity and stop bits coded as the DCB codes them
// (parity 0 none, 1 odd, 2 even, 3 mark, 4 space; stop bits 0 = 1, 1 = 1.5, 2 = 2),
// and a flow-control mode (FlowControlMode; other values: no handshake, DTR and RTS off).
struct SerialLineFormat {
    std::uint32_t baudRate = 9600;
    std::uint8_t byteSize = 8;
    std::uint8_t parity = 0;
    std::uint8_t stopBits = 0;
    std::int32_t flowControl = 1;
};

// Milliseconds, as in COMMTIMEOUTS.
struct SerialTimeouts {
    std::uint32_t readInterval = 100;
    std::uint32_t readTotalMultiplier = 100;
    std::uint32_t readTotalConstant = 1000;
    std::uint32_t writeTotalMultiplier = 100;
    std::uint32_t writeTotalConstant = 1000;
};

class SerialPort : public FilePort {
public:
    // Opens the port with no sharing. Returns null when another program (or another
    // opener in this one) holds it; any other failure raises WindowsError.
    static std::unique_ptr<SerialPort> Open(const std::string& name);

    // Sets the line format, flow control and time-outs; failures raise WindowsError.
    virtual void Configure(const SerialLineFormat& format, const SerialTimeouts& timeouts) = 0;
    // Drops whatever waits in the input queue.
    virtual void DiscardInput() = 0;

protected:
    using FilePort::FilePort;
};

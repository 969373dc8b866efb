#include "Plugin/Dispenser/serial_port.h"

#include "Plugin/Dispenser/settings.h"
#include "framework/exceptions.h"
#include "framework/win32/unique_handle.h"
#include "framework/win32/wide_text.h"
#include "windows_api.h"

#include <cwctype>

namespace {

// The sole use of a port among this plug-in's openers, also where the system does
// not refuse a second opener of a COM port (wine): a named semaphore of one per port
// name (a mutex would let its owning thread in twice).
class PortClaim {
public:
    static std::unique_ptr<PortClaim> Take(const std::string& name)
    {
        std::wstring objectName = L"Local\\Orvane.Dispenser.SerialPort.";
        // "\\.\COM10" and "COM10" are one port.
        const std::string bare = name.rfind("\\\\.\\", 0) == 0 ? name.substr(4) : name;
        for (wchar_t c : Widen(bare))
            objectName += c == L'\\' ? L'_' : static_cast<wchar_t>(std::towupper(c));
        UniqueKernelHandle semaphore(CreateSemaphoreW(nullptr, 1, 1, objectName.c_str()));
        if (!semaphore)
            THROW_LAST_SYSTEM_ERROR();
        const DWORD waited = WaitForSingleObject(semaphore.Get(), 0);
        if (waited == WAIT_TIMEOUT)
            return nullptr;
        if (waited != WAIT_OBJECT_0)
            THROW_LAST_SYSTEM_ERROR();
        return std::unique_ptr<PortClaim>(new PortClaim(std::move(semaphore)));
    }
    ~PortClaim() { ReleaseSemaphore(semaphore_.Get(), 1, nullptr); }

private:
    explicit PortClaim(UniqueKernelHandle semaphore) : semaphore_(std::move(semaphore)) {}
    UniqueKernelHandle semaphore_;
};

class WindowsSerialPort final : public SerialPort {
public:
    WindowsSerialPort(HANDLE file, const std::string& name, std::unique_ptr<PortClaim> claim)
        : SerialPort(reinterpret_cast<NativeFile>(file), name), claim_(std::move(claim))
    {
    }
    // The port closes before the claim goes.
    ~WindowsSerialPort() override { CloseHandle(); }

    void Configure(const SerialLineFormat& format, const SerialTimeouts& timeouts) override
    {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(Handle(), &dcb))
            THROW_LAST_SYSTEM_ERROR();
        dcb.Parity = format.parity;
        dcb.StopBits = format.stopBits;
        dcb.ByteSize = format.byteSize;
        dcb.BaudRate = format.baudRate;
        // Set in every case; fParity, the XON/XOFF limits and the special characters
        // keep what the driver reported.
        dcb.fBinary = 1;
        dcb.fOutxCtsFlow = 0;
        dcb.fOutxDsrFlow = 0;
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
        dcb.fDsrSensitivity = 0;
        dcb.fTXContinueOnXoff = 1;
        dcb.fOutX = 0;
        dcb.fInX = 0;
        dcb.fErrorChar = 0;
        dcb.fNull = 0;
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        dcb.fAbortOnError = 0;
        switch (format.flowControl) {
        case FlowControlNone:
            dcb.fDtrControl = DTR_CONTROL_ENABLE;
            dcb.fRtsControl = RTS_CONTROL_ENABLE;
            break;
        case FlowControlXonXoff:
            dcb.fOutX = 1;
            dcb.fInX = 1;
            dcb.fDtrControl = DTR_CONTROL_ENABLE;
            dcb.fRtsControl = RTS_CONTROL_ENABLE;
            break;
        case FlowControlHardware:
            dcb.fOutxCtsFlow = 1;
            dcb.fOutxDsrFlow = 1;
            dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
            dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
            break;
        default:
            break; // no handshake, DTR and RTS off
        }
        if (!SetCommState(Handle(), &dcb))
            THROW_LAST_SYSTEM_ERROR();

        COMMTIMEOUTS commTimeouts{};
        commTimeouts.ReadIntervalTimeout = timeouts.readInterval;
        commTimeouts.ReadTotalTimeoutMultiplier = timeouts.readTotalMultiplier;
        commTimeouts.ReadTotalTimeoutConstant = timeouts.readTotalConstant;
        commTimeouts.WriteTotalTimeoutMultiplier = timeouts.writeTotalMultiplier;
        commTimeouts.WriteTotalTimeoutConstant = timeouts.writeTotalConstant;
        if (!SetCommTimeouts(Handle(), &commTimeouts))
            THROW_LAST_SYSTEM_ERROR();
    }

    void DiscardInput() override
    {
        if (!PurgeComm(Handle(), PURGE_RXCLEAR))
            THROW_LAST_SYSTEM_ERROR();
    }

private:
    HANDLE Handle() const { return reinterpret_cast<HANDLE>(File()); }

    std::unique_ptr<PortClaim> claim_;
};

} // namespace

std::unique_ptr<SerialPort> SerialPort::Open(const std::string& name)
{
    std::unique_ptr<PortClaim> claim = PortClaim::Take(name);
    if (!claim)
        return nullptr;
    HANDLE file = CreateFileW(Widen(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // Windows answers a COM port held by another program with "access denied";
        // a sharing violation (as wine reports it) means the same.
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
            return nullptr;
        throw WindowsError(error, __FILE_NAME__, __LINE__);
    }
    return std::make_unique<WindowsSerialPort>(file, name, std::move(claim));
}

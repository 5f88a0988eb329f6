#pragma once
// The live capture on Windows: a raw IPv4 socket (Winsock 2) bound to one
// local address and switched into receive-all mode, so that each receive
// gives one whole datagram that the interface of that address sent or
// received. The steps and their failures:
//
//   Startup()        WSAStartup 2.2, the raw socket     Initialization
//   FindInterface()  its first local address (SIO_ADDRESS_LIST_QUERY), or
//                    the address of the interface named  NoInterface
//   Activate()       bind to that address, port 0        Initialization
//                    SIO_RCVALL on (an administrator's)  Permission
//   Receive()        a blocking receive with the run's time-out, so that a
//                    Stop is seen within it
//
// The socket calls sit behind IWinsockCalls, so that tests can stand in for
// them (a Wine raw socket refuses SIO_RCVALL, and tests must not capture).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/capture/CaptureSource.h"

class IWinsockCalls {
public:
    using Socket = std::uintptr_t;
    static constexpr Socket kNoSocket = ~Socket{0};

    virtual ~IWinsockCalls() = default;
    virtual bool Startup() = 0;  // WSAStartup(0x0202)
    virtual void Cleanup() = 0;  // WSACleanup
    virtual Socket OpenRawSocket() = 0;  // WSASocketA(AF_INET, SOCK_RAW, IPPROTO_IP, ..., WSA_FLAG_OVERLAPPED)
    // SIO_ADDRESS_LIST_QUERY: the socket's local IPv4 addresses, network order.
    virtual bool LocalAddresses(Socket socket, std::vector<std::uint32_t>& addresses) = 0;
    // The first IPv4 address of the interface of that name (its friendly or
    // adapter name); 0 when there is no such interface that is up.
    virtual std::uint32_t InterfaceAddress(const std::string& name) = 0;
    virtual bool Bind(Socket socket, std::uint32_t address) = 0;
    virtual bool ReceiveAll(Socket socket) = 0;  // SIO_RCVALL with RCVALL_ON
    virtual bool SetReceiveTimeout(Socket socket, int timeoutMs) = 0;  // SO_RCVTIMEO
    // One datagram into buffer: its length; 0 when the time-out passed; -1 on failure.
    virtual int Receive(Socket socket, std::uint8_t* buffer, int size) = 0;
    virtual void Close(Socket socket) = 0;
    // The last failure in words, for ErrorText().
    virtual std::string LastError() = 0;
};

// The system's own calls.
std::unique_ptr<IWinsockCalls> MakeSystemWinsockCalls();

class CWinsockCaptureSource final : public ICaptureSource {
public:
    explicit CWinsockCaptureSource(std::unique_ptr<IWinsockCalls> calls, std::string interfaceName = {});
    ~CWinsockCaptureSource() override;

    CaptureFailure Startup() override;
    CaptureFailure FindInterface() override;
    CaptureFailure Activate() override;
    ReceiveResult Receive(CapturedDatagram& datagram, int timeoutMs) override;
    void Stop() override;
    CaptureStatistics Statistics() override { return statistics_; }
    std::uint32_t InterfaceAddress() const override { return address_; }
    const std::string& ErrorText() const override { return error_; }

private:
    CaptureFailure Fail(CaptureFailure failure, const char* step);

    std::unique_ptr<IWinsockCalls> calls_;
    std::string interfaceName_;
    bool started_ = false;
    IWinsockCalls::Socket socket_ = IWinsockCalls::kNoSocket;
    std::uint32_t address_ = 0;
    int timeoutMs_ = -1;  // the time-out the socket has; -1: none set yet
    std::vector<std::uint8_t> buffer_;
    std::string error_;
    CaptureStatistics statistics_;
};

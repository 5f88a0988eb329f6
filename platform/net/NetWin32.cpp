// The local host scan's system services on Windows: the interface list from
// SIO_GET_INTERFACE_LIST, a raw ICMP socket (an administrator's), the
// process id and sleeping. Names come from Resolver.cpp, whose calls Winsock
// has too.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cerrno>

#include "platform/net/EchoSocket.h"
#include "platform/net/InterfaceList.h"
#include "platform/net/Process.h"

namespace {

// Winsock for the whole process, from before main: the scan's calls may come
// from any thread.
struct CWinsock {
    CWinsock() {
        WSADATA data{};
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~CWinsock() {
        if (started) WSACleanup();
    }
    bool started = false;
} winsock;

// Winsock's errors as the errno values the scan's logic reads.
int ErrnoOf(int error) {
    switch (error) {
    case WSAETIMEDOUT: return ETIMEDOUT;
    case WSAEWOULDBLOCK: return EWOULDBLOCK;
    case WSAEACCES: return EACCES;
    case WSAEHOSTUNREACH: return EHOSTUNREACH;
    case WSAENETUNREACH: return ENETUNREACH;
    case WSAEMSGSIZE: return EMSGSIZE;
    default: return EIO;
    }
}

class CIcmpSocket final : public CEchoSocket {
public:
    explicit CIcmpSocket(SOCKET s) : socket_(s) {}
    ~CIcmpSocket() override { closesocket(socket_); }
    CIcmpSocket(const CIcmpSocket&) = delete;
    CIcmpSocket& operator=(const CIcmpSocket&) = delete;

    bool DeliversIpHeader() const override { return true; }
    std::uint16_t Identifier(std::uint32_t processId) const override {
        return static_cast<std::uint16_t>(processId & 0xFFFF);
    }
    int SetNonBlocking() override {
        u_long on = 1;
        return ioctlsocket(socket_, FIONBIO, &on) == 0 ? 0 : ErrnoOf(WSAGetLastError());
    }
    int SetReceiveTimeout(int milliseconds) override { return SetTimeout(SO_RCVTIMEO, milliseconds); }
    int SetSendTimeout(int milliseconds) override { return SetTimeout(SO_SNDTIMEO, milliseconds); }
    long SendTo(std::uint32_t address, std::span<const std::uint8_t> bytes, int& error) override {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = address;
        const int sent = sendto(socket_, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()),
                                0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        error = sent == SOCKET_ERROR ? ErrnoOf(WSAGetLastError()) : 0;
        return sent == SOCKET_ERROR ? -1 : sent;
    }
    long ReceiveFrom(std::span<std::uint8_t> buffer, std::uint32_t& sender, int& error) override {
        sockaddr_in from{};
        int fromLength = sizeof from;
        const int received = recvfrom(socket_, reinterpret_cast<char*>(buffer.data()), static_cast<int>(buffer.size()),
                                      0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        // A datagram larger than the buffer still counts: its head is there.
        const int failure = received == SOCKET_ERROR ? WSAGetLastError() : 0;
        if (received == SOCKET_ERROR && failure != WSAEMSGSIZE) {
            error = ErrnoOf(failure);
            sender = 0;
            return -1;
        }
        error = 0;
        sender = from.sin_family == AF_INET ? from.sin_addr.s_addr : 0;
        return received == SOCKET_ERROR ? static_cast<long>(buffer.size()) : received;
    }

private:
    int SetTimeout(int option, int milliseconds) {
        const DWORD limit = static_cast<DWORD>(milliseconds);
        return setsockopt(socket_, SOL_SOCKET, option, reinterpret_cast<const char*>(&limit), sizeof limit) == 0
                   ? 0
                   : ErrnoOf(WSAGetLastError());
    }
    SOCKET socket_;
};

}  // namespace

int ReadInterfaceAddresses(std::vector<CInterfaceAddress>& entries) {
    const SOCKET s = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, 0);
    if (s == INVALID_SOCKET) return 0;
    INTERFACE_INFO list[64] = {};
    DWORD bytes = 0;
    const int result = WSAIoctl(s, SIO_GET_INTERFACE_LIST, nullptr, 0, list, sizeof list, &bytes, nullptr, nullptr);
    closesocket(s);
    if (result == SOCKET_ERROR) return 0;
    for (DWORD i = 0; i < bytes / sizeof(INTERFACE_INFO); ++i) {
        if (list[i].iiAddress.Address.sa_family != AF_INET) continue;
        CInterfaceAddress item;
        item.address = list[i].iiAddress.AddressIn.sin_addr.s_addr;
        item.netmask = list[i].iiNetmask.AddressIn.sin_addr.s_addr;
        item.up = (list[i].iiFlags & IFF_UP) != 0;
        // The list has no names: the address stands for its interface.
        char name[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &list[i].iiAddress.AddressIn.sin_addr, name, sizeof name);
        item.name = name;
        entries.push_back(std::move(item));
    }
    return 1;
}

std::unique_ptr<CEchoSocket> OpenEchoSocket() {
    const SOCKET s = WSASocketW(AF_INET, SOCK_RAW, IPPROTO_ICMP, nullptr, 0, WSA_FLAG_OVERLAPPED);
    if (s == INVALID_SOCKET) return nullptr;
    return std::make_unique<CIcmpSocket>(s);
}

// No capture helper on Windows: the raw socket above is the only way.
std::unique_ptr<CEchoSweep> StartHelperEchoSweep(const CInterfaceAddress&, std::span<const std::uint32_t>, int) {
    return nullptr;
}

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(GetCurrentProcessId()); }

void SleepMilliseconds(int milliseconds) {
    if (milliseconds > 0) Sleep(static_cast<DWORD>(milliseconds));
}

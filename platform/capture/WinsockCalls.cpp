// The system's socket calls behind the Windows capture source.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <mstcpip.h>
#include <windows.h>

#include "platform/capture/PcapSource.h"
#include "platform/capture/WinsockCaptureSource.h"
#include "platform/win32/WideText.h"

namespace {

// The adapters that are up, not loopback, with an IPv4 address (the first),
// in the system's order, by friendly name; withGuidNames adds each again
// under its adapter (GUID) name.
bool ListAdapters(std::vector<CaptureInterface>& found, bool withGuidNames, std::string* error = nullptr) {
    ULONG size = 16 * 1024;
    std::vector<std::uint8_t> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int tries = 0; tries < 4 && result == ERROR_BUFFER_OVERFLOW; ++tries) {
        buffer.resize(size);
        result = GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST, nullptr,
                                      reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (result != NO_ERROR) {
        if (error) *error = "GetAdaptersAddresses failed: error " + std::to_string(result);
        return false;
    }
    for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); a; a = a->Next) {
        if (a->OperStatus != IfOperStatusUp || a->IfType == IF_TYPE_SOFTWARE_LOOPBACK) continue;
        for (auto* u = a->FirstUnicastAddress; u; u = u->Next)
            if (u->Address.lpSockaddr && u->Address.lpSockaddr->sa_family == AF_INET) {
                const std::uint32_t address = reinterpret_cast<const sockaddr_in*>(u->Address.lpSockaddr)->sin_addr.s_addr;
                found.push_back({Utf8Text(a->FriendlyName ? a->FriendlyName : L""), address});
                if (withGuidNames && a->AdapterName) found.push_back({a->AdapterName, address});
                break;
            }
    }
    return true;
}

class CSystemWinsockCalls final : public IWinsockCalls {
public:
    bool Startup() override {
        WSADATA data{};
        return Record(WSAStartup(MAKEWORD(2, 2), &data)) == 0;
    }
    void Cleanup() override { WSACleanup(); }
    Socket OpenRawSocket() override {
        const SOCKET s = WSASocketA(AF_INET, SOCK_RAW, IPPROTO_IP, nullptr, 0, WSA_FLAG_OVERLAPPED);
        if (s == INVALID_SOCKET) {
            Record(WSAGetLastError());
            return kNoSocket;
        }
        return static_cast<Socket>(s);
    }
    bool LocalAddresses(Socket socket, std::vector<std::uint32_t>& addresses) override {
        alignas(SOCKET_ADDRESS_LIST) char buffer[2048] = {};
        DWORD bytes = 0;
        if (WSAIoctl(static_cast<SOCKET>(socket), SIO_ADDRESS_LIST_QUERY, nullptr, 0, buffer, sizeof buffer, &bytes,
                     nullptr, nullptr) == SOCKET_ERROR) {
            Record(WSAGetLastError());
            return false;
        }
        const auto* list = reinterpret_cast<const SOCKET_ADDRESS_LIST*>(buffer);
        for (INT i = 0; i < list->iAddressCount; ++i) {
            const SOCKET_ADDRESS& entry = list->Address[i];
            if (entry.lpSockaddr && entry.lpSockaddr->sa_family == AF_INET &&
                entry.iSockaddrLength >= static_cast<INT>(sizeof(sockaddr_in)))
                addresses.push_back(reinterpret_cast<const sockaddr_in*>(entry.lpSockaddr)->sin_addr.s_addr);
        }
        return true;
    }
    std::uint32_t InterfaceAddress(const std::string& name) override {
        std::vector<CaptureInterface> found;
        ListAdapters(found, true);
        for (const CaptureInterface& i : found)
            if (i.name == name) return i.address;
        return 0;
    }
    bool Bind(Socket socket, std::uint32_t address) override {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = 0;
        local.sin_addr.s_addr = address;
        if (bind(static_cast<SOCKET>(socket), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0)
            return true;
        Record(WSAGetLastError());
        return false;
    }
    bool ReceiveAll(Socket socket) override {
        DWORD on = RCVALL_ON;
        DWORD bytes = 0;
        if (WSAIoctl(static_cast<SOCKET>(socket), SIO_RCVALL, &on, sizeof on, nullptr, 0, &bytes, nullptr,
                     nullptr) == 0)
            return true;
        Record(WSAGetLastError());
        return false;
    }
    bool SetReceiveTimeout(Socket socket, int timeoutMs) override {
        const DWORD ms = static_cast<DWORD>(timeoutMs);
        if (setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms),
                       sizeof ms) == 0)
            return true;
        Record(WSAGetLastError());
        return false;
    }
    int Receive(Socket socket, std::uint8_t* buffer, int size) override {
        WSABUF one{static_cast<ULONG>(size), reinterpret_cast<char*>(buffer)};
        DWORD received = 0;
        DWORD flags = 0;
        if (WSARecv(static_cast<SOCKET>(socket), &one, 1, &received, &flags, nullptr, nullptr) == 0)
            return received > 0 ? static_cast<int>(received) : Receive(socket, buffer, size);
        const int error = WSAGetLastError();
        if (error == WSAETIMEDOUT) return 0;
        Record(error);
        return -1;
    }
    void Close(Socket socket) override { closesocket(static_cast<SOCKET>(socket)); }
    std::string LastError() override {
        wchar_t* text = nullptr;
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(error_), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        std::string words = text ? Utf8Text(text) : std::string();
        if (text) LocalFree(text);
        while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ')) words.pop_back();
        return "error " + std::to_string(error_) + (words.empty() ? "" : " (" + words + ")");
    }

private:
    int Record(int error) {
        error_ = error;
        return error;
    }
    int error_ = 0;
};

}  // namespace

std::unique_ptr<IWinsockCalls> MakeSystemWinsockCalls() { return std::make_unique<CSystemWinsockCalls>(); }

// What the window's Interface menu offers: the adapters the raw socket can
// be bound to, by friendly name.
bool ListCaptureInterfaces(std::vector<CaptureInterface>& found, std::string* error) {
    return ListAdapters(found, false, error);
}

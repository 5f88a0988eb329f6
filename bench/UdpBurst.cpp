// A bounded burst of UDP datagrams at the highest rate this host can offer:
// sendmmsg in large batches, no pacing. Prints what was sent and how fast.
//   bench-udp-burst ADDRESS PORT COUNT [PAYLOAD_BYTES]

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s ADDRESS PORT COUNT [PAYLOAD_BYTES]\n", argv[0]);
        return 2;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[2])));
    if (inet_pton(AF_INET, argv[1], &to.sin_addr) != 1) return 2;
    const long count = std::atol(argv[3]);
    const std::size_t size = argc > 4 ? static_cast<std::size_t>(std::atol(argv[4])) : 64;
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0 || connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        std::perror("socket");
        return 1;
    }
    constexpr int kBatch = 256;
    std::vector<char> payload(size, 'o');
    std::vector<iovec> vectors(kBatch, iovec{payload.data(), payload.size()});
    std::vector<mmsghdr> messages(kBatch);
    for (int i = 0; i < kBatch; ++i) {
        messages[i].msg_hdr.msg_iov = &vectors[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    long sent = 0;
    const auto begin = std::chrono::steady_clock::now();
    while (sent < count) {
        const int batch = static_cast<int>(std::min<long>(kBatch, count - sent));
        const int n = sendmmsg(s, messages.data(), static_cast<unsigned>(batch), 0);
        if (n < 0) {
            if (errno == ENOBUFS || errno == EAGAIN || errno == EINTR) continue;
            std::perror("sendmmsg");
            break;
        }
        sent += n;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::printf("sent %ld datagrams of %zu payload bytes in %.3f s (%.0f datagrams/s)\n", sent, size, seconds,
                static_cast<double>(sent) / seconds);
    close(s);
    return sent == count ? 0 : 1;
}

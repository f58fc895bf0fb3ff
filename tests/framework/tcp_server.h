// Loopback helpers for the socket tests: a free port, and a one-shot server on 127.0.0.1
// that accepts one caller on a thread, reads its request up to an empty line, sends a
// scripted reply and hangs up. Everything gives up by itself after a few seconds.
#pragma once

#include "platform/winsock/winsock.h"

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace tcptest {

constexpr auto kLimit = std::chrono::seconds(5);

inline ws::sockaddr_in Loopback(uint16_t port) {
    ws::sockaddr_in address{};
    address.sin_family = ws::WSA_AF_INET;
    address.sin_port = ws::htons(port);
    const uint8_t bytes[4] = {127, 0, 0, 1};
    std::memcpy(&address.sin_addr, bytes, 4);
    return address;
}

// A bound, listening socket on 127.0.0.1 and a port the system picked.
inline ws::SOCKET Listen(uint16_t* port) {
    ws::SOCKET s = ws::socket(ws::WSA_AF_INET, ws::WSA_SOCK_STREAM, 0);
    ws::sockaddr_in address = Loopback(0);
    int length = sizeof address;
    ws::bind(s, reinterpret_cast<ws::sockaddr*>(&address), sizeof address);
    ws::getsockname(s, reinterpret_cast<ws::sockaddr*>(&address), &length);
    *port = static_cast<uint16_t>((address.sin_port >> 8) | (address.sin_port << 8));
    ws::listen(s, 1);
    return s;
}

// A port nothing listens on at the moment.
inline uint16_t FreePort() {
    ws::WSADATA data;
    ws::WSAStartup(0x0002, &data);
    uint16_t port = 0;
    ws::closesocket(Listen(&port));
    ws::WSACleanup();
    return port;
}

class Server {
public:
    explicit Server(std::string reply) : reply_(std::move(reply)) {
        ws::WSADATA data;
        ws::WSAStartup(0x0002, &data);
        listener_ = Listen(&port);
        uint32_t on = 1;
        ws::ioctlsocket(listener_, ws::WSA_FIONBIO, &on);
        thread_ = std::thread([this] { Serve(); });
    }
    ~Server() { Join(); }

    // The request received, once the server has hung up.
    const std::string& Join() {
        if (thread_.joinable()) thread_.join();
        if (listener_ != ws::INVALID_SOCKET) {
            ws::closesocket(listener_);
            listener_ = ws::INVALID_SOCKET;
            ws::WSACleanup();
        }
        return request_;
    }

    uint16_t port = 0;

private:
    void Serve() {
        auto end = std::chrono::steady_clock::now() + kLimit;
        ws::SOCKET peer = ws::INVALID_SOCKET;
        while (peer == ws::INVALID_SOCKET && std::chrono::steady_clock::now() < end) {
            peer = ws::accept(listener_, nullptr, nullptr);
            if (peer == ws::INVALID_SOCKET)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (peer == ws::INVALID_SOCKET) return;
        char buffer[512];
        while (request_.find("\n\n") == std::string::npos &&
               request_.find("\r\n\r\n") == std::string::npos &&
               std::chrono::steady_clock::now() < end) {
            int got = ws::recv(peer, buffer, sizeof buffer, 0);
            if (got > 0)
                request_.append(buffer, static_cast<size_t>(got));
            else if (got == 0)
                break;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        size_t sent = 0;
        while (sent < reply_.size() && std::chrono::steady_clock::now() < end) {
            int n = ws::send(peer, reply_.data() + sent, static_cast<int>(reply_.size() - sent), 0);
            if (n > 0)
                sent += static_cast<size_t>(n);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ws::closesocket(peer);
    }

    std::string reply_;
    std::string request_;
    ws::SOCKET listener_ = ws::INVALID_SOCKET;
    std::thread thread_;
};

} // namespace tcptest

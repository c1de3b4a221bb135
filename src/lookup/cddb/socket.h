#pragma once

#include "lookup/cddb/abstractsocket.h"

#include <memory>

// The stream socket the CDDB client uses, plus an accept that keeps the listener open.
class Socket : public AbstractSocket {
public:
    using AbstractSocket::AbstractSocket;

    static std::unique_ptr<Socket> socket();
    // The accepted connection as a new socket; this one keeps listening.
    std::unique_ptr<Socket> acceptConnectionAndKeepListening();
};

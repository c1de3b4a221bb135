#include "lookup/cddb/socket.h"

std::unique_ptr<Socket> Socket::socket()
{
    return std::make_unique<Socket>();
}

std::unique_ptr<Socket> Socket::acceptConnectionAndKeepListening()
{
    sockaddr_storage remote{};
    const int fd = acceptOne(&remote);
    return std::make_unique<Socket>(fd, remote);
}

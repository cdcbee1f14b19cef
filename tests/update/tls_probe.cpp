// One TLS connection to the tests' loopback peer in a process of its own,
// so that the TLS library starts afresh; the exit code is its result.
#include "update/tcp_connection.h"

int main() {
    CTcpConnection c;
    return c.Connect("127.0.0.1", 443, kTls12, 30);
}

// The non-blocking TCP connection with its optional TLS link.
#include <winsock2.h>
// winsock2.h before windows.h (through the headers below).
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <string.h>

#include "host_lookup.h"
#include "system_roots.h"
#include "tcp_connection.h"

namespace {

// Milliseconds since `start`; a tick count that wrapped below it counts the start as 0.
DWORD Elapsed(DWORD start) {
    DWORD now = GetTickCount();
    return now >= start ? now - start : now;
}

// select on one socket for reading, writing or errors; >0 ready, 0 not, <0 failed.
int WaitSocket(SOCKET s, int which, int ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv = {ms / 1000, (ms % 1000) * 1000};
    return select(0, which == 0 ? &set : nullptr, which == 1 ? &set : nullptr, which == 2 ? &set : nullptr, &tv);
}

// OpenSSL's set-up, before its first use in the process: it reads no
// configuration file, neither the one at its compiled-in folder (a path
// any user may create on the current drive) nor one named by OPENSSL_CONF,
// so no provider module or engine is ever loaded from outside.
bool InitTlsLibrary() {
    return OPENSSL_init_ssl(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr) == 1;
}

// The error a finished non-blocking connect left on the socket.
int SocketError(SOCKET s) {
    int err = 0;
    int len = sizeof err;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, (char*)&err, &len) != 0)
        return WSAGetLastError();
    return err;
}

}  // namespace

void CTcpConnection::SetDeadline(DWORD ms) {
    deadlineStart_ = GetTickCount();
    deadlineMs_ = ms;
}

bool CTcpConnection::PastDeadline() const {
    return deadlineMs_ && Elapsed(deadlineStart_) > deadlineMs_;
}

// How long a name lookup may take: the time-out, or what is left of the deadline.
DWORD CTcpConnection::LookupLimit() const {
    DWORD limit = timeoutMs > 0 ? (DWORD)timeoutMs : 0;
    if (deadlineMs_) {
        DWORD used = Elapsed(deadlineStart_);
        DWORD left = used < deadlineMs_ ? deadlineMs_ - used : 0;
        if (left < limit)
            limit = left;
    }
    return limit;
}

int CTcpConnection::Connect(const char* host, int port, int tlsKind, int factor) {
    if (socket_ != kNoSocket)
        return kTcpAlreadyOpen;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET && WSAGetLastError() == WSANOTINITIALISED) {
        WSADATA wsa;
        if (WSAStartup(MAKEWORD(1, 1), &wsa) != 0)
            return kTcpStartupFailed;
        s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    }
    if (s == INVALID_SOCKET)
        return kTcpNoSocket;
    socket_ = (UINT_PTR)s;
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    sockaddr_in addr;
    memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_port = htons((u_short)port);
    int lookup = LookupHostV4(host, LookupLimit(), cancel_, &addr.sin_addr);
    if (lookup != kLookupOk) {
        Close();
        return lookup == kLookupFailed ? kTcpLookupFailed : kTcpTimeout;
    }
    if (connect(s, (sockaddr*)&addr, sizeof addr) != 0 && WSAGetLastError() != WSAEWOULDBLOCK) {
        Close();
        return kTcpRefused;
    }
    int tries = factor * 10;
    for (int i = 0; i < tries; i++) {
        if (Cancelled() || PastDeadline())
            break;
        int w = WaitSocket(s, 1, 50);
        if (w > 0 && i < tries - 1) {
            // A refused connect may also show as writable: its error says.
            if (SocketError(s) != 0) {
                Close();
                return kTcpRefused;
            }
            surplusCount_ = 0;
            if (tlsKind > 0) {
                int tls = StartTls(tlsKind, host);
                if (tls != kTcpOk) {
                    Close();
                    return tls == kTcpCancelled ? kTcpTimeout : tls;
                }
            }
            return kTcpOk;
        }
        // A refused connect shows in the exception set: report it at once.
        int e = WaitSocket(s, 2, 50);
        if (e != 0) {
            Close();
            return kTcpRefused;
        }
    }
    Close();
    return kTcpTimeout;
}

void CTcpConnection::FreeTls() {
    if (ssl_)
        SSL_free(ssl_);
    if (ctx_)
        SSL_CTX_free(ctx_);
    ssl_ = nullptr;
    ctx_ = nullptr;
}

// The handshake, with the server's certificate checked: a chain up to a
// root of the system's store, valid now, naming `host` (a DNS name, or an
// address written as one). kTcpOk, kTcpCancelled, kTcpTimeout (deadline),
// kTcpUntrusted or kTcpTlsFailed.
int CTcpConnection::StartTls(int kind, const char* host) {
    tlsInUse_ = 0;
    tlsBroken_ = false;
    // OpenSSL 3 has no SSL 3.0 at all.
    if (kind == kTlsSsl3 || !InitTlsLibrary())
        return kTcpTlsFailed;
    int version = kind == kTls10 ? TLS1_VERSION : kind == kTls11 ? TLS1_1_VERSION : TLS1_2_VERSION;
    ctx_ = SSL_CTX_new(TLS_client_method());
    if (!ctx_ || SSL_CTX_set_min_proto_version(ctx_, version) != 1 ||
        SSL_CTX_set_max_proto_version(ctx_, version) != 1) {
        FreeTls();
        return kTcpTlsFailed;
    }
    SSL_CTX_set_verify(ctx_, SSL_VERIFY_PEER, nullptr);
    X509_STORE* roots = SystemRootStore();
    if (!roots) {
        FreeTls();
        return kTcpTlsFailed;
    }
    SSL_CTX_set1_cert_store(ctx_, roots);  // the context takes its own reference
    X509_STORE_free(roots);
    if (!(ssl_ = SSL_new(ctx_)) || SSL_set_fd(ssl_, (int)socket_) != 1) {
        FreeTls();
        return kTcpTlsFailed;
    }
    // The name the certificate must carry: an address literal is checked as
    // an address, anything else as a DNS name (no partial wildcards).
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl_);
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    if (X509_VERIFY_PARAM_set1_ip_asc(param, host) != 1 && X509_VERIFY_PARAM_set1_host(param, host, 0) != 1) {
        FreeTls();
        return kTcpUntrusted;
    }
    ERR_clear_error();
    SSL_set_tlsext_host_name(ssl_, host);
    for (int i = 0; i < 100; i++) {
        if (Cancelled() || PastDeadline()) {
            FreeTls();
            return Cancelled() ? kTcpCancelled : kTcpTimeout;
        }
        ERR_clear_error();
        int r = SSL_connect(ssl_);
        if (r == 1) {
            tlsInUse_ = kind;
            return kTcpOk;
        }
        int err = SSL_get_error(ssl_, r);
        if (err != SSL_ERROR_WANT_READ && err != SSL_ERROR_WANT_WRITE) {
            bool untrusted = SSL_get_verify_result(ssl_) != X509_V_OK;
            ERR_clear_error();
            FreeTls();
            return untrusted ? kTcpUntrusted : kTcpTlsFailed;
        }
        WaitSocket((SOCKET)socket_, err == SSL_ERROR_WANT_READ ? 0 : 1, 100);
    }
    FreeTls();
    return kTcpTlsFailed;
}

int CTcpConnection::Close() {
    if (socket_ == kNoSocket)
        return kTcpNotConnected;
    if (ssl_ && !tlsBroken_) {
        ERR_clear_error();
        SSL_shutdown(ssl_);  // our close_notify; the peer's is not awaited
    }
    ERR_clear_error();
    FreeTls();
    tlsInUse_ = 0;
    tlsBroken_ = false;
    SOCKET s = (SOCKET)socket_;
    shutdown(s, SD_BOTH);
    bool closed = closesocket(s) == 0;
    for (int i = 0; !closed && i < 200; i++) {
        Sleep(50);
        closed = closesocket(s) == 0;
    }
    socket_ = kNoSocket;
    surplusCount_ = 0;
    return closed ? 0 : 1;
}

int CTcpConnection::Send(const void* data, size_t cb) {
    if (socket_ == kNoSocket)
        return kTcpNotConnected;
    const char* p = (const char*)data;
    if (cb == 0)
        cb = strlen(p);
    SOCKET s = (SOCKET)socket_;
    DWORD progress = GetTickCount();
    while (cb > 0) {
        int piece = cb > kTcpPiece ? kTcpPiece : (int)cb;
        if (Cancelled())
            return kTcpCancelled;
        if (Elapsed(progress) > (DWORD)timeoutMs || PastDeadline())
            return kTcpTimeout;
        int sent;
        if (ssl_) {
            ERR_clear_error();
            sent = SSL_write(ssl_, p, piece);
            if (sent <= 0) {
                int err = SSL_get_error(ssl_, sent);
                if (err == SSL_ERROR_WANT_WRITE || err == SSL_ERROR_WANT_READ) {
                    Sleep(1);
                    continue;
                }
                tlsBroken_ = true;
                ERR_clear_error();
                return kTcpShortSend;
            }
        } else {
            int w = WaitSocket(s, 1, 10);
            if (w < 0)
                return kTcpNoSocket;
            if (w == 0)
                continue;
            sent = send(s, p, piece, 0);
        }
        if (sent < piece)
            return kTcpShortSend;
        p += sent;
        cb -= (size_t)sent;
        progress = GetTickCount();
    }
    return kTcpOk;
}

void CTcpConnection::Unread(const char* data, int cb) {
    // The surplus held the rest of the last piece, so this always fits.
    if (cb <= 0 || cb + surplusCount_ > kTcpPiece)
        return;
    memmove(surplus_ + cb, surplus_, (size_t)surplusCount_);
    memcpy(surplus_, data, (size_t)cb);
    surplusCount_ += cb;
}

int CTcpConnection::ReadChunk(char* buf, int max) {
    if (surplusCount_ == 0) {
        if (socket_ == kNoSocket)
            return kChunkFailed;
        int r;
        if (ssl_) {
            // SSL_read first: a record may hold more than the last read took.
            ERR_clear_error();
            r = SSL_read(ssl_, surplus_, kTcpPiece);
            if (r <= 0) {
                int err = SSL_get_error(ssl_, r);
                if (err == SSL_ERROR_WANT_READ || err == SSL_ERROR_WANT_WRITE)
                    return WaitSocket((SOCKET)socket_, err == SSL_ERROR_WANT_READ ? 0 : 1, 10) < 0 ? kChunkFailed
                                                                                                   : kChunkNone;
                ERR_clear_error();
                if (err == SSL_ERROR_ZERO_RETURN)
                    return kChunkClosed;  // close_notify: the peer ended the data properly
                // A TCP close without close_notify (an unexpected end of
                // file), a reset or a protocol error: the data may be cut.
                tlsBroken_ = true;
                return kChunkFailed;
            }
        } else {
            int w = WaitSocket((SOCKET)socket_, 0, 10);
            if (w < 0)
                return kChunkFailed;
            if (w == 0)
                return kChunkNone;
            r = recv((SOCKET)socket_, surplus_, kTcpPiece, 0);
            if (r == 0)
                return kChunkClosed;
            if (r < 0)
                return WSAGetLastError() == WSAEWOULDBLOCK ? kChunkNone : kChunkFailed;
        }
        surplusCount_ = r;
    }
    int n = max < surplusCount_ ? max : surplusCount_;
    memcpy(buf, surplus_, (size_t)n);
    memmove(surplus_, surplus_ + n, (size_t)(surplusCount_ - n));
    surplusCount_ -= n;
    return n;
}

int CTcpConnection::Receive(CDynArray<char>* response, const char* endSequence, uint32_t expected, uint32_t limit) {
    if (socket_ == kNoSocket)
        return kTcpNotConnected;
    response->Clear();
    size_t endLen = endSequence ? strlen(endSequence) : 0;
    uint32_t received = 0;
    DWORD activity = GetTickCount();
    char piece[kTcpPiece];
    for (;;) {
        if (Elapsed(activity) > (DWORD)timeoutMs || PastDeadline())
            return kTcpTimeout;
        if (Cancelled())
            return kTcpCancelled;
        uint32_t want = kTcpPiece;
        if (expected != kNoCount && expected - received < want)
            want = expected - received;
        int n = ReadChunk(piece, (int)want);
        if (n == kChunkClosed)
            return received > 0 ? kTcpOk : kTcpPeerClosed;
        if (n == kChunkFailed)
            return kTcpFailed;
        if (n == kChunkNone)
            continue;  // ReadChunk waited up to 10 ms
        if ((uint64_t)received + (uint32_t)n > limit)
            return kTcpTooLarge;
        if (response->Add(piece, n) < 0)
            return kTcpTooLarge;
        received += (uint32_t)n;
        activity = GetTickCount();
        if (expected != kNoCount && received == expected)
            return kTcpOk;
        if (endLen) {
            // The new bytes and as many before them as the sequence is long.
            uint32_t from = received - (uint32_t)n;
            from = from > endLen ? from - (uint32_t)endLen : 0;
            const char* data = response->Data();
            for (uint32_t i = from; i + endLen <= received; i++) {
                if (memcmp(data + i, endSequence, endLen) == 0) {
                    uint32_t cut = i + (uint32_t)endLen;
                    Unread(data + cut, (int)(received - cut));
                    response->count = (int)cut;
                    return kTcpOk;
                }
            }
        }
    }
}

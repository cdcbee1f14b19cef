// CTcpConnection: the socket layer under the HTTP client. A non-blocking
// TCP connection with a time-out, an optional deadline over everything it
// does (name lookup included), a cancel byte that every wait polls (so a
// cancel or time-out ends any operation within about 100 ms), a 1,500-byte
// surplus of bytes received beyond what the caller asked for, and an
// optional TLS link that trusts only a server whose certificate chains to a
// root of the system's ROOT store, is valid now and names the host. One
// object is used by one thread; the cancel byte may be written by another.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "base/dyn_array.h"

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;

// Result codes of every operation.
enum : int {
    kTcpOk = 0,
    kTcpNoSocket = 1,      // no socket was created, or a select failed while sending
    kTcpAlreadyOpen = 2,   // Connect on an object that has a socket
    kTcpNotConnected = 3,  // operation without a socket
    kTcpLookupFailed = 4,  // host name lookup failed
    kTcpRefused = 5,       // connect refused, or waiting on the socket failed
    kTcpTimeout = 6,       // time-out (and a cancel while connecting)
    kTcpShortSend = 7,     // fewer bytes sent than asked
    kTcpCancelled = 8,
    kTcpTooLarge = 9,        // more bytes arrived than the receive's limit
    kTcpFailed = 10,         // receiving failed: a reset, a socket or TLS error, a TLS close without close_notify
    kTcpStartupFailed = 11,  // WSAStartup failed
    kTcpPeerClosed = 12,     // the peer closed before any byte arrived
    kTcpTlsFailed = 13,      // TLS set-up or handshake failed (also kind 1, SSL 3, which OpenSSL 3 lacks)
    kTcpUntrusted = 14,      // the server's certificate: no chain to a trusted root, out of date, or another host's
};

// TLS kinds: 0 plain, 1 SSL 3.0 (refused), 2 TLS 1.0, 3 TLS 1.1, others TLS 1.2.
enum : int { kTlsNone = 0, kTlsSsl3 = 1, kTls10 = 2, kTls11 = 3, kTls12 = 4 };

constexpr int kTcpPiece = 1500;

class CTcpConnection {
  public:
    CTcpConnection() = default;
    ~CTcpConnection() { Close(); }
    CTcpConnection(const CTcpConnection&) = delete;
    CTcpConnection& operator=(const CTcpConnection&) = delete;

    void SetCancelFlag(volatile const BYTE* flag) { cancel_ = flag; }
    bool Cancelled() const { return cancel_ && *cancel_; }
    // Every operation from now on ends with kTcpTimeout once ms milliseconds
    // have passed (besides the time-out of inactivity); 0 clears it.
    void SetDeadline(DWORD ms);
    // Looks the host up (within the time-out and the deadline), connects to
    // host:port within factor x 10 tries of up to 100 ms each, then runs the
    // TLS handshake for tlsKind > 0. kTcpOk, kTcpAlreadyOpen, kTcpNoSocket,
    // kTcpStartupFailed, kTcpLookupFailed, kTcpRefused, kTcpTimeout (also
    // after a cancel), kTcpTlsFailed or kTcpUntrusted. Every failure closes.
    int Connect(const char* host, int port, int tlsKind, int factor);
    // kTcpNotConnected, else 0 or 1 (the last closesocket failed).
    int Close();
    bool IsConnected() const { return socket_ != kNoSocket; }
    int TlsKindInUse() const { return tlsInUse_; }
    // cb 0: the C-string length of data.
    int Send(const void* data, size_t cb);
    // Clears response, then appends what arrives until: `expected` bytes
    // (-1 for no count), the end sequence (bytes after it stay in the
    // surplus for the next receive), or the peer closes properly (0 when
    // anything arrived, else kTcpPeerClosed). More than `limit` bytes:
    // kTcpTooLarge; a reset, an error or a TLS close without close_notify:
    // kTcpFailed; the time-out or deadline: kTcpTimeout; a cancel:
    // kTcpCancelled.
    int Receive(CDynArray<char>* response, const char* endSequence, uint32_t expected, uint32_t limit);
    // Bytes handed out, or kChunkNone (nothing yet, after a wait of up to
    // 10 ms), kChunkClosed (the peer closed properly: a TCP close, over TLS
    // after close_notify) or kChunkFailed.
    int ReadChunk(char* buf, int max);
    static constexpr int kChunkNone = 0, kChunkClosed = -1, kChunkFailed = -2;

    static constexpr uint32_t kNoCount = 0xFFFFFFFFu;
    int timeoutMs = 15000;

  private:
    static constexpr UINT_PTR kNoSocket = ~(UINT_PTR)0;
    bool PastDeadline() const;
    DWORD LookupLimit() const;
    int StartTls(int kind, const char* host);
    void FreeTls();
    void Unread(const char* data, int cb);

    UINT_PTR socket_ = kNoSocket;
    int tlsInUse_ = 0;
    volatile const BYTE* cancel_ = nullptr;
    char surplus_[kTcpPiece];
    int surplusCount_ = 0;
    SSL_CTX* ctx_ = nullptr;
    SSL* ssl_ = nullptr;
    bool tlsBroken_ = false;  // a fatal TLS error: no close_notify may follow
    DWORD deadlineStart_ = 0;
    DWORD deadlineMs_ = 0;  // 0: no deadline
};

// CHttpClient: fetches one resource with an HTTP/1.0 GET, plain or over
// TLS ("https://" addresses, from a server whose identity was verified),
// follows redirects to new addresses (never from https down to http), and
// hands back the status as a small result code and the body. The
// connection's time-out bounds the whole of one Get: lookup, connect,
// handshake, redirects, headers and body. The update check's worker is its
// only user; the cancel byte may be set by another thread.
#pragma once
#include <windows.h>

#include "base/dyn_array.h"
#include "tcp_connection.h"

// Result codes of Get.
enum : int {
    kHttpOk = 0,  // status below 300 and the body was read
    kHttpSendFailed = 100,
    kHttpReceiveFailed = 101,  // time-out, peer closed before anything, socket error, or a reply that is not HTTP
    kHttpCancelled = 102,
    kHttpConnectFailed = 105,
    kHttpNoScheme = 106,     // the URL holds no "//"
    kHttpTooLarge = 107,     // header block or body above the limits of http_reply.h, or a bad Content-Length
    kHttpUntrusted = 108,    // the server's identity could not be verified, or an https address redirects to http
    kHttpBadRedirect = 300,  // a redirect without a usable Location, or to the same address
    kHttpNotModified = 304,
    kHttpBadRequest = 400,
    kHttpUnauthorized = 401,
    kHttpForbidden = 403,
    kHttpNotFound = 404,
    kHttpRedirectLoop = 310,  // more than kMaxRedirects redirects
    kHttpServerError = 500,   // any status of 500 or more
};

class CHttpClient {
  public:
    static constexpr int kMaxRedirects = 10;

    CHttpClient();
    ~CHttpClient() { connection_.Close(); }
    CHttpClient(const CHttpClient&) = delete;
    CHttpClient& operator=(const CHttpClient&) = delete;

    void SetCancelFlag(volatile const BYTE* flag) { connection_.SetCancelFlag(flag); }
    // 0, kHttpUntrusted, kHttpCancelled or kHttpConnectFailed. TLS 1.2 for
    // "https://" addresses and port 443.
    int Connect(const char* url, int port);
    // user and password may be null; ifModifiedSince is null or a text of
    // cchIfModified characters that is sent and updated from Last-Modified.
    // The connection is closed before Get returns, whatever the result; a
    // body is handed back only when the reply ended properly.
    int Get(const char* url, const char* user, const char* password, char* ifModifiedSince, size_t cchIfModified,
            bool forceConnect);
    // After kHttpOk: the body (no NUL appended); else what was received.
    const CDynArray<char>& Response() const { return response_; }
    CTcpConnection& Connection() { return connection_; }

  private:
    int GetOnce(const char* url, const char* user, const char* password, char* ifModifiedSince, size_t cchIfModified,
                bool forceConnect, int redirects);
    int ReceiveFailure(int tcpCode) const;
    int Failure(int httpCode) const;
    int ConnectIfNeeded(bool forceConnect);
    int ReceiveHeaderBlock(size_t* cb);
    int ReceiveBody(const char* block, size_t cb, char* ifModifiedSince, size_t cchIfModified);

    CDynArray<char> response_;
    char host_[260] = "";
    int port_ = 80;
    char url_[1040] = "";
    CTcpConnection connection_;
};

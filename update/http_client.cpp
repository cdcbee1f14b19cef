// The HTTP/1.0 client of the update check.
#include "http_client.h"

#include <stdlib.h>
#include <string.h>

#include "base/str_util.h"
#include "base64.h"
#include "http_reply.h"

CHttpClient::CHttpClient() {
    response_.SetCapacity(4096);
}

// The host part of an address: after its first "//" (or the whole text), up
// to the first '/', at most 259 characters. False when it was cut.
static bool HostOf(const char* url, char* host, size_t cch) {
    const char* h = strstr(url, "//");
    h = h ? h + 2 : url;
    size_t n = strcspn(h, "/\r\n");
    if (n >= cch)
        return false;
    memcpy(host, h, n);
    host[n] = '\0';
    return true;
}

int CHttpClient::Connect(const char* url, int port) {
    if (!HostOf(url, host_, countof(host_)))
        return kHttpConnectFailed;
    // Only the scheme at the start of this address chooses TLS; the port
    // follows each address anew.
    bool tls = port == 443 || strncmp(url, "https://", 8) == 0;
    port_ = tls && port == 80 ? 443 : port;
    int code = connection_.Connect(host_, port_, tls ? kTls12 : kTlsNone, 30);
    if (code == kTcpOk)
        return 0;
    return code == kTcpUntrusted ? kHttpUntrusted : Failure(kHttpConnectFailed);
}

// A failure while the cancel byte is set is the cancel's doing.
int CHttpClient::Failure(int httpCode) const {
    return connection_.Cancelled() ? kHttpCancelled : httpCode;
}

int CHttpClient::ReceiveFailure(int tcpCode) const {
    if (tcpCode == kTcpCancelled)
        return kHttpCancelled;
    return tcpCode == kTcpTooLarge ? kHttpTooLarge : Failure(kHttpReceiveFailed);
}

static bool IsTlsAddress(const char* url) {
    return strncmp(url, "https://", 8) == 0;
}

int CHttpClient::Get(const char* url, const char* user, const char* password, char* ifModifiedSince,
                     size_t cchIfModified, bool forceConnect) {
    // One deadline for everything this request does, so that a server
    // dripping a byte now and then cannot hold it beyond its time-out.
    connection_.SetDeadline((DWORD)(connection_.timeoutMs > 0 ? connection_.timeoutMs : 1));
    int r = GetOnce(url, user, password, ifModifiedSince, cchIfModified, forceConnect, 0);
    connection_.Close();
    connection_.SetDeadline(0);
    return r;
}

// The Authorization and If-Modified-Since lines of a request, each empty
// when not asked for. 0, or kHttpSendFailed when one does not fit.
static int FormatExtraHeaders(const char* user, const char* password, const char* ifModifiedSince, char* auth,
                              size_t cchAuth, char* modified, size_t cchModified) {
    if (user && *user) {
        char pair[kCchPath2];
        if (!StrFmt(pair, countof(pair), "%s:%s", user, password ? password : ""))
            return kHttpSendFailed;
        size_t len = 0;
        char* encoded = Base64Encode(pair, -1, &len);
        bool fits = encoded && StrFmt(auth, cchAuth, "Authorization: Basic %s\r\n", encoded);
        free(encoded);
        if (!fits)
            return kHttpSendFailed;
    }
    if (ifModifiedSince && *ifModifiedSince &&
        !StrFmt(modified, cchModified, "If-Modified-Since: %s\r\n", ifModifiedSince))
        return kHttpSendFailed;
    return 0;
}

// A new connection to url_'s host when asked or when none is open. 0,
// kHttpNoScheme, or a code of Connect.
int CHttpClient::ConnectIfNeeded(bool forceConnect) {
    if (forceConnect || !connection_.IsConnected()) {
        connection_.Close();
        if (!strstr(url_, "//"))
            return kHttpNoScheme;
        int code = Connect(url_, 80);
        if (code != 0) {
            connection_.Close();
            return code;
        }
    }
    return 0;
}

// The reply's header block into response_, NUL-terminated; *cb is its
// length. 0, or the code of the failure.
int CHttpClient::ReceiveHeaderBlock(size_t* cb) {
    int code = connection_.Receive(&response_, "\r\n\r\n", CTcpConnection::kNoCount, kCbMaxHeaderBlock);
    if (code != kTcpOk)
        return ReceiveFailure(code);
    *cb = (size_t)response_.count;
    // A peer that closed inside the header block sent no complete reply.
    if (*cb < 4 || memcmp(response_.Data() + *cb - 4, "\r\n\r\n", 4) != 0)
        return kHttpReceiveFailed;
    char nul = '\0';
    if (response_.Add(&nul) < 0)
        return kHttpTooLarge;
    return 0;
}

// A success reply: its Last-Modified date kept, then the body (of the
// announced length, or up to the close) into response_ in place of the
// header block. kHttpOk, or the code of the failure.
int CHttpClient::ReceiveBody(const char* block, size_t cb, char* ifModifiedSince, size_t cchIfModified) {
    if (ifModifiedSince && cchIfModified) {
        char value[kCchPath];
        if (HttpHeaderValue(block, cb, "Last-Modified", value, countof(value)))
            StrCopy(ifModifiedSince, cchIfModified, value);
    }
    int64_t length = HttpContentLength(block, cb);
    if (length == kHttpLengthBad)
        return kHttpTooLarge;
    uint32_t expected = length == kHttpLengthNone ? CTcpConnection::kNoCount : (uint32_t)length;
    if (expected == 0) {
        response_.Clear();
        return kHttpOk;
    }
    if (expected != CTcpConnection::kNoCount)
        response_.SetCapacity((int)expected);
    int code = connection_.Receive(&response_, nullptr, expected, kCbMaxBody);
    if (code != kTcpOk)
        return ReceiveFailure(code);
    // A peer that closed early leaves a short body: not the announced one.
    if (expected != CTcpConnection::kNoCount && (uint32_t)response_.count != expected)
        return kHttpReceiveFailed;
    return kHttpOk;
}

int CHttpClient::GetOnce(const char* url, const char* user, const char* password, char* ifModifiedSince,
                         size_t cchIfModified, bool forceConnect, int redirects) {
    if (!url || !StrCopy(url_, countof(url_), url)) {
        connection_.Close();
        return kHttpNoScheme;  // an address that does not fit is not fetched cut
    }
    char auth[kCchText] = "";
    char modified[kCchPath2] = "";
    int code = FormatExtraHeaders(user, password, ifModifiedSince, auth, countof(auth), modified, countof(modified));
    if (code)
        return code;
    code = ConnectIfNeeded(forceConnect);
    if (code)
        return code;
    char request[kCchText2 + kCchText + kCchPath2 + kCchPath * 2];
    if (!StrFmt(request, countof(request), "GET %s HTTP/1.0\r\n%sHost: %s\r\n%s\r\n", url_, auth, host_, modified))
        return kHttpSendFailed;
    if (connection_.Send(request, 0) != kTcpOk)
        return Failure(kHttpSendFailed);

    size_t cb = 0;
    code = ReceiveHeaderBlock(&cb);
    if (code)
        return code;
    const char* block = response_.Data();
    int status = HttpReplyStatus(block, cb);
    if (status < 0)
        return kHttpReceiveFailed;
    switch (status) {
        case 304:
        case 400:
        case 401:
        case 403:
        case 404:
            return status;
    }
    if (status >= 500)
        return kHttpServerError;
    if (status < 300)
        return ReceiveBody(block, cb, ifModifiedSince, cchIfModified);
    // 300..499 other than the ones above: a redirect.
    char location[kCchText2], next[kCchText2];
    if (!HttpHeaderValue(block, cb, "Location", location, countof(location)) ||
        !HttpResolveLocation(url_, location, next, countof(next)) || strcmp(next, url_) == 0)
        return kHttpBadRedirect;
    // What came over TLS does not send the request on in plain text.
    if (IsTlsAddress(url_) && !IsTlsAddress(next))
        return kHttpUntrusted;
    if (redirects >= kMaxRedirects)
        return kHttpRedirectLoop;
    connection_.Close();
    return GetOnce(next, user, password, ifModifiedSince, cchIfModified, true, redirects + 1);
}

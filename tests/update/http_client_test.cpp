// The HTTP client and its connection against a loopback server of our own
// (tests/update/http_peer.py), plain on port 80 and TLS 1.2 on port 443
// with a self-signed certificate made at test time. The client verifies no
// certificate (it trusts whatever the server presents), so the test
// certificate needs no installing in Wine.
#include "update/http_client.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "update/tcp_connection.h"
#include "update_test_util.h"

namespace {

class HttpClientTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        peer_ = new HttpPeer;
        started_ = peer_->Start();
    }
    static void TearDownTestSuite() {
        delete peer_;
        peer_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(started_) << "the loopback server did not start";
        peer_->ClearLog();
    }
    int Get(const char* url, int timeoutMs = 15000) {
        client_.Connection().timeoutMs = timeoutMs;
        return client_.Get(url, nullptr, nullptr, nullptr, 0, true);
    }
    std::string Body() const { return std::string(client_.Response().Data(), (size_t)client_.Response().count); }

    static HttpPeer* peer_;
    static bool started_;
    CHttpClient client_;
};
HttpPeer* HttpClientTest::peer_;
bool HttpClientTest::started_;

}  // namespace

TEST_F(HttpClientTest, PlainAndTlsFetchTheBody) {
    EXPECT_EQ(kHttpOk, Get("http://127.0.0.1/v.txt"));
    EXPECT_EQ("9.9.9", Body());
    EXPECT_EQ(kHttpOk, Get("https://127.0.0.1/v.txt"));
    EXPECT_EQ("9.9.9", Body());
    EXPECT_FALSE(client_.Connection().IsConnected());  // closed after every Get
    std::string log = peer_->Log();
    // The absolute URL goes on the request line, the host in its own header.
    EXPECT_NE(std::string::npos, log.find("http GET http://127.0.0.1/v.txt HTTP/1.0 | 127.0.0.1"));
    EXPECT_NE(std::string::npos, log.find("https GET https://127.0.0.1/v.txt HTTP/1.0 | 127.0.0.1"));
}

TEST_F(HttpClientTest, BodyLengths) {
    EXPECT_EQ(kHttpOk, Get("http://127.0.0.1/five"));
    EXPECT_EQ("abcde", Body());  // exactly Content-Length bytes
    EXPECT_EQ(kHttpOk, Get("http://127.0.0.1/noclen"));
    EXPECT_EQ("1.2.3 and more", Body());  // up to the close
    EXPECT_EQ(kHttpOk, Get("http://127.0.0.1/continue"));
    EXPECT_EQ("9.9.9", Body());
    EXPECT_EQ(kHttpReceiveFailed, Get("http://127.0.0.1/shortbody"));  // closed before the announced length
}

TEST_F(HttpClientTest, StatusCodes) {
    EXPECT_EQ(kHttpNotFound, Get("http://127.0.0.1/404"));
    EXPECT_EQ(kHttpServerError, Get("http://127.0.0.1/500"));
    EXPECT_EQ(kHttpServerError, Get("http://127.0.0.1/503"));
    EXPECT_EQ(kHttpNoScheme, Get("127.0.0.1/v.txt"));
    EXPECT_EQ(kHttpConnectFailed, Get("http://127.0.0.1:80/v.txt"));  // the port belongs to the host text
}

TEST_F(HttpClientTest, Redirects) {
    EXPECT_EQ(kHttpOk, Get("http://127.0.0.1/r301"));
    EXPECT_EQ("9.9.9", Body());
    EXPECT_EQ(kHttpOk, Get("http://127.0.0.1/r302path"));  // an absolute path on the same host
    EXPECT_EQ("9.9.9", Body());
    EXPECT_EQ(kHttpBadRedirect, Get("http://127.0.0.1/same"));
    EXPECT_EQ(kHttpBadRedirect, Get("http://127.0.0.1/relative"));
    // "Content-Location" is not "Location".
    EXPECT_EQ(kHttpBadRedirect, Get("http://127.0.0.1/contentloc"));
    // Two addresses pointing at each other end after the limit, not in a stack overflow.
    peer_->ClearLog();
    EXPECT_EQ(kHttpRedirectLoop, Get("http://127.0.0.1/loopA"));
    std::string log = peer_->Log();
    size_t lines = 0;
    for (char c : log)
        lines += c == '\n';
    EXPECT_EQ((size_t)CHttpClient::kMaxRedirects + 1, lines);
}

TEST_F(HttpClientTest, SchemeOfEachAddressChoosesThePort) {
    // http -> https -> http: the port follows each address, it does not stay 443.
    EXPECT_EQ(kHttpOk, Get("http://127.0.0.1/tohttps"));
    EXPECT_EQ(kHttpOk, Get("https://127.0.0.1/tohttp"));
    EXPECT_EQ("9.9.9", Body());
    std::string log = peer_->Log();
    EXPECT_NE(std::string::npos, log.find("https GET https://127.0.0.1/v.txt"));
    EXPECT_NE(std::string::npos, log.find("http GET http://127.0.0.1/v.txt"));
    // "https://" inside the address does not make it a TLS address.
    peer_->ClearLog();
    EXPECT_EQ(kHttpOk, Get("http://127.0.0.1/v.txt?from=https://elsewhere"));
    EXPECT_EQ(0u, peer_->Log().find("http GET"));
}

TEST_F(HttpClientTest, HostileReplies) {
    EXPECT_EQ(kHttpReceiveFailed, Get("http://127.0.0.1/short"));
    EXPECT_EQ(kHttpReceiveFailed, Get("http://127.0.0.1/garbage"));
    EXPECT_EQ(kHttpTooLarge, Get("http://127.0.0.1/neg"));
    EXPECT_EQ(kHttpTooLarge, Get("http://127.0.0.1/huge"));
    EXPECT_EQ(kHttpTooLarge, Get("http://127.0.0.1/bighead"));
    EXPECT_EQ(kHttpReceiveFailed, Get("http://127.0.0.1/reset"));
}

TEST_F(HttpClientTest, SilentServerTimesOutAndCancelEndsTheWait) {
    DWORD start = GetTickCount();
    EXPECT_EQ(kHttpReceiveFailed, Get("http://127.0.0.1/hang", 1500));
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 1400u);
    EXPECT_LT(took, 5000u);

    volatile BYTE cancel = 0;
    client_.SetCancelFlag(&cancel);
    std::thread t([&cancel] {
        Sleep(300);
        cancel = 1;
    });
    start = GetTickCount();
    EXPECT_EQ(kHttpCancelled, Get("http://127.0.0.1/hang"));
    EXPECT_LT(GetTickCount() - start, 3000u);
    t.join();
    client_.SetCancelFlag(nullptr);
}

TEST(TcpConnection, RefusedConnectEndsAtOnce) {
    // Nothing listens on port 9: the refusal must not wait out the tries (30 s).
    CTcpConnection c;
    DWORD start = GetTickCount();
    EXPECT_EQ(kTcpRefused, c.Connect("127.0.0.1", 9, kTlsNone, 30));
    EXPECT_LT(GetTickCount() - start, 3000u);
    EXPECT_FALSE(c.IsConnected());
    EXPECT_EQ(kTcpLookupFailed, c.Connect("127.0.0.1:8080", 80, kTlsNone, 30));
    EXPECT_EQ(kTcpNotConnected, c.Close());
}

TEST_F(HttpClientTest, TlsKinds) {
    CTcpConnection c;
    // SSL 3.0 does not exist in OpenSSL 3: refused as a TLS failure.
    EXPECT_EQ(kTcpTlsFailed, c.Connect("127.0.0.1", 443, kTlsSsl3, 30));
    // The server speaks TLS 1.2 only.
    EXPECT_EQ(kTcpTlsFailed, c.Connect("127.0.0.1", 443, kTls11, 30));
    ASSERT_EQ(kTcpOk, c.Connect("127.0.0.1", 443, kTls12, 30));
    EXPECT_EQ(kTls12, c.TlsKindInUse());
    EXPECT_EQ(kTcpAlreadyOpen, c.Connect("127.0.0.1", 443, kTls12, 30));
    EXPECT_EQ(0, c.Close());
}

TEST_F(HttpClientTest, HeaderAndBodyInOnePieceSplitBySurplus) {
    CTcpConnection c;
    ASSERT_EQ(kTcpOk, c.Connect("127.0.0.1", 80, kTlsNone, 30));
    ASSERT_EQ(kTcpOk, c.Send("GET http://127.0.0.1/five HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n", 0));
    CDynArray<char> r;
    ASSERT_EQ(kTcpOk, c.Receive(&r, "\r\n\r\n", CTcpConnection::kNoCount, 16384));
    std::string head(r.Data(), (size_t)r.count);
    EXPECT_EQ("\r\n\r\n", head.substr(head.size() - 4));
    ASSERT_EQ(kTcpOk, c.Receive(&r, nullptr, CTcpConnection::kNoCount, 16384));
    EXPECT_EQ("abcdefgh", std::string(r.Data(), (size_t)r.count));
    EXPECT_EQ(kTcpPeerClosed, c.Receive(&r, nullptr, CTcpConnection::kNoCount, 16384));
    c.Close();
}

// The HTTP client and its connection against a loopback server of our own
// (tests/update/http_peer.py), plain on port 80 and TLS 1.2 on port 443.
// The server's certificates are made at test time, signed by a test
// certificate authority that the tests add to the prefix's trusted roots
// (or self-signed, for another name, or expired, which must be refused).
#include "update/http_client.h"

#include <windows.h>
#include <gtest/gtest.h>
#include <openssl/crypto.h>
#include <string.h>

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/test_support.h"
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
    // http -> https: the port follows the address.
    EXPECT_EQ(kHttpOk, Get("http://127.0.0.1/tohttps"));
    EXPECT_EQ("9.9.9", Body());
    std::string log = peer_->Log();
    EXPECT_NE(std::string::npos, log.find("http GET http://127.0.0.1/tohttps"));
    EXPECT_NE(std::string::npos, log.find("https GET https://127.0.0.1/v.txt"));
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

namespace {

// Makes the name server of /etc/resolv.conf an address of this test's own
// loopback and listens there without ever answering, so that looking up a
// name waits out the resolver's own retries (about ten seconds or more).
// False when this run has no network namespace of its own to do that in.
bool SilentNameServer() {
    char own[8] = "";
    if (GetEnvironmentVariableA("VP_OWN_NET", own, sizeof own) == 0 || strcmp(own, "1") != 0)
        return false;
    std::string dir = MakeTestDir("silent_resolver");
    int rc = RunPeer(dir,
                     "ns=$(awk '/^nameserver/ {print $2; exit}' /etc/resolv.conf)\n"
                     "case \"$ns\" in *.*.*.*) ;; *) exit 1 ;; esac\n"
                     "case \"$ns\" in 127.*) ;; *) ip addr add \"$ns/32\" dev lo || exit 1 ;; esac\n"
                     "nohup /usr/bin/python3 -c \"import socket, time\n"
                     "s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)\n"
                     "s.bind(('$ns', 53))\n"
                     "open('listening', 'w').close()\n"
                     "time.sleep(300)\" >resolver.log 2>&1 &");
    if (rc != 0)
        return false;
    for (int i = 0; i < 100; i++) {
        if (FileExists(PathJoin(dir, "listening")))
            return true;
        Sleep(50);
    }
    return false;
}

}  // namespace

TEST(TcpConnection, NameLookupEndsAtTheTimeOutAndOnCancel) {
    if (!SilentNameServer())
        GTEST_SKIP() << "this run has no network namespace of its own, so no name server can be made to stall";
    CTcpConnection c;
    c.timeoutMs = 1000;
    DWORD start = GetTickCount();
    EXPECT_EQ(kTcpTimeout, c.Connect("stall-a.vellumor.test", 80, kTlsNone, 30));
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 900u);
    EXPECT_LT(took, 2000u);
    EXPECT_FALSE(c.IsConnected());

    volatile BYTE cancel = 0;
    c.SetCancelFlag(&cancel);
    c.timeoutMs = 15000;
    std::thread canceller([&cancel] {
        Sleep(300);
        cancel = 1;
    });
    start = GetTickCount();
    EXPECT_EQ(kTcpTimeout, c.Connect("stall-b.vellumor.test", 80, kTlsNone, 30));  // a cancel while connecting
    EXPECT_LT(GetTickCount() - start, 1000u);
    canceller.join();

    // The client's deadline covers the lookup too.
    CHttpClient client;
    client.Connection().timeoutMs = 1000;
    start = GetTickCount();
    EXPECT_EQ(kHttpConnectFailed, client.Get("http://stall-c.vellumor.test/v.txt", nullptr, nullptr, nullptr, 0, true));
    EXPECT_LT(GetTickCount() - start, 2000u);
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

// Every request to the loopback server with its result and the time it took.
struct Fetch {
    Fetch(std::string u, int e, const char* b) : url(std::move(u)), expected(e), body(b) {}
    std::string url;
    int expected;
    const char* body;  // the body expected with kHttpOk
    int result = -1;
    DWORD took = 0;
    std::string got;
};

// Runs the fetches, each with its own client and the time-out ms, a few at
// once, so that a table of stalls takes a few time-outs, not one per case.
// The bound is fixed, not the core count: OpenSSL takes locks on every
// context and handshake, Wine's locks spin on every free core while many
// threads of one process contend, and requests then outlast their time-outs.
void FetchAll(std::vector<Fetch>* fetches, int ms, volatile BYTE* cancel = nullptr) {
    const size_t kAtOnce = 4;
    std::atomic<size_t> next{0};
    std::vector<std::thread> workers;
    for (size_t w = 0; w < kAtOnce && w < fetches->size(); w++) {
        workers.emplace_back([fetches, &next, ms, cancel] {
            for (size_t i; (i = next++) < fetches->size();) {
                Fetch& f = (*fetches)[i];
                CHttpClient client;
                client.Connection().timeoutMs = ms;
                client.SetCancelFlag(cancel);
                DWORD start = GetTickCount();
                f.result = client.Get(f.url.c_str(), nullptr, nullptr, nullptr, 0, true);
                f.took = GetTickCount() - start;
                f.got.assign(client.Response().Data(), (size_t)client.Response().count);
            }
        });
    }
    for (std::thread& t : workers)
        t.join();
}

TEST_F(HttpClientTest, ServerIdentityIsVerified) {
    std::vector<Fetch> fetches = {
        {"https://127.0.0.1/v.txt", kHttpOk, "9.9.9"},     // signed by the trusted test authority
        {"https://localhost/v.txt", kHttpOk, "9.9.9"},     // the same certificate names "localhost"
        {"http://127.0.0.1/tohttps", kHttpOk, "9.9.9"},    // up to TLS is fine
        {"https://127.0.0.2/v.txt", kHttpUntrusted, ""},   // self-signed
        {"https://127.0.0.3/v.txt", kHttpUntrusted, ""},   // signed, but for "other.invalid"
        {"https://127.0.0.4/v.txt", kHttpUntrusted, ""},   // signed, expired
        {"https://127.0.0.1/tohttp", kHttpUntrusted, ""},  // down to plain HTTP
        {"https://127.0.0.1/tohttplocal", kHttpUntrusted, ""}, {"https://127.0.0.1/toselfsigned", kHttpUntrusted, ""},
    };
    FetchAll(&fetches, 15000);
    for (const Fetch& f : fetches) {
        EXPECT_EQ(f.expected, f.result) << f.url;
        if (f.expected == kHttpOk) {
            EXPECT_EQ(f.body, f.got) << f.url;
        }
    }
    // No request reached a server that was not trusted, and none went out in plain text after TLS.
    std::string log = peer_->Log();
    EXPECT_EQ(std::string::npos, log.find("127.0.0.2/v.txt")) << log;
    EXPECT_EQ(std::string::npos, log.find("127.0.0.3/v.txt")) << log;
    EXPECT_EQ(std::string::npos, log.find("127.0.0.4/v.txt")) << log;
    EXPECT_EQ(std::string::npos, log.find("http GET http://127.0.0.1/v.txt")) << log;
    EXPECT_EQ(std::string::npos, log.find("http GET http://localhost/v.txt")) << log;
    EXPECT_NE(std::string::npos, log.find("https GET https://localhost/v.txt HTTP/1.0 | localhost")) << log;
}

TEST_F(HttpClientTest, UntrustedServerRefusedByTheConnection) {
    CTcpConnection c;
    EXPECT_EQ(kTcpUntrusted, c.Connect("127.0.0.2", 443, kTls12, 30));
    EXPECT_FALSE(c.IsConnected());
    // 127.0.0.3 presents a certificate of the trusted authority, but for another name.
    EXPECT_EQ(kTcpUntrusted, c.Connect("127.0.0.3", 443, kTls12, 30));
    ASSERT_EQ(kTcpOk, c.Connect("localhost", 443, kTls12, 30));
    EXPECT_EQ(kTls12, c.TlsKindInUse());
    EXPECT_EQ(0, c.Close());
}

// The reply loop against a server that stalls, drips, resets, closes
// properly or cuts the connection (over TLS: without close_notify) at every
// phase of the reply: only a reply that ended properly gives its body, and
// every request ends within its time-out.
TEST_F(HttpClientTest, ReplyLoopUsesOnlyProperlyEndedReplies) {
    const int ms = 1000;
    struct Phase {
        const char* kind;
        const char* sent;
        bool headComplete;  // the whole header block was sent
        const char* body;   // the body sent so far
    };
    // "cl" is "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\n3.2.1", "nocl" the same without the length.
    const Phase phases[] = {
        {"cl", "0", false, ""},     {"cl", "8", false, ""},     {"cl", "25", false, ""},
        {"cl", "head", true, ""},   {"cl", "40", true, "3."},   {"cl", "all", true, "3.2.1"},
        {"nocl", "0", false, ""},   {"nocl", "8", false, ""},   {"nocl", "17", false, ""},
        {"nocl", "head", true, ""}, {"nocl", "21", true, "3."}, {"nocl", "all", true, "3.2.1"},
    };
    std::vector<Fetch> fetches;
    for (const char* scheme : {"http", "https"}) {
        bool tls = scheme[4] == 's';
        for (const Phase& p : phases) {
            bool complete = strcmp(p.body, "3.2.1") == 0;
            bool lengthReached = complete && strcmp(p.kind, "cl") == 0;
            for (const char* then : {"stall", "drip", "reset", "close", "cut"}) {
                std::string then_ = then;
                // A drip of fewer than five bytes could end before the time-out; a reset
                // right after a whole reply may reach the client before its last bytes.
                // Wine shows a plain reset that follows data as an orderly close (its
                // server takes the socket's error before the read), so a plain reset
                // after the body has begun is left out; over TLS the missing
                // close_notify tells.
                if ((then_ == "drip" && strcmp(p.body, "3.") == 0) || (then_ == "reset" && lengthReached) ||
                    (then_ == "reset" && !tls && *p.body))
                    continue;
                bool properEnd = then_ == "close" || (then_ == "cut" && !tls) || then_ == "drip";
                const char* body = then_ == "drip" ? "3.2.1" : p.body;
                int expected = kHttpReceiveFailed;
                if (lengthReached)
                    expected = kHttpOk;
                else if (properEnd && strcmp(p.kind, "nocl") == 0 && *body && (p.headComplete || then_ == "drip"))
                    expected = kHttpOk;  // a reply without a length ends with a proper close
                // A drip sends the rest one byte every 0.3 s: five or more bytes outlast the time-out.
                if (then_ == "drip" && !complete)
                    expected = kHttpReceiveFailed;
                fetches.emplace_back(std::string(scheme) + "://127.0.0.1/x/" + p.kind + "/" + p.sent + "/" + then,
                                     expected, body);
            }
        }
    }
    FetchAll(&fetches, ms);
    for (const Fetch& f : fetches) {
        EXPECT_EQ(f.expected, f.result) << f.url;
        if (f.expected == kHttpOk && f.result == kHttpOk) {
            EXPECT_EQ(f.body, f.got) << f.url;
        }
        EXPECT_LT(f.took, (DWORD)ms + 1500) << f.url;
    }
}

TEST_F(HttpClientTest, CancelDuringTheBodyIsACancel) {
    for (const char* url : {"http://127.0.0.1/x/nocl/all/stall", "https://127.0.0.1/x/nocl/all/stall",
                            "https://127.0.0.1/x/cl/40/stall", "https://127.0.0.1/x/pad/0/drip"}) {
        volatile BYTE cancel = 0;
        std::vector<Fetch> fetches = {{url, kHttpCancelled, ""}};
        std::thread canceller([&cancel] {
            Sleep(700);
            cancel = 1;
        });
        FetchAll(&fetches, 15000, &cancel);
        canceller.join();
        EXPECT_EQ(kHttpCancelled, fetches[0].result) << url;
        EXPECT_GE(fetches[0].took, 600u) << url;
        EXPECT_LT(fetches[0].took, 2000u) << url;
    }
}

TEST_F(HttpClientTest, DrippingReplyEndsAtTheTimeOut) {
    // One byte every 0.3 s never leaves the connection idle for a whole time-out:
    // the time-out still ends the request.
    for (const char* url :
         {"http://127.0.0.1/x/pad/0/drip", "https://127.0.0.1/x/pad/0/drip", "https://127.0.0.1/x/pad/head/drip"}) {
        std::vector<Fetch> fetches = {{url, kHttpReceiveFailed, ""}};
        FetchAll(&fetches, 1500);
        EXPECT_EQ(kHttpReceiveFailed, fetches[0].result) << url;
        EXPECT_GE(fetches[0].took, 1400u) << url;
        EXPECT_LT(fetches[0].took, 3000u) << url;
    }
}

// A TLS connection (the probe) in a new process on drive C:, with
// OPENSSL_CONF set to conf (empty: unset); its exit code.
static DWORD ConnectInNewProcess(const std::string& conf) {
    std::string cmd = "\"" + PathOfUnix(VP_TLS_PROBE) + "\"";
    SetEnvironmentVariableA("OPENSSL_CONF", conf.empty() ? nullptr : conf.c_str());
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    DWORD code = 999;
    if (CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, "C:\\", &si, &pi)) {
        WaitForSingleObject(pi.hProcess, 60000);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    SetEnvironmentVariableA("OPENSSL_CONF", nullptr);
    return code;
}

// A configuration planted where the library would look for one (its
// compiled-in folder, and OPENSSL_CONF) names a provider module that
// leaves a mark when loaded: TLS still works and the module never runs.
TEST_F(HttpClientTest, TlsLoadsNoConfigurationFromOutside) {
    std::string dir = MakeTestDir("openssl_planted"), module = PathJoin(dir, "planted.dll");
    ASSERT_TRUE(CopyFileA(PathOfUnix(VP_MARKER_MODULE).c_str(), module.c_str(), FALSE));
    std::string conf =
        "openssl_conf = init\n[init]\nproviders = p\n[p]\nplanted = planted\n[planted]\nmodule = " + module +
        "\nactivate = 1\n";
    std::string compiled = OpenSSL_version(OPENSSL_DIR);  // OPENSSLDIR: "<folder>"
    size_t open = compiled.find('"'), close = compiled.rfind('"');
    ASSERT_LT(open, close);
    std::string folder = compiled.substr(open + 1, close - open - 1);
    // A folder without a drive: Windows roots it on the current drive (C:
    // for the probe), Wine opens it as a Linux path (Z:).
    std::vector<std::string> places = {folder}, made;  // made: removed again
    if (folder[0] == '/')
        places = {"C:" + folder, "Z:" + folder};
    for (const std::string& place : places) {
        for (size_t i = 3; i <= place.size(); i++)
            if ((i == place.size() || place[i] == '/') && CreateDirectoryA(place.substr(0, i).c_str(), nullptr))
                made.push_back(place.substr(0, i));
        if (WriteFileBytes(PathJoin(place, "openssl.cnf"), conf))
            made.push_back(PathJoin(place, "openssl.cnf"));
    }
    ASSERT_TRUE(FileExists(PathJoin(places[0], "openssl.cnf"))) << places[0];
    ASSERT_TRUE(WriteFileBytes(PathJoin(dir, "named.cnf"), conf));
    EXPECT_EQ(0u, ConnectInNewProcess(""));
    EXPECT_EQ(0u, ConnectInNewProcess(PathJoin(dir, "named.cnf")));
    for (size_t i = made.size(); i-- > 0;)
        DeleteFileA(made[i].c_str()) || RemoveDirectoryA(made[i].c_str());
    EXPECT_FALSE(FileExists(module + ".ran"));
}

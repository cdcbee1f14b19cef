// The reply parser of the HTTP client: status lines, headers at line
// starts, Content-Length limits, and where redirects point.
#include "update/http_reply.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "update/base64.h"

static int Status(const std::string& s) {
    return HttpReplyStatus(s.data(), s.size());
}

TEST(HttpReply, StatusNeedsAnHttpLineWithThreeDigits) {
    EXPECT_EQ(200, Status("HTTP/1.0 200 OK\r\n\r\n"));
    EXPECT_EQ(503, Status("HTTP/1.1 503\r\n\r\n"));
    EXPECT_EQ(100, Status("HTTP/1.0 100 Continue\r\n\r\n"));
    EXPECT_EQ(-1, Status("HTTP/1.0 20"));  // short
    EXPECT_EQ(-1, Status("garbage that is long enough"));
    EXPECT_EQ(-1, Status("HTTP/1.0 2x0 OK\r\n\r\n"));
    EXPECT_EQ(-1, Status("HTTP/1.0 2000 OK\r\n\r\n"));
    EXPECT_EQ(-1, HttpReplyStatus(nullptr, 0));
}

TEST(HttpReply, HeadersMatchOnlyAtLineStarts) {
    std::string block =
        "HTTP/1.0 301 Moved\r\nContent-Location: http://wrong/\r\nlocation:   http://right/v.txt\r\n"
        "Last-Modified: Tue, 08 Dec 2026 10:00:00 GMT\r\n\r\n";
    char out[64];
    ASSERT_TRUE(HttpHeaderValue(block.data(), block.size(), "Location", out, sizeof out));
    EXPECT_STREQ("http://right/v.txt", out);
    ASSERT_TRUE(HttpHeaderValue(block.data(), block.size(), "last-modified", out, sizeof out));
    EXPECT_STREQ("Tue, 08 Dec 2026 10:00:00 GMT", out);
    EXPECT_FALSE(HttpHeaderValue(block.data(), block.size(), "Modified", out, sizeof out));
    char tiny[8];
    EXPECT_FALSE(HttpHeaderValue(block.data(), block.size(), "Location", tiny, sizeof tiny));  // never cut
    EXPECT_STREQ("", tiny);
    // The status line is not a header.
    std::string odd = "Location: x\r\n\r\n";
    EXPECT_FALSE(HttpHeaderValue(odd.data(), odd.size(), "Location", out, sizeof out));
}

TEST(HttpReply, ContentLengthIsCapped) {
    auto len = [](const char* value) {
        std::string b = std::string("HTTP/1.0 200 OK\r\nContent-Length: ") + value + "\r\n\r\n";
        return HttpContentLength(b.data(), b.size());
    };
    EXPECT_EQ(5, len("5"));
    EXPECT_EQ(0, len("0"));
    EXPECT_EQ(kHttpLengthBad, len("-5"));
    EXPECT_EQ(kHttpLengthBad, len("2147483648"));
    EXPECT_EQ(kHttpLengthBad, len("99999999999999999999999"));
    EXPECT_EQ(kHttpLengthBad, len("12abc"));
    EXPECT_EQ(kHttpLengthBad, len(""));
    EXPECT_EQ((int64_t)kCbMaxBody, len(std::to_string(kCbMaxBody).c_str()));
    EXPECT_EQ(kHttpLengthBad, len(std::to_string(kCbMaxBody + 1).c_str()));
    std::string none = "HTTP/1.0 200 OK\r\nX-Content-Length: 4\r\n\r\n";
    EXPECT_EQ(kHttpLengthNone, HttpContentLength(none.data(), none.size()));
}

TEST(HttpReply, LocationResolvesAbsoluteAddressesAndPaths) {
    char out[64];
    EXPECT_TRUE(HttpResolveLocation("http://a.example/x/v.txt", "https://b.example/v", out, sizeof out));
    EXPECT_STREQ("https://b.example/v", out);
    EXPECT_TRUE(HttpResolveLocation("https://a.example/x/v.txt", "/y/w.txt", out, sizeof out));
    EXPECT_STREQ("https://a.example/y/w.txt", out);
    EXPECT_TRUE(HttpResolveLocation("http://a.example", "/w", out, sizeof out));
    EXPECT_STREQ("http://a.example/w", out);
    EXPECT_FALSE(HttpResolveLocation("http://a.example/x/", "w.txt", out, sizeof out));  // relative path
    EXPECT_FALSE(HttpResolveLocation("http://a.example/x/", "//c.example/", out, sizeof out));
    EXPECT_FALSE(HttpResolveLocation("http://a.example/x/", "ftp://c/", out, sizeof out));
    EXPECT_FALSE(HttpResolveLocation("http://a.example/x/", "http://", out, sizeof out));
    char small[16];
    EXPECT_FALSE(HttpResolveLocation("http://a.example/", "/a-long-path-here", small, sizeof small));
}

TEST(Base64, BlocksPaddingAndLines) {
    size_t n = 0;
    char* t = Base64Encode("abc", -1, &n);
    ASSERT_NE(nullptr, t);
    EXPECT_STREQ("YWJj", t);
    EXPECT_EQ(4u, n);
    free(t);
    t = Base64Encode("ab", 2, &n);
    EXPECT_STREQ("YWI=", t);
    free(t);
    t = Base64Encode("a", 1, &n);
    EXPECT_STREQ("YQ==", t);
    free(t);
    std::string bytes(57, 'x');
    t = Base64Encode(bytes.data(), 57, &n);
    ASSERT_EQ(78u, n);
    EXPECT_EQ(std::string("\r\n"), std::string(t + 76));
    free(t);
    t = Base64Encode(std::string(58, 'x').data(), 58, &n);
    EXPECT_EQ(82u, n);  // 76 + CRLF + 4
    free(t);
    EXPECT_EQ(nullptr, Base64Encode("abc", 0, &n));
    EXPECT_EQ(nullptr, Base64Encode(nullptr, 3, &n));
}

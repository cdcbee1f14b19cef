// Helpers of the update tests: the loopback HTTP/TLS peer (started and
// stopped by the tests), a private data folder, and the program identity
// the update check and the archive read from the application object.
#pragma once
#include <string>

class HttpPeer {
  public:
    // Starts tests/update/http_peer.py (plain on 127.0.0.1:80, TLS on port
    // 443 of 127.0.0.1 to 127.0.0.4) and adds the test certificate
    // authority it made to the trusted roots of this Wine prefix.
    bool Start();
    void Stop();
    ~HttpPeer() { Stop(); }
    // The request lines seen so far ("http GET <url> HTTP/1.0 | <host>").
    std::string Log() const;
    void ClearLog();

  private:
    bool TrustTestAuthority();
    std::string dir_;
    bool running_ = false;
};

// Product name, version 3.2.10, version URL and user data folder of gApp.
void SetUpProgram(const char* product, const std::string& dataFolder, const char* versionUrl);
std::string DataFolderFile(const char* name);

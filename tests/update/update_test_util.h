// Helpers of the update tests: the loopback HTTP/TLS peer (started and
// stopped by the tests), a private data folder, and the program identity
// the update check and the archive read from the application object.
#pragma once
#include <string>

class HttpPeer {
  public:
    // Makes a self-signed certificate with openssl and starts
    // tests/update/http_peer.py on 127.0.0.1:80 and :443.
    bool Start();
    void Stop();
    ~HttpPeer() { Stop(); }
    // The request lines seen so far ("http GET <url> HTTP/1.0 | <host>").
    std::string Log() const;
    void ClearLog();

  private:
    std::string dir_;
    bool running_ = false;
};

// Product name, version 3.2.10, version URL and user data folder of gApp.
void SetUpProgram(const char* product, const std::string& dataFolder, const char* versionUrl);
std::string DataFolderFile(const char* name);

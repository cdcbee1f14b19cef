// The root certificates Windows trusts (the system's ROOT store), as an
// OpenSSL certificate store for verifying a server's chain. Reading the
// system store is slow (a few hundred ms under Wine), so the store is kept
// for a minute and read again after that, so that a changed store counts.
#pragma once

typedef struct x509_store_st X509_STORE;

// A store with the roots; the caller owns one reference (X509_STORE_free,
// or hand it to SSL_CTX_set1_cert_store and free it). Null when out of
// memory. Any thread may call.
X509_STORE* SystemRootStore();

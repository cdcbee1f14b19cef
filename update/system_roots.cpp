// The system's trusted roots as an OpenSSL store (see system_roots.h).
#include <windows.h>
// wincrypt.h before OpenSSL, whose headers undo wincrypt's names that clash with theirs.
#include <openssl/err.h>
#include <openssl/x509.h>
#include <wincrypt.h>

#include "system_roots.h"

namespace {

constexpr DWORD kKeepMs = 60000;

SRWLOCK gLock = SRWLOCK_INIT;
X509_STORE* gStore;  // guarded by gLock; holds one reference of its own
DWORD gLoaded;

X509_STORE* ReadSystemRoots() {
    X509_STORE* store = X509_STORE_new();
    if (!store)
        return nullptr;
    HCERTSTORE roots = CertOpenSystemStoreA(0, "ROOT");
    if (roots) {
        for (PCCERT_CONTEXT c = CertEnumCertificatesInStore(roots, nullptr); c;
             c = CertEnumCertificatesInStore(roots, c)) {
            const unsigned char* p = c->pbCertEncoded;
            X509* x = d2i_X509(nullptr, &p, (long)c->cbCertEncoded);
            if (x) {
                X509_STORE_add_cert(store, x);  // a second copy of one fails harmlessly
                X509_free(x);
            }
        }
        CertCloseStore(roots, 0);
    }
    ERR_clear_error();
    return store;
}

}  // namespace

X509_STORE* SystemRootStore() {
    AcquireSRWLockExclusive(&gLock);
    if (!gStore || GetTickCount() - gLoaded > kKeepMs) {
        X509_STORE* fresh = ReadSystemRoots();
        if (fresh) {
            if (gStore)
                X509_STORE_free(gStore);  // connections still using it keep their references
            gStore = fresh;
            gLoaded = GetTickCount();
        }
    }
    X509_STORE* store = gStore;
    if (store && X509_STORE_up_ref(store) != 1)
        store = nullptr;
    ReleaseSRWLockExclusive(&gLock);
    return store;
}

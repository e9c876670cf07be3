// Linked into every test program. LeakSanitizer asks for these at start-up:
// leaks inside system libraries the tests cannot free (fontconfig's caches,
// filled as soon as Qt lays out text, the D-Bus connection Qt keeps for the
// session, and OpenSSL's per-thread random generators of Qt's network
// threads, which OpenSSL frees at a thread's end and the program's end may
// overtake). A leak of our own code still fails its test.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libdbus-1.so\n"
           "leak:libcrypto.so\n";
}

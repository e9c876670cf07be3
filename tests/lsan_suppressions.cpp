// Linked into every test program. LeakSanitizer asks for these at start-up:
// leaks inside system libraries the tests cannot free (fontconfig's caches,
// filled as soon as Qt lays out text, and the D-Bus connection Qt keeps for
// the session). A leak of our own code still fails its test.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libdbus-1.so\n";
}

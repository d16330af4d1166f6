// Fontconfig leaks a few bytes while it parses its configuration files. That is not
// ours to fix, so LeakSanitizer builds of the tests leave it out of their reports.
// The sanitizer runtime looks the hook up by name, so it must stay visible.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

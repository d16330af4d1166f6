// A shared object with an ordinary export and no VST 2 entry point.
extern "C" __attribute__((visibility("default"))) int tesk_not_a_plugin() {
    return 42;
}

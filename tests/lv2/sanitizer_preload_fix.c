/* Preloaded after the sanitizer runtime into jalv.gtk3, which otherwise hangs at
 * its start (even for --help). The loader initialises a preloaded runtime after
 * every library the program needs, so the runtime sets itself up at the first
 * malloc instead; in jalv.gtk3 that malloc comes from libgpg-error's
 * constructor, inside glibc's bindtextdomain, which holds gettext's lock
 * (_nl_state_lock) for writing. Setting itself up, the runtime looks for a Swift
 * demangler, swift_demangle, and clears the failed lookup with dlerror(), which
 * translates its message through gettext: gettext takes the same lock to read
 * (refused: this thread writes it) and then unlocks it, ending the write hold;
 * bindtextdomain's own unlock then takes one reader too many off the count. The
 * next bindtextdomain, GTK's in gtk_init, waits for that reader for ever.
 * With a swift_demangle in the process the lookup succeeds, dlerror() has no
 * message to translate and the lock is left alone. No ASAN_OPTIONS setting
 * avoids the lookup (symbolize=0 does not).
 * It demangles nothing: the runtime then reads every name as a C++ name, as it
 * does when no Swift demangler is there. */
#include <stddef.h>
#include <stdint.h>

__attribute__((visibility("default"))) char*
swift_demangle(const char* name, size_t length, char* out, size_t* outLength, uint32_t flags) {
    (void)name;
    (void)length;
    (void)out;
    (void)outLength;
    (void)flags;
    return NULL;
}

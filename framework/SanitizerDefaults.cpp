// The sanitizers' run-time settings, built into every program and test of a sanitizer build
// (-DQEL_SANITIZE=...), so that they hold however the program is started (ctest, umockdev-wrapper,
// the end-to-end tests' child processes).
//
// ThreadSanitizer suppressions: only races inside system libraries that are not instrumented,
// never the program's own code. GLib's main loop and umockdev's testbed thread hand data over under
// GLib's own locks, which ThreadSanitizer cannot see in an uninstrumented GLib. The testbed thread
// also accepts its socket connections in GIO (g_socket_accept); a descriptor number it gets may be
// one a pipe in JUCE used and closed just before, which looks like a race on that number.
extern "C" const char* __tsan_default_options() { return "halt_on_error=1:second_deadlock_stack=1"; }

extern "C" const char* __tsan_default_suppressions()
{
    return "race:libglib-2.0.so.0\n"
           "race:libgio-2.0.so.0\n"
           "race:libumockdev.so.0\n";
}

extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }

// Built into every program of the sanitizer build (VORN_SANITIZE=ON): the
// test programs, the discovery runs of ctest and the desk they start as a
// process all report alike, with nothing set in the environment. Options given
// in ASAN_OPTIONS, LSAN_OPTIONS or UBSAN_OPTIONS are read after these.

#ifndef VORN_LEAK_SUPPRESSIONS
#error "VORN_LEAK_SUPPRESSIONS names the leak suppressions file"
#endif

#define VORN_SANITIZER_HOOK extern "C" __attribute__((visibility("default"), used)) const char*

// NOLINTBEGIN(bugprone-reserved-identifier): the sanitizers' own hook names.
VORN_SANITIZER_HOOK __asan_default_options() {
    // Leaks are reported at exit, outside the suppressed libraries.
    return "detect_leaks=1:check_initialization_order=1:strict_init_order=1:"
           "detect_stack_use_after_return=1";
}

VORN_SANITIZER_HOOK __lsan_default_options() {
    return "suppressions=" VORN_LEAK_SUPPRESSIONS ":print_suppressions=0";
}

VORN_SANITIZER_HOOK __ubsan_default_options() {
    return "halt_on_error=1:print_stacktrace=1";
}
// NOLINTEND(bugprone-reserved-identifier)

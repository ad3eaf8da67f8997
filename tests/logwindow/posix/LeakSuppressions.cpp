// fontconfig keeps the configuration it parsed for the life of the process;
// LeakSanitizer, when present, reads these suppressions.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

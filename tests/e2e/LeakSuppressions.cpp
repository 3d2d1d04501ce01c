// The control library draws with Pango over fontconfig, which keeps its
// caches for the life of the process (the library's own copy of this hook is
// hidden with its other symbols, and the leak checker reads only the host's).
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

// Linked into the sanitizer build's test programs only. Libraries that are
// loaded at run time (PipeWire's plugins that libmpv's audio output tries,
// Qt plugins, GL drivers) stay loaded until the process ends: dlclose() does
// nothing. LeakSanitizer then names the library of every frame it reports,
// and memory that an unloaded library still held is not counted as leaked.
extern "C" int dlclose(void *) { return 0; }

// A stand-in for the window module: it reports the version it was built with, and its window
// "runs" by returning a status that tells the test which module was taken.
extern "C" __attribute__((visibility("default"))) int velmora_run_window(int, char**) {
    return FAKE_WINDOW_STATUS;
}

extern "C" __attribute__((visibility("default"))) const char* velmora_window_version() {
    return FAKE_WINDOW_VERSION;
}

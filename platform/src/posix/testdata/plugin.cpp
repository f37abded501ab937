// A tiny shared library that the library loader test opens by name.
extern "C" __attribute__((visibility("default"))) int platform_test_plugin_answer() { return 42; }

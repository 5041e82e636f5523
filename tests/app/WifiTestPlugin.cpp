// A stand-in WiFi module: counts its calls and keeps the window id it was given, so tests can
// see that the program reached it.
extern "C" {
__attribute__((visibility("default"))) int korva_test_wifi_infrastructure_calls = 0;
__attribute__((visibility("default"))) int korva_test_wifi_limited_ap_calls = 0;
__attribute__((visibility("default"))) unsigned long korva_test_wifi_last_window = 0;

__attribute__((visibility("default"))) int korva_wifi_infrastructure(unsigned long window) {
    ++korva_test_wifi_infrastructure_calls;
    korva_test_wifi_last_window = window;
    return 1;
}

__attribute__((visibility("default"))) int korva_wifi_limited_ap(unsigned long window) {
    ++korva_test_wifi_limited_ap_calls;
    korva_test_wifi_last_window = window;
    return 1;
}
}

#include "transfer/proxy_helper/pac_location.h"

#include <gio/gio.h>

#include <cstdlib>
#include <memory>
#include <string_view>

namespace marlowin::proxy_helper {

namespace {

constexpr const char* kDetected = "http://wpad/wpad.dat";

template <typename T>
struct GFree {
    void operator()(T* pointer) const { g_free(pointer); }
};
using GText = std::unique_ptr<char, GFree<char>>;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool desktop_is(std::string_view name) {
    // A list of names, "ubuntu:GNOME" among them.
    return environment("XDG_CURRENT_DESKTOP").find(name) != std::string::npos;
}

std::optional<std::string> from_environment() {
    for (const char* name :
         {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
        const std::string value = environment(name);
        if (value.starts_with("pac+")) {
            return value.substr(4);
        }
        if (value.starts_with("wpad:")) {
            return kDetected;
        }
    }
    return std::nullopt;
}

std::optional<std::string> from_gnome() {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (!desktop_is("GNOME") || source == nullptr) {
        return std::nullopt;
    }
    GSettingsSchema* schema =
        g_settings_schema_source_lookup(source, "org.gnome.system.proxy", TRUE);
    if (schema == nullptr) {
        return std::nullopt;
    }
    g_settings_schema_unref(schema);
    const std::unique_ptr<GSettings, decltype(&g_object_unref)> settings(
        g_settings_new("org.gnome.system.proxy"), g_object_unref);
    const GText mode(g_settings_get_string(settings.get(), "mode"));
    if (std::string_view(mode.get()) != "auto") {
        return std::nullopt;
    }
    const GText url(g_settings_get_string(settings.get(), "autoconfig-url"));
    return *url.get() != '\0' ? std::string(url.get()) : std::string(kDetected);
}

std::optional<std::string> from_kde() {
    if (!desktop_is("KDE")) {
        return std::nullopt;
    }
    const GText path(g_build_filename(g_get_user_config_dir(), "kioslaverc", nullptr));
    const std::unique_ptr<GKeyFile, decltype(&g_key_file_free)> file(g_key_file_new(),
                                                                     g_key_file_free);
    if (!g_key_file_load_from_file(file.get(), path.get(), G_KEY_FILE_NONE, nullptr)) {
        return std::nullopt;
    }
    const gint type = g_key_file_get_integer(file.get(), "Proxy Settings", "ProxyType", nullptr);
    if (type == 3) {
        return kDetected;
    }
    const GText script(
        g_key_file_get_string(file.get(), "Proxy Settings", "Proxy Config Script", nullptr));
    if (type != 2 || !script || *script.get() == '\0') {
        return std::nullopt;
    }
    return std::string(script.get());
}

}  // namespace

std::optional<std::string> pac_location() {
    if (std::optional<std::string> url = from_environment()) {
        return url;
    }
    if (std::optional<std::string> url = from_gnome()) {
        return url;
    }
    return from_kde();
}

}  // namespace marlowin::proxy_helper

#pragma once

#include <string>

#if defined(_WIN32)
#include <winsock2.h>  // before windows.h, as it asks

#include <windows.h>

#include <cstdint>
#include <vector>
#else
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <utility>
#endif

#include "tests/shared/test_setup.h"

namespace marlowin::testing {

/**
 * The person's proxy settings, set for one test as the system keeps them and undone after it:
 * on Windows the current user's Internet Options in the registry, the values and the binary
 * connection settings alike, as Windows' settings page writes them; elsewhere GNOME's
 * settings (org.gnome.system.proxy), written with gsettings into a GSettings key file of the
 * test's own, in the environment a GNOME session has (XDG_CURRENT_DESKTOP, DESKTOP_SESSION).
 */
class SystemProxySettings {
public:
    SystemProxySettings() = default;
    ~SystemProxySettings() { clear(); }
    SystemProxySettings(const SystemProxySettings&) = delete;
    SystemProxySettings& operator=(const SystemProxySettings&) = delete;

    /// An automatic configuration script.
    void use_pac(const std::string& script_url) {
#if defined(_WIN32)
        write(false, "", "", script_url);
#else
        gnome({{"org.gnome.system.proxy", "mode", "auto"},
               {"org.gnome.system.proxy", "autoconfig-url", script_url}});
#endif
    }

    /// A proxy server ("host:port") for every scheme, and the hosts that bypass it: a list in
    /// Windows' form ("<local>;*.example") there, in GNOME's (['*.example']) elsewhere.
    void use_manual(const std::string& server, const std::string& bypass) {
#if defined(_WIN32)
        write(true, server, bypass, "");
#else
        const std::size_t colon = server.rfind(':');
        gnome({{"org.gnome.system.proxy", "mode", "manual"},
               {"org.gnome.system.proxy", "ignore-hosts", bypass},
               {"org.gnome.system.proxy.http", "host", server.substr(0, colon)},
               {"org.gnome.system.proxy.http", "port", server.substr(colon + 1)}});
#endif
    }

    void clear() {
#if defined(_WIN32)
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettings, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            for (const char* name :
                 {"ProxyEnable", "ProxyServer", "ProxyOverride", "AutoConfigURL"}) {
                RegDeleteValueA(key, name);
            }
            RegCloseKey(key);
        }
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kConnections, 0, KEY_SET_VALUE, &key) ==
            ERROR_SUCCESS) {
            RegDeleteValueA(key, "DefaultConnectionSettings");
            RegCloseKey(key);
        }
#else
        for (const char* name :
             {"GSETTINGS_BACKEND", "XDG_CONFIG_HOME", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION"}) {
            set_environment(name, nullptr);
        }
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
#endif
    }

private:
#if !defined(_WIN32)
    struct Key {
        const char* schema;
        const char* key;
        std::string value;  // a string, or a GVariant text such as "['*.example']" or "3128"
    };

    // As GNOME's settings panel stores them: through GSettings, here on GLib's key-file
    // backend ($XDG_CONFIG_HOME/glib-2.0/settings/keyfile), in whatever form this GLib uses.
    void gnome(std::initializer_list<Key> keys) {
        std::filesystem::create_directories(folder_);
        set_environment("GSETTINGS_BACKEND", "keyfile");
        set_environment("XDG_CONFIG_HOME", folder_.c_str());
        set_environment("XDG_CURRENT_DESKTOP", "GNOME");
        set_environment("DESKTOP_SESSION", "gnome");
        for (const Key& key : keys) {
            const bool text = key.value.empty() ||
                              (key.value.front() != '[' &&
                               key.value.find_first_not_of("0123456789") != std::string::npos);
            const std::string value = text ? "'" + key.value + "'" : key.value;
            const std::string command =
                std::string("gsettings set ") + key.schema + " " + key.key + " \"" + value + "\"";
            if (std::system(command.c_str()) != 0) {
                ADD_FAILURE() << "failed: " << command;
            }
        }
    }

    std::filesystem::path folder_ =
        std::filesystem::temp_directory_path() / ("marlowin-gnome-" + std::to_string(::getpid()));
#endif
#if defined(_WIN32)
    static constexpr const char* kSettings =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    static constexpr const char* kConnections =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";

    static void set_string(HKEY key, const char* name, const std::string& value) {
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    }

    void write(bool manual, const std::string& server, const std::string& bypass,
               const std::string& script) {
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, kSettings, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr);
        const DWORD enable = manual ? 1 : 0;
        RegSetValueExA(key, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enable),
                       sizeof enable);
        set_string(key, "ProxyServer", server);
        set_string(key, "ProxyOverride", bypass);
        if (!script.empty()) {
            set_string(key, "AutoConfigURL", script);
        }
        RegCloseKey(key);

        // The connection settings WinHTTP reads: version, change counter, flags (1 direct,
        // 2 proxy, 4 PAC address, 8 detection), then the three strings, each after its length.
        std::vector<std::uint8_t> blob;
        const auto add_word = [&blob](std::uint32_t word) {
            for (int i = 0; i < 4; ++i) {
                blob.push_back(static_cast<std::uint8_t>(word >> (8 * i)));
            }
        };
        add_word(0x46);
        add_word(++counter_);
        add_word(1U | (manual ? 2U : 0U) | (script.empty() ? 0U : 4U));
        for (const std::string* text : {&server, &bypass, &script}) {
            add_word(static_cast<std::uint32_t>(text->size()));
            blob.insert(blob.end(), text->begin(), text->end());
        }
        blob.resize(blob.size() + 32);
        RegCreateKeyExA(HKEY_CURRENT_USER, kConnections, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr);
        RegSetValueExA(key, "DefaultConnectionSettings", 0, REG_BINARY, blob.data(),
                       static_cast<DWORD>(blob.size()));
        RegCloseKey(key);
    }

    std::uint32_t counter_ = 0;
#endif
};

}  // namespace marlowin::testing

#pragma once

#include <optional>
#include <string>

namespace marlowin::proxy_helper {

/// The address of the PAC script the person's settings name, for a PAC script or automatic
/// detection (WPAD: http://wpad/wpad.dat), read as libproxy reads them: the environment's
/// "pac+URL" and "wpad:" forms, then the desktop's settings, GNOME's (org.gnome.system.proxy,
/// mode "auto") or KDE's (kioslaverc, ProxyType 2 or 3) by XDG_CURRENT_DESKTOP. nullopt when
/// the settings name none.
[[nodiscard]] std::optional<std::string> pac_location();

}  // namespace marlowin::proxy_helper

# `make package`: a Debian package of the installed program, for the Debian release it is built
# on (marlowin_1.00-1~deb12_amd64.deb, ...~deb13...). Its dependencies are the shared
# libraries the binary links (found by dpkg-shlibdeps) plus a CJK font, so the window
# renders Chinese on a machine that has none.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "marlowin")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_DEBIAN_PACKAGE_RELEASE "${MARLOWIN_DEBIAN_REVISION}")
set(CPACK_PACKAGE_VENDOR "Marlowin")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Fetch a web page and show its title (检索网页并提取标题)")
set(CPACK_PACKAGE_DESCRIPTION "A small desktop tool with a Simplified Chinese interface: type a
web address, retrieve the page over HTTP or HTTPS, and extract its title.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Marlowin developers <dev@marlowin.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION "net")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei | fonts-noto-cjk")
# Qt's own texts (the context menus of the text boxes) in Chinese; GNOME's proxy settings, which
# the proxy helper reads, and libproxy's readers of the desktops' manual settings.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-translations-l10n, gsettings-desktop-schemas, libproxy1-plugin-gsettings | libproxy1-plugin-kconfig")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)

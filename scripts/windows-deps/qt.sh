# Qt 6.8.2 base (a long-term-support release) from Debian 13's qt6-base source: Core, Gui,
# Widgets, Concurrent and Test, with the windows and offscreen platform plugins and the style
# plugin Qt ships for Windows 10 and 11 (windowsvista and windows11). Everything the program
# does not use is turned off, to keep the build short; Debian's own moc, rcc, uic and syncqt
# 6.8.2 serve as the host tools. The bundled FreeType is kept for the offscreen platform.
# tabletevent needs wintab.h, which the Debian source drops; dynamicgl builds only with
# OpenGL. Direct2D and DirectWrite stay on, as Qt 6.8 builds for Windows: its Windows font code
# does not build without them (the DirectWrite font database is 6.8's default there).
source_package=qt6-base
source_version=6.8.2+dfsg-9+deb13u2
source_dsc_sha256=fd3d4e1ad5bb96dbdaf212f9edabf4dfc08b4f39b321e9325e9b5ab83826f1f8
# moc, rcc, uic and syncqt come from here and must be of the same Qt.
host_package=qt6-base-dev-tools
build_component() {
    cmake -G Ninja -S "$SRC" -B "$BUILD" \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_INSTALL_PREFIX="$OUT" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_xml=OFF \
        -DFEATURE_printsupport=OFF -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF \
        -DFEATURE_dynamicgl=OFF -DFEATURE_icu=OFF \
        -DFEATURE_fontconfig=OFF -DFEATURE_tabletevent=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF \
        -DFEATURE_testlib=ON -DFEATURE_concurrent=ON \
        -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
        -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF \
        -DFEATURE_system_doubleconversion=OFF
    cmake --build "$BUILD" --parallel "$JOBS"
    cmake --install "$BUILD"
}

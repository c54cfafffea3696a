# Qt 6.4.2 base from Debian's qt6-base source: Core, Gui, Widgets, Concurrent and Test, with the
# windows and offscreen platform plugins. Everything the program does not use is turned off, to
# keep the build short; Debian's own moc, rcc and uic 6.4.2 serve as the host tools. The bundled
# FreeType is kept for the offscreen platform. tabletevent needs wintab.h, which the Debian
# source drops; DirectWrite 3 builds only with Direct2D, and dynamicgl only with OpenGL.
source_package=qt6-base
source_version=6.4.2+dfsg-10
source_dsc_sha256=1b4b5c8610a553d4211fa81e268b1a3b0a6339ae5444fdb7e60d7616da651970
# moc, rcc and uic come from here and must be of the same Qt.
host_package=qt6-base-dev-tools
build_component() {
    cmake -G Ninja -S "$SRC" -B "$BUILD" \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_INSTALL_PREFIX="$OUT" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_xml=OFF \
        -DFEATURE_printsupport=OFF -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF \
        -DFEATURE_dynamicgl=OFF -DFEATURE_direct2d=OFF -DFEATURE_directwrite3=OFF -DFEATURE_icu=OFF \
        -DFEATURE_fontconfig=OFF -DFEATURE_tabletevent=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF \
        -DFEATURE_testlib=ON -DFEATURE_concurrent=ON \
        -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
        -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF \
        -DFEATURE_system_doubleconversion=OFF
    cmake --build "$BUILD" --parallel "$JOBS"
    cmake --install "$BUILD"
}

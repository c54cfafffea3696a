# nghttp2 1.64.0 from Debian 13's nghttp2 source (+deb13u1, from the security archive, the newest
# whose files the archive these machines reach serves): the library only, for libcurl's HTTP/2.
source_package=nghttp2
source_version=1.64.0-1.1+deb13u1
source_dsc_sha256=11f4603a9f417bc3d195be36cb462bb9df0657f52b72dd9276453a31bc0227c7
build_component() {
    cmake -G Ninja -S "$SRC" -B "$BUILD" \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_INSTALL_PREFIX="$OUT" \
        -DCMAKE_BUILD_TYPE=Release -DENABLE_LIB_ONLY=ON -DBUILD_SHARED_LIBS=ON \
        -DBUILD_STATIC_LIBS=OFF -DENABLE_DOC=OFF -DBUILD_TESTING=OFF
    cmake --build "$BUILD" --parallel "$JOBS"
    cmake --install "$BUILD"
}

# libcurl 7.88.1 from Debian's curl source, over Schannel (Windows' own TLS and certificate
# store), with Windows' IDN and a static zlib (Debian's libz-mingw-w64-dev ships no zlib1.dll),
# HTTP only. Debian's GnuTLS and NSS patches touch only the autotools files, which CMake does
# not read. brotli, zstd, nghttp2 and libidn2 stay out: the program's IDNA is ICU's.
source_package=curl
source_version=7.88.1-10+deb12u15
source_dsc_sha256=2744f12e3aef161c0361743fa1b318296b122e566e47f381e4a63320fbcc23f4
build_component() {
    cmake -G Ninja -S "$SRC" -B "$BUILD" \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_INSTALL_PREFIX="$OUT" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DBUILD_CURL_EXE=OFF \
        -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF -DHTTP_ONLY=ON -DENABLE_UNICODE=ON \
        -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none \
        -DUSE_WIN32_IDN=ON -DUSE_LIBIDN2=OFF -DUSE_NGHTTP2=OFF -DCURL_USE_LIBSSH2=OFF \
        -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DCURL_DISABLE_LDAP=ON \
        -DCURL_ZLIB=ON -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include \
        -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a
    cmake --build "$BUILD" --parallel "$JOBS"
    cmake --install "$BUILD"
}

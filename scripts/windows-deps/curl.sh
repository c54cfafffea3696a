# libcurl 8.14.1 from Debian 13's curl source (+deb13u5: the archive these machines reach lists
# +deb13u7 but serves the files of +deb13u5 as its newest), over Schannel (Windows' own TLS and
# certificate store), with HTTP/2 through nghttp2, Windows' IDN and a static zlib (Debian's
# libz-mingw-w64-dev ships no zlib1.dll), HTTP only. Debian's GnuTLS patches touch only the
# autotools files, which CMake does not read. brotli, zstd, libpsl, libssh2 and libidn2 stay
# out: the program's IDNA is ICU's, and it undoes the content codings itself.
source_package=curl
source_version=8.14.1-2+deb13u5
source_dsc_sha256=9a9a2c95cdc8b5d76892c70858f25eaf2dc0b0a475a1e43e0b4ad428414752df
depends=(nghttp2)
build_component() {
    cmake -G Ninja -S "$SRC" -B "$BUILD" \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_INSTALL_PREFIX="$OUT" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DBUILD_STATIC_LIBS=OFF \
        -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DBUILD_LIBCURL_DOCS=OFF -DBUILD_MISC_DOCS=OFF \
        -DENABLE_CURL_MANUAL=OFF -DHTTP_ONLY=ON -DENABLE_UNICODE=ON \
        -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none \
        -DUSE_WIN32_IDN=ON -DUSE_LIBIDN2=OFF -DCURL_USE_LIBPSL=OFF -DCURL_USE_LIBSSH2=OFF \
        -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DCURL_DISABLE_LDAP=ON \
        -DUSE_NGHTTP2=ON -DNGHTTP2_INCLUDE_DIR="$DEP_nghttp2/include" \
        -DNGHTTP2_LIBRARY="$DEP_nghttp2/lib/libnghttp2.dll.a" \
        -DCURL_ZLIB=ON -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include \
        -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a
    cmake --build "$BUILD" --parallel "$JOBS"
    cmake --install "$BUILD"
}

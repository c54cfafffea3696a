# GoogleTest 1.12.1 from Debian's googletest source, static, for the test programs.
source_package=googletest
source_version=1.12.1-0.2
source_dsc_sha256=cc90251040c145be18d5090787d9ec79e48217c6cef3ae78eb20f0e31551404c
# Linked into the test programs only, so its licence is not shipped.
shipped=no
build_component() {
    cmake -G Ninja -S "$SRC" -B "$BUILD" \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_INSTALL_PREFIX="$OUT" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=OFF
    cmake --build "$BUILD" --parallel "$JOBS"
    cmake --install "$BUILD"
}

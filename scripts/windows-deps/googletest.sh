# GoogleTest 1.16.0 from Debian 13's googletest source, static, for the test programs.
source_package=googletest
source_version=1.16.0-1
source_dsc_sha256=3e3998821e578548ba028f1196cb322e470e55e0fae28cdc303d2667c2c31e51
# Linked into the test programs only, so its licence is not shipped.
shipped=no
build_component() {
    cmake -G Ninja -S "$SRC" -B "$BUILD" \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_INSTALL_PREFIX="$OUT" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=OFF
    cmake --build "$BUILD" --parallel "$JOBS"
    cmake --install "$BUILD"
}

# GoogleTest 1.12.1 from Debian's googletest source, static, for the test programs.
source_package=googletest
build_component() {
    cmake -G Ninja -S "$SRC" -B "$BUILD" \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_INSTALL_PREFIX="$OUT" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=OFF
    cmake --build "$BUILD" --parallel "$JOBS"
    cmake --install "$BUILD"
}

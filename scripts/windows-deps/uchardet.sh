# uchardet 0.0.8 from Debian 13's uchardet source: the library only.
source_package=uchardet
source_version=0.0.8-1
source_dsc_sha256=ef8409892723317dd23e7e0a41f1bf17505041614514dfa1a070aa1262c8ab3b
build_component() {
    cmake -G Ninja -S "$SRC" -B "$BUILD" \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_INSTALL_PREFIX="$OUT" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DBUILD_STATIC=OFF -DBUILD_BINARY=OFF
    cmake --build "$BUILD" --parallel "$JOBS"
    cmake --install "$BUILD"
}

# uchardet 0.0.7 from Debian's uchardet source: the library only.
source_package=uchardet
source_version=0.0.7-1
source_dsc_sha256=8e7d4a4104650d9c99a76fcb95ed3f7facac9ef390c36b854a41d62f4fa9967d
build_component() {
    cmake -G Ninja -S "$SRC" -B "$BUILD" \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_INSTALL_PREFIX="$OUT" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DBUILD_STATIC=OFF -DBUILD_BINARY=OFF
    cmake --build "$BUILD" --parallel "$JOBS"
    cmake --install "$BUILD"
}

# ICU 76 from Debian 13's icu source: the common library and its data, nothing else (the program
# uses converters, UTS #46 and UTF-8 conversion only). The source carries its data prebuilt
# (icudt76l.dat), so the data is cut down with icupkg to the converters the encoding table
# names and the UTS #46 data that IDNA needs: 31 MB become a few. Debian's icu-devtools 76.1
# stand in for the native build that a cross build of ICU otherwise needs first.
source_package=icu
source_version=76.1-4
source_dsc_sha256=2587ef23962b42a074ceab2f0407058f8e3fca0e6edd5d7c0bc1df6c683724a6
# icupkg, genccode and the other data tools come from here and must be of the same ICU.
host_package=icu-devtools
icu_data_items=(
    cnvalias.icu uts46.nrm
    ibm-866_P100-1995.cnv ibm-912_P100-1995.cnv ibm-913_P100-2000.cnv ibm-914_P100-1995.cnv
    ibm-915_P100-1995.cnv ibm-1089_P100-1995.cnv ibm-9005_X110-2007.cnv ibm-5012_P100-1999.cnv
    iso-8859_10-1998.cnv ibm-921_P100-1995.cnv iso-8859_14-1998.cnv ibm-923_P100-1998.cnv
    ibm-878_P100-1996.cnv ibm-1168_P100-2002.cnv macos-0_2-10.2.cnv windows-874-2000.cnv
    ibm-5346_P100-1998.cnv ibm-5347_P100-1998.cnv ibm-5348_P100-1997.cnv ibm-5349_P100-1998.cnv
    ibm-5350_P100-1998.cnv ibm-9447_P100-2002.cnv ibm-9448_X100-2005.cnv ibm-9449_P100-2002.cnv
    ibm-5354_P100-1998.cnv macos-7_3-10.2.cnv gb18030-2022.cnv ibm-1375_P100-2008.cnv
    euc-jp-2007.cnv ibm-943_P15A-2003.cnv windows-949-2000.cnv ibm-1363_P11B-1998.cnv
)
build_component() {
    local icu=$SRC/source
    # The data, cut down.
    local data=$icu/data/in/icudt76l.dat
    mkdir -p items
    printf '%s\n' "${icu_data_items[@]}" >items.lst
    /usr/sbin/icupkg -x items.lst -d items "$data"
    rm "$data"
    /usr/sbin/icupkg -tl -s items -a items.lst new "$data"

    # What a native build of ICU would leave for the cross build: its tools and a note of them.
    mkdir -p native/bin native/lib native/config
    for tool in /usr/bin/{derb,genbrk,gencfu,gencnval,gendict,genrb,icuinfo,makeconv,pkgdata} \
                /usr/sbin/{escapesrc,genccode,gencmn,gennorm2,gensprep,icupkg}; do
        ln -sf "$tool" native/bin/
    done
    cat >native/config/icucross.mk <<'MK'
CROSS_ICU_VERSION=76.1
TOOLEXEEXT=
TOOLBINDIR=$(cross_buildroot)/bin
TOOLLIBDIR=$(cross_buildroot)/lib
INVOKE=
PKGDATA_INVOKE=
MK
    echo 'CURR_FULL_DIR=$(shell pwd)' >native/config/icucross.inc

    mkdir -p "$BUILD"
    cd "$BUILD"
    "$icu/configure" --host=x86_64-w64-mingw32 --with-cross-build="$PWD/../native" \
        --prefix="$OUT" --enable-shared --disable-static --disable-tests --disable-samples \
        --disable-extras --disable-icuio --disable-layoutex --disable-tools \
        --with-data-packaging=library \
        CC=x86_64-w64-mingw32-gcc-posix CXX=x86_64-w64-mingw32-g++-posix \
        CXXFLAGS="-O2 -std=c++17" CFLAGS="-O2"
    mkdir -p lib bin data/out/tmp
    make -j "$JOBS" -C stubdata
    make -j "$JOBS" -C common
    make -j "$JOBS" -C data
    make -C common install
    make -C data install
    mkdir -p "$OUT/include"
    cp -r "$icu/common/unicode" "$OUT/include/"
}

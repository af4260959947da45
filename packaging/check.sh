#!/bin/sh
# What a user gets from "cmake --install" and from the Debian package, one check per CTest entry:
#   check.sh ENV-FILE install|render|desktop-entry|metainfo|launcher|deb
# "install" fills the scratch root the next four look at; "deb" builds the package on its own.
# Exit status 77 marks a check skipped because its tool is missing.
set -eu
. "$1"
ROOT=$CHECK_DIR/root

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
need() { # tool, the Debian package that brings it
    command -v "$1" >/dev/null 2>&1 || {
        echo "SKIPPED: $1 is not installed (./setup.sh installs $2)"
        exit 77
    }
}
installed() { # path below the prefix, as in the install rules
    case $1 in
    /*) echo "$ROOT$1" ;;
    *) echo "$ROOT$PREFIX/$1" ;;
    esac
}
samples() { # the file names of the sample charts in the source tree
    (cd "$SOURCE_DIR/Data" && ls -1 -- *.mht)
}

case $2 in
install)
    rm -rf "$ROOT"
    mkdir -p "$CHECK_DIR"
    DESTDIR=$ROOT "$CMAKE" --install "$BUILD_DIR" >"$CHECK_DIR/install.log" || {
        cat "$CHECK_DIR/install.log"
        fail "cmake --install"
    }
    for program in zyn-viewer zyn-render; do
        [ -x "$(installed "$BINDIR")/$program" ] || fail "$program not installed into $BINDIR"
    done
    [ -x "$(installed "$LAUNCHER")" ] || fail "launcher not installed as $LAUNCHER"
    for name in $(samples); do
        [ -f "$(installed "$SAMPLES")/Data/$name" ] || fail "sample $name not installed"
    done
    [ ! -e "$(installed "$SAMPLES")/Data/Temp" ] || fail "the download folder Data/Temp was installed"
    echo "installed into $ROOT$PREFIX"
    ;;
render)
    # The installed program reads the installed sample exactly as the built one reads the source.
    sample=$(installed "$SAMPLES")/Data/DAX.mht
    "$(installed "$BINDIR")/zyn-render" records "$sample" >"$CHECK_DIR/records.installed"
    "$BUILD_DIR/tools/zyn-render" records "$SOURCE_DIR/Data/DAX.mht" >"$CHECK_DIR/records.built"
    [ -s "$CHECK_DIR/records.installed" ] || fail "no records from the installed sample"
    cmp "$CHECK_DIR/records.installed" "$CHECK_DIR/records.built" || fail "installed zyn-render reads differently"
    echo "$(wc -l <"$CHECK_DIR/records.installed") records from $sample"
    ;;
desktop-entry)
    need desktop-file-validate desktop-file-utils
    entry=$(installed "$DATADIR")/applications/$APP_ID.desktop
    report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $report"
    case $report in *error:* | *warning:*) fail "desktop-file-validate: $report" ;; esac
    [ -z "$report" ] || echo "$report"
    for key in 'Name' 'Name\[de\]' 'Comment' 'Comment\[de\]'; do
        grep -q "^$key=." "$entry" || fail "no $key in the desktop entry"
    done
    grep -q '^Categories=.*Office;.*Finance;' "$entry" || fail "categories Office and Finance missing"
    exec=$(sed -n 's/^Exec=//p' "$entry")
    [ "$exec" = "$PREFIX/$LAUNCHER" ] || fail "Exec=$exec, expected $PREFIX/$LAUNCHER"
    [ -x "$ROOT$exec" ] || fail "Exec names no installed program: $exec"
    icon=$(sed -n 's/^Icon=//p' "$entry")
    icons=$(installed "$DATADIR")/icons/hicolor
    [ -f "$icons/scalable/apps/$icon.svg" ] || fail "no scalable icon $icon.svg"
    for size in 48 128 256; do
        file "$icons/${size}x$size/apps/$icon.png" | grep -q "PNG image data, $size x $size," ||
            fail "no $size-pixel PNG icon $icon.png"
    done
    echo "$entry starts $exec"
    ;;
metainfo)
    need appstreamcli appstream
    metainfo=$(installed "$DATADIR")/metainfo/$APP_ID.metainfo.xml
    # validate-tree also matches the metainfo against the installed desktop entry.
    appstreamcli validate-tree --no-net "$ROOT$PREFIX" || fail "appstreamcli validate-tree"
    grep -q "<id>$APP_ID</id>" "$metainfo" || fail "metainfo id is not $APP_ID"
    grep -q "<release version=\"$VERSION\"" "$metainfo" || fail "metainfo has no release $VERSION"
    gzip -dc "$(installed "$DATADIR")/doc/$PACKAGE/changelog.gz" | head -n 1 | grep -q "^$PACKAGE ($VERSION)" ||
        fail "changelog does not begin with $VERSION"
    ;;
launcher)
    # The launcher in a copy of the installed tree, with the viewer replaced by a program that
    # prints the directory it was started in.
    scratch=$CHECK_DIR/launcher
    rm -rf "$scratch"
    mkdir -p "$scratch/home"
    cp -a "$ROOT$PREFIX" "$scratch/prefix"
    printf '#!/bin/sh\npwd -P\n' >"$scratch/prefix/$BINDIR/zyn-viewer"
    launcher=$scratch/prefix/$LAUNCHER
    ln -s "$launcher" "$scratch/link"
    samples_dir=$(cd "$scratch/prefix/$SAMPLES" && pwd -P)
    home=$(cd "$scratch/home" && pwd -P)
    expect() { # wanted directory, launcher to run
        got=$(cd / && HOME=$home "$2") || fail "$2 failed"
        [ "$got" = "$1" ] || fail "$2 ran the viewer in $got, expected $1"
    }
    expect "$samples_dir" "$launcher"
    mkdir "$home/ZYN-Viewer"
    expect "$samples_dir" "$launcher"
    mkdir "$home/ZYN-Viewer/Data"
    expect "$home/ZYN-Viewer" "$launcher"
    expect "$home/ZYN-Viewer" "$scratch/link"
    rm -r "$home/ZYN-Viewer/Data"
    expect "$samples_dir" "$scratch/link"
    echo "launcher runs the viewer in ~/ZYN-Viewer with a Data folder, in $SAMPLES otherwise"
    ;;
deb)
    need dpkg-deb dpkg
    need dpkg-shlibdeps dpkg-dev
    need lintian lintian
    out=$CHECK_DIR/deb
    rm -rf "$out"
    mkdir -p "$out"
    "$CPACK" -G DEB --config "$BUILD_DIR/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || {
        cat "$out/cpack.log"
        fail "cpack -G DEB"
    }
    set -- "$out"/*.deb
    [ $# -eq 1 ] && [ -f "$1" ] || fail "cpack made no single .deb"
    deb=$1
    dpkg-deb --contents "$deb" >"$out/contents"
    has() { # mode pattern, path
        grep -Eq "^$1 .* \./usr/$2\$" "$out/contents" || fail "the package lacks $2 ($1)"
    }
    has -rwxr-xr-x "$BINDIR/zyn-viewer"
    has -rwxr-xr-x "$BINDIR/zyn-render"
    has -rwxr-xr-x "$LAUNCHER"
    has -rw-r--r-- "$DATADIR/applications/$APP_ID.desktop"
    has -rw-r--r-- "$DATADIR/metainfo/$APP_ID.metainfo.xml"
    has -rw-r--r-- "$DATADIR/icons/hicolor/scalable/apps/$APP_ID.svg"
    for size in 48 128 256; do
        has -rw-r--r-- "$DATADIR/icons/hicolor/${size}x$size/apps/$APP_ID.png"
    done
    has -rw-r--r-- "$DATADIR/man/man1/zyn-viewer.1.gz"
    has -rw-r--r-- "$DATADIR/man/man1/zyn-render.1.gz"
    has -rw-r--r-- "$DATADIR/doc/$PACKAGE/copyright"
    has -rw-r--r-- "$DATADIR/doc/$PACKAGE/changelog.gz"
    for name in $(samples); do
        has -rw-r--r-- "$SAMPLES/Data/$name"
    done
    depends=$(dpkg-deb --field "$deb" Depends)
    for dependency in fonts-liberation qt6-translations-l10n libqt6widgets6 libqt6printsupport6 libqt6svg6 libcurl4; do
        case ", $depends" in *", $dependency"*) ;; *) fail "Depends lacks $dependency: $depends" ;; esac
    done
    [ "$(dpkg-deb --field "$deb" Recommends)" = qt6-wayland ] || fail "Recommends is not qt6-wayland"
    # The stripped program from the package still reads a sample.
    dpkg-deb --extract "$deb" "$out/root"
    "$out/root/usr/$BINDIR/zyn-render" records "$out/root/usr/$SAMPLES/Data/EURUSD.mht" >/dev/null ||
        fail "zyn-render from the package fails"
    # Built with the platform's hardening: position independent, relocations read-only and
    # bound at start, stack protector, and fortified C library calls where a program makes
    # calls that can be fortified (the viewer makes none, the renderer's printing does).
    if [ "$HARDENED" = 1 ]; then
        for program in zyn-viewer zyn-render; do
            elf=$out/root/usr/$BINDIR/$program
            readelf -hW "$elf" | grep -q 'Type: *DYN' || fail "$program is not position independent"
            readelf -lW "$elf" | grep -q GNU_RELRO || fail "$program has no read-only relocations"
            readelf -dW "$elf" | grep -q 'FLAGS.*BIND_NOW' || fail "$program does not bind at start"
            readelf --dyn-syms -W "$elf" | grep -q '__stack_chk_fail' || fail "$program has no stack protector"
        done
        readelf --dyn-syms -W "$out/root/usr/$BINDIR/zyn-render" | grep -q '__[a-z]*printf_chk' ||
            fail "zyn-render is built without fortified functions"
    else
        echo "not checked for hardening: the build has no hardening flags (unoptimised, or no dpkg-buildflags)"
    fi
    lintian --fail-on error,warning --tag-display-limit 0 "$deb" || fail "lintian reports errors or warnings on $deb"
    echo "$(basename "$deb"): Depends: $depends"
    ;;
*)
    fail "unknown check $2"
    ;;
esac

#!/usr/bin/env bash
# `cmake --install` of the build folder given into a temporary DESTDIR lays out exactly the files
# of a desktop application, and the validators distributions run accept them.
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null

app=org.quillmar.Quillmar
sizes=(16 22 24 32 48 64 128 256)
expected=(
    usr/bin/quillmar
    "usr/share/applications/$app.desktop"
    "usr/share/metainfo/$app.metainfo.xml"
    "usr/share/icons/hicolor/scalable/apps/$app.svg"
    usr/share/man/man1/quillmar.1.gz
    usr/share/doc/quillmar/copyright
    usr/share/doc/quillmar/changelog.gz
)
for size in "${sizes[@]}"; do
    expected+=("usr/share/icons/hicolor/${size}x$size/apps/$app.png")
done
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$root" && find . -type f | cut -c3- | sort) ||
    fail "installed files differ from the list above (< missing, > unexpected)"

share=$root/usr/share
findings=$(desktop-file-validate "$share/applications/$app.desktop" 2>&1) && [ -z "$findings" ] ||
    fail "desktop-file-validate: $findings"
# Accepted, and without even a remark: errors, warnings or infos.
findings=$(appstreamcli validate --no-net "$share/metainfo/$app.metainfo.xml" 2>&1) &&
    ! grep -q '^[EWI]:' <<<"$findings" || fail "appstreamcli: $findings"

# A PNG starts with its signature, then the IHDR chunk with width and height as 32-bit numbers.
for size in "${sizes[@]}"; do
    png=$share/icons/hicolor/${size}x$size/apps/$app.png
    header=$(od -An -tx1 -N24 "$png" | tr -d ' \n')
    printf -v want '89504e470d0a1a0a0000000d49484452%08x%08x' "$size" "$size"
    [ "$header" = "$want" ] || fail "$png is not a $size x $size PNG"
done

# The package depends on the one that holds the face the windows are laid out in.
face=$(fc-match -f '%{family}:%{file}' 'Liberation Sans')
[ "${face%%:*}" = "Liberation Sans" ] || fail "Liberation Sans is not installed; fc-match gave $face"
holder=$(dpkg -S "${face#*:}" | cut -d: -f1)
depends=$(sed -n 's/^set(CPACK_DEBIAN_PACKAGE_DEPENDS "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
grep -qE "(^|, )$holder(,|$)" <<<"$depends" || fail "the package depends on '$depends', not on $holder"

# One version everywhere: the program, the AppStream release and the changelog.
version=$("$root/usr/bin/quillmar" --version | head -n1)
release=$(grep -o '<release version="[^"]*"' "$share/metainfo/$app.metainfo.xml" | head -n1 | cut -d'"' -f2)
changelog=$(zcat "$share/doc/quillmar/changelog.gz" | head -n1 | sed 's/^quillmar (\([^)]*\)).*/\1/')
[ "$version" = "Quillmar $release" ] && [ "$release" = "$changelog" ] ||
    fail "versions differ: '$version', metainfo $release, changelog $changelog"
echo "installed layout, desktop entry, metainfo, icons, font dependency and versions checked"

#!/usr/bin/env bash
# The Debian package of this build: its name, contents and relations, and that everything the
# program loads, linked or opened at run time, resolves and is promised by Depends.
set -euo pipefail
# Commands' output is read whole before it is searched: with pipefail, a grep -q that stops
# reading early would fail the command it reads from.
build_dir="$1"
id=org.pelu.Pelu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack --config "$build_dir/CPackConfig.cmake" -B "$work" > "$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }

status=0
fail() { echo "FAILED: $*"; status=1; }
ok() { echo "ok: $*"; }

version=$(sed -n 's/^project(Pelu VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")
deb="$work/pelu_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { fail "no $(basename "$deb") among: $(ls "$work")"; exit 1; }
ok "$(basename "$deb"), $(du -k "$deb" | cut -f1) KiB"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = pelu ] || fail "package name $(field Package)"
[ "$(field Version)" = "$version" ] || fail "version $(field Version)"

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's:^\./:/:')
for file in /usr/bin/pelu /usr/share/applications/$id.desktop /usr/share/applications/pelu.desktop \
    /usr/share/metainfo/$id.metainfo.xml /usr/share/icons/hicolor/scalable/apps/$id.svg \
    /usr/share/icons/hicolor/{16x16,24x24,32x32,48x48,64x64,128x128,256x256,512x512}/apps/$id.png; do
    grep -qx "$file" <<< "$contents" && ok "$file" || fail "missing $file"
done
# Nothing but the program's files; root owns them.
! grep -v -e '^/usr/bin/' -e '^/usr/share/' -e '/$' <<< "$contents" || fail "files outside /usr"
owners=$(dpkg-deb -c "$deb" | awk '{print $2}' | sort -u)
[ "$owners" = root/root ] || fail "files owned by $owners"

depends=$(field Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//')
recommends=$(field Recommends | tr ',' '\n' | sed 's/^ *//; s/ .*//')
echo "Depends: $(field Depends)"
echo "Recommends: $(field Recommends)"
# Opened at run time, invisible to dpkg-shlibdeps.
for package in libheif1 libraw20 libtiff6 libglib2.0-0 libjxl0.7 libavif15 liblcms2-2; do
    grep -qx "$package" <<< "$depends" && ok "Depends on $package" || fail "no Depends on $package"
done
for package in qt6-image-formats-plugins qt6-wayland; do
    grep -qx "$package" <<< "$recommends" && ok "Recommends $package" ||
        fail "does not recommend $package"
done

# Every library the unpacked binary loads resolves, and each it names comes from a package in
# Depends: dpkg-shlibdeps saw them all.
# dpkg knows a library by the path its package ships, /lib or /usr/lib on a merged /usr.
owner_of() {
    local path form
    for path in "$1" "$(readlink -f "$1")"; do
        for form in "$path" "${path#/usr}" "/usr$path"; do
            dpkg -S "$form" 2> /dev/null | awk -F': ' -v f="$form" '$2 == f {sub(/:.*/, "", $1); print $1; exit}' |
                grep . && return
        done
    done
}
dpkg-deb -x "$deb" "$work/root"
binary="$work/root/usr/bin/pelu"
loaded=$(ldd "$binary")
if grep -q 'not found' <<< "$loaded"; then
    fail "unresolved libraries:"; grep 'not found' <<< "$loaded"
fi
ok "$(grep -c '=> /' <<< "$loaded") libraries resolve"
for needed in $(readelf -d "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    # The dynamic loader is listed by its path alone.
    library=$(awk -v name="$needed" '$1 == name {print $3} $1 ~ "/" name "$" {print $1}' <<< "$loaded")
    owner=$(owner_of "$library")
    # Sanitizer runtimes come with the compiler of the sanitizer tree.
    case "$needed" in libasan*|libubsan*) continue ;; esac
    grep -qx "$owner" <<< "$depends" && ok "$needed from $owner" ||
        fail "$needed comes from '$owner', not in Depends"
done
# The libraries opened by name resolve where the package's Depends put them.
cache=$(/sbin/ldconfig -p)
for soname in libheif.so.1 libraw_r.so.20 libtiff.so.6 libgio-2.0.so.0 libjxl.so.0.7 \
    libjxl_threads.so.0.7 libavif.so.15 liblcms2.so.2; do
    grep -q "^[[:space:]]*$soname " <<< "$cache" && ok "$soname resolves" ||
        fail "$soname does not resolve"
done
exit "$status"

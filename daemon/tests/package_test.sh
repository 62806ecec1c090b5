#!/bin/bash
# The Debian package: built by CPack from the build directory, holding
# exactly the Linux edition's files, with no lintian error, and installed and
# removed with dpkg leaving none of its files behind.
#
# dpkg installs into a root of our own (--root with an empty database), never
# into this machine: the package has no maintainer scripts, so nothing needs
# the real system, and its dependencies are not in that database
# (--force-depends).
set -uo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package: FAIL: $*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/out/hushcall_*_amd64.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single hushcall_<version>_amd64.deb: ${debs[*]}"
deb=${debs[0]}
echo "package: built $(basename "$deb")"

# Exactly these files: a Windows or test program here would be a fault.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sed 's|^\./|/|' | sort >"$work/files"
cat >"$work/expected" <<'LIST'
/usr/bin/hushcalld
/usr/lib/systemd/user/hushcall.service
/usr/share/doc/hushcall/README.Debian
/usr/share/doc/hushcall/changelog.Debian.gz
/usr/share/doc/hushcall/copyright
/usr/share/doc/hushcall/examples/hushcall.conf
/usr/share/man/man1/hushcalld.1.gz
LIST
diff -u "$work/expected" "$work/files" || fail "the package's files differ from the expected list"

# Lintian refuses nothing as root, it only says it would rather not.
lintian --pedantic -I "$deb" 2>&1 | grep -v 'running with root privileges' | tee "$work/lintian"
grep -q '^E:' "$work/lintian" && fail "lintian reports errors"

root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
: >"$root/var/lib/dpkg/status"
dpkg=(dpkg --root="$root" --log=/dev/null --force-depends --force-script-chrootless)
[ "$(id -u)" -ne 0 ] && dpkg+=(--force-not-root)
"${dpkg[@]}" -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -i"; }
while read -r f; do
  [ -f "$root$f" ] || fail "$f not installed"
done <"$work/files"
"$root/usr/bin/hushcalld" --version | grep -q '^hushcalld ' || fail "the installed hushcalld does not run"
echo "package: installed into $root"

"${dpkg[@]}" -r hushcall >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -r"; }
left=$(while read -r f; do [ -e "$root$f" ] && echo "$f"; done <"$work/files")
[ -z "$left" ] || fail "left behind after dpkg -r: $left"
# The package's own directories go too; /usr and its shared ones may stay.
for d in /usr/share/doc/hushcall /usr/lib/systemd/user; do
  [ -e "$root$d" ] && fail "$d left behind"
done
state=$(dpkg-query --root="$root" -W -f='${db:Status-Status}' hushcall 2>/dev/null)
[ "$state" = "not-installed" ] || [ -z "$state" ] || fail "dpkg still records hushcall as '$state'"
echo "package: removed; nothing of it is left"

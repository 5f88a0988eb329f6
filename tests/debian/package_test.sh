#!/usr/bin/env bash
# The Debian package, built from the checkout by scripts/package: lintian
# reports nothing, the files are where they belong with their owners and
# modes, the desktop entry is valid, and the maintainer scripts do their
# part. Installing, removing and purging run in a private mount namespace
# whose /etc, /usr and /var are overlays on a scratch file system: the
# machine itself never sees the package, the group or /var/lib/orn, and
# everything goes with the namespace, whatever happens.
#   package_test.sh SOURCE_DIR
# Exits 77 (skipped) without root or without the packaging tools.
set -euo pipefail

fail() { echo "FAIL: $*"; exit 1; }

if [ "${1:-}" = --inside ]; then
  deb=$2 scratch=$3
  for d in etc usr var; do
    mkdir -p "$scratch/$d.upper" "$scratch/$d.work"
    mount -t overlay overlay -o "lowerdir=/$d,upperdir=$scratch/$d.upper,workdir=$scratch/$d.work" "/$d"
  done
  # From a machine without the package, whatever this one has.
  if dpkg -s orn >/dev/null 2>&1; then dpkg --purge orn >/dev/null; fi
  if getent group orn >/dev/null; then groupdel orn; fi
  rm -rf /var/lib/orn

  dpkg -i "$deb" >"$scratch/install.log" 2>&1 || { cat "$scratch/install.log"; fail "dpkg -i"; }
  helper=/usr/lib/orn/orn-capture
  [ "$(stat -c '%U:%G %a' "$helper")" = "root:orn 750" ] || fail "helper is $(stat -c '%U:%G %a' "$helper")"
  [ "$(getcap "$helper")" = "$helper cap_net_raw=ep" ] || fail "helper capability: $(getcap "$helper")"
  [ "$(stat -c '%U:%G %a' /var/lib/orn)" = "root:orn 2775" ] || fail "/var/lib/orn is $(stat -c '%U:%G %a' /var/lib/orn)"
  gid=$(getent group orn | cut -d: -f3)
  [ "$gid" -lt 1000 ] || fail "orn is not a system group (gid $gid)"
  # Nobody may run the helper; a member of orn may (it then refuses to work
  # without its control socket: status 2). setpriv itself still holds root's
  # capabilities when it executes, so a shell without them runs the helper.
  setpriv --reuid=65534 --regid=65534 --clear-groups sh -c 'exec "$0"' "$helper" 2>/dev/null && status=0 || status=$?
  [ "$status" -eq 126 ] || fail "a user outside orn ran the helper (status $status)"
  setpriv --reuid=65534 --regid=65534 --groups="$gid" sh -c 'exec "$0"' "$helper" && status=0 || status=$?
  [ "$status" -eq 2 ] || fail "a member of orn could not run the helper (status $status)"

  # An administrator's own mode for the store stays at an upgrade.
  chmod 2770 /var/lib/orn
  dpkg -i "$deb" >>"$scratch/install.log" 2>&1 || fail "dpkg -i again"
  [ "$(stat -c '%U:%G %a' /var/lib/orn)" = "root:orn 2770" ] || fail "upgrade made /var/lib/orn $(stat -c '%U:%G %a' /var/lib/orn)"

  echo "SrcAddrs" >/var/lib/orn/registry.reg
  dpkg -r orn >>"$scratch/install.log" 2>&1 || fail "dpkg -r"
  [ ! -e /usr/bin/orn ] || fail "orn stayed after remove"
  [ -f /var/lib/orn/registry.reg ] || fail "remove took the filter store"
  getent group orn >/dev/null || fail "remove took the group"
  dpkg -P orn >>"$scratch/install.log" 2>&1 || fail "dpkg -P"
  [ ! -e /var/lib/orn ] || fail "purge left /var/lib/orn"
  getent group orn >/dev/null || fail "purge took the group from its members"

  # A dpkg-statoverride for the store is what a fresh install makes it with.
  dpkg-statoverride --add root orn 2750 /var/lib/orn
  dpkg -i "$deb" >>"$scratch/install.log" 2>&1 || fail "dpkg -i with an override"
  [ "$(stat -c '%U:%G %a' /var/lib/orn)" = "root:orn 2750" ] || fail "the override gave $(stat -c '%U:%G %a' /var/lib/orn)"
  dpkg -P orn >>"$scratch/install.log" 2>&1 || fail "dpkg -P after the override"
  dpkg-statoverride --remove /var/lib/orn
  echo "install, upgrade, remove and purge did their part"
  exit 0
fi

src=$1
if [ "$(id -u)" != 0 ]; then echo "needs root (mount namespace); skipping"; exit 77; fi
for tool in dpkg-buildpackage lintian desktop-file-validate unshare setpriv getcap; do
  command -v "$tool" >/dev/null 2>&1 || { echo "$tool is not installed; skipping"; exit 77; }
done
work=$(mktemp -d /tmp/orn-package-test.XXXXXX)
trap 'rm -rf "$work"' EXIT

# The Windows installer is tested under Wine in the Windows build.
deb=$(ORN_SKIP_WINDOWS=1 "$src/scripts/package" "$work/dist" | grep '/orn_[^/]*\.deb$' | head -n 1)
[ -f "$deb" ] || fail "scripts/package made no package"
echo "built $(basename "$deb")"

# Whether the linker splits "for more" into "mor" varies from build to build,
# so an override that one build does not need is no fault.
lintian --display-info "$deb" >"$work/lintian.txt" 2>&1 || { cat "$work/lintian.txt"; fail "lintian"; }
if grep -E '^[EWI]: ' "$work/lintian.txt" | grep -v ' mismatched-override spelling-error-in-binary mor more '; then
  fail "lintian"
fi
echo "lintian: nothing to report"

# Every file root-owned, nothing outside /usr; the helper ships plain 0755 and
# its maintainer script restricts it.
dpkg-deb -c "$deb" | awk '{print $1, $2, $6}' >"$work/contents.txt"
awk '$2 != "root/root"' "$work/contents.txt" | grep . && fail "files not owned by root"
awk '$3 !~ /^\.\/(usr(\/.*)?)?$/' "$work/contents.txt" | grep . && fail "files outside /usr"
for entry in "-rwxr-xr-x ./usr/bin/orn" "-rwxr-xr-x ./usr/bin/orn-decode" \
             "-rwxr-xr-x ./usr/lib/orn/orn-capture" "-rw-r--r-- ./usr/share/orn/help/index.html" \
             "-rw-r--r-- ./usr/share/orn/help/topics.map" "-rw-r--r-- ./usr/share/applications/orn.desktop" \
             "-rw-r--r-- ./usr/share/icons/hicolor/48x48/apps/orn.png" \
             "-rw-r--r-- ./usr/share/icons/hicolor/128x128/apps/orn.png" \
             "-rw-r--r-- ./usr/share/man/man1/orn.1.gz" "-rw-r--r-- ./usr/share/man/man1/orn-decode.1.gz"; do
  awk '{print $1, $3}' "$work/contents.txt" | grep -qxF -- "$entry" || fail "no $entry in the package"
done
dpkg-deb -x "$deb" "$work/files"
desktop-file-validate "$work/files/usr/share/applications/orn.desktop" || fail "desktop entry"
echo "files, modes and the desktop entry as expected"

mkdir "$work/ns"
unshare --mount --propagation private \
  sh -c 'mount -t tmpfs tmpfs "$1" && exec "$2" --inside "$3" "$1"' sh "$work/ns" "$0" "$deb"

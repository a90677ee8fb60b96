#!/usr/bin/env bash
# Proves the README on a fresh Debian 12 machine: makes a minimal bookworm root with
# debootstrap, clones the commit under test into it and runs the README's test command
# there as root with a clean environment, so a missing install step fails here and not
# on a plant engineer's new PC. Then it builds the Debian package in that root, installs
# it in a second fresh root with apt-get, starts the installed station under Xvfb on its
# simulated machine, answers the start-up box and waits for the first record in today's
# file.
#
#   bash tools/check-fresh-debian.sh [--tests-only | --package-only]
#
# Needs root (debootstrap, mount, chroot). The roots live in build-fresh/ (or
# VELTA_FRESH_DIR) and are made anew every run; only the compiler cache is kept
# (VELTA_FRESH_CCACHE, default /var/cache/velta-fresh-ccache). The mirror is the one the machine's own
# apt sources name; every mount is undone on every way out.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
work="${VELTA_FRESH_DIR:-$top/build-fresh}"
mode="${1:-all}"
case "$mode" in all|--tests-only|--package-only) ;; *) echo "usage: $0 [--tests-only|--package-only]" >&2; exit 2;; esac
suite=bookworm
clean_path=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
ccache_dir="${VELTA_FRESH_CCACHE:-/var/cache/velta-fresh-ccache}"

say() { printf '[fresh-debian %(%H:%M:%S)T] %s\n' -1 "$*"; }

if [ "$(id -u)" -ne 0 ]; then echo "$0: needs root (debootstrap, mount, chroot)" >&2; exit 2; fi

# The mirror: the first URI that the host's apt sources give for the bookworm suite.
host_mirror() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] || continue
    # deb822: stanzas separated by blank lines; take URIs of a stanza whose Suites has bookworm.
    awk -v suite="$suite" '
      BEGIN { RS=""; FS="\n" }
      {
        uris=""; hit=0; deb=0
        for (i = 1; i <= NF; i++) {
          if ($i ~ /^[ \t]*#/) continue
          if ($i ~ /^Types:/ && $i ~ /(^|[ \t])deb([ \t]|$)/) deb=1
          if ($i ~ /^URIs:/) { uris=$i; sub(/^URIs:[ \t]*/, "", uris) }
          if ($i ~ /^Suites:/) { n = split($i, s, /[ \t]+/); for (j = 2; j <= n; j++) if (s[j] == suite) hit=1 }
        }
        if (deb && hit && uris != "") { split(uris, u, /[ \t]+/); print u[1]; exit }
      }' "$f"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -e "$f" ] || continue
    awk -v suite="$suite" '
      $1 == "deb" {
        i = 2
        if ($i ~ /^\[/) { while ($i !~ /\]$/) i++; i++ }
        if ($(i + 1) == suite) { print $i; exit }
      }' "$f"
  done
}
mirror="$(host_mirror | head -n1)"
if [ -z "$mirror" ]; then echo "$0: no $suite mirror in the host's apt sources" >&2; exit 2; fi

need=()
command -v debootstrap >/dev/null || need+=(debootstrap)
command -v git >/dev/null || need+=(git)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${need[@]}"
fi

# Every root made here is listed, so the exit trap can undo its mounts whatever happens.
roots=()
mounts_under() { awk -v r="$1/" 'index($2, r) == 1 { print $2 }' /proc/self/mounts | sort -r; }
unmount_root() {
  local root="$1" pid m
  # Processes left inside the root (a stray X server, a test child) keep mounts busy.
  for pid in $(ls /proc | grep -E '^[0-9]+$'); do
    if [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$root" ]; then kill -9 "$pid" 2>/dev/null || true; fi
  done
  for m in $(mounts_under "$root"); do umount "$m" 2>/dev/null || umount -l "$m" || true; done
  if [ -n "$(mounts_under "$root")" ]; then echo "$0: cannot unmount everything under $root" >&2; return 1; fi
}
cleanup() {
  local rc=$? r
  for r in "${roots[@]}"; do unmount_root "$r" || rc=1; done
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

mount_root() {
  local root="$1"
  mount -t proc proc "$root/proc"
  mount --rbind /dev "$root/dev"
  mount --make-rslave "$root/dev"
  mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
}

# The compiler cache of the builds in the roots, kept on the host between runs. It holds
# object files only: a missing package still fails configuring, a missing header still
# fails compiling (ccache hashes every header it read), and linking is never cached.
share_ccache() {
  local root="$1"
  mkdir -p "$ccache_dir" "$root/root/.cache/ccache"
  mount --bind "$ccache_dir" "$root/root/.cache/ccache"
}

# Runs a command in a root as root with a clean environment (as after a log-in).
in_root() {
  local root="$1"; shift
  chroot "$root" /usr/bin/env -i HOME=/root PATH="$clean_path" TERM=dumb /bin/bash -c "$*"
}

# A new root: minbase bookworm, the host's apt sources and fetch settings, its resolver.
make_root() {
  local root="$1"
  # Never delete through a mount left by a killed run (a bound /dev, the compiler cache).
  unmount_root "$root"
  rm -rf --one-file-system "$root"
  mkdir -p "$root"
  roots+=("$root")
  if [ -d "$work/base" ] && [ -f "$work/base/.complete" ]; then
    cp -a "$work/base/." "$root/"
  else
    say "debootstrap --variant=minbase $suite from $mirror"
    debootstrap --variant=minbase "$suite" "$root" "$mirror" > "$work/debootstrap.log" 2>&1 ||
      { tail -n 30 "$work/debootstrap.log" >&2; return 1; }
    # Keep an untouched copy for the second root of this run.
    mkdir -p "$work/base"; cp -a "$root/." "$work/base/"; touch "$work/base/.complete"
  fi
  rm -f "$root/.complete"
  rm -f "$root/etc/apt/sources.list"
  cp /etc/apt/sources.list.d/*.sources "$root/etc/apt/sources.list.d/" 2>/dev/null || true
  cp /etc/apt/sources.list.d/*.list "$root/etc/apt/sources.list.d/" 2>/dev/null || true
  [ -f /etc/apt/sources.list ] && cp /etc/apt/sources.list "$root/etc/apt/sources.list"
  grep -h '^[[:space:]]*Acquire::' /etc/apt/apt.conf.d/* 2>/dev/null > "$root/etc/apt/apt.conf.d/99host-acquire" || true
  cp -L /etc/resolv.conf "$root/etc/resolv.conf"
  # As in any chroot: packages install but start no services (postgresql's would stay
  # running in the root; the tests start their own servers).
  printf '#!/bin/sh\nexit 101\n' > "$root/usr/sbin/policy-rc.d"
  chmod 755 "$root/usr/sbin/policy-rc.d"
  mount_root "$root"
}

mkdir -p "$work"
rm -rf --one-file-system "$work/base"   # a new base every run: fresh means fresh
commit="$(git -C "$top" rev-parse HEAD)"
start=$SECONDS

# ---- the README's test command in a fresh root ----
r1="$work/root-tests"
make_root "$r1"
share_ccache "$r1"
say "cloning $commit into the root"
git clone -q --no-hardlinks "$top" "$r1/root/velta-station"
git -C "$r1/root/velta-station" checkout -q "$commit"
if [ "$mode" != --package-only ]; then
  say "bash tools/run-tests.sh (log: $work/tests.log)"
  t0=$SECONDS
  status=0
  in_root "$r1" 'cd /root/velta-station && bash tools/run-tests.sh' > "$work/tests.log" 2>&1 || status=$?
  printf '  packages set up: %s\n' "$(grep -c '^Setting up' "$work/tests.log" || true)"
  grep -E 'tests passed|tests failed|Total Test time|\(Failed\)|Errors while' "$work/tests.log" | sed 's/^/  /' || true
  [ "$status" -eq 0 ] || tail -n 30 "$work/tests.log" | sed 's/^/  /'
  if [ "$status" -ne 0 ]; then say "README test command FAILED (status $status) after $((SECONDS - t0)) s"; exit 1; fi
  say "README test command passed in $((SECONDS - t0)) s"
fi
if [ "$mode" = --tests-only ]; then say "done in $((SECONDS - start)) s"; exit 0; fi

# ---- the package: built by the README's package command, installed in a second root ----
say "bash tools/make-package.sh (log: $work/package.log)"
t0=$SECONDS
if ! in_root "$r1" 'cd /root/velta-station && bash tools/make-package.sh' > "$work/package.log" 2>&1; then
  tail -n 30 "$work/package.log" | sed 's/^/  /'
  say "package build FAILED"; exit 1
fi
deb="$(ls "$r1"/root/velta-station/dist/velta-station_*_amd64.deb | head -n1)"
say "built $(basename "$deb") in $((SECONDS - t0)) s"
mkdir -p "$top/dist"; cp "$deb" "$top/dist/"
unmount_root "$r1"

r2="$work/root-package"
make_root "$r2"
cp "$deb" "$r2/root/"
say "apt-get install ./$(basename "$deb") in a fresh root (log: $work/install.log)"
in_root "$r2" "cd /root && apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q ./$(basename "$deb")" \
  > "$work/install.log" 2>&1 || { tail -n 30 "$work/install.log" | sed 's/^/  /'; say "install FAILED"; exit 1; }
printf '  packages set up: %s\n' "$(grep -c '^Setting up' "$work/install.log" || true)"
# What the check itself uses (not the station's): a virtual screen, a key presser, sqlite3.
in_root "$r2" "DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends xvfb xauth xdotool sqlite3" \
  >> "$work/install.log" 2>&1 || { tail -n 30 "$work/install.log"; say "test tools FAILED"; exit 1; }
cp "$r1/root/velta-station/tools/first-record-check.sh" "$r1/root/velta-station/tools/answer-start-up-box.sh" "$r2/root/"
say "starting the installed station under Xvfb (log: $work/first-record.log)"
if in_root "$r2" 'bash /root/first-record-check.sh' > "$work/first-record.log" 2>&1; then
  tail -n 8 "$work/first-record.log" | sed 's/^/  /'
  say "installed station stored its first record"
else
  tail -n 40 "$work/first-record.log" | sed 's/^/  /'
  say "installed station check FAILED"; exit 1
fi
say "done in $((SECONDS - start)) s"

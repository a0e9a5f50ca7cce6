#!/usr/bin/env bash
# Installs the build into a temporary root and runs the installed programs as
# a new user would: HOME and the XDG folders in a temporary folder, started in
# an empty folder, the installed tree read-only.
#
#   install_test.sh BUILD_DIR CMAKE GUI(ON|OFF)
#
# Checks: the install puts every file where the programs and the desktop look;
# bramble-cli's first start writes the per-user brm.cip (language from the
# locale, folders on the installed data) and a copy of the demo database, and
# `--db demo selection` lists its records; vardo finds "demo" through the
# per-user syspar.par and checks it and the installed copy; bramble starts
# offscreen on a second new home, writes its brm.cip and is still running
# after three seconds; nothing is written into the installed tree.
#
# Run as root, the programs run as nobody (setpriv), since a-w does not stop
# root from writing.
set -euo pipefail

build=${1:?usage: install_test.sh BUILD_DIR CMAKE GUI}
cmake=${2:?usage: install_test.sh BUILD_DIR CMAKE GUI}
gui=${3:-ON}

tmp=$(mktemp -d "${TMPDIR:-/tmp}/bramble-install.XXXXXX")
bramble_pid=""
cleanup() {
  if [[ -n "$bramble_pid" ]]; then kill -KILL "$bramble_pid" 2>/dev/null || true; fi
  chmod -R u+w "$tmp" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
  echo "install test: $*" >&2
  exit 1
}

root="$tmp/root"
if ! DESTDIR="$root" "$cmake" --install "$build" --prefix /usr > "$tmp/install.log" 2>&1; then
  cat "$tmp/install.log" >&2
  fail "cmake --install failed (the install takes the whole build: build everything first)"
fi
usr="$root/usr"
share="$usr/share/bramble"

# The layout the programs, the menu and man look in.
expected=(
  bin/vardo bin/bramble-cli
  share/bramble/messages/msenbr.mst share/bramble/messages/msenbr.xrf
  share/bramble/messages/msesbr.mst share/bramble/messages/msptbr.mst
  share/bramble/help/en/BRM-home.htm share/bramble/help/es/BRM-home.htm
  share/bramble/help/pt/BRM-home.htm
  share/bramble/param/en/brmpar.mst share/bramble/param/en/brmpar.ifp
  share/bramble/param/es/brmpar.mst share/bramble/param/pt/brmpar.mst
  share/bramble/demo/demo.mst share/bramble/demo/demo.xrf share/bramble/demo/demo.ifp
  share/bramble/demo/demo.fdt share/bramble/demo/demo.fst
  share/applications/org.bramble.Bramble.desktop
  share/metainfo/org.bramble.Bramble.metainfo.xml
  share/icons/hicolor/scalable/apps/org.bramble.Bramble.svg
  share/man/man1/bramble-cli.1.gz share/man/man1/vardo.1.gz
  share/doc/bramble/copyright share/doc/bramble/changelog.gz
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/org.bramble.Bramble.png")
done
if [[ "$gui" == "ON" ]]; then
  expected+=(bin/bramble share/man/man1/bramble.1.gz)
fi
for f in "${expected[@]}"; do
  [[ -s "$usr/$f" ]] || fail "$f is not installed (or empty)"
done
for program in vardo bramble-cli; do
  [[ -x "$usr/bin/$program" ]] || fail "bin/$program is not executable"
done
# A PNG of each size is that size (the hicolor folder names promise it).
for size in 16 256; do
  png="$usr/share/icons/hicolor/${size}x${size}/apps/org.bramble.Bramble.png"
  read -r w h < <(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4, $7*256+$8}')
  [[ "$w" == "$size" && "$h" == "$size" ]] || fail "the ${size}x${size} icon is ${w}x${h}"
done
# Every man page names every command its program lists, and its exit statuses.
commands=$("$usr/bin/bramble-cli" --help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p')
[[ $(wc -w <<< "$commands") -ge 10 ]] || fail "bramble-cli --help lists too few commands: $commands"
for command in $commands; do
  gzip -dc "$usr/share/man/man1/bramble-cli.1.gz" | grep -q "^\.SS $command\$" ||
    fail "bramble-cli(1) has no section for $command"
done
commands=$("$usr/bin/vardo" help | sed -n 's/^  vardo \([a-z]*\) .*/\1/p')
[[ $(wc -w <<< "$commands") -ge 10 ]] || fail "vardo help lists too few commands: $commands"
for command in $commands; do
  gzip -dc "$usr/share/man/man1/vardo.1.gz" | grep -q "^\.B $command " ||
    fail "vardo(1) does not list $command"
done
for page_status in bramble-cli:6 vardo:3; do
  gzip -dc "$usr/share/man/man1/${page_status%:*}.1.gz" | grep -q "^\.B ${page_status#*:}\$" ||
    fail "${page_status%:*}(1) lacks exit status ${page_status#*:}"
done
if find "$root" -name '*-lock' | grep -q .; then
  fail "a lock file was installed: $(find "$root" -name '*-lock')"
fi

# From here on the installed tree is read-only, and stays as installed.
chmod -R a-w "$root"
chmod 755 "$tmp"
snapshot() { (cd "$root" && find . -printf '%p %s %T@ %m\n' | LC_ALL=C sort); }
before=$(snapshot)

as_user=()
owner=""
if [[ $(id -u) == 0 ]]; then
  command -v setpriv > /dev/null || fail "setpriv (util-linux) is needed to run the programs as nobody"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
  owner="65534:65534"
fi

# A sanitizer build reads its suppressions file as that user too.
if [[ -n "$owner" && "${LSAN_OPTIONS:-}" == *suppressions=* ]]; then
  supp=$(sed -n 's/.*suppressions=\([^:]*\).*/\1/p' <<< "$LSAN_OPTIONS")
  if [[ -r "$supp" ]]; then
    cp "$supp" "$tmp/lsan.supp"
    chmod 644 "$tmp/lsan.supp"
    export LSAN_OPTIONS=${LSAN_OPTIONS/suppressions=$supp/suppressions=$tmp/lsan.supp}
  fi
fi

mkdir -p "$tmp/empty"
chmod 755 "$tmp/empty"
# A new home; its XDG folders inside it.
new_home() {
  mkdir -p "$1"
  [[ -z "$owner" ]] || chown "$owner" "$1"
}
# Runs "$@" in the empty folder as the user of home $1 with locale $2.
run_in() {
  local home=$1 lang=$2
  shift 2
  # With RUN_PIDFILE set, the program's own process id is written there (exec
  # keeps the subshell's id), so a test can signal the program, not a shell.
  (cd "$tmp/empty" && { [[ -z "${RUN_PIDFILE:-}" ]] || echo "$BASHPID" > "$RUN_PIDFILE"; } &&
    exec env -u XDG_CONFIG_HOME -u XDG_STATE_HOME -u XDG_DATA_HOME -u XDG_CACHE_HOME \
      -u LC_ALL -u LC_MESSAGES -u BRAMBLE_MESSAGE_DIR \
      HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_STATE_HOME="$home/.local/state" \
      XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache" \
      XDG_RUNTIME_DIR="$home/run" LANG="$lang" \
      "${as_user[@]}" "$@")
}
cip_value() { tr -d '\r' < "$1" | sed -n "s/^$2=//p"; }

# bramble-cli: first start, then the demo's records.
home1="$tmp/home1"
new_home "$home1"
set +e
run_in "$home1" es_ES.UTF-8 "$usr/bin/bramble-cli" --db demo selection > "$tmp/selection.out" 2>&1
rc=$?
set -e
[[ $rc == 0 ]] || { cat "$tmp/selection.out" >&2; fail "bramble-cli --db demo selection: exit $rc"; }
cip="$home1/.config/bramble/brm.cip"
[[ -f "$cip" ]] || fail "bramble-cli did not write $cip"
[[ "$(cip_value "$cip" LANG)" == "es" ]] || fail "brm.cip language $(cip_value "$cip" LANG), not es"
[[ "$(cip_value "$cip" MSG)" == "$share/messages/" ]] || fail "brm.cip MSG=$(cip_value "$cip" MSG)"
[[ "$(cip_value "$cip" HELP)" == "$share/help/%lang%/" ]] || fail "brm.cip HELP=$(cip_value "$cip" HELP)"
[[ "$(cip_value "$cip" PARAM)" == "$share/param/%lang%/" ]] || fail "brm.cip PARAM=$(cip_value "$cip" PARAM)"
[[ "$(cip_value "$cip" WORK)" == "$home1/.local/state/bramble/" ]] || fail "brm.cip WORK=$(cip_value "$cip" WORK)"
[[ "$(cip_value "$cip" DATA)" == "$home1/.local/share/bramble/" ]] || fail "brm.cip DATA=$(cip_value "$cip" DATA)"
cmp -s "$share/demo/demo.mst" "$home1/.local/share/bramble/demo.mst" ||
  fail "the per-user demo.mst is not a copy of the installed one"
[[ -f "$home1/.config/bramble/syspar.par" ]] || fail "no per-user syspar.par"
# The set is the whole database, MFN 1 to the last (vardo finds "demo"
# through the per-user syspar.par).
next_mfn=$(run_in "$home1" C "$usr/bin/vardo" info demo | sed -n 's/.*"next_mfn": *\([0-9]*\).*/\1/p')
[[ -n "$next_mfn" && "$next_mfn" -gt 1 ]] || fail "vardo info demo gave no next_mfn"
listed=$(grep -c '^[0-9][0-9]*$' "$tmp/selection.out" || true)
[[ "$listed" == "$((next_mfn - 1))" && "$(grep -m1 '^[0-9]' "$tmp/selection.out")" == 1 ]] ||
  { cat "$tmp/selection.out" >&2; fail "selection listed $listed MFNs, the demo has $((next_mfn - 1))"; }
[[ -z "$(ls -A "$tmp/empty")" ]] || fail "bramble-cli wrote into the current folder: $(ls -A "$tmp/empty")"

# vardo: "demo" through the per-user syspar.par.
set +e
run_in "$home1" es_ES.UTF-8 "$usr/bin/vardo" check demo > "$tmp/check.out" 2>&1
rc=$?
set -e
[[ $rc == 0 ]] || { cat "$tmp/check.out" >&2; fail "vardo check demo: exit $rc"; }
# The installed inverted files open without a lock file beside them (the
# parameter page reads brmpar's keys so).
for ifp in "$share/param/en/brmpar" "$share/demo/demo"; do
  run_in "$home1" C "$usr/bin/vardo" terms "$ifp" > "$tmp/terms.out" 2>&1 ||
    { cat "$tmp/terms.out" >&2; fail "vardo terms of the installed (read-only) $ifp failed"; }
  [[ -s "$tmp/terms.out" ]] || fail "vardo terms of the installed $ifp listed nothing"
done

# bramble: offscreen on another new home, for three seconds.
if [[ "$gui" == "ON" ]]; then
  home2="$tmp/home2"
  new_home "$home2"
  RUN_PIDFILE="$tmp/bramble.pid" run_in "$home2" pt_BR.UTF-8 env QT_QPA_PLATFORM=offscreen "$usr/bin/bramble" \
    > "$tmp/bramble.out" 2>&1 &
  bramble_pid=$!
  # Three seconds at least; a slow (sanitizer) build gets up to 30 to open
  # the demo.
  sleep 3
  for _ in $(seq 1 54); do
    [[ -e "$home2/.local/share/bramble/demo.ifp-lock" ]] && break
    kill -0 "$bramble_pid" 2>/dev/null || break
    sleep 0.5
  done
  if ! kill -0 "$bramble_pid" 2>/dev/null; then
    set +e
    wait "$bramble_pid"
    rc=$?
    set -e
    bramble_pid=""
    cat "$tmp/bramble.out" >&2
    fail "bramble ended within three seconds (exit $rc)"
  fi
  # Still running could also be a start-up error waiting in a message box:
  # the demo (DB=demo of the new brm.cip) being open shows the start went
  # through, catalogue and all (its inverted file's lock file is beside it).
  [[ -e "$home2/.local/share/bramble/demo.ifp-lock" ]] ||
    { cat "$tmp/bramble.out" >&2; fail "bramble did not open the demo (a start-up error?)"; }
  # SIGTERM closes the window as its close button would: a clean end is 0
  # (a crash or a sanitizer report would end it with another status).
  # $! is the background shell that runs run_in; the program is its child.
  kill -TERM "$(cat "$tmp/bramble.pid")"
  set +e
  wait "$bramble_pid"
  rc=$?
  set -e
  bramble_pid=""
  [[ $rc == 0 ]] || { cat "$tmp/bramble.out" >&2; fail "bramble ended with $rc on SIGTERM"; }
  cip2="$home2/.config/bramble/brm.cip"
  [[ -f "$cip2" ]] || { cat "$tmp/bramble.out" >&2; fail "bramble did not write $cip2"; }
  [[ "$(cip_value "$cip2" LANG)" == "pt" ]] || fail "bramble's brm.cip language $(cip_value "$cip2" LANG), not pt"
  [[ -f "$home2/.local/share/bramble/demo.mst" ]] || fail "bramble's first start copied no demo"
  [[ -z "$(ls -A "$tmp/empty")" ]] || fail "bramble wrote into the current folder: $(ls -A "$tmp/empty")"
fi

after=$(snapshot)
if [[ "$before" != "$after" ]]; then
  diff <(echo "$before") <(echo "$after") >&2 || true
  fail "the installed tree was changed by a run"
fi
echo "install test: installed layout, first starts and read-only data: ok"

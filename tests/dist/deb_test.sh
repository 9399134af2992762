#!/usr/bin/env bash
# The package as an administrator gets it:
#   deb_test.sh path/to/chronvk_VERSION_ARCH.deb
# Its files, its version against the program's, its manual pages against the
# programs' --help. Then, as root, in a throw-away root (an overlay of this
# machine's own, in private mount, PID and network namespaces: nothing of it
# reaches the machine or the LAN): dpkg -i makes the user and the settings;
# each unit's command line runs as the unit's user, without capabilities, on
# the simulated receiver (so the clock is only ever set dry) until SIGTERM, and
# the settings are saved; a reinstall keeps them, a purge takes them.
# Without root that half is skipped (77).
set -euo pipefail
deb="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
fail() { echo "FAIL: $*"; exit 1; }

if [[ -z "${CHRONVK_THROWAWAY_ROOT:-}" ]]; then
  files="$(dpkg-deb -c "$deb" | awk '{ print $6 }')"
  for want in ./usr/bin/chronvk{,-decode,-signal,-listen} ./usr/share/man/man1/chronvk{,-decode,-signal,-listen}.1.gz \
              ./lib/systemd/system/chronvk{,-refclock}.service ./usr/share/chronvk/chronvk.ini \
              ./usr/share/doc/chronvk/{chrony,ntp}-refclock.conf; do
    grep -qx -- "$want" <<<"$files" || fail "not in the package: $want"
  done
  unpacked="$(mktemp -d)"
  trap 'rm -rf "$unpacked"' EXIT
  dpkg-deb -x "$deb" "$unpacked"
  version="$(dpkg-deb -f "$deb" Version)"
  "$unpacked/usr/bin/chronvk" --version | grep -qx "CHRONVK Version ${version%%[-+~]*} f\. Linux (.*)" ||
    fail "chronvk --version does not name the package's version $version"
  # Every option a program lists is described on its page.
  for program in chronvk chronvk-decode chronvk-signal chronvk-listen; do
    page="$(zcat "$unpacked/usr/share/man/man1/$program.1.gz" | sed 's/\\-/-/g')"
    for option in $("$unpacked/usr/bin/$program" --help 2>&1 | grep -o -- '--[a-z-]*' | sort -u); do
      grep -q -- "$option" <<<"$page" || fail "$program.1 does not describe $option"
    done
  done

  if [[ $(id -u) -ne 0 ]] || ! unshare --mount --propagation private true 2>/dev/null; then
    echo "skipped: installing into a throw-away root needs root, allowed to mount"; exit 77
  fi
  rm -rf "$unpacked"
  scratch="$(mktemp -d)"
  trap 'rmdir "$scratch"' EXIT
  status=0
  CHRONVK_THROWAWAY_ROOT="$scratch" unshare --mount --propagation private --net --pid --fork --kill-child \
    bash "$0" "$deb" || status=$?
  [[ $status -eq 0 ]] && echo "package ok"
  exit $status
fi

# In the namespaces: everything below lives on a tmpfs that ends with them.
t="$CHRONVK_THROWAWAY_ROOT"
mount -t tmpfs tmpfs "$t"
mkdir "$t/upper" "$t/work" "$t/root"
r="$t/root"
mount -t overlay overlay -o "lowerdir=/,upperdir=$t/upper,workdir=$t/work" "$r"
mount -t proc proc "$r/proc"
mount --rbind /dev "$r/dev"
mount -t tmpfs tmpfs "$r/run"
mount -t tmpfs tmpfs "$r/tmp"
cp "$deb" "$r/tmp/chronvk.deb"
in_root() { chroot "$r" "$@"; }

in_root dpkg -i /tmp/chronvk.deb > "$t/dpkg" 2>&1 || { cat "$t/dpkg"; fail "dpkg -i"; }
ini=/var/lib/chronvk/chronvk.ini
[[ "$(in_root stat -c %U:%G:%a "$ini")" == chronvk:chronvk:644 ]] || fail "settings: $(in_root ls -l "$ini")"
if [[ -x "$r/usr/bin/systemd-analyze" ]]; then
  in_root systemd-analyze verify /lib/systemd/system/chronvk{,-refclock}.service || fail "systemd-analyze verify"
fi

for unit in chronvk chronvk-refclock; do
  file="$r/lib/systemd/system/$unit.service"
  read -ra command <<<"$(sed -n 's/^ExecStart=//p' "$file")"
  user="$(sed -n 's/^User=//p' "$file")"
  folder="$(sed -n 's/^WorkingDirectory=//p' "$file")"
  [[ "${command[*]}" == *"--config $ini"* ]] || fail "$unit does not run on $ini"
  # The starting settings with COM2, the port in use, mapped to the simulated
  # receiver; written into the file, so its owner and mode stay.
  { cat "$r/usr/share/chronvk/chronvk.ini"; echo COM2=SIM; } > "$r$ini"
  # chroot, setpriv and env each exec the next: $! is the program's own pid.
  chroot "$r" setpriv --reuid="$user" --regid="$user" --init-groups --inh-caps=-all --bounding-set=-all \
    --no-new-privs env -C "$folder" "${command[@]}" > "$t/out" 2> "$t/err" < /dev/null &
  pid=$!
  for _ in $(seq 200); do grep -q ' bits [01]' "$t/out" && break; sleep 0.1; done
  kill -TERM "$pid" 2>/dev/null || true
  # Up to 30 s to save and end; one that hangs is killed and fails below.
  for _ in $(seq 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null || true
  status=0
  wait "$pid" || status=$?
  grep -q ' bits [01]' "$t/out" || fail "$unit: no bits from the simulated receiver: $(cat "$t/err")"
  [[ $status -eq 0 ]] || fail "$unit: exit status $status after SIGTERM: $(cat "$t/err")"
  for line in LOG=1 CYCLE=60 AUTOEND=0 COM=2 COM2=SIM ';COM1=/dev/ttyUSB0'; do
    grep -qx -- "$line" "$r$ini" || fail "$unit: not saved: $line"
  done
  [[ "$(in_root stat -c %U:%G:%a "$ini")" == chronvk:chronvk:644 ]] || fail "$unit: the settings changed hands"
done

in_root dpkg -i /tmp/chronvk.deb > "$t/dpkg" 2>&1 || { cat "$t/dpkg"; fail "dpkg -i again"; }
grep -qx LOG=1 "$r$ini" || fail "a reinstall replaced the settings"
in_root dpkg --purge chronvk > "$t/dpkg" 2>&1 || { cat "$t/dpkg"; fail "dpkg --purge"; }
[[ ! -e "$r/var/lib/chronvk" && ! -e "$r/usr/bin/chronvk" ]] || fail "a purge left the program or its settings"

#!/usr/bin/env bash
# The installer's part of the main job: the sample medium (build/medium) on a
# CD drive M:, D: a fixed drive, the SQL Server stand-in as the local server,
# all in a temporary system root. With DISPLAY set (or "window" asked for)
# the installer's window opens for a person to click through; otherwise a
# scripted walk installs for a single user, transfers the settings of an
# earlier client database and restores a backup, printing each step and
# saving screenshots.
#
#   installer-demo.sh BIN OUTPUT [walk|window]
set -euo pipefail
bin=$(cd "$1" && pwd)
kept=$2
mode=${3:-}
if [ -z "$mode" ]; then
  if [ -n "${DISPLAY:-}" ]; then mode=window; else mode=walk; fi
fi
medium_source="$bin/../medium"
for needed in "$bin/sqlstandin" "$bin/InstallOstrivel" "$medium_source"; do
  if [ ! -e "$needed" ]; then
    echo "installer: $needed is not built; the installer is not demonstrated"
    exit 0
  fi
done

root=$(mktemp -d -t qorv-installer-XXXXXX)
standin_pid=""
cleanup() {
  if [ -n "$standin_pid" ]; then kill "$standin_pid" 2>/dev/null || true; wait "$standin_pid" 2>/dev/null || true; fi
  rm -rf "$root"
}
trap cleanup EXIT
echo "installer system root: $root (removed at the end)"

server="$root/sqlserver"
medium="$root/medium"
mkdir -p "$server/D/Backup" "$root/system"
cp -r "$medium_source" "$medium"
cp "$medium/Samples/Ostrivel.bak" "$server/D/Backup/Ostrivel.bak"

# The stand-in names its port on its first line once it listens.
"$bin/sqlstandin" --port 0 --dir "$server" --log "$server/statements.log" >"$server/port" &
standin_pid=$!
port=""
for _ in $(seq 1 200); do
  port=$(sed -n 's/^port \([0-9]*\).*/\1/p' "$server/port")
  [ -n "$port" ] && break
  kill -0 "$standin_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$port" ]; then
  echo "installer: the SQL Server stand-in did not start" >&2
  exit 1
fi

export QORV_SYSTEM_ROOT="$root/system"
# The stand-in sees "D:\x" as $server/D/x: the same files as the installer.
cat >"$QORV_SYSTEM_ROOT/drives.ini" <<INI
C=fixed,drive_c
D=fixed,$server/D
E=absent
M=cdrom,$medium
INI
cat >"$QORV_SYSTEM_ROOT/sqlserver.ini" <<INI
Host=127.0.0.1
Port=$port
Login=installer
Password=secret
INI

# The installer is started from the medium, as from a CD: its current
# folder is then M:\, where it finds the medium's folders.
if [ "$mode" = window ]; then
  echo "installer: the window opens on the medium; its exit button ends it"
  (cd "$medium" && "$bin/InstallOstrivel")
else
  mkdir -p "$kept"
  kept=$(cd "$kept" && pwd)
  (cd "$medium" && QORV_GUI=headless "$bin/installerwalk" "D:\\Backup\\Ostrivel.bak" "$kept")
  echo
  echo "== statements the SQL Server stand-in received"
  # The log writes a backslash as two.
  # Procedure calls (RPC) carry the statements sent with parameters.
  sed -n -e '/^\(SQL\|RPC\)\t/{s/^SQL\t/    /' -e 's/^RPC\t/    [with parameters] /' -e 's/\\\\/\\/g' -e p -e '}' \
    "$server/statements.log"
fi

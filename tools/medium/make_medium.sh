#!/usr/bin/env bash
# Builds the sample installation medium: the folder tree the installer reads
# from its current directory, with the control library of this build, the
# other components as files that are not libraries (so regsvr32 refuses
# them as it refuses a damaged file), five free Persian fonts under the
# medium's names, small scripts for the programs the installer starts (each
# leaves a mark beside itself when started) and the stand-in's databases.
#
#   make_medium.sh OUT SQLSTANDIN [CONTROL_LIBRARY]
set -euo pipefail
out=$(realpath -m "$1")
standin=$2
control=${3:-}

staging="$out.new"
rm -rf "$staging"
mkdir -p "$staging"
cd "$staging"

# A program on the medium: a script that records each start (its arguments
# and working folder) in "<its own path>.started", then ends.
program() {
  local path=$1 what=$2
  mkdir -p "$(dirname "$path")"
  cat >"$path" <<SCRIPT
#!/bin/sh
# $what
printf '%s started in %s with [%s]\n' "\$(basename "\$0")" "\$(pwd)" "\$*" >> "\$0.started"
SCRIPT
  chmod 755 "$path"
}

mkdir -p "Component Package"
for name in Qor.ocx Halvek.ocx Tindrel.ocx Omberly.ocx MSCOMM32.ocx Pruneth.ocx Wexil.ocx COMCTL32.OCX ftd2xx.dll; do
  printf 'Sample medium: a stand-in for %s, not a library.\n' "$name" >"Component Package/$name"
done
if [ -n "$control" ] && [ -f "$control" ]; then
  cp "$control" "Component Package/QorvProj1.ocx"
else
  printf 'Sample medium: the control library was not built.\n' >"Component Package/QorvProj1.ocx"
fi

# The names the installer asks for, from the fonts Debian ships.
font() {
  local name=$1
  shift
  local candidate
  for candidate in "$@"; do
    if [ -f "$candidate" ]; then
      cp "$candidate" "Fonts/$name"
      return 0
    fi
  done
  echo "make_medium: no font for $name (install fonts-farsiweb)" >&2
  return 1
}
mkdir -p Fonts
farsiweb=/usr/share/fonts/truetype/farsiweb
freefarsi=/usr/share/fonts/truetype/freefarsi
font BNazanin.ttf "$farsiweb/nazli.ttf"
font BTitrBd.ttf "$farsiweb/titr.ttf"
font BYekan.ttf "$farsiweb/homa.ttf"
font BMitra.ttf "$freefarsi/FreeFarsi.ttf" "$farsiweb/nazli.ttf"
font BMitraBd.ttf "$freefarsi/FreeFarsi-Bold.ttf" "$farsiweb/nazlib.ttf"

program "Ostrivel/Ostrivel.exe" "The application (sample medium)."
program "Ostrivel/connect/Ferrant Utility.exe" "A connection tool (sample medium)."
program "Ostrivel/connect/Quellin.exe" "A connection tool (sample medium)."
program "Ostrivel/connect/ServiceInstallerHalvor.exe" "The service installer (sample medium)."
program "Ostrivel/connect/Setup.exe" "The remote connection tool (sample medium)."
program "MSDE SP4/Setup.exe" "The MSDE SP4 engine setup (sample medium)."
printf 'Sample medium: engine setup data.\n' >"MSDE SP4/Setup.ini"
program "Personal Edition/x86/setup/setupsql.exe" "The Personal Edition engine setup (sample medium)."
printf 'Sample medium: engine setup data.\n' >"Personal Edition/x86/setup/setup.ini"

# The databases as the stand-in keeps them; the pictures database is an
# empty database of the same kind.
mkdir -p Ostrivel/Data
samples=$(mktemp -d)
trap 'rm -rf "$samples"' EXIT
"$standin" --make-sample "$samples"
cp "$samples/Ostrivel_Data.MDF" "$samples/Ostrivel_Log.LDF" Ostrivel/Data/
cp "$samples/Tavro_Client_Data.MDF" Ostrivel/Data/Tavro_Pics_Data.MDF
: >Ostrivel/Data/Tavro_Pics_Log.LDF
# The earlier installation's client database, for trying the settings
# transfer (the installer itself never copies it), and a backup of the main
# database for trying a restore.
mkdir -p Samples
cp "$samples/Tavro_Client_Data.MDF" "$samples/Tavro_Client_Log.LDF" Samples/
cp "$samples/Ostrivel_Data.MDF" Samples/Ostrivel.bak

cd ..
rm -rf "$out"
mv "$staging" "$out"

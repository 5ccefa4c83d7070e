#!/bin/sh
# Runs inside a fresh Debian root that has the corvale package installed (scripts/package.sh --check):
# both programs start, corvale-cli backs up a ZIP and a 7z profile as an ordinary user, and the
# package is removed without leaving files behind.
set -eu
dpkg-query -W -f='== installed: ${Package} ${Version}\n   Depends: ${Depends}\n' corvale

# No shared library is missing for either program.
for program in /usr/lib/corvale/corvale /usr/lib/corvale/corvale-cli; do
  if ldd "$program" | grep "not found"; then
    echo "missing libraries for $program" >&2
    exit 1
  fi
done

useradd --create-home tester
# The session's runtime folder, which a login would make.
runtime=/run/user/$(id -u tester)
install -d -m 0700 -o tester -g tester "$runtime"
as_tester() { runuser -u tester -- env HOME=/home/tester XDG_RUNTIME_DIR="$runtime" LC_ALL=C.UTF-8 "$@"; }

echo "== corvale-cli list (no profiles yet)"
as_tester corvale-cli list

# Two profiles, a ZIP and a 7z archive, imported as a registry file.
as_tester mkdir -p /home/tester/Documents /home/tester/Backups
as_tester sh -c 'echo "a note" > /home/tester/Documents/note.txt'
cat > /home/tester/profiles.reg <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Quenfield\Orvel\Documents]
"ZipFile"="/home/tester/Backups/Documents.zip"
"ZipType"=dword:00000000
"Enabled"=dword:00000001

[HKEY_CURRENT_USER\Software\Quenfield\Orvel\Documents\Files\0]
"folder"="/home/tester/Documents/"
"filemask"="*.*"
"recursive"=dword:00000001

[HKEY_CURRENT_USER\Software\Quenfield\Orvel\Seven]
"ZipFile"="/home/tester/Backups/Seven.7z"
"ZipType"=dword:00000001
"Enabled"=dword:00000001

[HKEY_CURRENT_USER\Software\Quenfield\Orvel\Seven\Files\0]
"folder"="/home/tester/Documents/"
"filemask"="*.*"
"recursive"=dword:00000001
EOF
chown tester /home/tester/profiles.reg
echo "== corvale-cli import, list, backup"
as_tester corvale-cli import /home/tester/profiles.reg
as_tester corvale-cli list
as_tester corvale-cli backup
# 7-Zip of the dependency reads both archives back.
7z l /home/tester/Backups/Documents.zip | grep -q note.txt
# (a 7z profile writes volumes unless its volume size is 0: Seven.7z.001, ...)
7z l "$(ls /home/tester/Backups/Seven.7z* | head -n 1)" | grep -q note.txt
ls -l /home/tester/Backups

echo "== corvale starts (offscreen; stopped after 10 seconds)"
status=0
as_tester env QT_QPA_PLATFORM=offscreen timeout 10 corvale /HIDE || status=$?
# 124: still running when the time was up, which is what a started program does.
[ "$status" -eq 124 ] || { echo "corvale ended early with status $status" >&2; exit 1; }

echo "== removal"
apt-get purge -y -qq corvale >/dev/null
for left in /usr/lib/corvale /usr/bin/corvale /usr/bin/corvale-cli /usr/share/applications/corvale.desktop; do
  if [ -e "$left" ] || [ -L "$left" ]; then
    echo "left behind: $left" >&2
    exit 1
  fi
done
echo "== all checks passed"

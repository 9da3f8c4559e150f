#!/usr/bin/env bash
# Builds the Debian packages from a build folder (tablor-cli: the command line and its reader,
# without Qt; tablor: the window) and checks them as a user would meet them: their files at
# their places, their dependencies, lintian's verdict, the command line unpacked alone comparing
# the shipped examples, the manual pages and the bash completion.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")

fail() {
  echo "check-package: $*" >&2
  exit 1
}

rm -f "$build"/tablor_*.deb "$build"/tablor-cli_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
cli_debs=("$build"/tablor-cli_*.deb)
window_debs=("$build"/tablor_*.deb)
[ -f "${cli_debs[0]}" ] || fail "cpack made no tablor-cli_*.deb in $build"
[ -f "${window_debs[0]}" ] || fail "cpack made no tablor_*.deb in $build"
cli_deb=${cli_debs[0]}
window_deb=${window_debs[0]}
echo "packages: $(basename "$cli_deb") $(basename "$window_deb")"

# Each package holds its own files, and no file is in both (apt would refuse the second).
files_of() { dpkg-deb -c "$1" | awk '$1 !~ /^d/ {print $NF}' | sort; }
cli_files=$(files_of "$cli_deb")
window_files=$(files_of "$window_deb")
for path in usr/bin/tablor-cli usr/libexec/tablor/tablor-reader \
  usr/share/tablor/template.html usr/share/tablor/help.html \
  usr/share/tablor/SnapShots/shop-v1.snp usr/share/tablor/SnapShots/shop-v2.snp \
  usr/share/man/man1/tablor-cli.1.gz usr/share/bash-completion/completions/tablor-cli \
  usr/share/doc/tablor-cli/copyright usr/share/doc/tablor-cli/changelog.gz; do
  grep -qxF "./$path" <<<"$cli_files" || fail "tablor-cli lacks /$path"
done
for path in usr/bin/tablor usr/share/applications/org.tablor.Tablor.desktop \
  usr/share/metainfo/org.tablor.Tablor.metainfo.xml usr/share/icons/hicolor/scalable/apps/org.tablor.Tablor.svg \
  usr/share/man/man1/tablor.1.gz usr/share/doc/tablor/copyright usr/share/doc/tablor/changelog.gz; do
  grep -qxF "./$path" <<<"$window_files" || fail "tablor lacks /$path"
done
both=$(comm -12 <(echo "$cli_files") <(echo "$window_files"))
[ -z "$both" ] || fail "both packages hold $both"

field() { dpkg-deb -f "$1" "$2"; }
cli_depends=$(field "$cli_deb" Depends)
grep -q libodbc <<<"$cli_depends" || fail "tablor-cli's Depends names no libodbc: $cli_depends"
! grep -qi qt <<<"$cli_depends" || fail "tablor-cli's Depends names Qt: $cli_depends"
window_depends=$(field "$window_deb" Depends)
version=$(field "$cli_deb" Version)
for needed in "tablor-cli (= $version)" libqt6widgets libqt6svg; do
  grep -qF "$needed" <<<"$window_depends" || fail "tablor's Depends names no $needed: $window_depends"
done
recommends=$(field "$cli_deb" Recommends)
for driver in tdsodbc odbc-postgresql odbc-mariadb; do
  grep -qw "$driver" <<<"$recommends" || fail "tablor-cli's Recommends names no $driver: $recommends"
done
for deb in "$cli_deb" "$window_deb"; do
  [ "$(field "$deb" Section)" = database ] || fail "$(basename "$deb")'s section is not database"
done
# apt resolves the dependencies from the archive (simulated: nothing is installed), the command
# line alone and both together.
apt-get install -s -qq "$cli_deb" >/dev/null || fail "apt cannot install $cli_deb"
apt-get install -s -qq "$cli_deb" "$window_deb" >/dev/null || fail "apt cannot install both packages"

# Debian's own checks of a package, errors and warnings alike.
lintian --fail-on error,warning "$cli_deb" "$window_deb" ||
  fail "lintian finds fault with the packages"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
# The command line's package alone: nothing of the window's is needed to run it.
dpkg-deb -x "$cli_deb" "$root"

# The unpacked program finds its template in ../share/tablor, and says what the build does.
examples="$root/usr/share/tablor/SnapShots"
status=0
env -u TABLOR_HOME "$root/usr/bin/tablor-cli" compare "$examples/shop-v1.snp" "$examples/shop-v2.snp" \
  --html "$root/report.html" >"$root/installed.txt" || status=$?
[ "$status" -eq 1 ] || fail "the unpacked tablor-cli ended with $status, not 1 (differences found)"
status=0
"$build/bin/tablor-cli" compare examples/shop-v1.snp examples/shop-v2.snp >"$root/built.txt" || status=$?
[ "$status" -eq 1 ] || fail "the built tablor-cli ended with $status"
cmp -s "$root/installed.txt" "$root/built.txt" || fail "the unpacked tablor-cli's output differs from the build's"
grep -q '</html>' "$root/report.html" || fail "the unpacked tablor-cli wrote no whole report"

# It finds its reader in ../libexec/tablor: a closed port is the driver's complaint, not a reader
# that could not be started.
status=0
TABLOR_PASSWORD=x "$root/usr/bin/tablor-cli" show "postgresql://u@127.0.0.1:1/db" >/dev/null 2>"$root/reader.txt" ||
  status=$?
[ "$status" -eq 2 ] || fail "the unpacked tablor-cli read a closed port with status $status"
grep -q 'Connection refused' "$root/reader.txt" || fail "the unpacked reader did not run: $(cat "$root/reader.txt")"

dpkg-deb -x "$window_deb" "$root"
desktop-file-validate "$root/usr/share/applications/org.tablor.Tablor.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.tablor.Tablor.metainfo.xml" >/dev/null

for page in tablor-cli tablor; do
  warnings=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >"$root/$page.txt")
  [ -z "$warnings" ] || fail "man $page warns: $warnings"
  grep -q 'EXIT STATUS\|SEE ALSO' "$root/$page.txt" || fail "man $page rendered nothing"
done

completion="$root/usr/share/bash-completion/completions/tablor-cli"
bash -n "$completion"
offered=$(bash -c 'source "$1"; COMP_WORDS=(tablor-cli compare a.snp b.snp --format ""); COMP_CWORD=5
  _tablor_cli; echo "${COMPREPLY[*]}"' _ "$completion")
[ "$offered" = "text json markdown junit" ] || fail "completion offers '$offered' after --format"

echo "package checks passed"

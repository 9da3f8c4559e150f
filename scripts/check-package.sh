#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks it as a user would meet it: its
# files at their places, its dependencies, the unpacked command line comparing the shipped
# examples, the manual pages and the bash completion.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")

fail() {
  echo "check-package: $*" >&2
  exit 1
}

rm -f "$build"/tablor_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/tablor_*.deb)
[ -f "${debs[0]}" ] || fail "cpack made no tablor_*.deb in $build"
deb=${debs[0]}
echo "package: $(basename "$deb")"

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for path in usr/bin/tablor usr/bin/tablor-cli usr/libexec/tablor/tablor-reader \
  usr/share/tablor/template.html usr/share/tablor/help.html \
  usr/share/tablor/SnapShots/shop-v1.snp usr/share/tablor/SnapShots/shop-v2.snp \
  usr/share/applications/org.tablor.Tablor.desktop usr/share/metainfo/org.tablor.Tablor.metainfo.xml \
  usr/share/icons/hicolor/scalable/apps/org.tablor.Tablor.svg \
  usr/share/man/man1/tablor-cli.1 usr/share/man/man1/tablor.1 \
  usr/share/bash-completion/completions/tablor-cli; do
  grep -qxF "./$path" <<<"$contents" || fail "the package lacks /$path"
done

info=$(dpkg-deb -I "$deb")
depends=$(sed -n 's/^ Depends: //p' <<<"$info")
for library in libqt6widgets libqt6svg libodbc; do
  grep -q "$library" <<<"$depends" || fail "Depends names no $library: $depends"
done
recommends=$(sed -n 's/^ Recommends: //p' <<<"$info")
for driver in tdsodbc odbc-postgresql odbc-mariadb; do
  grep -qw "$driver" <<<"$recommends" || fail "Recommends names no $driver: $recommends"
done
grep -q '^ Section: database$' <<<"$info" || fail "the section is not database"
# apt resolves the dependencies from the archive (simulated: nothing is installed).
apt-get install -s -qq "$deb" >/dev/null || fail "apt cannot install $deb"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

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

desktop-file-validate "$root/usr/share/applications/org.tablor.Tablor.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.tablor.Tablor.metainfo.xml" >/dev/null

for page in tablor-cli tablor; do
  warnings=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1" 2>&1 >"$root/$page.txt")
  [ -z "$warnings" ] || fail "man $page warns: $warnings"
  grep -q 'EXIT STATUS\|SEE ALSO' "$root/$page.txt" || fail "man $page rendered nothing"
done

completion="$root/usr/share/bash-completion/completions/tablor-cli"
bash -n "$completion"
offered=$(bash -c 'source "$1"; COMP_WORDS=(tablor-cli compare a.snp b.snp --format ""); COMP_CWORD=5
  _tablor_cli; echo "${COMPREPLY[*]}"' _ "$completion")
[ "$offered" = "text json markdown junit" ] || fail "completion offers '$offered' after --format"

echo "package checks passed"

#!/usr/bin/env bash
# Installs the Debian 12 packages Tablor builds, runs and tests with, when any is missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev libgl-dev fonts-dejavu-core
  unixodbc-dev tdsodbc odbc-postgresql postgresql odbc-mariadb mariadb-server mariadb-client
  libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev libtomlplusplus-dev libsimpleini-dev
  clang-14 libclang-rt-14-dev clang-format clang-tidy
  dpkg-dev desktop-file-utils appstream man-db lintian
  libxml2-dev chromium cmark-gfm
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The ODBC drivers must be registered under the names the program asks for.
for driver in "FreeTDS" "PostgreSQL Unicode" "MariaDB Unicode"; do
  if ! odbcinst -q -d 2>/dev/null | grep -qF "[$driver]"; then
    echo "The ODBC driver \"$driver\" is not registered (packages tdsodbc, odbc-postgresql, odbc-mariadb)." >&2
    exit 1
  fi
done

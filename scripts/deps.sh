#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# Sourced by the other scripts; safe to run again.
set -euo pipefail

DAB_PACKAGES=(cmake make g++ clang libclang-rt-14-dev pkg-config libsqlite3-dev sqlite3
              libgtest-dev libgmock-dev python3 libcpp-httplib-dev nlohmann-json3-dev
              libssl-dev zlib1g-dev openssl curl libuchardet-dev)
# The web console's browser test (scripts/browser-test.sh) also needs these;
# node and npm count as present when their commands are, whoever installed them.
DAB_BROWSER_PACKAGES=(chromium nodejs npm)

dab_install_missing() {
  local missing=()
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

dab_install_missing "${DAB_PACKAGES[@]}"

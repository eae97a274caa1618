#!/usr/bin/env bash
# Runs the web console's browser test: dabtool serve driven by playwright-core
# in Debian's headless Chromium. Installs what is missing first.
#   scripts/browser-test.sh               the test
#   scripts/browser-test.sh --screenshot  the test, saving docs/console.png
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

wanted=()
for pkg in "${DAB_BROWSER_PACKAGES[@]}"; do
  case "$pkg" in
    nodejs) command -v node >/dev/null || wanted+=("$pkg") ;;
    npm) command -v npm >/dev/null || wanted+=("$pkg") ;;
    *) wanted+=("$pkg") ;;
  esac
done
dab_install_missing "${wanted[@]}"

dabtool=build/tools/dabtool/dabtool
if [ ! -x "$dabtool" ]; then
  cmake -S . -B build >/dev/null
  cmake --build build -j2 --target dabtool
fi

# playwright-core drives the browser it is given; it never downloads one.
(cd tests/browser && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --silent)

screenshot=()
if [ "${1:-}" = "--screenshot" ]; then
  mkdir -p docs
  screenshot=(SCREENSHOT="$PWD/docs/console.png")
fi
env "${screenshot[@]}" DABTOOL="$PWD/$dabtool" CHROMIUM=/usr/bin/chromium \
  node --test tests/browser/console.test.mjs

#!/usr/bin/env bash
# Installs the Debian packages in scripts/packages.txt that are missing.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
mapfile -t packages < <(grep -v '^#' "$here/packages.txt" | grep -v '^$')

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
# jackd2 asks whether to allow real-time priority; the tests run their JACK server without it.
echo "jackd2 jackd/tweak_rt_limits boolean false" | $sudo debconf-set-selections
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

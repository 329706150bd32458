#!/bin/bash
# Installs the Debian packages that building profill needs, and any named as arguments. Skips
# apt entirely when they are all present already.
set -eu
packages="g++ cmake make libgtest-dev liblmdb-dev pkg-config $*"
missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing="$missing $package"
done
if [ -n "$missing" ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends $missing
fi

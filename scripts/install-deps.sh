#!/bin/bash
# Installs the Debian packages that building profill needs, and any named as arguments. Skips
# apt entirely when they are all present already.
set -eu
packages="g++ cmake make libgtest-dev liblmdb-dev nlohmann-json3-dev pkg-config $*"
missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing="$missing $package"
done
if [ -n "$missing" ]; then
    export DEBIAN_FRONTEND=noninteractive
    # An index fetched while its mirror syncs fails the update now and then: try again, then go
    # on with the lists there are (the install fails if they lack a package).
    for _ in 1 2 3; do
        apt-get update -qq && break
        sleep 5
    done
    apt-get install -y -qq --no-install-recommends $missing
fi

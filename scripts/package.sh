#!/usr/bin/env bash
# Builds the Debian package build/keldarn_<version>_amd64.deb with CPack (dependencies
# computed by dpkg-shlibdeps); with --install, installs it with apt afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --parallel "$(nproc)"
(cd build && cpack -G DEB)
package=$(ls -t build/keldarn_*_amd64.deb | head -n 1)
echo "Built $package"
if [ "${1:-}" = "--install" ]; then
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "./$package"
fi

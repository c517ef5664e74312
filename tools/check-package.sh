#!/usr/bin/env bash
# Installs the Debian package `make package` built and checks that the installed
# programs run: quillmark-cli reads the demo database the package ships.
# Needs root (it installs into /usr).
set -euo pipefail
package_dir=${1:-build/release/package}
deb=$(ls "$package_dir"/quillmark_*.deb | head -n 1)
echo "Installing $deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" >/dev/null
dpkg -L quillmark | grep -E '/usr/bin/quillmark-cli$|/usr/share/quillmark/collation.txt$|/usr/share/applications/quillmark.desktop$|/usr/share/mime/packages/quillmark.xml$' \
  | sort
info=$(/usr/bin/quillmark-cli info /usr/share/quillmark/demo.mdf)
echo "$info"
grep -q 'SQL Server' <<<"$info"
grep -q 'SQL_Latin1_General_CP1_CI_AS' <<<"$info"
echo "The installed package reads the demo database."

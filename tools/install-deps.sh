#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine, when it is missing.
#   tools/install-deps.sh        everything the builds, the tests and the benchmarks use
#   tools/install-deps.sh demo   only what `make demo` uses: the Windows build, Wine and the
#                                demo's FTP server (no test account, no test servers)
set -eu
mode=${1:-all}
if [ "$mode" = "demo" ]; then
    packages=(
        cmake ninja-build make g++-mingw-w64-x86-64-posix mingw-w64-tools
        wine wine64 python3 python3-pyftpdlib
    )
else
    packages=(
        cmake ninja-build g++ make libgtest-dev googletest
        g++-mingw-w64-x86-64-posix mingw-w64-tools
        wine wine64 xvfb xauth imagemagick
        python3 python3-pyftpdlib vsftpd acl curl lftp hyperfine valgrind
        clang libclang-rt-14-dev ccache
    )
fi
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

[ "$mode" = "demo" ] && exit 0

# The password account of the vsftpd server tests (tests/servers/rig.py): a system user without
# a login shell, checked by a PAM service of its own (so /etc/ftpusers and the shell list do not
# apply). Its home only has to exist; the rig serves each test's own folder.
ftp_user=twftp ftp_password=twftp-secret ftp_home=/var/lib/twftp
if ! id "$ftp_user" >/dev/null 2>&1; then
    $sudo useradd --system --home-dir "$ftp_home" --shell /usr/sbin/nologin "$ftp_user"
fi
$sudo install -d -o "$ftp_user" -g "$ftp_user" -m 755 "$ftp_home"
echo "$ftp_user:$ftp_password" | $sudo chpasswd
printf '%s\n' "# Password logons of the Tarnwick2 test account ($ftp_user) on the rig's vsftpd." \
    "auth required pam_unix.so" "account required pam_unix.so" "session required pam_permit.so" |
    $sudo tee /etc/pam.d/tarnwick2-ftp >/dev/null

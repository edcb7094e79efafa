# Debian packages the build and the tests need; sourced by scripts/test and scripts/run.

PELNOR_PACKAGES=(
  cmake ninja-build g++ ccache python3 googletest libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-i686 mingw-w64-tools
  wine wine32:i386 xvfb xauth imagemagick locales fonts-wqy-microhei
)

MissingPackages() {
  local p status
  for p in "${PELNOR_PACKAGES[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ $status == "install ok installed" ]] || echo "$p"
  done
}

HasChineseLocale() { locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; }

EnsurePackages() {
  local missing
  missing=$(MissingPackages | tr '\n' ' ')
  if [[ -z $missing ]] && HasChineseLocale; then EnsureI386Emulator; return 0; fi
  if [[ $(id -u) -ne 0 ]]; then
    echo "Missing: ${missing:-the zh_CN.UTF-8 locale}. Run this as root, then try again:" >&2
    echo "  dpkg --add-architecture i386 && apt-get update && apt-get install -y ${PELNOR_PACKAGES[*]} && sed -i 's/^# *zh_CN.UTF-8/zh_CN.UTF-8/' /etc/locale.gen && locale-gen" >&2
    exit 1
  fi
  if [[ -n $missing ]]; then
    echo "== installing: $missing"
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing
  fi
  if ! HasChineseLocale; then
    sed -i 's/^# *zh_CN.UTF-8/zh_CN.UTF-8/' /etc/locale.gen
    grep -q '^zh_CN.UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen
  fi
  EnsureI386Emulator
}

# Where the kernel cannot run 32-bit programs (no IA-32 emulation), Wine's
# 32-bit loader runs under qemu-user through binfmt_misc (the e2e harness
# registers it); Wine needs qemu 8.1 or later, which bookworm has in backports.
EnsureI386Emulator() {
  /usr/lib/wine/wine --version >/dev/null 2>&1 && return 0
  local version
  version=$(qemu-i386 --version 2>/dev/null | sed -n 's/.*version \([0-9]*\)\.\([0-9]*\).*/\1 \2/p' | head -1)
  if [[ -n $version ]] && (( ${version% *} > 8 || (${version% *} == 8 && ${version#* } >= 1) )); then return 0; fi
  if [[ $(id -u) -ne 0 ]]; then
    echo "This kernel cannot run 32-bit programs: run as root to install qemu-user-static from bookworm-backports." >&2
    exit 1
  fi
  echo "== installing qemu-user-static from bookworm-backports (32-bit Wine runs under it here)"
  local list=/etc/apt/sources.list.d/bookworm-backports.sources
  [[ -f $list ]] || printf '%s\n' 'Types: deb' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm-backports' \
    'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' >"$list"
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q -t bookworm-backports qemu-user-static
}

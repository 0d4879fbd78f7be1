#!/usr/bin/env bash
# Makes sure clang can build libFuzzer targets, installing clang and the
# libFuzzer runtime of its version from Debian's packages when they are
# missing (apt-get, so as root).
set -euo pipefail

links_a_fuzzer() {
    command -v clang++ >/dev/null 2>&1 || return 1
    local probe status
    probe=$(mktemp -d)
    echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' \
        >"$probe/probe.cpp"
    status=0
    clang++ -fsanitize=fuzzer,address "$probe/probe.cpp" -o "$probe/probe" >/dev/null 2>&1 || status=$?
    rm -rf "$probe"
    return "$status"
}

if links_a_fuzzer; then
    exit 0
fi
echo "Installing clang and its libFuzzer runtime"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
command -v clang++ >/dev/null 2>&1 || apt-get install -y -qq clang >/dev/null
major=$(clang++ -dumpversion | cut -d. -f1)
apt-get install -y -qq "libclang-rt-${major}-dev" >/dev/null
if ! links_a_fuzzer; then
    echo "clang $major still cannot link a libFuzzer target" >&2
    exit 1
fi

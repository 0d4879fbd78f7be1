#!/usr/bin/env bash
# Checks that clang can build libFuzzer targets. When it cannot, says what is
# missing and which Debian packages provide it, and fails: installing system
# packages is the machine owner's call (CI does it in its own setup step).
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
if ! command -v clang++ >/dev/null 2>&1; then
    echo "make fuzz needs clang++, which is not installed." >&2
    echo "Install clang, then the libFuzzer runtime of its major version N, e.g. on Debian:" >&2
    echo "  sudo apt-get install clang && sudo apt-get install libclang-rt-N-dev" >&2
else
    major=$(clang++ -dumpversion | cut -d. -f1)
    echo "clang $major cannot link a libFuzzer target: its libFuzzer runtime is missing." >&2
    echo "Install it, e.g. on Debian:" >&2
    echo "  sudo apt-get install libclang-rt-$major-dev" >&2
fi
exit 1

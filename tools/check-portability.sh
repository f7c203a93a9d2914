#!/usr/bin/env bash
# Fails (exit 1, listing the offenders) when a file outside platform/ uses
# the system directly: POSIX or Windows headers, sigaction, mmap, /proc.
# Tests that need POSIX (pipes, sockets, device nodes, mounts, killed
# processes) live in the files named below and are built only on POSIX.
set -euo pipefail
cd "$(dirname "$0")/.."

posix_only_tests=(
    tests/output/AtomicSavePosixTest.cpp
    tests/cli/CliOutputsPosixTest.cpp
    tests/model/IniFilePosixTest.cpp
    tests/tools/WorldImagePosixTest.cpp
    # The command-line tests' process starter, one file for each system.
    tests/cli/CliProcessPosix.cpp
    tests/cli/CliProcessWindows.cpp
)

pattern='#[[:space:]]*include[[:space:]]*<(unistd\.h|sys/[^>]*|fcntl\.h|signal\.h|windows\.h|io\.h|dirent\.h)>|\bsigaction\b|\bmmap\b|/proc/'

# grep lets the last matching --include or --exclude decide: excludes go last.
options=(--include='*.cpp' --include='*.h' --include='*.hpp' --include='*.c'
         --exclude-dir=platform --exclude-dir='build*' --exclude-dir=.git --exclude-dir=dist)
for file in "${posix_only_tests[@]}"; do
    options+=(--exclude="$(basename "$file")")
done

offenders=$(grep -rnE "${options[@]}" "$pattern" . || true)
if [[ -n "$offenders" ]]; then
    echo "System calls outside platform/ (move them into platform/Platform.h):" >&2
    echo "$offenders" >&2
    exit 1
fi
echo "check-portability: no system headers or calls outside platform/"

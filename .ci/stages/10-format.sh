#!/usr/bin/env bash
# Every C++ file git knows is laid out as .clang-format says, by Debian's
# clang-format 14: other major versions lay out some lines differently, so
# any other version stops the stage rather than judge by its own rules.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/lib/install.bash
need_packages clang-format-14
format=clang-format-14
version=$("$format" --version)
if ! grep -Eq 'clang-format version 14\.' <<<"$version"; then
    echo "FORMAT STAGE FAILED: $format is not clang-format 14 but: $version" >&2
    echo "  (install Debian's clang-format-14; another major version formats differently)" >&2
    exit 1
fi
git ls-files -z '*.cpp' '*.h' | xargs -0 "$format" --dry-run --Werror
echo "format: every C++ file follows .clang-format (${version})"

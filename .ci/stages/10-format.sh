#!/usr/bin/env bash
# Every C++ file git knows is laid out as .clang-format says.
set -euo pipefail
cd "$(dirname "$0")/../.."
if ! command -v clang-format >/dev/null; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq clang-format
fi
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
echo "format: every C++ file follows .clang-format"

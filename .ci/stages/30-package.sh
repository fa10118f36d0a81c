#!/usr/bin/env bash
# The Debian package: build a Release tree, make the package with CPack, check
# its metadata and contents and let lintian judge it, build it once more from
# a copy of the sources in another folder and compare the bytes, then play it
# twice from an empty folder (from its files moved to another root, which
# proves the pictures are found relative to the binary, and from a real
# install), and uninstall it again.
set -euo pipefail
cd "$(dirname "$0")/../.."

source .ci/lib/install.bash
need_packages cmake g++ lintian dpkg-dev file

build=${TALVOREN_PACKAGE_BUILD:-build-package}
work=$(mktemp -d)
transcript=""
installed_here=0

cleanup() {
    if [ "$installed_here" = 1 ]; then dpkg -r talvoren >/dev/null 2>&1 || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "PACKAGE STAGE FAILED: $*" >&2
    if [ -n "$transcript" ] && [ -f "$transcript" ]; then
        echo "----- transcript -----" >&2
        cat "$transcript" >&2
        echo "----- end of transcript -----" >&2
    fi
    exit 1
}

version=$(sed -n 's/^project(talvoren VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no project version found in CMakeLists.txt"

# --- Build and package ------------------------------------------------------
cmake --preset release -B "$build"
cmake --build "$build" -j2
rm -f "$build"/talvoren_*.deb
(cd "$build" && cpack -G DEB)
debs=("$build"/talvoren_*.deb)
if [ ${#debs[@]} != 1 ] || [ ! -f "${debs[0]}" ]; then fail "expected one package, found: ${debs[*]}"; fi
deb=${debs[0]}
echo "package: $deb"
dpkg-deb --info "$deb"

# --- Metadata and contents --------------------------------------------------
field() { dpkg-deb --field "$deb" "$1"; }
expect_field() {
    local actual
    actual=$(field "$1")
    [ "$actual" = "$2" ] || fail "package field $1 is '$actual', expected '$2'"
}
expect_field Package talvoren
expect_field Version "$version"
expect_field Section games
expect_field Architecture "$(dpkg --print-architecture)"
grep -q '<.*@.*>' <<<"$(field Maintainer)" || fail "no maintainer address: $(field Maintainer)"
grep -q 'timing bar' <<<"$(field Description)" || fail "no description: $(field Description)"
for library in libc6 libstdc++6; do
    grep -q "$library" <<<"$(field Depends)" || fail "Depends lacks $library: $(field Depends)"
done

listing="$work/contents.txt"
dpkg-deb --contents "$deb" | awk '{print $NF}' >"$listing"
for path in ./usr/games/talvoren ./usr/share/man/man6/talvoren.6.gz \
    ./usr/share/doc/talvoren/copyright ./usr/share/doc/talvoren/changelog.gz \
    ./usr/share/games/talvoren/bear.txt ./usr/share/games/talvoren/hippopotamus.txt \
    ./usr/share/games/talvoren/wasp.txt ./usr/share/games/talvoren/raven.txt; do
    grep -qx -- "$path" "$listing" || { cat "$listing" >&2; fail "package lacks $path"; }
done
allowed='\./(usr/((games|share|share/games|share/man|share/man/man6|share/doc|share/doc/talvoren)/|games/talvoren|share/games/talvoren/.*|share/man/man6/talvoren\.6\.gz|share/doc/talvoren/(copyright|changelog\.gz))?)?'
if [ -n "$(grep -Evx "$allowed" "$listing" || true)" ]; then
    cat "$listing" >&2
    fail "package holds files outside the game's folders"
fi

# --- Lintian -----------------------------------------------------------------
# Any error or warning fails the stage; the informational tags are shown too.
lintian_log="$work/lintian.txt"
lintian_status=0
lintian --info --display-info --fail-on error,warning "$deb" >"$lintian_log" 2>&1 || lintian_status=$?
tags=$(grep -E '^[EWI]: ' "$lintian_log" || true)
if [ "$lintian_status" != 0 ] || grep -qE '^[EW]: ' <<<"$tags"; then
    cat "$lintian_log" >&2
    fail "lintian found errors or warnings (status $lintian_status): $(grep -E '^[EW]: ' <<<"$tags" | tr '\n' ' ')"
fi
echo "lintian: no errors or warnings${tags:+; informational tags:}"
[ -z "$tags" ] || sed 's/^/    /' <<<"$tags"

# --- Copyright and changelog --------------------------------------------------
root="$work/root"
dpkg-deb --extract "$deb" "$root"
doc="$root/usr/share/doc/talvoren"
head -n 1 "$doc/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "the copyright file is not in the machine-readable format: $(head -n 1 "$doc/copyright")"
grep -qx 'Copyright: [0-9]* Talvoren developers' "$doc/copyright" || fail "the copyright file names no holder"
# Its licence text is LICENSE's, line for line (indented, empty lines as " .").
sed -n '/^License: Expat$/,$p' "$doc/copyright" | tail -n +2 | sed 's/^ //; s/^\.$//' >"$work/license-in-package"
sed -n '/^Copyright (c) /,$p' LICENSE | tail -n +3 >"$work/license-in-source"
cmp -s "$work/license-in-package" "$work/license-in-source" ||
    fail "the copyright file's licence differs from LICENSE: $(diff "$work/license-in-source" "$work/license-in-package")"
zcat "$doc/changelog.gz" >"$work/changelog"
cmp -s "$work/changelog" CHANGELOG || fail "changelog.gz is not CHANGELOG"
[ "$(dpkg-parsechangelog -l "$work/changelog" -S Version)" = "$version" ] ||
    fail "the newest changelog entry is not for version $version"

# --- Reproducible -----------------------------------------------------------
# The same commit, copied to another folder and built there a while later
# (the copy has no git history, so it is given the commit time), must give
# the same package, byte for byte.
again="$work/again"
mkdir -p "$again/source"
git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$again/source"
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
(cd "$again/source" && cmake --preset release -B "$again/build" >/dev/null)
cmake --build "$again/build" -j2 >/dev/null
(cd "$again/build" && cpack -G DEB >/dev/null)
unset SOURCE_DATE_EPOCH
first=$(sha256sum <"$deb" | cut -d' ' -f1)
second=$(sha256sum <"$again/build/$(basename "$deb")" | cut -d' ' -f1)
if [ "$first" != "$second" ]; then
    fail "two builds of one commit gave different packages: $first in $build, $second in $again/build"
fi
echo "reproducible: both builds give $(basename "$deb") with SHA-256 $first"

# --- The manual page --------------------------------------------------------
manual="$root/usr/share/man/man6/talvoren.6.gz"
grep -q "^\.TH TALVOREN 6 .*\"Talvoren $version\"" <<<"$(zcat "$manual")" || fail "manual page title lacks version $version"
if command -v groff >/dev/null; then
    warnings=$(zcat "$manual" | groff -man -ww -z 2>&1 || true)
    [ -z "$warnings" ] || fail "manual page warnings: $warnings"
else
    echo "groff not installed: manual page rendering not checked"
fi

# --- Playing ----------------------------------------------------------------
# A new game typed into the binary from an empty folder reaches the first
# fight's intro. Prints the folder it played in.
play_new_game() {
    local binary=$1 label=$2
    local folder="$work/play-$label"
    mkdir "$folder"
    transcript="$work/transcript-$label.txt"
    local status=0
    (cd "$folder" && printf '1\nAna\n\n\n\n' | timeout 120 "$binary" >"$transcript" 2>&1) || status=$?
    [ "$status" = 0 ] || fail "$label: the game exited with status $status"
    grep -q "You have encountered a level" "$transcript" || fail "$label: no battle intro"
    [ -f "$folder/save1.txt" ] || fail "$label: no save1.txt in the working folder"
    [ "$(head -n 2 "$folder/save1.txt")" = $'Act 1\nAna' ] || fail "$label: save1.txt does not hold Ana's new game"
    [ "$(ls -A "$folder")" = save1.txt ] || fail "$label: unexpected files in the working folder: $(ls -A "$folder")"
}

# The intro showed the picture of its monster from the given folder.
expect_picture_from() {
    local pictures=$1 label=$2 monster picture line
    if grep -q "Unable to open file" "$transcript"; then fail "$label: a picture was not found"; fi
    monster=$(grep -o 'You have encountered a level [0-9]* [A-Za-z]*\[!\]' "$transcript" | head -n 1 |
        sed 's/.* \([A-Za-z]*\)\[!\]$/\1/' | tr '[:upper:]' '[:lower:]')
    picture="$pictures/$monster.txt"
    if [ -z "$monster" ] || [ ! -f "$picture" ]; then fail "$label: no picture file for monster '$monster'"; fi
    while IFS= read -r line || [ -n "$line" ]; do
        [ -z "${line// /}" ] && continue
        grep -qF -- "$line" "$transcript" || fail "$label: picture line missing: '$line'"
    done <"$picture"
    echo "$label: the $monster picture was shown"
}

# The package's files moved to another root: the pictures are found relative
# to the binary, not at a fixed /usr path.
mv "$root/usr" "$root/elsewhere"
play_new_game "$root/elsewhere/games/talvoren" moved
expect_picture_from "$root/elsewhere/share/games/talvoren" moved

# Without the picture folder, the intro says so and the game goes on.
mv "$root/elsewhere/share/games/talvoren" "$root/elsewhere/share/games/gone"
play_new_game "$root/elsewhere/games/talvoren" without-pictures
grep -q "Unable to open file" "$transcript" || fail "without-pictures: no 'Unable to open file' message"
transcript=""

# --- Install and uninstall ---------------------------------------------------
if [ "$(id -u)" != 0 ]; then
    echo "not root: install and uninstall of the package not checked"
    echo "package stage passed (without install)"
    exit 0
fi
if grep -q 'install ok installed' <<<"$(dpkg-query -W -f='${Status}' talvoren 2>/dev/null || true)"; then
    fail "talvoren is already installed on this machine; remove it before this stage"
fi
installed_here=1
dpkg -i "$deb" || fail "dpkg -i failed"
installed_files=(/usr/games/talvoren /usr/share/man/man6/talvoren.6.gz /usr/share/games/talvoren/bear.txt
    /usr/share/games/talvoren/hippopotamus.txt /usr/share/games/talvoren/wasp.txt
    /usr/share/games/talvoren/raven.txt)
for path in "${installed_files[@]}"; do
    [ -f "$path" ] || fail "installed package lacks $path"
done
play_new_game /usr/games/talvoren installed
expect_picture_from /usr/share/games/talvoren installed
transcript=""

dpkg -r talvoren || fail "dpkg -r failed"
installed_here=0
for path in "${installed_files[@]}" /usr/share/games/talvoren; do
    [ ! -e "$path" ] || fail "$path is still there after dpkg -r"
done
if grep -q 'installed' <<<"$(dpkg-query -W -f='${Status}' talvoren 2>/dev/null || true)"; then
    fail "dpkg still lists talvoren as installed: $(dpkg-query -W -f='${Status}' talvoren)"
fi
echo "package stage passed"

# How every CI stage gets its tools: Debian packages through apt-get, and the
# npm packages pinned in a lock file. Each call installs only what is missing
# and says what it installs, so a prepared machine installs nothing.

# need_packages PACKAGE...: installs the Debian packages that are not
# installed yet (with one apt-get update before them). A package counts as
# there when dpkg has it or a command of its name is found (npm, say, comes
# with some Node.js builds, cmake from elsewhere).
need_packages() {
  local missing=() package
  for package in "$@"; do
    command -v "$package" >/dev/null && continue
    dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q '^install ok installed$' ||
      missing+=("$package")
  done
  if [ ${#missing[@]} -eq 0 ]; then
    echo "installing: nothing ($* already there)"
    return 0
  fi
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq && apt-get install -y -qq "${missing[@]}" >/dev/null
}

# need_npm_packages FOLDER SOURCE: installs into FOLDER (a folder of a build,
# never the source tree) the npm packages that SOURCE/package.json and
# SOURCE/package-lock.json pin; again only when that lock file is not the one
# last installed there in full.
need_npm_packages() {
  local folder=$1 source=$2
  mkdir -p "$folder"
  if [ -d "$folder/node_modules" ] && cmp -s "$source/package-lock.json" "$folder/installed-lock.json"; then
    echo "installing: nothing (the npm packages of $source are in $folder)"
    return 0
  fi
  echo "installing: the npm packages of $source into $folder"
  rm -f "$folder/installed-lock.json"
  cp "$source/package.json" "$source/package-lock.json" "$folder"/
  (cd "$folder" && npm ci --no-audit --no-fund --loglevel=error) &&
    cp "$source/package-lock.json" "$folder/installed-lock.json"
}

#!/usr/bin/env bash
# Builds the Debian package (cpack in the build folder, into <build>/package),
# checks what it declares and holds, installs it with apt-get and has the
# installed /usr/bin/pelorin2-cli index a copy of samples/, with the first-run
# template from /usr/share/pelorin2. Renders the installed manual pages and
# validates the installed desktop entry and metainfo. Fails on any error or
# warning of lintian, and on any hardening tag. The package is removed
# again unless it was installed before.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh" dpkg-dev appstream desktop-file-utils groff-base man-db lintian
"$root/scripts/build.sh"

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
fail() {
  echo "package.sh: $*" >&2
  exit 1
}

out=$build_dir/package
rm -rf "$out"
(cd "$build_dir" && cpack -G DEB -B "$out" >/dev/null)
debs=("$out"/pelorin2_*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "expected one pelorin2_*.deb in $out"
deb=${debs[0]}
echo "== $deb"

# The control fields: name, the project's version, computed dependencies.
version=$("$build_dir/bin/pelorin2-cli" --version | awk '{print $NF}')
info=$(dpkg-deb -I "$deb")
grep -qx ' Package: pelorin2' <<<"$info" || fail "package name is not pelorin2"
grep -qx " Version: $version" <<<"$info" || fail "version is not $version"
grep -qE '^ Depends: .*qt6-qpa-plugins.*libqt6core6' <<<"$info" || fail "Depends lacks Qt"
grep -qE '^ Maintainer: .+' <<<"$info" || fail "no Maintainer"
grep -qE '^ Description: .+' <<<"$info" || fail "no Description"

# The files: programs, data, manual pages, completion, desktop entry, metainfo,
# and no test, benchmark or fuzz program.
files=$(dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|')
metainfo=$(grep -E '^/usr/share/metainfo/.+\.metainfo\.xml$' <<<"$files") || fail "no metainfo"
app_id=$(basename "$metainfo" .metainfo.xml)
for file in /usr/bin/pelorin2 /usr/bin/pelorin2-cli \
            /usr/share/pelorin2/template.htm /usr/share/pelorin2/picture_template.htm \
            /usr/share/pelorin2/specialtags.txt \
            /usr/share/man/man1/pelorin2-cli.1.gz /usr/share/man/man1/pelorin2.1.gz \
            /usr/share/bash-completion/completions/pelorin2-cli \
            "/usr/share/applications/$app_id.desktop" /usr/share/icons/hicolor/scalable/apps/pelorin2.svg; do
  grep -qx "$file" <<<"$files" || fail "$file is not in the package"
done
for file in /usr/share/doc/pelorin2/copyright /usr/share/doc/pelorin2/changelog.gz; do
  grep -qx "$file" <<<"$files" || fail "$file is not in the package"
done
for size in 16 32 48 64 128 256; do
  grep -qx "/usr/share/icons/hicolor/${size}x$size/apps/pelorin2.png" <<<"$files" ||
    fail "no icon of $size pixels"
done
programs=$(grep -E '^/usr/bin/.' <<<"$files" | paste -sd ' ')
[[ $programs == "/usr/bin/pelorin2 /usr/bin/pelorin2-cli" ]] || fail "unexpected programs: $programs"
module=$(grep -E '^/usr/lib/(.+/)?pelorin2/pelorin2-thumbnails\.so$' <<<"$files") ||
  fail "the thumbnail module is not in the package"
# The module and the folders that hold it are the only things under /usr/lib.
others=$(while IFS= read -r file; do
  [[ $file == "$module" || ($file == */ && $module == "$file"*) ]] || echo "$file"
done <<<"$files")
if grep -E 'test|bench|fuzz|/usr/(lib|include)/' <<<"$others"; then fail "files that do not belong"; fi

# What Debian asks of a package: no error and no warning from lintian, and
# the release hardening in every program (lintian reports its absence as
# information only, so those tags are failures here too).
lintian_out=$(lintian --no-cfg --display-info "$deb" 2>&1 | grep -v '^running with root privileges' || true)
if grep -E '^[EW]: |hardening-' <<<"$lintian_out"; then fail "lintian: errors, warnings or hardening tags"; fi
echo "== lintian: no error, no warning, no hardening tag"

installed_before=0
if dpkg-query -W -f='${Status}' pelorin2 2>/dev/null | grep -q "install ok installed"; then
  installed_before=1
fi
work=$(mktemp -d)
cleanup() {
  rm -rf "$work"
  if [[ $installed_before -eq 0 ]]; then
    "${sudo_cmd[@]}" apt-get remove -y -qq pelorin2 >/dev/null || true
  fi
}
trap cleanup EXIT
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "$deb" >/dev/null

# The installed program finds its data files and indexes the sample tree;
# its pages are the bytes the build tree's program writes.
cli=/usr/bin/pelorin2-cli
settings=$work/settings.ini
cp -r "$root/samples" "$work/installed"
cp -r "$root/samples" "$work/built"
"$cli" --settings "$settings" options reset
template=$("$cli" --settings "$settings" options get MainTemplate)
[[ $template == /usr/share/pelorin2/template.htm ]] || fail "first-run template is $template"
# A gallery, so the installed program also loads its thumbnail module.
gallery() {  # CLI SETTINGS
  for key in ShowPics UseThumbnails MakeThumbnails ThumbnailSubdir PicsInHtml; do
    "$1" --settings "$2" options set "$key" 1
  done
  "$1" --settings "$2" options set FileTypes "gif png jpg jpeg jpe webp htm html"
}
gallery "$cli" "$settings"
"$cli" --settings "$settings" index --yes --quiet "$work/installed"
while IFS= read -r folder; do
  [[ -s $folder/index.html ]] || fail "no page in $folder"
done < <(find "$work/installed" -type d -not -path '*/.*' -not -name thumbnails)
find "$work/installed" -path '*/thumbnails/*' -type f | grep -q . ||
  fail "the installed program made no thumbnail"
"$build_dir/bin/pelorin2-cli" --settings "$work/built.ini" options reset
gallery "$build_dir/bin/pelorin2-cli" "$work/built.ini"
"$build_dir/bin/pelorin2-cli" --settings "$work/built.ini" index --yes --quiet "$work/built" >/dev/null
diff -r "$work/built" "$work/installed" || fail "the installed program wrote other pages or thumbnails"

# The manual pages render without a warning.
for page in pelorin2-cli pelorin2; do
  file=/usr/share/man/man1/$page.1.gz
  warnings=$( { MANWIDTH=80 man -l "$file" >/dev/null; } 2>&1)
  warnings+=$(zcat "$file" | groff -ww -z -man 2>&1)
  [[ -z $warnings ]] || fail "$page(1): $warnings"
done

appstreamcli validate --no-net "/usr/share/metainfo/$app_id.metainfo.xml"
desktop-file-validate "/usr/share/applications/$app_id.desktop"
bash -c 'source /usr/share/bash-completion/completions/pelorin2-cli && complete -p pelorin2-cli' \
  >/dev/null || fail "the completion does not register"
echo "== $(basename "$deb") installs, and the installed pelorin2-cli indexed the samples"

#!/usr/bin/env bash
# check_man_pages.sh render <man folder>
#   Every page under <man folder>/man*/ renders without a warning: groff -ww (with tbl)
#   prints nothing and succeeds, and so does man --warnings -l where man-db is installed.
# check_man_pages.sh installed <build folder>
#   Installs the build into a temporary prefix, checks that every file in its bin/ has a
#   page share/man/man1/<file>.1.gz (a link counts when its target exists), then renders
#   every installed page as above. $CMAKE names the cmake to install with (default cmake).
# Exit status: 0 all good, 1 a page is missing or warns (each named), 77 nothing to check
# with (skipped), 2 usage.
set -u

usage() { echo "usage: $0 render <man folder> | installed <build folder>" >&2; exit 2; }
[ $# -eq 2 ] || usage

if ! command -v groff >/dev/null; then
  echo "groff is not installed: the pages cannot be rendered (skipped)"
  exit 77
fi
use_man=0
if command -v man >/dev/null && man --help 2>/dev/null | grep -q -- '--warnings'; then
  use_man=1
fi
export LC_ALL=C.UTF-8 MANPAGER=cat PAGER=cat MANWIDTH=80

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# render_page <page.N.gz>: any output of the renderers is a warning.
render_page() {
  local page=$1 out status
  if [ ! -e "$page" ]; then
    fail "$page: a link to a page that does not exist ($(readlink "$page"))"
    return
  fi
  out=$( { gzip -dc "$page" | groff -ww -man -t -z; } 2>&1 )
  status=$?
  if [ $status -ne 0 ] || [ -n "$out" ]; then
    fail "$page: groff -ww -man -t -z (exit $status): $out"
  fi
  if [ $use_man -eq 1 ]; then
    out=$(man --warnings -l "$page" 2>&1 >/dev/null)
    status=$?
    if [ $status -ne 0 ] || [ -n "$out" ]; then
      fail "$page: man --warnings -l (exit $status): $out"
    fi
  fi
}

# render_all <man folder>: every page there; none at all is a failure too.
render_all() {
  local dir=$1 count=0 page
  shopt -s nullglob
  for page in "$dir"/man[1-9]/*.gz; do
    count=$((count + 1))
    if [ -L "$page" ] && [ -e "$page" ]; then
      continue  # another name of a page rendered in its own right
    fi
    render_page "$page"
  done
  shopt -u nullglob
  if [ $count -eq 0 ]; then
    fail "$dir: no manual page found"
  fi
  echo "$count page(s) rendered from $dir"
}

case $1 in
  render)
    render_all "$2"
    ;;
  installed)
    build=$2
    [ -f "$build/CMakeCache.txt" ] || { echo "$build is not a build folder" >&2; exit 2; }
    prefix=$(mktemp -d "${TMPDIR:-/tmp}/zam-man-install.XXXXXX") || exit 1
    trap 'rm -rf "$prefix"' EXIT
    if ! log=$("${CMAKE:-cmake}" --install "$build" --prefix "$prefix" 2>&1); then
      echo "$log" | tail -n 20
      fail "cmake --install $build --prefix $prefix failed (every installed target must be built first)"
      exit 1
    fi
    programs=0
    for program in "$prefix"/bin/*; do
      [ -f "$program" ] || continue
      name=$(basename "$program")
      programs=$((programs + 1))
      if [ ! -e "$prefix/share/man/man1/$name.1.gz" ]; then
        if [ -L "$prefix/share/man/man1/$name.1.gz" ]; then
          fail "$name: share/man/man1/$name.1.gz links to a page that is not installed ($(readlink "$prefix/share/man/man1/$name.1.gz"))"
        else
          fail "$name: no manual page share/man/man1/$name.1.gz"
        fi
      fi
    done
    [ $programs -gt 0 ] || fail "$prefix/bin holds no program"
    echo "$programs installed program(s) checked for a page"
    render_all "$prefix/share/man"
    ;;
  *)
    usage
    ;;
esac

if [ $failures -ne 0 ]; then
  echo "$failures problem(s)"
  exit 1
fi
exit 0

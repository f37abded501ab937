#!/usr/bin/env bash
# scripts/demo builds only the targets it lists: every program or library it runs from the
# build's bin/ must be one of them (a library by its target name: libzamlib.so is zamlib),
# and every one of them must be a target of the build.
# Usage: demo_targets_test.sh DEMO_SCRIPT BUILD_FOLDER
set -uo pipefail
demo=$1
build=$2
fail() {
  echo "FAIL: $*"
  exit 1
}

targets=$(sed -n '/^demo_targets=(/,/)/p' "$demo" | sed 's/^demo_targets=(//; s/)$//' | tr -s ' \n' '\n' | sed '/^$/d')
[ -n "$targets" ] || fail "no demo_targets=(...) list in $demo"
grep -q -- '--target "${demo_targets\[@\]}"' "$demo" || fail "$demo does not build --target \"\${demo_targets[@]}\""

used=$(grep -o '\$bin/[A-Za-z0-9_.-]*' "$demo" | sed 's|^\$bin/||; s|^lib\(.*\)\.so$|\1|' | sort -u)
[ -n "$used" ] || fail "no \$bin/ program found in $demo"
for name in $used; do
  grep -qx -- "$name" <<<"$targets" || fail "$demo runs $name but does not build it"
done

# The build's own list of targets: "name: phony" lines from Ninja, "... name" from Make.
known=$(cmake --build "$build" --target help 2>/dev/null |
  sed -n 's/^\([A-Za-z0-9_.-]*\): .*/\1/p; s/^\.\.\. \([A-Za-z0-9_.-]*\).*/\1/p')
[ -n "$known" ] || fail "cannot list the targets of $build"
for target in $targets; do
  grep -qx -- "$target" <<<"$known" || fail "$target in demo_targets is not a target of the build"
done
echo "ok: $(wc -w <<<"$targets") targets cover $(wc -w <<<"$used") programs and libraries"
